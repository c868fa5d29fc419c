#include "runtime/menu_manager.h"

#include <cadhost/arx.h>
#include <qmenv/environment.h>
#include <qmsys/text.h>

#include <deque>
#include <optional>
#include <unordered_set>
#include <vector>

#include "checker/my_launchrig_api.h"
#include "environment/diagnostic_log.h"
#include "environment/names.h"
#include "environment/path_util.h"
#include "environment/str_cat.h"
#include "runtime/menu_group_automation.h"

namespace qm {
namespace {

constexpr std::string_view kLogCategory = "menu";

bool isCuixName(std::string_view name) {
    constexpr std::string_view ext = ".cuix";
    return name.size() >= ext.size() && qmsys::iequals(name.substr(name.size() - ext.size()), ext);
}

// The file the host is given: a ".cuix" name as it is, an .mnu menu's base name with the
// extension its copy carries on disk.
std::string loadableFile(const std::string& userMenuFile, const std::string& name) {
    return isCuixName(name) ? userMenuFile : userMenuFile + ".mnu";
}

}  // namespace

MenuManager::FolderSplit MenuManager::SplitMenuFolder(const std::string& folder) {
    const std::string normalized = path::normalizeSeparators(folder);
    std::string trimmed = normalized;
    while (!trimmed.empty() && trimmed.back() == '/') {
        trimmed.pop_back();
    }
    const std::size_t slash = trimmed.rfind('/');
    if (slash == std::string::npos) {
        return {trimmed, folder};
    }
    if (trimmed.find(names::kMenusFolder, slash) != std::string::npos) {
        return {trimmed.substr(0, slash), folder};
    }
    std::string entryFolder = normalized;
    if (entryFolder.back() != '/') {
        entryFolder += '/';
    }
    entryFolder += names::kMenusFolder;
    return {trimmed, std::move(entryFolder)};
}

std::string MenuManager::UserMenuFile(const std::string& userDataPath, const std::string& name) {
    return path::tidy(strCat({userDataPath, "/", names::kMenusFolder, "/", name}));
}

void MenuManager::Log(const std::string& text) {
    log_.write(kLogCategory, text);
}

void MenuManager::LogCheckerFailure(const MyLaunchrigApi& checker, std::size_t reportSize,
                                    const std::string& what) {
    std::string text = what;
    const std::string& report = checker.Report();
    if (report.size() > reportSize) {
        text += "; checker report:" + report.substr(reportSize);
    } else if (!report.empty()) {
        text += "; checker failed earlier:" + report;
    }
    if (!checker.LastFailure().empty()) {
        text += "; " + checker.LastFailure();
    }
    Log(text);
}

bool MenuManager::LoadMenuList(MenuList& list, ProvisioningPass* pass) {
    if (list.empty()) {
        return true;
    }
    std::optional<ProvisioningPass> own;
    ProvisioningPass& provisioning = pass ? *pass : own.emplace();
    // The installation's folders may have changed since the last list: looked at again once.
    provisioning.index().beginRound();
    MyLaunchrigApi checker;
    checker.SetPass(&provisioning);
    checker.SetRootDirectory(provisioning.appPath());
    const std::string& userDataPath = provisioning.userDataPath();
    bool result = false;
    for (MenuEntry& entry : list) {
        result = LoadEntry(checker, entry, userDataPath);
    }
    return result;
}

bool MenuManager::LoadEntry(MyLaunchrigApi& checker, MenuEntry& entry,
                            const std::string& userDataPath) {
    const FolderSplit split = SplitMenuFolder(entry.folder);
    entry.folder = split.entryFolder;
    // A name the checker refuses never reaches the host: its file title could match a group
    // that another module loaded, which the failing check would then unload.
    if (!LaunchrigApi::AcceptsMenuName(entry.name)) {
        Log("menu \"" + entry.name + "\" refused: not a plain menu file name");
        return false;
    }
    const std::string userFile = UserMenuFile(userDataPath, entry.name);

    // One route per menu: the checker brings the user's copy up to date, then the host keeps
    // the group loaded from it when the copy was current, or loads the copy (again).
    const std::size_t before = checker.Report().size();
    bool replaced = false;
    const bool provided = checker.MenuUpdate(split.moduleFolder, entry.name, replaced);
    std::string groupName;
    if (automation_.FindMenuGroupByFile(userFile, groupName)) {
        entry.groupName = groupName;
        if (provided && !replaced) {
            return true;
        }
        // A group the checker cannot vouch for any more leaves the host, and stays out.
        Log("menu \"" + entry.name + "\" loaded as \"" + groupName + "\" is not current; " +
            (provided ? "reloading" : "unloading"));
        automation_.UnloadMenuGroupByName(entry.groupName);
    }
    if (!provided) {
        LogCheckerFailure(checker, before,
                          "menu \"" + entry.name + "\" from \"" + split.moduleFolder +
                              "\" could not be provided");
        return false;
    }
    if (!automation_.LoadMenuGroupFile(loadableFile(userFile, entry.name), groupName)) {
        Log("menu \"" + entry.name + "\" could not be loaded from \"" + userFile + "\"");
        return false;
    }
    entry.groupName = groupName;
    return true;
}

bool MenuManager::UnloadMenuList(MenuList& list) {
    if (list.empty()) {
        return true;
    }
    bool result = true;
    for (const MenuEntry& entry : list) {
        if (!automation_.UnloadMenuGroupByName(entry.groupName)) {
            Log("menu group \"" + entry.groupName + "\" of menu \"" + entry.name +
                "\" could not be unloaded");
            result = false;
            continue;
        }
        if (qmsys::iequals(entry.groupName, names::kGroupBase)) {
            LoadLoaderMenu(nullptr);
        }
    }
    return result;
}

void MenuManager::UnloadStaleModuleMenus(const ModuleList& modules) {
    // The menus of every module not brought up, looked up in one guarded step (thousands at
    // a large start, one wait when another process holds the protector), then each group found
    // unloaded on its own (docs/PERFORMANCE.md: stale menus looked up together).
    // Each name viewed where it lies; only one with a '\' in it is copied, with '/' instead
    // (docs/PERFORMANCE.md: stale menus' names viewed where they lie).
    std::size_t count = 0;
    for (const ModuleRecord& module : modules) {
        count += module.GetMenusLoaded() == 1 ? 0 : module.GetMenus().Count();
    }
    std::vector<std::string_view> names;
    names.reserve(count);
    std::deque<std::string> normalized;
    for (const ModuleRecord& module : modules) {
        if (module.GetMenusLoaded() == 1) {
            continue;
        }
        // Every name, also one the checker refuses to provide now: the group the host
        // restored may have come from a file of that title all the same (an older
        // installation, another program), and only the host can say. A definition's '\'
        // separates folders, as everywhere in a definition.
        for (const MenuEntry& entry : module.GetMenus()) {
            if (entry.name.find('\\') == std::string::npos) {
                names.push_back(entry.name);
            } else {
                names.push_back(normalized.emplace_back(path::normalizeSeparators(entry.name)));
            }
        }
    }
    std::vector<std::pair<std::size_t, std::string>> found;
    if (names.empty() || !automation_.FindMenuGroupsByFile(names, found)) {
        return;
    }
    // Group names compare with ASCII case folded, as the host names them.
    std::unordered_set<std::string> unloaded;
    for (auto& [i, groupName] : found) {
        // Found for an earlier menu of the same file title and unloaded since: looked up
        // again, as a lookup made now would be (it may find another group of that title).
        if (unloaded.contains(qmsys::asciiUpper(groupName)) &&
            !automation_.FindMenuGroupByFile(std::string(names[i]), groupName)) {
            continue;
        }
        if (groupName.empty()) {
            continue;
        }
        if (automation_.UnloadMenuGroupByName(groupName)) {
            unloaded.insert(qmsys::asciiUpper(groupName));
        } else {
            Log("stale menu group \"" + groupName + "\" could not be unloaded");
        }
    }
}

void MenuManager::RemoveExtraMenu() {
    const std::string group(names::kGroupQco);
    if (acedIsMenuGroupLoaded(group.c_str()) && !automation_.UnloadMenuGroupByName(group)) {
        Log("menu group \"" + group + "\" could not be unloaded at start-up");
    }
}

void MenuManager::ProvideLoaderMenu(bool baseModuleBroughtUp, ProvisioningPass* pass) {
    const std::string group(names::kGroupModuleLoader);
    const bool loaded = acedIsMenuGroupLoaded(group.c_str());
    if (baseModuleBroughtUp) {
        if (loaded && !automation_.UnloadMenuGroupByName(group)) {
            Log("menu group \"" + group + "\" could not be unloaded at start-up");
        }
    } else if (!loaded) {
        LoadLoaderMenu(pass);
    }
}

void MenuManager::LoadLoaderMenu(ProvisioningPass* pass) {
    std::optional<ProvisioningPass> own;
    ProvisioningPass& provisioning = pass ? *pass : own.emplace();
    MenuList base;
    base.AddMenu(strCat({names::kBaseMenuPrefix, provisioning.language()}),
                 std::string(names::kBaseMenuFolder));
    if (!LoadMenuList(base, &provisioning)) {
        Log("the loader's base menu could not be loaded");
    }
}

}  // namespace qm
