#include "catalogue/module_key.h"

#include <qmsys/text.h>

#include "environment/registry_layout.h"

namespace qm {

std::optional<std::string> ModuleKeyPath(std::string_view keyname) {
    std::string key = registry_layout::moduleKey(keyname);
    if (qmsys::utf16Length(key) > registry_layout::kMaxKeyPath) {
        return std::nullopt;
    }
    return key;
}

}  // namespace qm
