#include "catalogue/startup_pass.h"

#include <qmenv/environment.h>

#include <memory>
#include <utility>

#include "catalogue/store_writes.h"

namespace qm {

StartupPass::StartupPass(DiagnosticLog* log, StoreWrites* writes) : log_(log), writes_(writes) {
    beginReads();
}

void StartupPass::beginReads() {
    reads_.emplace(RegistryBatch::Kind::Reads, log_, "reading module keys");
    // docs/PERFORMANCE.md: one registry read transaction per start-up pass.
    reads_->prefetch(QmEnGetRegistryKey());
}

void StartupPass::renewReads() {
    finishReads();
    beginReads();
}

CatalogueScan::CatalogueScan(std::string folderPath, std::optional<SnapshotScope> snapshotScope)
    : path(std::move(folderPath)),
      scope(std::move(snapshotScope)),
      folder(qmsys::FolderHandle::open(path)),
      mark(scope ? qmsys::markFileClock(path) : qmsys::FileClockMark{}) {
    if (scope) {
        next.emplace(*scope, mark);
    }
}

CatalogueScan& StartupPass::beginScan(const std::string& folder,
                                      std::optional<SnapshotScope> scope) {
    return scans_.emplace_back(folder, std::move(scope));
}

StartupPass::~StartupPass() {
    endReads();
}

void StartupPass::endReads() {
    finishReads();
    createMissingKeys();
}

void StartupPass::finishReads() {
    if (!reads_) {
        return;
    }
    reads_->commit();
    reads_.reset();
}

void StartupPass::createMissingKeys() {
    if (missingKeys_.empty()) {
        return;
    }
    const std::unique_ptr<RegistryBatch> batch =
        writes_ ? writes_->begin("creating module keys") : std::make_unique<RegistryBatch>();
    if (batch) {
        for (const std::string& key : missingKeys_) {
            QmEnWinRegistry registry;
            registry.OpenKey(kQmEnHKeyCurrentUser, key, true);
        }
        batch->commit();
    }
    missingKeys_.clear();
}

}  // namespace qm
