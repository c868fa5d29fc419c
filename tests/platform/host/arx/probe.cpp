// A test application that reports every message it gets ("probe: <message> <drawing>") and
// exercises the host API: a command with a local name, AutoLISP functions answered through
// kInvkSubrMsg and through acedRegFunc, nested commands, message boxes and symbol look-up
// in another application (a long one too), and what the process has mapped.
#include <array>
#include <fstream>
#include <set>
#include <string>

#include <qmsys/module.h>

#include "cadhost/arx.h"
#include "cadhost/services.h"

namespace {

constexpr const char* kGroup = "HOSTTEST_PROBE";
constexpr std::array<const char*, 5> kFunctions{"probe-int", "probe-str", "probe-nil", "probe-reg",
                                                "probe-fail"};
constexpr int kRegisteredCode = 3;
constexpr int kFailingCode = 4;

const char* messageName(AcRx::AppMsgCode msg) {
    static const char* const names[] = {"other",       "kInitAppMsg",   "kUnloadAppMsg",
                                        "kLoadDwgMsg", "kUnloadDwgMsg", "kInvkSubrMsg",
                                        "other",       "other",         "kQuitMsg"};
    return msg >= 0 && msg < static_cast<int>(std::size(names)) ? names[msg] : "other";
}

const char* currentDrawing() {
    AcApDocManager* manager = acDocManagerPtr();
    AcApDocument* document = manager != nullptr ? manager->curDocument() : nullptr;
    return document != nullptr ? document->fileName() : "-";
}

void hello() {
    acutPrintf("probe: hello\n");
}

void runHello() {
    const int rc = acedCommandS(RTSTR, "_hosttest_hello", RTNONE);
    acutPrintf("probe: acedCommandS %s\n", rc == RTNORM ? "RTNORM" : "RTERROR");
}

void ask() {
    const int answer = cadhost::messageBox(acedGetAcadFrame(), "Proceed?\nReally?", "Probe",
                                           cadhost::MB_YESNO | cadhost::MB_DEFBUTTON2);
    acutPrintf("probe: answer %d\n", answer);
}

// A box with a long list, as the loader's Apply shows for many modules whose menus are missing.
void askLong() {
    std::string text;
    for (int i = 1; i <= 100; ++i) {
        text += "Module " + std::to_string(i) + ": the menu file cannot be found\n";
    }
    const int answer = cadhost::messageBox(acedGetAcadFrame(), text, "Probe list",
                                           cadhost::MB_OK | cadhost::MB_ICONERROR);
    acutPrintf("probe: answer %d\n", answer);
}

void callExporter() {
    using Twice = int (*)(int);
    const auto twice = reinterpret_cast<Twice>(
        acrxDynamicLinker()->getSymbolAddress("hosttest_exporter.arx", "hosttestTwice"));
    if (twice != nullptr) {
        acutPrintf("probe: exporter says %d\n", twice(21));
    } else {
        acutPrintf("probe: exporter not found\n");
    }
}

// Prints how many distinct Qt libraries the process has mapped.
void countQtLibraries() {
    std::ifstream maps("/proc/self/maps");
    std::set<std::string> qt;
    for (std::string line; std::getline(maps, line);) {
        const auto slash = line.rfind('/');
        if (slash != std::string::npos && line.compare(slash + 1, 6, "libQt6") == 0) {
            qt.insert(line.substr(slash + 1));
        }
    }
    acutPrintf("probe: Qt libraries mapped %d\n", static_cast<int>(qt.size()));
}

int registeredFunction() {
    acedRetInt(acedGetFunCode() * 100);
    return RSRSLT;
}

int failingFunction() {
    return RSERR;
}

void addCommands() {
    struct Command {
        const char* global;
        const char* local;
        AcRxFunctionPtr handler;
    };
    const Command commands[] = {
        {"hosttest_hello", "hosttest_hallo", hello},
        {"hosttest_runhello", nullptr, runHello},
        {"hosttest_ask", nullptr, ask},
        {"hosttest_asklong", nullptr, askLong},
        {"hosttest_import", nullptr, callExporter},
        {"hosttest_qtmaps", nullptr, countQtLibraries},
    };
    for (const Command& c : commands) {
        acedRegCmds()->addCommand(kGroup, c.global, c.local, ACRX_CMD_MODAL, c.handler);
    }
}

}  // namespace

extern "C" QM_EXPORT AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode msg, void* pkt) {
    acutPrintf("probe: %s %s\n", messageName(msg), currentDrawing());
    switch (msg) {
        case AcRx::kInitAppMsg:
            acrxDynamicLinker()->unlockApplication(pkt);
            acrxDynamicLinker()->registerAppMDIAware(pkt);
            addCommands();
            break;
        case AcRx::kUnloadAppMsg:
            acedRegCmds()->removeGroup(kGroup);
            break;
        case AcRx::kLoadDwgMsg:
            for (int code = 0; code < static_cast<int>(kFunctions.size()); ++code) {
                acedDefun(kFunctions[static_cast<std::size_t>(code)], code);
            }
            acedRegFunc(registeredFunction, kRegisteredCode);
            acedRegFunc(failingFunction, kFailingCode);
            break;
        case AcRx::kUnloadDwgMsg:
            for (int code = 0; code < static_cast<int>(kFunctions.size()); ++code) {
                acedUndef(kFunctions[static_cast<std::size_t>(code)], code);
            }
            break;
        case AcRx::kInvkSubrMsg:
            switch (acedGetFunCode()) {
                case 0:
                    acedRetInt(42);
                    break;
                case 1:
                    acedRetStr("say \"hi\"");
                    break;
                default:
                    acedRetNil();
                    break;
            }
            break;
        default:
            break;
    }
    return AcRx::kRetOK;
}
