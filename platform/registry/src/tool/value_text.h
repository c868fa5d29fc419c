#pragma once
// Value types and data as the command line writes them ("REG_DWORD", "0x1a").
#include <optional>
#include <string>
#include <string_view>

#include "qmreg/registry.h"

namespace qmreg::tool {

// "REG_SZ", "REG_EXPAND_SZ", "REG_BINARY", "REG_DWORD", "REG_NONE".
const char* typeName(ValueType type);
// Accepts the four writable type names in any capitalisation; nullopt otherwise.
std::optional<ValueType> parseTypeName(std::string_view name);

// Data as a query line shows it: strings as they are, DWORDs as 0x hex, binary data as
// upper-case hex digits without separators.
std::string displayData(const Value& value);

// Builds a value of type from the text given with /d. DWORDs accept decimal or 0x hex up to
// 4294967295; binary data is an even number of hex digits. nullopt when data does not fit.
std::optional<Value> parseValueData(std::string name, ValueType type, std::string_view data);

}  // namespace qmreg::tool
