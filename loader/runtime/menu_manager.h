#pragma once
// Brings modules' menus into the host and takes them out again. A menu is never loaded from
// the installation: the installation checker first brings the installed files into the user's
// menus folder (<user data>/Menus) and the host is pointed at that copy. The host is reached
// only through MenuGroupAutomation and, for two start-up queries, acedIsMenuGroupLoaded.
//
// Nothing here shows a message. A menu that cannot be provided or loaded stays unloaded, the
// operation reports false, and the reason (with the checker's report) goes to the diagnostic
// log. No lock is held across steps: another process may act between the lookup, the
// provisioning and the load of one menu.
#include <memory>
#include <string>

#include "checker/provisioning_pass.h"
#include "runtime/menu_list.h"
#include "runtime/module_list.h"

namespace qm {

class DiagnosticLog;
class MenuGroupAutomation;
class MyLaunchrigApi;

class MenuManager {
public:
    // Both outlive this object.
    MenuManager(MenuGroupAutomation& automation, DiagnosticLog& log)
        : automation_(automation), log_(log) {}

    // Provides and loads every menu of list, recording group names (and rewriting folders
    // that lack their "Menus" component). One checker object serves the whole list, so after
    // one failed provisioning every later entry fails too. The result is that of the last
    // entry; an empty list gives true.
    //
    // pass is the start-up's provisioning pass, shared by every list it brings up: each
    // installation menus folder is then read once, so that each menu costs the same few
    // system calls however many files its folder holds, and the paths and the checker's
    // registry values are asked once. Without one (null), the list is a pass of its own.
    bool LoadMenuList(MenuList& list, ProvisioningPass* pass = nullptr);
    // Unloads every entry's group; false when any unload failed, but every entry is tried.
    // Unloading KRQM_BASE brings the loader's own base menu back at once.
    bool UnloadMenuList(MenuList& list);
    // Start-up: unloads the groups the host restored from earlier sessions for modules whose
    // menus this session did not load. Their menus are looked up together, in one guarded
    // step; each group found is then unloaded in a step of its own.
    void UnloadStaleModuleMenus(const ModuleList& modules);
    // Start-up: the extra menu (KRQM_QCO) never survives into a new session.
    void RemoveExtraMenu();
    // Start-up: when the base module was brought up its menu carries the loader's entries, so
    // a loaded KRQM_MODULELOADER goes; otherwise the loader's base menu is loaded unless its
    // group is already there.
    // pass as for LoadMenuList.
    void ProvideLoaderMenu(bool baseModuleBroughtUp, ProvisioningPass* pass = nullptr);

    // How a definition's menus folder splits into the module folder the checker wants and
    // the folder the entry keeps.
    struct FolderSplit {
        std::string moduleFolder;
        std::string entryFolder;
    };
    // folder may use '\' (definition files do). When the last component contains "Menus" the
    // module folder is the part before it and the entry keeps its folder as written; otherwise
    // the entry's folder becomes the folder (with '/') plus "/Menus". A single component is
    // both. The module folder always uses '/' and has no trailing separator.
    static FolderSplit SplitMenuFolder(const std::string& folder);
    // <user data>/Menus/<name>, tidied (a leading pair of separators stays).
    static std::string UserMenuFile(const std::string& userDataPath, const std::string& name);

private:
    bool LoadEntry(MyLaunchrigApi& checker, MenuEntry& entry, const std::string& userDataPath);
    void LoadLoaderMenu(ProvisioningPass* pass);
    void Log(const std::string& text);
    // Logs the checker's report lines added since reportSize, and its last failure detail.
    void LogCheckerFailure(const MyLaunchrigApi& checker, std::size_t reportSize,
                           const std::string& what);

    MenuGroupAutomation& automation_;
    DiagnosticLog& log_;
};

}  // namespace qm
