#include "runtime/module_events.h"

#include "runtime/host_arx_loader.h"
#include "runtime/menu_manager.h"

namespace qm {

bool LoadModuleMenus(ModuleRecord& record, MenuManager& menus, ProvisioningPass* pass) {
    if (!menus.LoadMenuList(record.GetMenus(), pass)) {
        return false;
    }
    record.SetMenusLoaded(true);
    return true;
}

bool UnloadModuleMenus(ModuleRecord& record, MenuManager& menus) {
    if (!menus.UnloadMenuList(record.GetMenus())) {
        return false;
    }
    record.SetMenusLoaded(false);
    return true;
}

namespace {

bool loadModule(ModuleRecord& record, MenuManager& menus) {
    record.StartModule();
    if (!menus.LoadMenuList(record.GetMenus())) {
        return false;  // the module stays started; its applications are not run
    }
    record.SetMenusLoaded(true);
    return LoadApplications(record.GetApplications(), hostArxLoader());
}

bool unloadModule(ModuleRecord& record, MenuManager& menus) {
    if (!menus.UnloadMenuList(record.GetMenus())) {
        return false;
    }
    record.SetMenusLoaded(false);
    // Applications are deliberately left alone: loaded ARX applications stay loaded and
    // started programs keep running.
    record.StopModule();
    return true;
}

}  // namespace

bool ExecuteEvent(ModuleRecord& record, MenuManager& menus) {
    bool ok = true;
    switch (record.GetPendingEvent()) {
        case kEventLoadModule:
            ok = loadModule(record, menus);
            break;
        case kEventUnloadModule:
            ok = unloadModule(record, menus);
            break;
        case kEventLoadMenu:
            ok = LoadModuleMenus(record, menus);
            break;
        case kEventUnloadMenu:
            ok = UnloadModuleMenus(record, menus);
            break;
        default:
            break;
    }
    record.ClearEvent();
    return ok;
}

}  // namespace qm
