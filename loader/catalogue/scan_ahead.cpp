#include "catalogue/scan_ahead.h"

#include <fcntl.h>
#include <unistd.h>

#include <qmsys/files.h>

#include <system_error>
#include <utility>

namespace qm {

ScanAhead::ScanAhead(const std::string& folder, const std::string& pattern,
                     const CatalogueSnapshot::Scope& scope, DiagnosticLog* log)
    : folder_(folder),
      pattern_(pattern),
      scope_(scope),
      log_(log),
      folderFd_(::open(folder.empty() ? "." : folder.c_str(),
                       O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK)) {
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
    } catch (const std::system_error&) {
        prepare(false);  // no thread: the scan does everything itself
    }
}

ScanAhead::~ScanAhead() {
    stop_.store(true, std::memory_order_relaxed);
    if (helper_.joinable()) {
        helper_.join();
    }
    if (folderFd_ >= 0) {
        ::close(folderFd_);
    }
}

void ScanAhead::prepare(bool workAhead) {
    names_ = qmsys::findFiles(folder_, pattern_);
    previous_ = std::make_unique<CatalogueSnapshot>(CatalogueSnapshot::load(scope_, log_));
    if (workAhead && folderFd_ >= 0 && names_.size() >= kHelperThreshold) {
        ahead_.resize(names_.size());
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

void ScanAhead::examine(std::size_t index, File& out, std::size_t& cursor) const {
    const std::string& name = names_[index];
    out.identified = folderFd_ >= 0
                         ? CatalogueSnapshot::identifyAt(folderFd_, name.c_str(), out.identity)
                         : CatalogueSnapshot::identify(folder_ + "/" + name, out.identity);
    out.outcome = CatalogueSnapshot::Outcome();  // decoded into a fresh record
    out.recorded =
        out.identified && previous_->take(name, out.identity, out.outcome, out.stored, cursor);
}

void ScanAhead::help() {
    std::size_t cursor = 0;
    for (std::size_t i = 0; i < names_.size() && !stop_.load(std::memory_order_relaxed); ++i) {
        std::uint8_t expected = kFree;
        if (!slots_[i].compare_exchange_strong(expected, kHelperBusy, std::memory_order_relaxed)) {
            continue;  // the scan got here first
        }
        examine(i, ahead_[i], cursor);
        slots_[i].store(kHelperDone, std::memory_order_release);
    }
}

void ScanAhead::take(std::size_t index, File& out) {
    if (slots_) {
        std::uint8_t state = slots_[index].load(std::memory_order_acquire);
        if (state == kFree &&
            slots_[index].compare_exchange_strong(state, kTakenByScan, std::memory_order_acquire)) {
            examine(index, out, cursor_);
            return;
        }
        if (state == kHelperDone) {
            out = std::move(ahead_[index]);
            return;
        }
        // The helper is at this very file: rather than wait for a thread that may not be
        // running, do it once more.
    }
    examine(index, out, cursor_);
}

}  // namespace qm
