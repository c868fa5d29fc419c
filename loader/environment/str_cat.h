#pragma once
// Joins pieces of text into one string of the final size, as abseil's StrCat does: fixed names
// are string views, and the standard library has no '+' for a string and a view.
#include <initializer_list>
#include <string>
#include <string_view>

namespace qm {

inline std::string strCat(std::initializer_list<std::string_view> pieces) {
    std::size_t size = 0;
    for (std::string_view piece : pieces) {
        size += piece.size();
    }
    std::string out;
    out.reserve(size);
    for (std::string_view piece : pieces) {
        out.append(piece);
    }
    return out;
}

}  // namespace qm
