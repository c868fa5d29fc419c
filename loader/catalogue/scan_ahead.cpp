#include "catalogue/scan_ahead.h"

#include <qmsys/file_identity.h>
#include <qmsys/files.h>

#include <string>
#include <system_error>
#include <utility>

#include "environment/diagnostic_log.h"

namespace qm {

ScanAhead::ScanAhead(const std::string& folder, const std::string& pattern,
                     const CatalogueSnapshot::Scope& scope, DiagnosticLog* log)
    : folderPath_(folder),
      pattern_(pattern),
      scope_(scope),
      log_(log),
      folder_(qmsys::FolderHandle::open(folder)) {
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
    previous_ = std::make_unique<CatalogueSnapshot>(CatalogueSnapshot::load(scope_, log_));
    // The folder's identity is taken before it is listed, so that a name added while listing
    // leaves a later change time than the one recorded with the listing.
    folderIdentified_ = folder_.isOpen() ? qmsys::identifyFolder(folder_, folderIdentity_)
                                         : qmsys::identifyFile(folderPath_, folderIdentity_);
    listedBySnapshot_ = folderIdentified_ && previous_->takeListing(folderIdentity_, names_);
    if (!listedBySnapshot_) {
        names_ = qmsys::findFiles(folderPath_, pattern_);
    }
    if (workAhead && folder_.isOpen() && names_.size() >= kHelperThreshold) {
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

const CatalogueSnapshot& ScanAhead::previous() {
    waitPrepared();
    return *previous_;
}

bool ScanAhead::identify(std::size_t index, CatalogueSnapshot::Identity& out) const {
    const std::string& name = names_[index];
    return folder_.isOpen() ? qmsys::identifyFile(name, out, &folder_)
                            : qmsys::identifyFile(folderPath_ + "/" + name, out);
}

void ScanAhead::help() {
    for (std::size_t i = 0; i < names_.size() && !stop_.load(std::memory_order_relaxed); ++i) {
        std::uint8_t expected = kFree;
        if (!slots_[i].compare_exchange_strong(expected, kHelperBusy, std::memory_order_relaxed)) {
            continue;  // the scan got here first
        }
        const bool identified = identify(i, identities_[i]);
        slots_[i].store(identified ? kHelperDone : kHelperFailed, std::memory_order_release);
    }
}

bool ScanAhead::identityOf(std::size_t index, CatalogueSnapshot::Identity& out) {
    if (slots_) {
        std::uint8_t state = slots_[index].load(std::memory_order_acquire);
        if (state == kFree &&
            slots_[index].compare_exchange_strong(state, kTakenByScan, std::memory_order_acquire)) {
            return identify(index, out);
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
    return identify(index, out);
}

void ScanAhead::take(std::size_t index, File& out) {
    out.identified = identityOf(index, out.identity);
    // Decoded here rather than on the helper: records made on this thread are allocated,
    // moved and freed where the scan's list lives, which costs less than handing them over.
    out.outcome = CatalogueSnapshot::Outcome();
    out.recorded = out.identified &&
                   previous_->take(names_[index], out.identity, out.outcome, out.stored, cursor_);
}

}  // namespace qm
