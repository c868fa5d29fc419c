#pragma once
// String comparisons with the Windows semantics the module loader depends on. Text is UTF-8.
#include <string>
#include <string_view>

namespace qmsys {

// _wcsicmp: folds ASCII letters only. Returns <0, 0, >0.
int icompare(std::string_view a, std::string_view b);
inline bool iequals(std::string_view a, std::string_view b) {
    return icompare(a, b) == 0;
}

// Compares two UTF-8 strings in UTF-16 code-unit order: byte order, except that characters
// above U+FFFF (surrogate pairs in UTF-16) sort before U+E000..U+FFFF.
int compareUtf16(std::string_view a, std::string_view b);

// ASCII lower-casing, as the module loader's own lower-casing of configuration names.
std::string asciiLower(std::string_view s);

}  // namespace qmsys
