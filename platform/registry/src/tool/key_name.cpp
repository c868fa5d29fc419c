#include "key_name.h"

#include <array>

#include <qmsys/text.h>

namespace qmreg::tool {

std::optional<KeyName> parseKeyName(std::string_view text) {
    struct Alias {
        std::string_view name;
        HiveId hive;
    };
    static constexpr std::array<Alias, 4> kAliases{{
        {"HKCU", HiveId::CurrentUser},
        {"HKEY_CURRENT_USER", HiveId::CurrentUser},
        {"HKLM", HiveId::LocalMachine},
        {"HKEY_LOCAL_MACHINE", HiveId::LocalMachine},
    }};
    std::size_t slash = text.find('\\');
    std::string_view hive = text.substr(0, slash);
    for (const auto& alias : kAliases) {
        if (!qmsys::iequals(hive, alias.name))
            continue;
        KeyName key{alias.hive, ""};
        if (slash != std::string_view::npos)
            key.path = std::string(text.substr(slash + 1));
        // Trailing separators ("HKCU\Software\") name the same key.
        while (!key.path.empty() && key.path.back() == '\\')
            key.path.pop_back();
        return key;
    }
    return std::nullopt;
}

const char* hiveLongName(HiveId hive) {
    return hive == HiveId::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

std::string fullKeyName(HiveId hive, const std::string& path) {
    std::string name = hiveLongName(hive);
    return path.empty() ? name : name + "\\" + path;
}

}  // namespace qmreg::tool
