// A test application exporting a function that other applications find through the dynamic
// linker.
#include <qmsys/module.h>

#include "cadhost/arx.h"

extern "C" QM_EXPORT int hosttestTwice(int value) {
    return 2 * value;
}

extern "C" QM_EXPORT AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode, void*) {
    return AcRx::kRetOK;
}
