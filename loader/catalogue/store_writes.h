#pragma once
// Whether the start-up may still write the user's registry store. When another program holds
// the store's write lock, every write waits the whole busy time-out; one after another they
// would hold the host's start for minutes. So the first write that times out ends writing for
// the rest of the start-up: it goes on from what it has read, writes nothing more, and says so
// once in the diagnostic log. Reads never wait for a writer and go on as usual.
#include <memory>
#include <string_view>

#include "catalogue/registry_batch.h"

namespace qm {

class DiagnosticLog;

class StoreWrites {
public:
    explicit StoreWrites(DiagnosticLog* log = nullptr) : log_(log) {}

    // A write batch for what (a short description for the log), or null when nothing may be
    // written: an earlier write of this start-up met a busy store, or this one did. A batch
    // that could not begin for any other reason (a store that cannot be used at all) is
    // returned inactive, and its writes go, and fail, one by one as without a batch.
    std::unique_ptr<RegistryBatch> begin(std::string_view what);
    bool suspended() const { return suspended_; }

private:
    DiagnosticLog* log_;
    bool suspended_ = false;
};

}  // namespace qm
