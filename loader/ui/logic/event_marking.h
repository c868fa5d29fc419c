#pragma once
// How the loader dialog marks an event on a module record: Load, Unload, or the toggle of the
// Space key and the double click.
#include <string_view>

#include "runtime/module_record.h"

namespace qm::ui {

enum class MarkMode { Toggle = 0, Load = 1, Unload = 2 };

// Load marks loading where it can (menus not loaded, or already marked), otherwise clears the
// mark. Unload marks unloading where the menus are loaded or unloading is already marked,
// otherwise clears it; the base module keeps its mark. Toggle clears an existing mark, else
// marks loading for a module whose menus are not loaded and unloading for one whose menus are
// (never for the base module). Every mark goes through SetEvent, whose own refusals apply.
void MarkEvent(ModuleRecord& record, MarkMode mode, std::string_view baseModuleKey);

}  // namespace qm::ui
