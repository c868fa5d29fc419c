#pragma once
// Key names as the command line and .reg files write them: a hive prefix (HKCU, HKLM or their
// long forms, any capitalisation) and an optional path below it.
#include <optional>
#include <string>
#include <string_view>

#include "qmreg/registry.h"

namespace qmreg::tool {

struct KeyName {
    HiveId hive = HiveId::CurrentUser;
    std::string path;  // below the hive, '\'-separated; "" is the hive's root key
};

// nullopt when text does not begin with a known hive name.
std::optional<KeyName> parseKeyName(std::string_view text);

// "HKEY_CURRENT_USER" or "HKEY_LOCAL_MACHINE".
const char* hiveLongName(HiveId hive);

// The long form: hive name, then '\' and path when path is not empty.
std::string fullKeyName(HiveId hive, const std::string& path);

}  // namespace qmreg::tool
