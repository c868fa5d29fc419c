#include "ui/logic/options_fill.h"

#include <unordered_map>

#include "catalogue/module_settings.h"

namespace qm::ui {

void StoreOptionChecks(ModuleList& modules, const std::vector<OptionsCheck>& checks,
                       DiagnosticLog* log, UserFeedback* feedback) {
    std::unordered_map<std::string, ModuleRecord*> byKey;
    byKey.reserve(modules.size());
    for (auto it = modules.rbegin(); it != modules.rend(); ++it) {
        byKey[it->GetKey()] = &*it;  // the first record of a key wins
    }
    for (const OptionsCheck& check : checks) {
        auto found = byKey.find(check.key);
        if (found == byKey.end()) {
            continue;
        }
        ModuleRecord& record = *found->second;
        if (check.checked) {
            record.SetActivated(true);
        } else {
            record.SetActivated(false);
            record.SetAutoStart(false);
            record.SetDemandLoad(false);
            record.ClearEvent();
        }
    }
    WriteModuleSettings(modules, log, feedback);
}

std::vector<OptionsItem> ListOptionItems(ModuleList& modules, std::string_view baseModuleKey) {
    std::vector<OptionsItem> items;
    items.reserve(modules.size());
    for (ModuleRecord& record : modules) {
        if (record.GetKey() == baseModuleKey) {
            continue;
        }
        OptionsItem item{record.GetDisplayName(), record.GetKey(), record.GetActivated(), true};
        if (record.GetStarted() != 0 || record.GetMenusLoaded() != 0) {
            record.SetActivated(true);
            item.checked = true;
            item.enabled = false;
        }
        items.push_back(std::move(item));
    }
    return items;
}

}  // namespace qm::ui
