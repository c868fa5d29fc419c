#pragma once
// What a scan with a snapshot needs of each file of one folder before it can use it, asked
// for in order: the file's identity (CatalogueSnapshot::Identity) and, where the previous
// snapshot vouches for that identity, the outcome it recorded, decoded into a record. For a
// long list a helper thread works ahead of the scan, so that the stat calls and the decoding
// overlap the scan's own work (the registry reads, which stay on the scan's thread); the scan
// never waits for it: a file the helper has not finished is done by the scan itself. Each
// file is looked up relative to the folder opened once, which costs one path component
// instead of the whole path.
//
// Ownership: the helper only reads the names and the previous snapshot and writes its own
// slots; it is joined by the destructor. The names and the snapshot must outlive the object.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "catalogue/catalogue_snapshot.h"

namespace qm {

class ScanAhead {
public:
    // What the scan learns of one file.
    struct File {
        bool identified = false;  // false: it could not be stat'ed
        CatalogueSnapshot::Identity identity;
        bool recorded = false;  // the snapshot vouched for it: outcome and stored are set
        CatalogueSnapshot::Outcome outcome;
        std::string_view stored;  // the outcome's stored form in the snapshot
    };

    // Opens folder; starts the helper when names holds at least kHelperThreshold files (and a
    // thread can be started at all). previous may be empty: then nothing is ever recorded.
    ScanAhead(const std::string& folder, const std::vector<std::string>& names,
              const CatalogueSnapshot& previous);
    ~ScanAhead();
    ScanAhead(const ScanAhead&) = delete;
    ScanAhead& operator=(const ScanAhead&) = delete;

    // Fills out for names[index]. Any order, each index once, from the thread that made the
    // object.
    void take(std::size_t index, File& out);

    // Below this many files a thread costs more than it saves.
    static constexpr std::size_t kHelperThreshold = 256;

private:
    enum Slot : std::uint8_t { kFree, kHelperBusy, kHelperDone, kTakenByScan };
    void help();
    void examine(std::size_t index, File& out, std::size_t& cursor) const;

    const std::string folder_;
    const std::vector<std::string>& names_;
    const CatalogueSnapshot& previous_;
    int folderFd_ = -1;
    std::size_t cursor_ = 0;   // the scan's own place in the snapshot
    std::vector<File> ahead_;  // written by the helper only, until its slot says done
    std::unique_ptr<std::atomic<std::uint8_t>[]> slots_;
    std::atomic<bool> stop_{false};
    std::thread helper_;
};

}  // namespace qm
