#pragma once
// Paths between the library's UTF-8 strings and std::filesystem, whose narrow strings are not
// UTF-8 on Windows.
#include <filesystem>
#include <string>
#include <string_view>

namespace qmenv::detail {

inline std::filesystem::path fsPath(std::string_view path) {
    return std::filesystem::path(
        std::u8string_view(reinterpret_cast<const char8_t*>(path.data()), path.size()));
}

inline std::string utf8Path(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace qmenv::detail
