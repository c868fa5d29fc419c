#pragma once
// The host's side of loading an ARX application (ArxLoader), for the model, which links no
// host: the module loader hands this in wherever applications are loaded.
#include "runtime/qm_application.h"

namespace qm {

// acedArxLoad, and acedCommandS for the command run after a load.
const ArxLoader& hostArxLoader();

}  // namespace qm
