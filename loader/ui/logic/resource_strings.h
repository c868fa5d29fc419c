#pragma once
// Strings from the module loader's current resources. The resources are the ones a
// QmEnResourceLoader for "QmModuleLoader" made current on this thread, in the environment's
// language; a language the module loader does not ship falls back to English. Without an
// active loader the module loader's resources are not current and no string loads.
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "ui/logic/resource_ids.h"

namespace qm::ui {

class StringTable;

// The table of the current resources, or null when they are not the module loader's.
const StringTable* CurrentStringTable();

// The text of id in the current resources; nullopt when it cannot be loaded.
std::optional<std::string> LoadResourceString(StringId id);
// As LoadResourceString, with "" for a string that cannot be loaded.
std::string ResourceString(StringId id);

// Replaces each "%s" of format by the next argument, in order; "%%" gives "%". A "%s" without
// an argument left stays as written. Resource texts are never used as printf formats.
std::string FormatText(std::string_view format, std::initializer_list<std::string_view> args);

// The message for an installation without readable module definitions: string 6041 formatted
// with the installation folder, tidied (doubled separators collapsed except within its first
// two characters, so a leading "//" survives) and without trailing separators. Empty when the
// string cannot be loaded.
std::string NoModulesMessage(const std::string& appPath);

}  // namespace qm::ui
