// A tiny ARX application for the application-loading tests. It appends "init" to the file
// named by $QMTEST_ARX_LOG when loaded and registers QMTEST_ARX_HELLO, which appends
// "command". With $QMTEST_ARX_FAIL_INIT set its initialisation fails. With
// $QMTEST_ARX_MENULOAD naming a menu file it loads that menu into the host while it
// initialises, as an application that brings its own menu does.
#include <cadhost/arx.h>
#include <cadhost/automation.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

void note(const char* line) {
    if (const char* file = std::getenv("QMTEST_ARX_LOG")) {
        if (std::FILE* f = std::fopen(file, "a")) {
            std::fprintf(f, "%s\n", line);
            std::fclose(f);
        }
    }
}

void hello() {
    note("command");
}

}  // namespace

extern "C" __attribute__((visibility("default"))) AcRx::AppRetCode acrxEntryPoint(
    AcRx::AppMsgCode msg, void*) {
    switch (msg) {
        case AcRx::kInitAppMsg:
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
