#pragma once
// What a scan with a snapshot needs before it can use each file of one folder, asked for in
// order: the folder's listing for the scan's pattern (the previous snapshot's, when the folder
// has not changed since), the previous snapshot, and for each
// file its identity (CatalogueSnapshot::Identity) and, where the snapshot vouches for that
// identity, the outcome it recorded, decoded into a record. A helper thread lists the folder,
// loads the snapshot and then stats the files ahead of the scan, so that all of it overlaps
// the scan's own work (the registry reads, and the decoding, which stay on the scan's
// thread). The scan waits only for the listing and the snapshot; a file the helper has not
// stat'ed yet is stat'ed by the scan itself. Each file is looked up relative to the folder
// opened once, which costs one path component instead of the whole path. Without a thread
// everything is done by the scan.
//
// Ownership: the helper writes the listing, the snapshot and its own slots, each before it
// publishes them; it is joined by the destructor.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <qmsys/handle.h>

#include "catalogue/catalogue_snapshot.h"

namespace qm {

class DiagnosticLog;

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

    // Lists folder for pattern (qmsys::findFiles) and loads the snapshot of scope (log, may be
    // null, hears why one is ignored), on the helper thread when one can be started. The
    // helper works ahead through the files only when there are at least kHelperThreshold.
    ScanAhead(const std::string& folder, const std::string& pattern,
              const CatalogueSnapshot::Scope& scope, DiagnosticLog* log);
    ~ScanAhead();
    ScanAhead(const ScanAhead&) = delete;
    ScanAhead& operator=(const ScanAhead&) = delete;

    // The folder's names matching the pattern, in findFiles order; waits for the listing.
    // What made the listing or the loading fail on the helper (no memory) is thrown here.
    const std::vector<std::string>& names();
    // The snapshot of the previous scan (empty when there is none); waits like names().
    const CatalogueSnapshot& previous();

    // Fills out for names()[index]. Any order, each index once, from the thread that made the
    // object, after names().
    void take(std::size_t index, File& out);

    // The folder's identity before it was listed; false when it could not be stat'ed. After
    // names().
    bool folderIdentity(CatalogueSnapshot::Identity& out) const {
        out = folderIdentity_;
        return folderIdentified_;
    }
    // Whether names() came from the previous snapshot (the folder had not changed) rather
    // than from reading the folder. After names().
    bool listedBySnapshot() const { return listedBySnapshot_; }

    // The folder, open for looking up its files (not open when it could not be opened); it
    // stays open while this object lives.
    const qmsys::FolderHandle& folder() const { return folder_; }

    // Below this many files stat'ing ahead costs more than it saves (docs/PERFORMANCE.md:
    // scan helper thread; no figure recorded).
    static constexpr std::size_t kHelperThreshold = 256;

private:
    enum Slot : std::uint8_t { kFree, kHelperBusy, kHelperDone, kHelperFailed, kTakenByScan };
    // Lists, loads and publishes; with workAhead, also prepares the slots for the helper.
    void prepare(bool workAhead);
    // Makes the listing and the snapshot (or failure, what prevented them) visible to the scan.
    void publish(std::exception_ptr failure);
    // Waits for publish(); rethrows its failure.
    void waitPrepared();
    void help();
    bool identify(std::size_t index, CatalogueSnapshot::Identity& out) const;
    // The identity of names_[index], from the helper when it has it.
    bool identityOf(std::size_t index, CatalogueSnapshot::Identity& out);

    const std::string folderPath_;
    const std::string pattern_;
    const CatalogueSnapshot::Scope scope_;
    DiagnosticLog* const log_;
    const qmsys::FolderHandle folder_;
    // Written once by prepare(), read after prepared_.
    std::vector<std::string> names_;
    std::unique_ptr<CatalogueSnapshot> previous_;
    bool folderIdentified_ = false;
    CatalogueSnapshot::Identity folderIdentity_;
    bool listedBySnapshot_ = false;
    std::unique_ptr<std::atomic<std::uint8_t>[]> slots_;  // null: the scan does every file
    // Written by the helper only, each until its slot says done.
    std::vector<CatalogueSnapshot::Identity> identities_;
    std::mutex mutex_;
    std::condition_variable preparedChanged_;
    bool prepared_ = false;       // guarded by mutex_
    std::exception_ptr failure_;  // guarded by mutex_
    std::size_t cursor_ = 0;      // the scan's own place in the snapshot
    std::atomic<bool> stop_{false};
    std::thread helper_;
};

}  // namespace qm
