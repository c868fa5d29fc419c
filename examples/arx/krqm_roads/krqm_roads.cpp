// The road design module's ARX application of the sample installation. It registers the
// commands its menu offers; KRQM_ROADS_INIT is the one the module definition runs right after
// loading. The design commands themselves only announce what they would do.
#include <cadhost/arx.h>

namespace {

constexpr const char* kGroup = "KRQM_ROADS";

void initCommand() {
    acutPrintf("\nQuillmont Road Design 22.15 ready.\n");
}
void alignCommand() {
    acutPrintf("\nRoad alignment: select a polyline (sample, no design).\n");
}
void profileCommand() {
    acutPrintf("\nLongitudinal profile (sample, no design).\n");
}
void sectionsCommand() {
    acutPrintf("\nCross sections (sample, no design).\n");
}
void superCommand() {
    acutPrintf("\nSuperelevation table (sample, no design).\n");
}

struct Command {
    const char* name;
    AcRxFunctionPtr handler;
};
constexpr Command kCommands[] = {
    {"KRQM_ROADS_INIT", initCommand},       {"KRQM_ROADS_ALIGN", alignCommand},
    {"KRQM_ROADS_PROFILE", profileCommand}, {"KRQM_ROADS_SECTIONS", sectionsCommand},
    {"KRQM_ROADS_SUPER", superCommand},
};

}  // namespace

extern "C" CADHOST_EXPORT AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode msg, void* appId) {
    switch (msg) {
        case AcRx::kInitAppMsg:
            if (AcRxDynamicLinker* linker = acrxDynamicLinker()) {
                linker->registerAppMDIAware(appId);
            }
            if (AcEdCommandStack* commands = acedRegCmds()) {
                for (const Command& command : kCommands) {
                    commands->addCommand(kGroup, command.name, command.name, ACRX_CMD_MODAL,
                                         command.handler);
                }
            }
            break;
        case AcRx::kUnloadAppMsg:
            if (AcEdCommandStack* commands = acedRegCmds()) {
                commands->removeGroup(kGroup);
            }
            break;
        default:
            break;
    }
    return AcRx::kRetOK;
}
