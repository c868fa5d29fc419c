#pragma once
// Shared ordering routine behind icompare, compareUtf16 and the file search order.
#include <string_view>

namespace qmsys {

// Which ASCII case folding to apply before comparing. _wcsicmp folds to lower case; NTFS
// orders directory entries by upper-cased names, which differs for the characters between
// 'Z' and 'a' ("[\]^_`").
enum class CaseFold { None, Lower, Upper };

// Compares UTF-8 text in UTF-16 code-unit order after folding ASCII letters as asked.
// Returns <0, 0, >0.
int compareUtf16Folded(std::string_view a, std::string_view b, CaseFold fold);

// The simple upper-case mapping of one character (upcaseName's table); others unchanged.
char32_t upcaseChar(char32_t c);

// The fixed collation of collate() (qmsys/text.h), which Windows replaces by the user's locale
// and falls back to when the locale cannot compare.
int collateFixed(std::string_view a, std::string_view b);

}  // namespace qmsys
