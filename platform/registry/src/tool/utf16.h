#pragma once
// UTF-16LE, the encoding of strings inside .reg hex data, of .reg files saved by the Windows
// registry editor and of string data in the real registry (qm_registry builds these in). Invalid
// input decodes to U+FFFD rather than failing. The conversions themselves are qmsys's; these add
// the byte order.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qmreg::tool {

std::vector<std::uint8_t> utf8ToUtf16le(std::string_view utf8);
std::string utf16leToUtf8(const std::uint8_t* data, std::size_t size);
// Whether text is UTF-8 that survives the way through UTF-16 unchanged.
bool survivesUtf16(std::string_view utf8);

// Text in the Western European ANSI code page (Windows-1252), the encoding of REGEDIT4 files;
// the five bytes that code page leaves unassigned decode to the C1 controls of the same number.
std::string ansiToUtf8(std::string_view ansi);

}  // namespace qmreg::tool
