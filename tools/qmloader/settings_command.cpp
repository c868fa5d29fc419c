#include "settings_command.h"

#include <qmsys/text.h>

#include "catalogue/module_settings.h"
#include "environment/names.h"

namespace qmloader {

namespace {

const char* onOff(bool on) {
    return on ? "on" : "off";
}

// The record the dialogs would change: the first with exactly key, else the first whose key
// differs only in case (registry keys do not tell case apart).
qm::ModuleRecord* findModule(qm::ModuleList& list, const std::string& key) {
    qm::ModuleRecord* folded = nullptr;
    for (qm::ModuleRecord& record : list) {
        if (record.GetKey() == key)
            return &record;
        if (!folded && qmsys::iequals(record.GetKey(), key))
            folded = &record;
    }
    return folded;
}

void print(const qm::ModuleRecord& record, std::ostream& out) {
    out << "key: " << record.GetKey() << "\n"
        << "name: " << record.GetDisplayName() << "\n"
        << "activated: " << onOff(record.GetActivated()) << "\n"
        << "autostart: " << onOff(record.GetAutoStart()) << "\n"
        << "demandload: " << onOff(record.GetDemandLoad()) << "\n";
}

int unknownKey(const ListOptions& catalogue, const std::string& key, std::ostream& err) {
    err << "qmloader: no module with key \"" << key << "\" in " << catalogue.definitionsFolder
        << " (configuration \"" << catalogue.config << "\"); 'qmloader list' shows the keys\n";
    return 1;
}

// Why change cannot be made to record, or "" when it can.
std::string refusal(const qm::ModuleRecord& record, const SettingsChange& change) {
    if (qmsys::iequals(record.GetKey(), qm::names::kBaseModuleKey)) {
        if (change.activated.value_or(true) && change.autoStart.value_or(true) &&
            !change.demandLoad.value_or(false)) {
            return "";
        }
        return "the base module " + record.GetKey() +
               " is always activated, started with the host and not demand-loaded; these "
               "settings cannot be changed";
    }
    const bool activated = change.activated.value_or(record.GetActivated());
    if (!activated && (change.autoStart.value_or(false) || change.demandLoad.value_or(false))) {
        return "a module that is not activated is neither started with the host nor "
               "demand-loaded: --autostart on and --demandload on need --activated on";
    }
    return "";
}

}  // namespace

int RunShow(const ListOptions& catalogue, const std::string& key, std::ostream& out,
            std::ostream& err) {
    qm::ModuleList list;
    LoadModules(catalogue, list, err);
    const qm::ModuleRecord* record = findModule(list, key);
    if (!record)
        return unknownKey(catalogue, key, err);
    print(*record, out);
    return 0;
}

int RunSet(const ListOptions& catalogue, const std::string& key, const SettingsChange& change,
           std::ostream& out, std::ostream& err) {
    qm::ModuleList list;
    LoadModules(catalogue, list, err);
    qm::ModuleRecord* record = findModule(list, key);
    if (!record)
        return unknownKey(catalogue, key, err);
    if (const std::string why = refusal(*record, change); !why.empty()) {
        err << "qmloader: " << why << "\n";
        return 1;
    }
    if (qmsys::iequals(record->GetKey(), qm::names::kBaseModuleKey)) {
        // Stored as the loader forces them at every start.
        record->SetActivated(true);
        record->SetAutoStart(true);
        record->SetDemandLoad(false);
    }
    if (change.activated)
        record->SetActivated(*change.activated);
    if (change.autoStart)
        record->SetAutoStart(*change.autoStart);
    if (change.demandLoad)
        record->SetDemandLoad(*change.demandLoad);
    if (!record->GetActivated()) {
        record->SetAutoStart(false);
        record->SetDemandLoad(false);
    }
    // Only this module's values: writing the whole list, as the dialogs do, would put back
    // what another set stored meanwhile, and a second definition of the same key would
    // overwrite the change with its own settings.
    if (const std::string why = qm::StoreModuleSettings(*record, catalogue.log); !why.empty()) {
        err << "qmloader: the settings of " << record->GetKey() << " were not stored: " << why
            << "\n";
        return 1;
    }
    print(*record, out);
    return 0;
}

}  // namespace qmloader
