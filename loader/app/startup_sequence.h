#pragma once
// The start-up sequence: brings the installation into the host session when the module
// loader is initialised. Runs once, on the host's main thread; reports nothing except the
// empty-catalogue message, and nothing it meets can fail the initialisation.
#include "runtime/loader_context.h"

namespace qm {

void RunStartupSequence(LoaderContext& context);

}  // namespace qm
