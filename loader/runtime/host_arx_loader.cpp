#include "runtime/host_arx_loader.h"

#include <cadhost/arx.h>

namespace qm {

namespace {

void runCommand(const char* command) {
    acedCommandS(RTSTR, command, RTNONE);
}

constexpr ArxLoader kHostArxLoader{&acedArxLoad, &runCommand};

}  // namespace

const ArxLoader& hostArxLoader() {
    return kHostArxLoader;
}

}  // namespace qm
