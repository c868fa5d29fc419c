#pragma once
// The Options dialog's fill procedure, apart from any widget: storing the check list into the
// module records (and saving every module's settings), and listing the modules with their
// checks. Runs on the dialog's worker thread while the dialog waits with its buttons disabled;
// nothing here touches a widget.
#include <string>
#include <string_view>
#include <vector>

#include "runtime/module_list.h"

namespace qm {
class DiagnosticLog;
class UserFeedback;
}  // namespace qm

namespace qm::ui {

// One entry of the check list as the user left it.
struct OptionsCheck {
    std::string key;
    bool checked = false;
};

// One entry to show.
struct OptionsItem {
    std::string name;
    std::string key;
    bool checked = false;
    bool enabled = true;  // false: the module is in use and cannot be switched off here
};

// For each check, the first record with that exact key: unchecked switches it off (Activated,
// AutoStart and DemandLoad false, mark cleared), checked switches it on. Checks whose key
// matches no record are ignored. Then saves every module's settings (with feedback's wait
// cursor).
void StoreOptionChecks(ModuleList& modules, const std::vector<OptionsCheck>& checks,
                       DiagnosticLog* log, UserFeedback* feedback = nullptr);

// Every record except the base module, in catalogue order: a module that is started or whose
// menus are loaded is switched on, checked and locked; the others are checked when activated.
std::vector<OptionsItem> ListOptionItems(ModuleList& modules, std::string_view baseModuleKey);

}  // namespace qm::ui
