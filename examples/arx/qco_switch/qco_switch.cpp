// A small product program that switches the extra menu through the module loader's exports.
// It registers two commands in the group KRQM_QCO_SWITCH:
//   KRQM_QCO_LOAD    calls loadQCOMenu()
//   KRQM_QCO_UNLOAD  calls unloadQCOMenu()
// and prints what the export returned, e.g. "loadQCOMenu returned 1". The exports are found
// through the dynamic linker, so the module loader must be loaded (as QmModuleLoader.arx).
#include <cstdio>

#include <cadhost/arx.h>

namespace {

constexpr const char* kGroup = "KRQM_QCO_SWITCH";
constexpr const char* kLoader = "QmModuleLoader.arx";

using MenuSwitch = bool (*)();

void callExport(const char* symbol) {
    void* address =
        acrxDynamicLinker() ? acrxDynamicLinker()->getSymbolAddress(kLoader, symbol) : nullptr;
    if (!address) {
        std::printf("%s is not available (is %s loaded?)\n", symbol, kLoader);
    } else {
        const bool result = reinterpret_cast<MenuSwitch>(address)();
        std::printf("%s returned %d\n", symbol, result ? 1 : 0);
    }
    std::fflush(stdout);
}

void loadCommand() {
    callExport("loadQCOMenu");
}
void unloadCommand() {
    callExport("unloadQCOMenu");
}

}  // namespace

extern "C" CADHOST_EXPORT AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode msg, void* appId) {
    switch (msg) {
        case AcRx::kInitAppMsg:
            acrxDynamicLinker()->registerAppMDIAware(appId);
            acedRegCmds()->addCommand(kGroup, "KRQM_QCO_LOAD", "KRQM_QCO_LOAD", ACRX_CMD_MODAL,
                                      &loadCommand);
            acedRegCmds()->addCommand(kGroup, "KRQM_QCO_UNLOAD", "KRQM_QCO_UNLOAD", ACRX_CMD_MODAL,
                                      &unloadCommand);
            break;
        case AcRx::kUnloadAppMsg:
            acedRegCmds()->removeGroup(kGroup);
            break;
        default:
            break;
    }
    return AcRx::kRetOK;
}
