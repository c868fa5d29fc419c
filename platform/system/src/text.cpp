#include "qmsys/text.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "text_order_p.h"

namespace qmsys {

namespace {

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

// The first UTF-16 code unit of cp: the code point itself, or the lead surrogate.
std::uint32_t firstUtf16Unit(char32_t cp) {
    return cp < 0x10000 ? cp : 0xD800 + ((cp - 0x10000) >> 10);
}

int sign(long long v) {
    return (v > 0) - (v < 0);
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
    while (i < common && unit(a[i]) == unit(b[i])) {
        ++i;
    }
    if (i == common) {
        return sign(static_cast<long long>(a.size()) - static_cast<long long>(b.size()));
    }
    // Bytes before i agree, so the differing characters start at the same place in both.
    // Folding only touches ASCII, which never occurs inside a multi-byte character.
    std::size_t start = i;
    while (start > 0 && isContinuation(static_cast<unsigned char>(a[start]))) {
        --start;
    }
    const auto ca = decodeAt(a, start);
    const auto cb = decodeAt(b, start);
    if (ca && cb) {
        if (*ca < 0x80 && *cb < 0x80) {
            return sign(static_cast<int>(unit(a[i])) - static_cast<int>(unit(b[i])));
        }
        const long long byUnit = static_cast<long long>(firstUtf16Unit(*ca)) -
                                 static_cast<long long>(firstUtf16Unit(*cb));
        if (byUnit != 0) {
            return sign(byUnit);
        }
        // Same lead surrogate: the trail surrogates order like the code points.
        return sign(static_cast<long long>(*ca) - static_cast<long long>(*cb));
    }
    // Malformed text has no UTF-16 form; plain byte order keeps the result total.
    return sign(static_cast<int>(unit(a[i])) - static_cast<int>(unit(b[i])));
}

int icompare(std::string_view a, std::string_view b) {
    return compareUtf16Folded(a, b, CaseFold::Lower);
}

int compareUtf16(std::string_view a, std::string_view b) {
    return compareUtf16Folded(a, b, CaseFold::None);
}

std::string asciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + ('a' - 'A'));
        }
    }
    return out;
}

}  // namespace qmsys
