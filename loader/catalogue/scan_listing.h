#pragma once
// What a catalogue scan needs before it reads any file of its folder: the folder's listing for
// the scan's pattern (the previous snapshot's, when the folder has not changed since), the
// previous snapshot (into the scan's CatalogueScan::previous), and then each file's identity,
// looked up relative to the scan's open folder, which costs one path component instead of the
// whole path. A scan that keeps no snapshot needs no identities: it only lists the folder.
//
// Everything is done on the scan's own thread. A helper thread that listed, loaded and stat'ed
// ahead of the scan saved no time (docs/PERFORMANCE.md, "Removed").
//
// Ownership: the scan's state (folder, snapshot view) is the CatalogueScan's; this object only
// reads and fills it.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <qmsys/file_identity.h>

#include "catalogue/startup_pass.h"

namespace qm {

class DiagnosticLog;

class ScanListing {
public:
    // Lists scan.path for pattern (qmsys::findFiles); when the scan keeps a snapshot, loads the
    // previous one into scan.previous first (log, may be null, hears why one is ignored).
    // scan outlives this object.
    ScanListing(CatalogueScan& scan, const std::string& pattern, DiagnosticLog* log);
    ScanListing(const ScanListing&) = delete;
    ScanListing& operator=(const ScanListing&) = delete;

    // The folder's names matching the pattern, in findFiles order. They point into the
    // scan's previous snapshot or into this object.
    const std::vector<std::string_view>& names() const { return names_; }

    // The identity of names()[index]; false when the scan keeps no snapshot or the file
    // cannot be stat'ed.
    bool identify(std::size_t index, qmsys::FileIdentity& out) const;
    // What the previous snapshot recorded for names()[index], when identity is its recorded
    // identity (SnapshotView::recorded; by position when the names came from the snapshot).
    std::optional<std::string_view> recorded(std::size_t index,
                                             const qmsys::FileIdentity& identity) const;

    // The folder's identity before it was listed; false when it could not be stat'ed or the
    // scan keeps no snapshot.
    bool folderIdentity(qmsys::FileIdentity& out) const {
        out = folderIdentity_;
        return folderIdentified_;
    }
    // Whether names() came from the previous snapshot (the folder had not changed) rather
    // than from reading the folder.
    bool listedBySnapshot() const { return listedBySnapshot_; }

private:
    CatalogueScan& scan_;
    std::vector<std::string_view> names_;
    std::vector<std::string> read_;  // the names when the folder was read
    mutable std::string name_;       // a name with its terminator, for the system
    bool folderIdentified_ = false;
    qmsys::FileIdentity folderIdentity_;
    bool listedBySnapshot_ = false;
};

}  // namespace qm
