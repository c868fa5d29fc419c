#pragma once
// The extra menu that other programs of the product family switch on and off through the
// module loader's exports.
#include "app/loader_context.h"

namespace qm {

bool LoadQcoMenu(LoaderContext& context);
bool UnloadQcoMenu(LoaderContext& context);

}  // namespace qm
