#include "catalogue/scan_ahead.h"

#include <qmsys/file_identity.h>
#include <qmsys/files.h>

#include <cassert>
#include <string>
#include <system_error>
#include <utility>

#include "environment/diagnostic_log.h"

namespace qm {

ScanAhead::ScanAhead(CatalogueScan& scan, const std::string& pattern, DiagnosticLog* log)
    : scan_(scan), pattern_(pattern), log_(log) {
    if (!scan_.keepsSnapshot()) {
        prepare(false);  // a listing only: nothing to overlap it with
        return;
    }
    try {
        helper_ = std::thread([this] {
            // Nothing may leave a thread of the host's: a failure of the listing or the
            // loading is handed to the scan (names() throws it there), and one while working
            // ahead only leaves the remaining files to the scan.
            try {
                prepare(true);
            } catch (...) {
                publish(std::current_exception());
                return;
            }
            try {
                if (slots_) {
                    help();
                }
            } catch (...) {
            }
        });
    } catch (const std::system_error& e) {
        if (log_ != nullptr) {
            log_->write("scan", std::string("no helper thread (") + e.what() +
                                    "): the scan reads every file itself");
        }
        prepare(false);
    }
}

ScanAhead::~ScanAhead() {
    stop_.store(true, std::memory_order_relaxed);
    if (helper_.joinable()) {
        helper_.join();
    }
}

void ScanAhead::prepare(bool workAhead) {
    if (scan_.keepsSnapshot()) {
        scan_.previous = SnapshotView::load(*scan_.scope, log_);
        // The folder's identity is taken before it is listed, so that a name added while
        // listing leaves a later change time than the one recorded with the listing.
        folderIdentified_ = scan_.folder.isOpen()
                                ? qmsys::identifyFolder(scan_.folder, folderIdentity_)
                                : qmsys::identifyFile(scan_.path, folderIdentity_);
        // docs/PERFORMANCE.md: the scan takes the recorded listing.
        listedBySnapshot_ = folderIdentified_ && scan_.previous.listing(folderIdentity_, names_);
    }
    if (!listedBySnapshot_) {
        names_ = qmsys::findFiles(scan_.path, pattern_);
    }
    if (workAhead && scan_.folder.isOpen() && names_.size() >= kHelperThreshold) {
        identities_.resize(names_.size());
        slots_ = std::make_unique<std::atomic<std::uint8_t>[]>(names_.size());
        for (std::size_t i = 0; i < names_.size(); ++i) {
            slots_[i].store(kFree, std::memory_order_relaxed);
        }
    }
    publish(nullptr);
}

void ScanAhead::publish(std::exception_ptr failure) {
    {
        const std::lock_guard lock(mutex_);
        failure_ = std::move(failure);
        prepared_ = true;
    }
    preparedChanged_.notify_all();
}

void ScanAhead::waitPrepared() {
    std::unique_lock lock(mutex_);
    // Bounded by one folder listing and one snapshot read on the helper, which always ends.
    preparedChanged_.wait(lock, [this] { return prepared_; });
    if (failure_) {
        std::rethrow_exception(failure_);
    }
}

const std::vector<std::string>& ScanAhead::names() {
    waitPrepared();
    return names_;
}

bool ScanAhead::stat(std::size_t index, qmsys::FileIdentity& out) const {
    const std::string& name = names_[index];
    return scan_.folder.isOpen() ? qmsys::identifyFile(name, out, &scan_.folder)
                                 : qmsys::identifyFile(scan_.path + "/" + name, out);
}

void ScanAhead::help() {
    for (std::size_t i = 0; i < names_.size() && !stop_.load(std::memory_order_relaxed); ++i) {
        std::uint8_t expected = kFree;
        if (!slots_[i].compare_exchange_strong(expected, kHelperBusy, std::memory_order_relaxed)) {
            continue;  // the scan got here first
        }
        const bool identified = stat(i, identities_[i]);
        slots_[i].store(identified ? kHelperDone : kHelperFailed, std::memory_order_release);
    }
}

bool ScanAhead::identify(std::size_t index, qmsys::FileIdentity& out) {
    assert(index < names_.size() && "a file of the listing, identified after names()");
    if (!scan_.keepsSnapshot()) {
        return false;
    }
    if (slots_) {
        std::uint8_t state = slots_[index].load(std::memory_order_acquire);
        if (state == kFree &&
            slots_[index].compare_exchange_strong(state, kTakenByScan, std::memory_order_acquire)) {
            return stat(index, out);
        }
        if (state == kHelperDone) {
            out = identities_[index];
            return true;
        }
        if (state == kHelperFailed) {
            return false;
        }
        // The helper is at this very file: rather than wait for a thread that may not be
        // running, look it up once more.
    }
    return stat(index, out);
}

}  // namespace qm
