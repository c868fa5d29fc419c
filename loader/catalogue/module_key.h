#pragma once
// The registry key that holds one module's settings and version override.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

// The module key of keyname (the modules key when keyname is empty), or nullopt when it does
// not fit the 260-character path buffer the settings store builds it in: a module with a very
// long key gets no stored settings. (The version override opens its key at any length.)
std::optional<std::string> ModuleKeyPath(std::string_view keyname);
// Whether a module key path (registry_layout::moduleKey) fits that buffer.
bool ModuleKeyFits(std::string_view keyPath);

}  // namespace qm
