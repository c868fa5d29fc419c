#pragma once
#include <cstddef>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace qmtest {

// How many times part occurs in text, overlaps counted.
inline std::size_t occurrences(std::string_view text, std::string_view part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

// text's lines, without their line ends; a last line without one counts too.
inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        out.push_back(line);
    }
    return out;
}

}  // namespace qmtest
