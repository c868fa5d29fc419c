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
        read_ = qmsys::findFiles(scan_.path, pattern);
        names_.assign(read_.begin(), read_.end());
    }
}

bool ScanListing::identify(std::size_t index, qmsys::FileIdentity& out) const {
    assert(index < names_.size() && "a file of the listing");
    if (!scan_.keepsSnapshot()) {
        return false;
    }
    if (!scan_.folder.isOpen()) {
        return qmsys::identifyFile(scan_.path + "/" + std::string(names_[index]), out);
    }
    name_.assign(names_[index]);
    return qmsys::identifyFile(name_, out, &scan_.folder);
}

std::optional<std::string_view> ScanListing::recorded(std::size_t index,
                                                      const qmsys::FileIdentity& identity) const {
    assert(index < names_.size() && "a file of the listing");
    return listedBySnapshot_ ? scan_.previous.recordedListed(index, identity)
                             : scan_.previous.recorded(names_[index], identity);
}

}  // namespace qm
