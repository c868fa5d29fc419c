#pragma once
// What a catalogue scan needs before it can use each file of its folder, asked for in order:
// the folder's listing for the scan's pattern (the previous snapshot's, when the folder has not
// changed since), the previous snapshot (into the scan's CatalogueScan::previous), and each
// file's identity. A helper thread lists the folder, loads the snapshot and then stats the
// files ahead of the scan, so that the stats overlap the scan's own work (reading changed
// definitions, decoding recorded ones, the registry reads). The scan waits only for the
// listing and the snapshot; a file the helper has not stat'ed yet is stat'ed by the scan
// itself. Each file is looked up relative to the scan's open folder, which costs one path
// component instead of the whole path.
//
// A scan that keeps no snapshot needs no identities: it only lists the folder, on its own
// thread. Without a thread everything is done by the scan.
//
// Ownership: the scan's state (folder, snapshot view) is the CatalogueScan's; this object only
// lends it to its helper, which writes the listing, the view and its own slots, each before it
// publishes them, and is joined by the destructor.
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

#include <qmsys/file_identity.h>

#include "catalogue/startup_pass.h"

namespace qm {

class DiagnosticLog;

class ScanAhead {
public:
    // Lists scan.path for pattern (qmsys::findFiles); when the scan keeps a snapshot, loads the
    // previous one into scan.previous (log, may be null, hears why one is ignored), on the
    // helper thread when one can be started. The helper works ahead through the files only
    // when there are at least kHelperThreshold. scan outlives this object.
    ScanAhead(CatalogueScan& scan, const std::string& pattern, DiagnosticLog* log);
    ~ScanAhead();
    ScanAhead(const ScanAhead&) = delete;
    ScanAhead& operator=(const ScanAhead&) = delete;

    // The folder's names matching the pattern, in findFiles order; waits for the listing and
    // the previous snapshot, after which scan.previous may be read. What made the listing or
    // the loading fail on the helper (no memory) is thrown here.
    const std::vector<std::string>& names();

    // The identity of names()[index]; false when the scan keeps no snapshot or the file
    // cannot be stat'ed. Any order, each index once, from the thread that made the object,
    // after names().
    bool identify(std::size_t index, qmsys::FileIdentity& out);

    // The folder's identity before it was listed; false when it could not be stat'ed or the
    // scan keeps no snapshot. After names().
    bool folderIdentity(qmsys::FileIdentity& out) const {
        out = folderIdentity_;
        return folderIdentified_;
    }
    // Whether names() came from the previous snapshot (the folder had not changed) rather
    // than from reading the folder. After names().
    bool listedBySnapshot() const { return listedBySnapshot_; }

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
    bool stat(std::size_t index, qmsys::FileIdentity& out) const;

    CatalogueScan& scan_;
    const std::string pattern_;
    DiagnosticLog* const log_;
    // Written once by prepare(), read after prepared_.
    std::vector<std::string> names_;
    bool folderIdentified_ = false;
    qmsys::FileIdentity folderIdentity_;
    bool listedBySnapshot_ = false;
    std::unique_ptr<std::atomic<std::uint8_t>[]> slots_;  // null: the scan does every file
    // Written by the helper only, each until its slot says done.
    std::vector<qmsys::FileIdentity> identities_;
    std::mutex mutex_;
    std::condition_variable preparedChanged_;
    bool prepared_ = false;       // guarded by mutex_
    std::exception_ptr failure_;  // guarded by mutex_
    std::atomic<bool> stop_{false};
    std::thread helper_;
};

}  // namespace qm
