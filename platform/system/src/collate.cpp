// The fixed collation that stands in for the user's locale where the system offers none that
// every installation shares (see collate() in qmsys/text.h).
#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "qmsys/text.h"
#include "text_order_p.h"

namespace qmsys {

namespace {

// The base letters (lower case) of U+00C0..U+017F; "" for the two symbols among them.
constexpr std::string_view kLatinBase[] = {
    "a", "a", "a",  "a",  "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i",  "i",   // U+00C0
    "d", "n", "o",  "o",  "o", "o", "o",  "",  "o", "u", "u", "u", "u", "y", "th", "ss",  // U+00D0
    "a", "a", "a",  "a",  "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i",  "i",   // U+00E0
    "d", "n", "o",  "o",  "o", "o", "o",  "",  "o", "u", "u", "u", "u", "y", "th", "y",   // U+00F0
    "a", "a", "a",  "a",  "a", "a", "c",  "c", "c", "c", "c", "c", "c", "c", "d",  "d",   // U+0100
    "d", "d", "e",  "e",  "e", "e", "e",  "e", "e", "e", "e", "e", "g", "g", "g",  "g",   // U+0110
    "g", "g", "g",  "g",  "h", "h", "h",  "h", "i", "i", "i", "i", "i", "i", "i",  "i",   // U+0120
    "i", "i", "ij", "ij", "j", "j", "k",  "k", "k", "l", "l", "l", "l", "l", "l",  "l",   // U+0130
    "l", "l", "l",  "n",  "n", "n", "n",  "n", "n", "n", "n", "n", "o", "o", "o",  "o",   // U+0140
    "o", "o", "oe", "oe", "r", "r", "r",  "r", "r", "r", "s", "s", "s", "s", "s",  "s",   // U+0150
    "s", "s", "t",  "t",  "t", "t", "t",  "t", "u", "u", "u", "u", "u", "u", "u",  "u",   // U+0160
    "u", "u", "u",  "u",  "w", "w", "y",  "y", "y", "z", "z", "z", "z", "z", "z",  "s",   // U+0170
};

struct Element {
    std::uint32_t primary;    // the sort key of the base character
    std::uint32_t secondary;  // 0 for a character without a diacritic, else the character
};

// Primary weights: punctuation and symbols of ASCII, then digits, then letters, then the
// rest (other scripts and symbols) by their upper-case form.
constexpr std::uint32_t kDigits = 0x200;
constexpr std::uint32_t kLetters = 0x300;
constexpr std::uint32_t kOthers = 0x10000;

std::uint32_t asciiPrimary(unsigned char c) {
    if (c >= '0' && c <= '9') {
        return kDigits + c;
    }
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') {
        return kLetters + (c | 0x20u);
    }
    return c;
}

void appendElements(char32_t c, std::vector<Element>& out) {
    if (c < 0x80) {
        out.push_back({asciiPrimary(static_cast<unsigned char>(c)), 0});
        return;
    }
    if (c >= 0xC0 && c < 0x180 && !kLatinBase[c - 0xC0].empty()) {
        // The character itself, case folded, tells the diacritics apart.
        const char32_t folded = upcaseChar(c);
        for (char base : kLatinBase[c - 0xC0]) {
            out.push_back({kLetters + static_cast<std::uint32_t>(base), folded});
        }
        return;
    }
    out.push_back({kOthers + upcaseChar(c), 0});
}

std::vector<Element> elements(std::string_view utf8) {
    std::vector<Element> out;
    out.reserve(utf8.size());
    const std::u16string units = utf8ToUtf16(utf8);
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        }
        appendElements(c, out);
    }
    return out;
}

int sign(long long v) {
    return (v > 0) - (v < 0);
}

}  // namespace

int collateFixed(std::string_view a, std::string_view b) {
    if (isAscii(a) && isAscii(b)) {
        // No diacritics: the primary level alone, without building the elements.
        const std::size_t common = std::min(a.size(), b.size());
        for (std::size_t i = 0; i < common; ++i) {
            const std::uint32_t x = asciiPrimary(static_cast<unsigned char>(a[i]));
            const std::uint32_t y = asciiPrimary(static_cast<unsigned char>(b[i]));
            if (x != y) {
                return sign(static_cast<long long>(x) - y);
            }
        }
        return sign(static_cast<long long>(a.size()) - static_cast<long long>(b.size()));
    }
    const std::vector<Element> x = elements(a);
    const std::vector<Element> y = elements(b);
    const std::size_t common = std::min(x.size(), y.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (x[i].primary != y[i].primary) {
            return sign(static_cast<long long>(x[i].primary) - y[i].primary);
        }
    }
    if (x.size() != y.size()) {
        return sign(static_cast<long long>(x.size()) - static_cast<long long>(y.size()));
    }
    for (std::size_t i = 0; i < common; ++i) {
        if (x[i].secondary != y[i].secondary) {
            return sign(static_cast<long long>(x[i].secondary) - y[i].secondary);
        }
    }
    return 0;
}

}  // namespace qmsys
