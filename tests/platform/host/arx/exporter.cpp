// A test application exporting a function that other applications find through the dynamic
// linker.
#include "cadhost/arx.h"

extern "C" __attribute__((visibility("default"))) int hosttestTwice(int value) {
    return 2 * value;
}

extern "C" __attribute__((visibility("default"))) AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode,
                                                                                  void*) {
    return AcRx::kRetOK;
}
