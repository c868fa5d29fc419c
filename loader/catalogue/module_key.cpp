#include "catalogue/module_key.h"

#include "environment/registry_layout.h"

namespace qm {

std::size_t Utf16Length(std::string_view text) {
    std::size_t units = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) != 0x80) {
            units += byte >= 0xF0 ? 2 : 1;  // four-byte sequences need a surrogate pair
        }
    }
    return units;
}

std::optional<std::string> ModuleKeyPath(std::string_view keyname) {
    std::string key = registry_layout::moduleKey(keyname);
    if (Utf16Length(key) > registry_layout::kMaxKeyPath) {
        return std::nullopt;
    }
    return key;
}

}  // namespace qm
