#pragma once
// The modules of the installation in catalogue order, held by value. The catalogue fills it
// once; afterwards only the records' settings, state and events change, never its order or
// length.
#include <vector>

#include "runtime/module_record.h"

namespace qm {

using ModuleList = std::vector<ModuleRecord>;

}  // namespace qm
