#pragma once
// The identities (CatalogueSnapshot::Identity) of the files of one folder, for a scan that
// asks for them in order. For a long list a helper thread stats the files ahead of the scan,
// so that the stat calls overlap the scan's own work; the scan never waits for it: a file the
// helper has not finished is stat'ed by the scan itself. Each file is looked up relative to
// the folder opened once, which costs one path component instead of the whole path.
//
// Ownership: the helper only reads names and writes its own slots; it is joined by the
// destructor. The names must outlive the object.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "catalogue/catalogue_snapshot.h"

namespace qm {

class FolderIdentities {
public:
    // Opens folder; starts the helper when names holds at least kHelperThreshold files (and a
    // thread can be started at all).
    FolderIdentities(const std::string& folder, const std::vector<std::string>& names);
    ~FolderIdentities();
    FolderIdentities(const FolderIdentities&) = delete;
    FolderIdentities& operator=(const FolderIdentities&) = delete;

    // The identity of names[index]; false when it cannot be stat'ed. Any order, each index
    // any number of times, from the thread that made the object.
    bool identify(std::size_t index, CatalogueSnapshot::Identity& out);

    // Below this many files a thread costs more than it saves.
    static constexpr std::size_t kHelperThreshold = 256;

private:
    enum Slot : std::uint8_t { kFree, kHelperBusy, kHelperDone, kHelperFailed, kTakenByScan };
    void help();
    bool statOne(std::size_t index, CatalogueSnapshot::Identity& out) const;

    const std::string folder_;
    const std::vector<std::string>& names_;
    int folderFd_ = -1;
    std::vector<CatalogueSnapshot::Identity> identities_;  // written by the helper only
    std::unique_ptr<std::atomic<std::uint8_t>[]> slots_;
    std::atomic<bool> stop_{false};
    std::thread helper_;
};

}  // namespace qm
