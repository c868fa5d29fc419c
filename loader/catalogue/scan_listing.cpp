#include "catalogue/scan_listing.h"

#include <qmsys/file_identity.h>
#include <qmsys/files.h>

#include <cassert>
#include <string>

namespace qm {

ScanListing::ScanListing(CatalogueScan& scan, const std::string& pattern, DiagnosticLog* log)
    : scan_(scan) {
    if (scan_.keepsSnapshot()) {
        scan_.previous = SnapshotView::load(*scan_.scope, log);
        // The folder's identity is taken before it is listed, so that a name added while
        // listing leaves a later change time than the one recorded with the listing.
        folderIdentified_ = scan_.folder.isOpen()
                                ? qmsys::identifyFolder(scan_.folder, folderIdentity_)
                                : qmsys::identifyFile(scan_.path, folderIdentity_);
        // docs/PERFORMANCE.md: the scan takes the recorded listing.
        listedBySnapshot_ = folderIdentified_ && scan_.previous.listing(folderIdentity_, names_);
    }
    if (!listedBySnapshot_) {
        names_ = qmsys::findFiles(scan_.path, pattern);
    }
}

bool ScanListing::identify(std::size_t index, qmsys::FileIdentity& out) const {
    assert(index < names_.size() && "a file of the listing");
    if (!scan_.keepsSnapshot()) {
        return false;
    }
    const std::string& name = names_[index];
    return scan_.folder.isOpen() ? qmsys::identifyFile(name, out, &scan_.folder)
                                 : qmsys::identifyFile(scan_.path + "/" + name, out);
}

}  // namespace qm
