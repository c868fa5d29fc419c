#include "catalogue/store_writes.h"

#include <string>

#include "environment/diagnostic_log.h"

namespace qm {

std::unique_ptr<RegistryBatch> StoreWrites::begin(std::string_view what) {
    if (suspended_) {
        return nullptr;
    }
    auto batch =
        std::make_unique<RegistryBatch>(RegistryBatch::Kind::Writes, log_, std::string(what));
    if (!batch->busy()) {
        return batch;
    }
    suspended_ = true;
    if (log_) {
        log_->write("settings", "the registry store stayed locked by another program (" +
                                    std::string(what) +
                                    "); this start-up writes no more settings and goes on "
                                    "from what it has read");
    }
    return nullptr;
}

}  // namespace qm
