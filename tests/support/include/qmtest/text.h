#pragma once
#include <cstddef>
#include <string_view>

namespace qmtest {

// How many times part occurs in text, overlaps counted.
inline std::size_t occurrences(std::string_view text, std::string_view part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

}  // namespace qmtest
