#include <algorithm>
#include <cstdint>

#include "name_folding_p.h"
#include "upcase_table_p.h"
#include "utf8_p.h"

namespace qmreg::detail {

namespace {

char32_t upcase(char32_t c) {
    const auto* end = std::end(kUpcaseRuns);
    const auto* run = std::upper_bound(std::begin(kUpcaseRuns), end, c,
                                       [](char32_t v, const UpcaseRun& r) { return v < r.first; });
    if (run == std::begin(kUpcaseRuns))
        return c;
    --run;
    if (c > run->last || (c - run->first) % run->stride != 0)
        return c;
    return static_cast<char32_t>(static_cast<std::int32_t>(c) + run->delta);
}

bool continuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

}  // namespace

std::string foldName(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    const std::size_t n = utf8.size();
    while (i < n) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out += static_cast<char>(b >= 'a' && b <= 'z' ? b - ('a' - 'A') : b);
            ++i;
            continue;
        }
        // A character of the Basic Multilingual Plane in its shortest form, two or three
        // bytes, not a surrogate; anything else is copied byte by byte.
        char32_t c = 0;
        std::size_t length = 0;
        if (b >= 0xC2 && b <= 0xDF && i + 1 < n && continuation(utf8[i + 1])) {
            c = ((b & 0x1Fu) << 6) | (utf8[i + 1] & 0x3Fu);
            length = 2;
        } else if ((b & 0xF0) == 0xE0 && i + 2 < n && continuation(utf8[i + 1]) &&
                   continuation(utf8[i + 2])) {
            c = ((b & 0x0Fu) << 12) | ((utf8[i + 1] & 0x3Fu) << 6) | (utf8[i + 2] & 0x3Fu);
            if (c >= 0x800 && (c < 0xD800 || c > 0xDFFF))
                length = 3;
        }
        if (length == 0) {
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        appendUtf8(out, upcase(c));
        i += length;
    }
    return out;
}

}  // namespace qmreg::detail
