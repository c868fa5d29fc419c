#include "catalogue/module_key.h"

#include <qmsys/text.h>

#include "environment/registry_layout.h"

namespace qm {

std::optional<std::string> ModuleKeyPath(std::string_view keyname) {
    std::string key = registry_layout::moduleKey(keyname);
    if (!ModuleKeyFits(key)) {
        return std::nullopt;
    }
    return key;
}

bool ModuleKeyFits(std::string_view keyPath) {
    // A UTF-16 unit takes at least one byte of UTF-8, so a path of no more bytes than the
    // buffer holds units fits without counting (docs/PERFORMANCE.md: one visit per module key).
    return keyPath.size() <= registry_layout::kMaxKeyPath ||
           qmsys::utf16Length(keyPath) <= registry_layout::kMaxKeyPath;
}

}  // namespace qm
