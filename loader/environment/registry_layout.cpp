#include "environment/registry_layout.h"

#include <qmenv/environment.h>

#include "environment/str_cat.h"

namespace qm::registry_layout {

std::string recentConfigKey() {
    return QmEnGetRegistryKey() + "\\ModuleLoader\\Startup\\Recent";
}
std::string moduleLoaderKey() {
    return QmEnGetRegistryKey() + "\\ModuleLoader";
}
std::string baseSettingsKey() {
    return QmEnGetRegistryKey() + "\\Base";
}
namespace {
constexpr std::string_view kModulesFolder = "\\Quillmont modules";
}  // namespace

std::string modulesKey() {
    return QmEnGetRegistryKey() + std::string(kModulesFolder);
}

std::string moduleKey(std::string_view keyname) {
    return moduleKey(modulesKey(), keyname);
}

// Built in one buffer of the final size: the catalogue asks for one key per module.
std::string moduleKey(std::string_view modules, std::string_view keyname) {
    return keyname.empty() ? std::string(modules) : strCat({modules, "\\", keyname});
}

}  // namespace qm::registry_layout
