#pragma once
// The operations of a module record that reach the host: loading and unloading its menus and
// carrying out the event the user marked. They report failure only through their results;
// nothing is shown (the dialog collects failures into one message).
#include "runtime/module_record.h"

namespace qm {

class MenuManager;
class ProvisioningPass;

// Loads the module's menus; on success the record's menus count as loaded. On failure the
// loaded state is left as it was. pass: the start-up's provisioning pass, or null
// (MenuManager::LoadMenuList).
bool LoadModuleMenus(ModuleRecord& record, MenuManager& menus, ProvisioningPass* pass = nullptr);
// Unloads the module's menus; on success the record's menus no longer count as loaded.
bool UnloadModuleMenus(ModuleRecord& record, MenuManager& menus);

// Carries out the pending event and clears it, whatever the outcome:
//  - load module: starts the module, loads its menus and, when they loaded, runs its
//    applications (stopping at the first failure); true only if all of it succeeded;
//  - unload module: unloads its menus and, when that worked, stops the module (applications
//    stay loaded or running); false leaves the module as it was;
//  - load menu / unload menu: only the menus; the started state is untouched;
//  - no event or an unknown value: nothing, true.
bool ExecuteEvent(ModuleRecord& record, MenuManager& menus);

}  // namespace qm
