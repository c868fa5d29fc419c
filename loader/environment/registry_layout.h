#pragma once
// Registry key paths of the module loader, all below the product registry key K that the
// environment library reports. Paths are registry syntax with '\' separators.
#include <string>
#include <string_view>

namespace qm::registry_layout {

// K + "\ModuleLoader\Startup\Recent" (current user): the configuration of the last start.
std::string recentConfigKey();
// K + "\ModuleLoader" (local machine): ModulesAutostartDisable.
std::string moduleLoaderKey();
// K + "\Base" (current user): the AutoLISP query answers.
std::string baseSettingsKey();
// K + "\Quillmont modules": StartupMessageDone, parent of the module keys.
std::string modulesKey();
// K + "\Quillmont modules" + ("\" + keyname when keyname is not empty).
std::string moduleKey(std::string_view keyname);
// The same below modules (modulesKey(), worked out once for many keys).
std::string moduleKey(std::string_view modules, std::string_view keyname);

// A module key is appended into a path buffer of 260 characters; longer keys (259+ in all)
// do not fit and are refused by the settings code.
inline constexpr std::size_t kMaxKeyPath = 259;

}  // namespace qm::registry_layout
