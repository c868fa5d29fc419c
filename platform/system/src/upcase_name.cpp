// Names folded through the upper-case table, as NTFS and the registry compare them.
#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <functional>

#include "qmsys/text.h"
#include "text_order_p.h"
#include "upcase_table_p.h"

namespace qmsys {

namespace {

char32_t upcase(char32_t c) {
    using detail::kUpcaseRuns;
    const auto* end = std::end(kUpcaseRuns);
    const auto* run =
        std::upper_bound(std::begin(kUpcaseRuns), end, c,
                         [](char32_t v, const detail::UpcaseRun& r) { return v < r.first; });
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

char32_t upcaseChar(char32_t c) {
    return upcase(c);
}

std::string upcaseName(std::string_view utf8) {
    std::string out;
    upcaseNameInto(utf8, out);
    return out;
}

void upcaseNameInto(std::string_view utf8, std::string& out) {
    // out is overwritten before utf8 is read to its end.
    assert((utf8.empty() || std::less<>()(utf8.data(), out.data()) ||
            !std::less<>()(utf8.data(), out.data() + out.size())) &&
           "utf8 lies inside out");
    // Most names are ASCII: upper-cased in one pass over a copy, the rest from the first
    // other byte on (docs/PERFORMANCE.md: names of ASCII letters only).
    out.assign(utf8);
    std::size_t i = 0;
    // Eight bytes at a time while they are all ASCII: each byte of 'a' to 'z' loses 0x20. No
    // byte is 0x80 or above, so adding to one never carries into the next.
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHigh = 0x80 * kOnes;
    for (; out.size() - i >= 8; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, out.data() + i, 8);
        if ((word & kHigh) != 0) {
            break;
        }
        const std::uint64_t fromA = word + (0x80 - 'a') * kOnes;      // high bit: >= 'a'
        const std::uint64_t pastZ = word + (0x80 - 'z' - 1) * kOnes;  // high bit: > 'z'
        word -= ((fromA & ~pastZ) & kHigh) >> 2;
        std::memcpy(out.data() + i, &word, 8);
    }
    for (; i < out.size(); ++i) {
        const auto b = static_cast<unsigned char>(out[i]);
        if (b >= 0x80) {
            break;
        }
        if (b >= 'a' && b <= 'z') {
            out[i] = static_cast<char>(b - ('a' - 'A'));
        }
    }
    if (i == out.size()) {
        return;
    }
    out.resize(i);
    const std::size_t n = utf8.size();
    const auto byte = [utf8](std::size_t k) { return static_cast<unsigned char>(utf8[k]); };
    while (i < n) {
        const unsigned char b = byte(i);
        if (b < 0x80) {
            out += asciiUpper(static_cast<char>(b));
            ++i;
            continue;
        }
        // A character of the Basic Multilingual Plane in its shortest form, two or three
        // bytes, not a surrogate; anything else is copied byte by byte.
        char32_t c = 0;
        std::size_t length = 0;
        if (b >= 0xC2 && b <= 0xDF && i + 1 < n && continuation(byte(i + 1))) {
            c = ((b & 0x1Fu) << 6) | (byte(i + 1) & 0x3Fu);
            length = 2;
        } else if ((b & 0xF0) == 0xE0 && i + 2 < n && continuation(byte(i + 1)) &&
                   continuation(byte(i + 2))) {
            c = ((b & 0x0Fu) << 12) | ((byte(i + 1) & 0x3Fu) << 6) | (byte(i + 2) & 0x3Fu);
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
}

bool isAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

int compareFileNames(std::string_view a, std::string_view b) {
    if (isAscii(a) && isAscii(b)) {
        return compareUtf16Folded(a, b, CaseFold::Upper);  // no copies for the usual names
    }
    return compareUtf16(upcaseName(a), upcaseName(b));
}

}  // namespace qmsys
