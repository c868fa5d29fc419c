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

// path as it stands in a file URL: every byte but letters, digits, "/-_.~" written %XX, so
// that an expectation holds whatever the temporary folder is named.
inline std::string urlPath(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char byte : path) {
        const auto c = static_cast<unsigned char>(byte);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            out += byte;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
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

// text's words, split at blanks: a command line written as one string in a table.
inline std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string word; in >> word;) {
        out.push_back(word);
    }
    return out;
}

}  // namespace qmtest
