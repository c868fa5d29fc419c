// A tiny ARX application for the application-loading tests. It appends "init" to the file
// named by $QMTEST_ARX_LOG when loaded and registers QMTEST_ARX_HELLO, which appends
// "command". With $QMTEST_ARX_FAIL_INIT set its initialisation fails; with
// $QMTEST_ARX_KILL_INIT set it takes the whole host down (SIGKILL) while initialising. With
// $QMTEST_ARX_MENULOAD naming a menu file it loads that menu into the host while it
// initialises, as an application that brings its own menu does. With $QMTEST_ARX_UNLOAD_GROUP
// set it unloads that menu group the same way and appends "unloaded".
#include <cadhost/arx.h>
#include <cadhost/automation.h>
#include <qmsys/module.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

// Ends the host at once, as a crash does (die_now.cpp: <windows.h> and the host's API do not
// mix in one file).
void dieNow();

namespace {

void note(const char* line) {
    if (const char* file = std::getenv("QMTEST_ARX_LOG")) {
        if (std::FILE* f = std::fopen(file, "ab")) {
            std::fprintf(f, "%s\n", line);
            std::fclose(f);
        }
    }
}

void hello() {
    note("command");
}

void unloadGroup(const std::string& name) {
    cadhost::IAcadApplication* app = acedGetAcadWinApp();
    std::shared_ptr<cadhost::IAcadMenuGroups> groups;
    std::int32_t count = 0;
    if (!app || app->get_MenuGroups(groups) != cadhost::S_OK ||
        groups->get_Count(count) != cadhost::S_OK) {
        return;
    }
    for (std::int32_t i = 0; i < count; ++i) {
        std::shared_ptr<cadhost::IAcadMenuGroup> group;
        std::string groupName;
        if (groups->Item(i, group) == cadhost::S_OK &&
            group->get_Name(groupName) == cadhost::S_OK && groupName == name &&
            group->Unload() == cadhost::S_OK) {
            note("unloaded");
            return;
        }
    }
}

}  // namespace

extern "C" QM_EXPORT AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode msg, void*) {
    switch (msg) {
        case AcRx::kInitAppMsg:
            if (std::getenv("QMTEST_ARX_KILL_INIT")) {
                dieNow();
            }
            if (std::getenv("QMTEST_ARX_FAIL_INIT")) {
                return AcRx::kRetError;
            }
            note("init");
            if (const char* menu = std::getenv("QMTEST_ARX_MENULOAD")) {
                std::shared_ptr<cadhost::IAcadMenuGroups> groups;
                std::shared_ptr<cadhost::IAcadMenuGroup> group;
                if (acedGetAcadWinApp()->get_MenuGroups(groups) != cadhost::S_OK ||
                    groups->Load(menu, false, group) != cadhost::S_OK) {
                    note("menuload failed");
                }
            }
            if (const char* group = std::getenv("QMTEST_ARX_UNLOAD_GROUP")) {
                unloadGroup(group);
            }
            acedRegCmds()->addCommand("QMTEST_ARX", "QMTEST_ARX_HELLO", "QMTEST_ARX_HELLO",
                                      ACRX_CMD_MODAL, hello);
            break;
        case AcRx::kUnloadAppMsg:
            acedRegCmds()->removeGroup("QMTEST_ARX");
            break;
        default:
            break;
    }
    return AcRx::kRetOK;
}
