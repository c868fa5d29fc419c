#include "catalogue/scan_ahead.h"

#include <fcntl.h>
#include <unistd.h>

#include <system_error>
#include <utility>

namespace qm {

ScanAhead::ScanAhead(const std::string& folder, const std::vector<std::string>& names,
                     const CatalogueSnapshot& previous)
    : folder_(folder),
      names_(names),
      previous_(previous),
      folderFd_(::open(folder.empty() ? "." : folder.c_str(),
                       O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK)) {
    if (folderFd_ < 0 || names.size() < kHelperThreshold) {
        return;
    }
    ahead_.resize(names.size());
    slots_ = std::make_unique<std::atomic<std::uint8_t>[]>(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        slots_[i].store(kFree, std::memory_order_relaxed);
    }
    try {
        helper_ = std::thread([this] { help(); });
    } catch (const std::system_error&) {
        slots_.reset();  // no thread: the scan does every file itself
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

void ScanAhead::examine(std::size_t index, File& out, std::size_t& cursor) const {
    const std::string& name = names_[index];
    out.identified = folderFd_ >= 0
                         ? CatalogueSnapshot::identifyAt(folderFd_, name.c_str(), out.identity)
                         : CatalogueSnapshot::identify(folder_ + "/" + name, out.identity);
    out.outcome = CatalogueSnapshot::Outcome();  // decoded into a fresh record
    out.recorded =
        out.identified && previous_.take(name, out.identity, out.outcome, out.stored, cursor);
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
