#include "catalogue/folder_identities.h"

#include <fcntl.h>
#include <unistd.h>

#include <system_error>

namespace qm {

FolderIdentities::FolderIdentities(const std::string& folder, const std::vector<std::string>& names)
    : folder_(folder),
      names_(names),
      folderFd_(::open(folder.empty() ? "." : folder.c_str(),
                       O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK)) {
    if (folderFd_ < 0 || names.size() < kHelperThreshold) {
        return;
    }
    identities_.resize(names.size());
    slots_ = std::make_unique<std::atomic<std::uint8_t>[]>(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        slots_[i].store(kFree, std::memory_order_relaxed);
    }
    try {
        helper_ = std::thread([this] { help(); });
    } catch (const std::system_error&) {
        slots_.reset();  // no thread: the scan stats every file itself
    }
}

FolderIdentities::~FolderIdentities() {
    stop_.store(true, std::memory_order_relaxed);
    if (helper_.joinable()) {
        helper_.join();
    }
    if (folderFd_ >= 0) {
        ::close(folderFd_);
    }
}

bool FolderIdentities::statOne(std::size_t index, CatalogueSnapshot::Identity& out) const {
    return folderFd_ >= 0 ? CatalogueSnapshot::identifyAt(folderFd_, names_[index].c_str(), out)
                          : CatalogueSnapshot::identify(folder_ + "/" + names_[index], out);
}

void FolderIdentities::help() {
    for (std::size_t i = 0; i < names_.size() && !stop_.load(std::memory_order_relaxed); ++i) {
        std::uint8_t expected = kFree;
        if (!slots_[i].compare_exchange_strong(expected, kHelperBusy, std::memory_order_relaxed)) {
            continue;  // the scan got here first
        }
        const bool ok = statOne(i, identities_[i]);
        slots_[i].store(ok ? kHelperDone : kHelperFailed, std::memory_order_release);
    }
}

bool FolderIdentities::identify(std::size_t index, CatalogueSnapshot::Identity& out) {
    if (slots_) {
        std::uint8_t state = slots_[index].load(std::memory_order_acquire);
        if (state == kFree &&
            slots_[index].compare_exchange_strong(state, kTakenByScan, std::memory_order_acquire)) {
            return statOne(index, out);
        }
        if (state == kHelperDone) {
            out = identities_[index];
            return true;
        }
        if (state == kHelperFailed) {
            return false;
        }
        // The helper is at this very file (or it was handed out before): rather than wait
        // for a thread that may not be running, look it up once more.
    }
    return statOne(index, out);
}

}  // namespace qm
