#pragma once
// One start-up's pass over the installation and the user's store (and one listing of
// qmloader). What is read ahead for speed belongs to the pass, lives as long as it and goes
// with it; nothing is carried from one pass to the next except what is on disk.
//
// - The registry reads: the current user's store in one read transaction, with the product
//   key's subtree prefetched at once (qmreg::Hive::prefetch): the kernel-services values,
//   the recorded configuration, and the module keys, each of which the catalogue scan opens
//   once for its version override and settings. It takes no write lock, so no writer waits for it
//   and it never waits for one. The module keys the scan finds missing are created once the
//   reads end, in one short write transaction through the start-up's write gate (or the
//   caller's open one). A missing key and an empty one read the same, so the settings read
//   may come first.
// - Each catalogue scan's state (CatalogueScan): the definitions folder, open; the clock mark
//   taken before any file was identified; the previous snapshot's view and the builder of the
//   next snapshot.
//
// Not thread-safe: one thread uses a pass from creation to destruction.
#include <qmsys/file_identity.h>
#include <qmsys/handle.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue_snapshot.h"
#include "catalogue/registry_batch.h"

namespace qm {

class DiagnosticLog;
class StoreWrites;

// What one catalogue scan of a definitions folder holds; it lives as long as the pass that
// began it.
struct CatalogueScan {
    // Opens path. With scope the scan keeps a snapshot: the clock is marked (before any file
    // is identified, so that no change from now on hides behind a recorded stamp) and the
    // builder is made; the previous snapshot is loaded by the scan (ScanListing).
    CatalogueScan(std::string path, std::optional<SnapshotScope> scope);

    bool keepsSnapshot() const { return scope.has_value(); }

    const std::string path;
    const std::optional<SnapshotScope> scope;
    // The folder, open for looking up its files (not open when it cannot be opened; the
    // files are then looked up by their paths).
    const qmsys::FolderHandle folder;
    // When the scan started, on the folder's file clock (qmsys::markFileClock); only with a
    // snapshot.
    const qmsys::FileClockMark mark;
    SnapshotView previous;                // empty without a snapshot
    std::optional<SnapshotBuilder> next;  // set when the scan keeps a snapshot
};

class StartupPass {
public:
    // Begins the registry reads. log (may be null) hears the registry's failures; writes (may
    // be null: writes then go regardless, as for a tool) is the start-up's write gate.
    StartupPass(DiagnosticLog* log, StoreWrites* writes);
    // Ends the reads when endReads was not called.
    ~StartupPass();
    StartupPass(const StartupPass&) = delete;
    StartupPass& operator=(const StartupPass&) = delete;

    // Ends the registry reads (finishReads) and creates the missing module keys
    // (createMissingKeys). Reads after it go to the store one by one.
    void endReads();
    // Ends the registry reads. Once: later calls do nothing.
    void finishReads();
    // Ends the registry reads and begins them again, so that they see what was written
    // meanwhile (through this thread's connection, which may not write while they last).
    // Before any scan.
    void renewReads();
    // Creates the module keys that a scan found missing, in a batch of the write gate (which
    // joins the caller's open one). After finishReads.
    void createMissingKeys();
    // Module key paths (below the product key) that a scan found missing; created by
    // endReads.
    std::vector<std::string>& missingKeys() { return missingKeys_; }

    // A new catalogue scan of folder (CatalogueScan), living as long as the pass.
    CatalogueScan& beginScan(const std::string& folder, std::optional<SnapshotScope> scope);

    DiagnosticLog* log() const { return log_; }

private:
    void beginReads();

    DiagnosticLog* const log_;
    StoreWrites* const writes_;
    std::optional<RegistryBatch> reads_;
    std::vector<std::string> missingKeys_;
    std::deque<CatalogueScan> scans_;  // a deque never moves them
};

}  // namespace qm
