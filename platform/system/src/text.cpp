#include "qmsys/text.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>

#include "text_order_p.h"

namespace qmsys {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Decodes the well-formed UTF-8 character at s[pos]; nullopt for a malformed one.
std::optional<char32_t> decodeAt(std::string_view s, std::size_t pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(pos);
    std::size_t length = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        return lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, cp = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, cp = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, cp = lead & 0x07, minimum = 0x10000;
    } else {
        return std::nullopt;
    }
    if (pos + length > s.size()) {
        return std::nullopt;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (!isContinuation(byte(pos + i))) {
            return std::nullopt;
        }
        cp = (cp << 6) | (byte(pos + i) & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return std::nullopt;
    }
    return cp;
}

int sign(long long v) {
    return (v > 0) - (v < 0);
}

// A byte's place in UTF-16 code-unit order. UTF-8 bytes order like UTF-16 code units except
// that the lead bytes of characters above U+FFFF (F0..F4: surrogate pairs in UTF-16, D800 on)
// go before those of U+E000..U+FFFF (EE, EF). Every byte keeps a place of its own, so text that
// is not UTF-8 follows the same rule as the rest and the order stays total: a sort of such names
// never depends on the order they came in.
unsigned utf16Rank(unsigned char u) {
    if (u >= 0xF0 && u <= 0xF4) {
        return u - 2u;  // F0..F4 to EE..F2
    }
    if (u == 0xEE || u == 0xEF) {
        return u + 5u;  // to F3, F4
    }
    return u;
}

}  // namespace

int compareUtf16Folded(std::string_view a, std::string_view b, CaseFold fold) {
    const auto unit = [fold](char c) {
        auto u = static_cast<unsigned char>(c);
        if (fold == CaseFold::Lower && u >= 'A' && u <= 'Z') {
            return static_cast<unsigned char>(u + ('a' - 'A'));
        }
        if (fold == CaseFold::Upper && u >= 'a' && u <= 'z') {
            return static_cast<unsigned char>(u - ('a' - 'A'));
        }
        return u;
    };
    const std::size_t common = std::min(a.size(), b.size());
    std::size_t i = 0;
    if (fold == CaseFold::None) {
        // Unfolded, the shared start is plain bytes: skipped eight at a time (paths often
        // share a long folder prefix).
        while (common - i >= 8 && std::memcmp(a.data() + i, b.data() + i, 8) == 0) {
            i += 8;
        }
    }
    while (i < common && unit(a[i]) == unit(b[i])) {
        ++i;
    }
    if (i == common) {
        return sign(static_cast<long long>(a.size()) - static_cast<long long>(b.size()));
    }
    // Bytes before i agree, so both texts are cut into the same characters up to i, and the
    // byte at i has the same role in both: a lead byte decides by its rank, a continuation
    // byte (which ranking leaves as it is) like the code points. Folding only touches ASCII.
    return sign(static_cast<int>(utf16Rank(unit(a[i]))) - static_cast<int>(utf16Rank(unit(b[i]))));
}

int icompare(std::string_view a, std::string_view b) {
    return compareUtf16Folded(a, b, CaseFold::Lower);
}

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && asciiLower(a[i]) != asciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

int compareUtf16(std::string_view a, std::string_view b) {
    return compareUtf16Folded(a, b, CaseFold::None);
}

bool utf16OrderIsByteOrder(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0xEE; });
}

std::string asciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        c = asciiLower(c);
    }
    return out;
}

std::string asciiUpper(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        c = asciiUpper(c);
    }
    return out;
}

std::size_t utf16Length(std::string_view utf8) {
    std::size_t units = 0;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (!isContinuation(byte)) {
            units += byte >= 0xF0 ? 2 : 1;  // four-byte sequences need a surrogate pair
        }
    }
    return units;
}

std::string_view cutToUtf16Units(std::string_view utf8, std::size_t maxUnits) {
    std::size_t units = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (isContinuation(byte)) {
            continue;  // belongs to the character before it
        }
        const std::size_t need = byte >= 0xF0 ? 2 : 1;
        if (units + need > maxUnits) {
            return utf8.substr(0, i);
        }
        units += need;
    }
    return utf8;
}

std::string quoted(std::string_view text, ControlEscape controls) {
    std::string out = "\"";
    out.reserve(text.size() + 2);
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (const auto byte = static_cast<unsigned char>(c); byte < 0x20) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape,
                                  controls == ControlEscape::Octal ? "\\%03o" : "\\u%04x",
                                  static_cast<unsigned>(byte));
                    out += escape;
                } else {
                    out += c;
                }
        }
    }
    out += '"';
    return out;
}

// Malformed UTF-8 becomes one U+FFFD per broken character: a lead byte with the continuation
// bytes it announces, or a stray byte. MultiByteToWideChar may make one per byte instead (ED A0
// 80, an encoded surrogate, gives up to three). The count is kept: this conversion is the one
// way text reaches the W functions, and utf16Length and cutToUtf16Units must count what they
// are given without decoding. Both conversions agree on well-formed text and turn nothing
// broken into another character; on Windows, text from the system is UTF-16 and comes back
// well-formed, so only text read from files can be broken at all.
std::u16string utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const std::optional<char32_t> cp = decodeAt(utf8, i);
        if (!cp) {
            out += kReplacement;
            // One replacement for the lead byte and the continuation bytes it announces.
            const auto lead = static_cast<unsigned char>(utf8[i]);
            const std::size_t announced = lead >= 0xF0   ? 3
                                          : lead >= 0xE0 ? 2
                                          : lead >= 0xC0 ? 1
                                                         : 0;
            ++i;
            for (std::size_t k = 0; k < announced && i < utf8.size() &&
                                    isContinuation(static_cast<unsigned char>(utf8[i]));
                 ++k) {
                ++i;
            }
            continue;
        }
        i += *cp < 0x80 ? 1u : *cp < 0x800 ? 2u : *cp < 0x10000 ? 3u : 4u;
        if (*cp >= 0x10000) {
            const char32_t offset = *cp - 0x10000;
            out += static_cast<char16_t>(0xD800 + (offset >> 10));
            out += static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
        } else {
            out += static_cast<char16_t>(*cp);
        }
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t k = 0; k < utf16.size(); ++k) {
        const char32_t unit = utf16[k];
        const bool lead = unit >= 0xD800 && unit <= 0xDBFF;
        if (lead && k + 1 < utf16.size() && utf16[k + 1] >= 0xDC00 && utf16[k + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (utf16[k + 1] - 0xDC00u));
            ++k;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            appendUtf8(out, kReplacement);
        } else {
            appendUtf8(out, unit);
        }
    }
    return out;
}

}  // namespace qmsys
