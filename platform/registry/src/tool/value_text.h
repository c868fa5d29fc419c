#pragma once
// Value types and data as the command line writes them ("REG_DWORD", "0x1a").
#include <optional>
#include <string>
#include <string_view>

#include "qmreg/registry.h"

namespace qmreg::tool {

// "REG_SZ", "REG_MULTI_SZ", ... for every type the registry knows; "0x" and the number in
// hex for any other.
std::string typeName(ValueType type);
// Accepts the names of the types /t can write (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ,
// REG_DWORD, REG_QWORD, REG_BINARY, REG_NONE) in any capitalisation; nullopt otherwise.
std::optional<ValueType> parseTypeName(std::string_view name);

// Data as a query line shows it: strings as they are, the strings of a REG_MULTI_SZ joined by
// "\0", DWORDs and QWORDs as 0x hex, other data as upper-case hex digits without separators.
std::string displayData(const Value& value);

// Builds a value of type from the text given with /d. DWORDs and QWORDs accept decimal or 0x
// hex up to their largest value; REG_MULTI_SZ strings are separated by "\0"; REG_BINARY and
// REG_NONE data is an even number of hex digits. nullopt when data does not fit.
std::optional<Value> parseValueData(std::string name, ValueType type, std::string_view data);

// What parseValueData expects for type, for error messages.
std::string expectedData(ValueType type);

}  // namespace qmreg::tool
