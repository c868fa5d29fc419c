#include "utf16.h"

#include <qmsys/text.h>

namespace qmreg::tool {

std::vector<std::uint8_t> utf8ToUtf16le(std::string_view utf8) {
    const std::u16string units = qmsys::utf8ToUtf16(utf8);
    std::vector<std::uint8_t> out;
    out.reserve(2 * units.size());
    for (const char16_t unit : units) {
        out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return out;
}

std::string utf16leToUtf8(const std::uint8_t* data, std::size_t size) {
    std::u16string units(size / 2, u'\0');
    for (std::size_t k = 0; k < units.size(); ++k) {
        units[k] = static_cast<char16_t>(data[2 * k] | (data[2 * k + 1] << 8));
    }
    return qmsys::utf16ToUtf8(units);
}

bool survivesUtf16(std::string_view utf8) {
    return qmsys::utf16ToUtf8(qmsys::utf8ToUtf16(utf8)) == utf8;
}

std::string ansiToUtf8(std::string_view ansi) {
    // 0x80..0x9F of Windows-1252; 0 marks the unassigned bytes.
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    std::string out;
    for (char c : ansi) {
        auto byte = static_cast<unsigned char>(c);
        char32_t cp = byte;
        if (byte >= 0x80 && byte <= 0x9F && kHigh[byte - 0x80] != 0)
            cp = kHigh[byte - 0x80];
        qmsys::appendUtf8(out, cp);
    }
    return out;
}

}  // namespace qmreg::tool
