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
std::string modulesKey() {
    return QmEnGetRegistryKey() + "\\Quillmont modules";
}

std::string moduleKey(std::string_view keyname) {
    std::string key = modulesKey();
    if (!keyname.empty()) {
        key += '\\';
        key += keyname;
    }
    return key;
}

}  // namespace qm::registry_layout
