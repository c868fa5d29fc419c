#pragma once
// Reading one entry of an initialisation file ("[section]" headers, "key=value" lines), with
// the lookup rules of the Windows profile API: section and key names match without regard to
// ASCII case, white space around names and values is dropped, one pair of enclosing quotes is
// removed from a value, and the first matching entry wins.
#include <cstddef>
#include <string>
#include <string_view>

namespace qm {

// The entry's value, cut to bufferChars - 1 characters as a fixed buffer would; fallback when
// the file, the section or the key is missing.
std::string readProfileString(const std::string& file, std::string_view section,
                              std::string_view key, std::string_view fallback,
                              std::size_t bufferChars = 1000);

}  // namespace qm
