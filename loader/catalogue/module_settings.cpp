#include "catalogue/module_settings.h"

#include <qmenv/environment.h>

#include <memory>
#include <string>
#include <utility>

#include "catalogue/module_key.h"
#include "catalogue/registry_batch.h"
#include "catalogue/store_writes.h"
#include "environment/diagnostic_log.h"
#include "environment/names.h"
#include "environment/registry_layout.h"
#include "runtime/user_feedback.h"

namespace qm {

namespace {

constexpr std::string_view kLogCategory = "settings";

std::string_view boolText(bool on) {
    return on ? names::kTrue : names::kFalse;
}

// True when name holds exactly word; hasValues false: the key holds no value, so none is
// read.
bool holds(QmEnWinRegistry& registry, bool hasValues, std::string_view name,
           std::string_view word) {
    std::string value;
    return hasValues && registry.ReadString(name, value) && value == word;
}

void logTooLong(const ModuleRecord& record, DiagnosticLog* log, const char* action) {
    if (log) {
        log->write(kLogCategory, std::string("module key too long, settings not ") + action + ": " +
                                     record.GetKey());
    }
}

std::optional<std::string> keyOrLog(const ModuleRecord& record, DiagnosticLog* log,
                                    const char* action) {
    std::optional<std::string> key = ModuleKeyPath(record.GetKey());
    if (!key) {
        logTooLong(record, log, action);
    }
    return key;
}

// The settings of record from its open module key (see holds for hasValues).
void readSettings(QmEnWinRegistry& registry, ModuleRecord& record, bool hasValues = true) {
    record.SetAutoStart(holds(registry, hasValues, names::kValueAutoStart, names::kTrue));
    record.SetDemandLoad(holds(registry, hasValues, names::kValueDemandLoad, names::kTrue));
    record.SetActivated(true);
    if (holds(registry, hasValues, names::kValueActivated, names::kFalse)) {
        record.SetActivated(false);
        record.SetAutoStart(false);
        record.SetDemandLoad(false);
    }
}

}  // namespace

bool ReadModuleSettings(ModuleList& list, DiagnosticLog* log) {
    // One transaction for all reads: a consistent view, and one lock round trip instead of
    // one per value. It takes no write lock, so a writer elsewhere never holds it up.
    RegistryBatch reads(RegistryBatch::Kind::Reads, log, "reading module settings");
    for (ModuleRecord& record : list) {
        const std::optional<std::string> key = keyOrLog(record, log, "read");
        QmEnWinRegistry registry;
        if (!key || !registry.OpenKey(kQmEnHKeyCurrentUser, *key, false)) {
            continue;
        }
        readSettings(registry, record);
    }
    // Nothing was written: the commit only ends the reads (a nested one keeps the open
    // transaction's prefetched copy, which a rollback would drop).
    reads.commit();
    return true;
}

bool ReadModuleKey(const std::string& key, std::int32_t& major, std::int32_t& minor,
                   ModuleRecord* settings, std::vector<std::string>& missingKeys,
                   std::string_view modules) {
    // Built at any length: only the settings are kept from a key too long for the buffer.
    std::string keyPath = modules.empty() ? registry_layout::moduleKey(key)
                                          : registry_layout::moduleKey(modules, key);
    const bool fits = settings == nullptr || ModuleKeyFits(keyPath);
    QmEnWinRegistry registry;
    if (registry.OpenKey(kQmEnHKeyCurrentUser, keyPath, false)) {
        // Most module keys hold no value (nothing overridden, nothing set): one question
        // answers the five reads then (docs/PERFORMANCE.md: a key without values is asked
        // once).
        const bool hasValues = registry.HasValues();
        if (hasValues) {
            registry.ReadLong(names::kValueOverrideMajor, major);
            registry.ReadLong(names::kValueOverrideMinor, minor);
        }
        if (settings && fits) {
            readSettings(registry, *settings, hasValues);
        }
    } else {
        missingKeys.push_back(std::move(keyPath));
    }
    return fits;
}

void LogSettingsNotRead(const ModuleRecord& record, DiagnosticLog* log) {
    logTooLong(record, log, "read");
}

bool WriteModuleSettings(ModuleList& list, DiagnosticLog* log, UserFeedback* feedback) {
    BusyScope busy(feedback);
    RegistryBatch batch(RegistryBatch::Kind::Writes, log, "writing module settings");
    for (const ModuleRecord& record : list) {
        const std::optional<std::string> key = keyOrLog(record, log, "written");
        QmEnWinRegistry registry;
        if (!key || !registry.OpenKey(kQmEnHKeyCurrentUser, *key, true)) {
            continue;
        }
        registry.WriteString(names::kValueAutoStart, boolText(record.GetAutoStart()));
        registry.WriteString(names::kValueDemandLoad, boolText(record.GetDemandLoad()));
        registry.WriteString(names::kValueActivated, boolText(record.GetActivated()));
    }
    batch.commit();
    return true;
}

namespace {

// What failed, with the store's own message when it gave one.
std::string failure(const QmEnWinRegistry& registry, std::string what) {
    if (!registry.LastError().empty()) {
        what += ": " + registry.LastError();
    }
    return what;
}

}  // namespace

std::string StoreModuleSettings(const ModuleRecord& record, DiagnosticLog* log) {
    const std::optional<std::string> key = keyOrLog(record, log, "written");
    if (!key) {
        return "the module key is too long for the registry";
    }
    const std::pair<std::string_view, bool> values[] = {
        {names::kValueAutoStart, record.GetAutoStart()},
        {names::kValueDemandLoad, record.GetDemandLoad()},
        {names::kValueActivated, record.GetActivated()},
    };
    {
        RegistryBatch batch(RegistryBatch::Kind::Writes, log, "writing module settings");
        if (batch.busy()) {
            return "another program kept the registry store busy";
        }
        QmEnWinRegistry registry;
        if (!registry.OpenKey(kQmEnHKeyCurrentUser, *key, true)) {
            return failure(registry, "the module's registry key could not be created");
        }
        for (const auto& [name, on] : values) {
            if (!registry.WriteString(name, boolText(on))) {
                return failure(registry, "the value " + std::string(name) + " was refused");
            }
        }
        if (!batch.commit()) {
            return "the registry store refused to commit the change";
        }
    }
    // What the next reader sees, outside the transaction that wrote it.
    QmEnWinRegistry registry;
    if (!registry.OpenKey(kQmEnHKeyCurrentUser, *key, false)) {
        return failure(registry, "the module's registry key cannot be read back");
    }
    for (const auto& [name, on] : values) {
        if (!holds(registry, true, name, boolText(on))) {
            return failure(registry, "the value " + std::string(name) + " did not read back");
        }
    }
    return "";
}

namespace {

// The three forced values in one transaction; false when the key does not open.
bool writeBaseValues(RegistryBatch& batch) {
    QmEnWinRegistry registry;
    if (!registry.OpenKey(kQmEnHKeyCurrentUser, registry_layout::moduleKey(names::kBaseModuleKey),
                          true)) {
        return false;
    }
    registry.WriteString(names::kValueActivated, boolText(true));
    registry.WriteString(names::kValueDemandLoad, boolText(false));
    registry.WriteString(names::kValueAutoStart, boolText(true));
    batch.commit();
    return true;
}

}  // namespace

bool storeBaseModuleSettings(StoreWrites* writes) {
    const std::unique_ptr<RegistryBatch> batch =
        writes ? writes->begin("forcing the base module's settings")
               : std::make_unique<RegistryBatch>();
    if (!batch) {
        return true;  // the store is busy: this start-up goes on with the settings it has
    }
    return writeBaseValues(*batch);
}

void WriteBaseModuleSettings(StoreWrites* writes, UserFeedback* feedback) {
    // The message is shown only after the transaction has ended, so that no registry lock is
    // held while the user reads it.
    if (!storeBaseModuleSettings(writes) && feedback) {
        feedback->showMessage("Serious problems!!!!!", names::kMessageCaption);
    }
}

void applyBaseModuleSettings(ModuleList& list) {
    for (ModuleRecord& record : list) {
        if (record.GetKey() == names::kBaseModuleKey) {
            record.SetActivated(true);
            record.SetDemandLoad(false);
            record.SetAutoStart(true);
        }
    }
}

}  // namespace qm
