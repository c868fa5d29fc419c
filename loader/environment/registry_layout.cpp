#include "environment/registry_layout.h"

#include <qmenv/environment.h>

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
    return moduleKey({});
}

// Built in one buffer of the final size: the catalogue asks for one key per module.
std::string moduleKey(std::string_view keyname) {
    std::string key = QmEnGetRegistryKey();
    key.reserve(key.size() + kModulesFolder.size() + 1 + keyname.size());
    key += kModulesFolder;
    if (!keyname.empty()) {
        key += '\\';
        key += keyname;
    }
    return key;
}

}  // namespace qm::registry_layout
