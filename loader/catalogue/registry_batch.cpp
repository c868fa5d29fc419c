#include "catalogue/registry_batch.h"

#include <qmreg/registry.h>

#include <optional>

#include "environment/diagnostic_log.h"

namespace qm {

struct RegistryBatch::State {
    std::optional<qmreg::Hive::Transaction> transaction;
    bool busy = false;
    DiagnosticLog* log = nullptr;
    std::string what;

    void report(const std::string& text) const {
        if (log) {
            log->write("registry", what.empty() ? text : what + ": " + text);
        }
    }
};

RegistryBatch::RegistryBatch(Kind kind, DiagnosticLog* log, std::string what)
    : state_(std::make_unique<State>()) {
    state_->log = log;
    state_->what = std::move(what);
    try {
        state_->transaction.emplace(qmreg::Hive::forThread(qmreg::HiveId::CurrentUser),
                                    kind == Kind::Reads ? qmreg::Hive::Transaction::Kind::Reads
                                                        : qmreg::Hive::Transaction::Kind::Writes);
    } catch (const qmreg::StoreBusy&) {
        // The caller decides what a busy store means (StoreWrites stops writing and says so).
        state_->transaction.reset();
        state_->busy = true;
    } catch (const std::exception&) {
        // Deliberately not logged here: the values then go one by one and meet the same
        // failure, which the environment library reports (once per process).
        state_->transaction.reset();
    }
}

RegistryBatch::~RegistryBatch() = default;

bool RegistryBatch::commit() {
    if (!state_->transaction) {
        return true;
    }
    bool committed = true;
    try {
        state_->transaction->commit();
    } catch (const std::exception& e) {
        // The store rolls the whole batch back: the hive is as it was before it.
        state_->report(std::string("commit failed, nothing of it was stored: ") + e.what());
        committed = false;
    }
    state_->transaction.reset();
    return committed;
}

void RegistryBatch::prefetch(const std::string& key) {
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

bool RegistryBatch::storeIsReadOnly(std::string* file) {
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
