#include "app/extra_menu.h"

namespace qm {

bool LoadQcoMenu(LoaderContext&) { return false; }
bool UnloadQcoMenu(LoaderContext&) { return true; }

}  // namespace qm
