#include "builtin_commands.h"

#include <array>

#include "cadhost/host.h"
#include "text_util.h"

namespace cadhost {

namespace {

void listApplications(Host& host, const std::string&) {
    for (const ArxAppInfo& app : host.applications()) {
        host.print(app.fileName + "\n");
    }
}

void loadApplication(Host& host, const std::string& path) {
    const ArxLoadResult result = host.loadApplication(path);
    if (result.status != RTNORM) {
        host.print("Unable to load ARX application \"" + path + "\": " + result.error + "\n");
    }
}

void unloadApplication(Host& host, const std::string& name) {
    if (host.unloadApplication(name) != RTNORM) {
        host.print("Unable to unload ARX application \"" + name + "\": not loaded or locked.\n");
    }
}

void listMenuGroups(Host& host, const std::string&) {
    for (const MenuGroupInfo& group : host.menuGroups()) {
        host.print(group.name + "\t" + group.menuFile + "\n");
    }
}

std::shared_ptr<IAcadMenuGroups> menuGroupsOf(Host& host) {
    std::shared_ptr<IAcadMenuGroups> groups;
    host.automation().get_MenuGroups(groups);
    return groups;
}

void loadMenu(Host& host, const std::string& path) {
    std::shared_ptr<IAcadMenuGroup> group;
    const auto groups = menuGroupsOf(host);
    if (!groups || groups->Load(path, false, group) != S_OK) {
        host.print("Unable to load menu file \"" + path + "\".\n");
    }
}

void unloadMenu(Host& host, const std::string& name) {
    const auto groups = menuGroupsOf(host);
    std::int32_t count = 0;
    if (groups) {
        groups->get_Count(count);
    }
    for (std::int32_t i = 0; i < count; ++i) {
        std::shared_ptr<IAcadMenuGroup> group;
        std::string groupName;
        if (groups->Item(i, group) == S_OK && group->get_Name(groupName) == S_OK &&
            iequals(groupName, name)) {
            if (group->Unload() != S_OK) {
                host.print("Unable to unload menu group \"" + name + "\".\n");
            }
            return;
        }
    }
    host.print("Menu group \"" + name + "\" is not loaded.\n");
}

void newDrawing(Host& host, const std::string&) {
    host.newDrawing();
}

void closeDrawing(Host& host, const std::string&) {
    if (!host.closeDrawing()) {
        host.print("No drawing is open.\n");
    }
}

void quit(Host& host, const std::string&) {
    host.requestQuit();
}

struct Builtin {
    const char* name;
    bool needsArgument;
    void (*run)(Host&, const std::string&);
};

constexpr std::array<Builtin, 9> kBuiltins{{
    {"ARX", false, listApplications},
    {"ARXLOAD", true, loadApplication},
    {"ARXUNLOAD", true, unloadApplication},
    {"MENUGROUPS", false, listMenuGroups},
    {"MENULOAD", true, loadMenu},
    {"MENUUNLOAD", true, unloadMenu},
    {"NEW", false, newDrawing},
    {"CLOSE", false, closeDrawing},
    {"QUIT", false, quit},
}};

}  // namespace

bool runBuiltinCommand(Host& host, const std::vector<std::string>& words) {
    if (words.empty()) {
        return false;
    }
    for (const Builtin& builtin : kBuiltins) {
        if (!iequals(words[0], builtin.name)) {
            continue;
        }
        const std::string argument = words.size() > 1 ? words[1] : std::string();
        if (builtin.needsArgument && argument.empty()) {
            host.print(std::string(builtin.name) + " needs an argument.\n");
        } else {
            builtin.run(host, argument);
        }
        return true;
    }
    return false;
}

}  // namespace cadhost
