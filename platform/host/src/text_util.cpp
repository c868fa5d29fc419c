#include "text_util.h"

#include <filesystem>
#include <system_error>

namespace cadhost {

namespace {
bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}
}  // namespace

std::string trim(std::string_view text) {
    return std::string(trimView(text));
}

std::string_view trimView(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isSpace(text[begin])) {
        ++begin;
    }
    while (end > begin && isSpace(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

std::string fileNameOf(std::string_view path) {
    const auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string fileTitleOf(std::string_view path) {
    std::string name = fileNameOf(path);
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string extensionOf(std::string_view path) {
    std::string name = fileNameOf(path);
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string absolutePath(const std::string& path) {
    // Most paths come absolute and tidy already; those are their own answer.
    if (!path.empty() && path.front() == '/' && path.find("//") == std::string::npos &&
        path.find("/./") == std::string::npos && path.find("/../") == std::string::npos &&
        !path.ends_with("/.") && !path.ends_with("/..") && path.size() > 1 && path.back() != '/') {
        return path;
    }
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.lexically_normal().string();
}

}  // namespace cadhost
