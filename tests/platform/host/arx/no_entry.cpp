// A shared object that is no ARX application: it exports no acrxEntryPoint.
#include <qmsys/module.h>

extern "C" QM_EXPORT int hosttestNothing() {
    return 0;
}
