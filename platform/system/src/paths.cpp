// Paths as text: made absolute and tidied. std::filesystem does the work; its narrow strings are
// not UTF-8 on Windows, so paths cross into it and back as UTF-8.
#include <filesystem>
#include <system_error>

#include "qmsys/files.h"

namespace qmsys {

namespace {

std::filesystem::path fromUtf8(const std::string& path) {
    return std::filesystem::path(
        std::u8string_view(reinterpret_cast<const char8_t*>(path.data()), path.size()));
}

std::string toUtf8(const std::filesystem::path& path) {
    const std::u8string text = path.lexically_normal().generic_u8string();
    std::string out(text.begin(), text.end());
#if defined(_WIN32)
    // The drive letter in one case: "c:/x" and "C:/x" are one file.
    if (out.size() >= 2 && out[1] == ':' && out[0] >= 'a' && out[0] <= 'z') {
        out[0] = static_cast<char>(out[0] - 'a' + 'A');
    }
#endif
    return out;
}

}  // namespace

WinError absolutePath(const std::string& path, std::string& out) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(fromUtf8(path), error);
    if (error) {
#if defined(_WIN32)
        return static_cast<WinError>(error.value());  // GetFullPathNameW's own code
#else
        return winErrorFromErrno(error.value());
#endif
    }
    out = toUtf8(absolute);
    return kErrorSuccess;
}

std::string tidyPath(const std::string& path) {
    return toUtf8(fromUtf8(path));
}

}  // namespace qmsys
