#include "app/startup_sequence.h"

namespace qm {

void RunStartupSequence(LoaderContext&) {}

}  // namespace qm
