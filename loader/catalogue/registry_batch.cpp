#include "catalogue/registry_batch.h"

#include <qmreg/registry.h>

#include <optional>

namespace qm {

struct RegistryBatch::State {
    std::optional<qmreg::Hive::Transaction> transaction;
    bool busy = false;
};

RegistryBatch::RegistryBatch(Kind kind) : state_(std::make_unique<State>()) {
    try {
        state_->transaction.emplace(qmreg::Hive::forThread(qmreg::HiveId::CurrentUser),
                                    kind == Kind::Reads ? qmreg::Hive::Transaction::Kind::Reads
                                                        : qmreg::Hive::Transaction::Kind::Writes);
    } catch (const qmreg::StoreBusy&) {
        state_->transaction.reset();
        state_->busy = true;
    } catch (const std::exception&) {
        state_->transaction.reset();
    }
}

RegistryBatch::~RegistryBatch() = default;

void RegistryBatch::Commit() {
    if (state_->transaction) {
        try {
            state_->transaction->commit();
        } catch (const std::exception&) {
            // A failed commit leaves the hive as it was before the batch.
        }
        state_->transaction.reset();
    }
}

void RegistryBatch::Prefetch(const std::string& key) {
    if (state_->transaction) {
        try {
            qmreg::Hive::forThread(qmreg::HiveId::CurrentUser).prefetch(key);
        } catch (const std::exception&) {
            // The reads then go to the store one by one and meet the failure there.
        }
    }
}

bool RegistryBatch::active() const {
    return state_->transaction.has_value();
}

bool RegistryBatch::StoreIsReadOnly(std::string* file) {
    try {
        qmreg::Hive& hive = qmreg::Hive::forThread(qmreg::HiveId::CurrentUser);
        if (file)
            *file = hive.file();
        return !hive.writable();
    } catch (const std::exception&) {
        return false;  // reported by the first read or write that meets it
    }
}

bool RegistryBatch::busy() const {
    return state_->busy;
}

}  // namespace qm
