// A test application whose initialisation refuses, after it registered a command.
#include <qmsys/module.h>

#include "cadhost/arx.h"

namespace {
void refused() {
    acutPrintf("refuse: still here\n");
}
}  // namespace

extern "C" QM_EXPORT AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode msg, void*) {
    if (msg != AcRx::kInitAppMsg) {
        return AcRx::kRetOK;
    }
    acedRegCmds()->addCommand("HOSTTEST_REFUSE", "hosttest_refused", nullptr, ACRX_CMD_MODAL,
                              refused);
    return AcRx::kRetError;
}
