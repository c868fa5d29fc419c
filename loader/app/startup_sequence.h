#pragma once
// The start-up sequence: brings the installation into the host session when the module
// loader is initialised. Runs once, on the host's main thread, and nothing it meets can fail
// the initialisation. What it tells the user, each at most once: that no definition could be
// read, that the store can only be read, that the base module's settings could not be written,
// that a module was skipped because the host died starting it, and that safe mode is on.
#include "runtime/loader_context.h"

namespace qm {

void RunStartupSequence(LoaderContext& context);

}  // namespace qm
