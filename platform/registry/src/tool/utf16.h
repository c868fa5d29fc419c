#pragma once
// UTF-16LE, the encoding of strings inside .reg hex data and of .reg files saved by the
// Windows registry editor. Invalid input decodes to U+FFFD rather than failing.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qmreg::tool {

std::vector<std::uint8_t> utf8ToUtf16le(std::string_view utf8);
std::string utf16leToUtf8(const std::uint8_t* data, std::size_t size);

}  // namespace qmreg::tool
