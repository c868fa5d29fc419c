#include "text_util.h"

#include <qmsys/files.h>

#include <optional>
#include <vector>

namespace cadhost {

namespace {
bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

#if defined(_WIN32)
constexpr std::string_view kSeparators = "/\\";
#else
constexpr std::string_view kSeparators = "/";
#endif
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

bool hasFolder(std::string_view path) {
    return path.find_first_of(kSeparators) != std::string_view::npos;
}

std::string fileNameOf(std::string_view path) {
    const auto slash = path.find_last_of(kSeparators);
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

#if !defined(_WIN32)

namespace {

// Absolute, with no empty, "." or ".." component and no trailing separator: what
// lexically_normal would give back unchanged. One pass over the text.
bool isTidyAbsolute(std::string_view path) {
    if (path.size() < 2 || path.front() != '/' || path.back() == '/') {
        return false;
    }
    for (std::size_t slash = 0; slash != std::string_view::npos;
         slash = path.find('/', slash + 1)) {
        const std::string_view next = path.substr(slash + 1, 3);
        if (next.starts_with('/') || next == "." || next.starts_with("./") || next == ".." ||
            next == "../") {
            return false;
        }
    }
    return true;
}

// An absolute path with its empty and "." components dropped and each ".." taking the one
// before it away (none above the root), as lexically_normal gives it: a path that ended in a
// separator, "." or ".." keeps one trailing separator. Nothing for a path that comes down to
// the root, whose spelling ("/" or "//") is left to lexically_normal.
std::optional<std::string> normalAbsolute(std::string_view path) {
    std::vector<std::string_view> parts;
    for (std::size_t begin = 1; begin <= path.size();) {
        std::size_t end = path.find('/', begin);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        const std::string_view part = path.substr(begin, end - begin);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        begin = end + 1;
    }
    if (parts.empty()) {
        return std::nullopt;
    }
    const std::string_view last = path.substr(path.rfind('/') + 1);
    std::string out;
    out.reserve(path.size());
    for (const std::string_view part : parts) {
        out += '/';
        out += part;
    }
    if (last.empty() || last == "." || last == "..") {
        out += '/';
    }
    return out;
}

}  // namespace

#endif

std::string absolutePath(const std::string& path) {
#if !defined(_WIN32)
    // Most paths come absolute and tidy already; those are their own answer.
    if (isTidyAbsolute(path)) {
        return path;
    }
    if (path.starts_with('/')) {
        if (std::optional<std::string> normal = normalAbsolute(path)) {
            return std::move(*normal);  // no working folder, no file system: text only
        }
    }
#endif
    std::string absolute = path;  // as it is when the current folder cannot be told
    (void)qmsys::absolutePath(path, absolute);
    return absolute;
}

}  // namespace cadhost
