#include "environment/path_util.h"

#include <algorithm>

#include <qmsys/files.h>
#include <qmsys/user_folders.h>

#include "environment/names.h"
#include "environment/str_cat.h"

namespace qm::path {

std::string tidy(std::string_view path) {
    if (path.size() <= 2) {
        return std::string(path);
    }
    std::string out;
    out.reserve(path.size());
    out.append(path.substr(0, 2));
    std::string_view rest = path.substr(2);
    for (std::size_t pair; (pair = rest.find("//")) != std::string_view::npos;) {
        // The second of the pair is dropped; the character after it starts a new pair.
        out.append(rest.substr(0, pair + 1));
        rest.remove_prefix(pair + 2);
    }
    out.append(rest);
    return out;
}

std::string fileTitle(std::string_view path) {
    return std::string(fileTitleView(path));
}

std::string_view fileTitleView(std::string_view path) {
    std::size_t slash = path.find_last_of('/');
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    return name.substr(0, name.find_last_of('.'));
}

std::string normalizeSeparators(std::string_view path) {
    std::string out(path);
    for (char& c : out) {
        if (c == '\\') {
            c = '/';
        }
    }
    return out;
}

std::string append(std::string_view base, std::string_view more) {
    // Built in one buffer: asked for every menu of every module brought up (docs/PERFORMANCE.md:
    // strings built once and only where used). Whether more is absolute shows in its first three
    // characters, with its separators made '/'.
    std::string head(more.substr(0, 3));
    std::replace(head.begin(), head.end(), '\\', '/');
    std::string out;
    if (!qmsys::isAbsolutePath(head)) {
        out.reserve(base.size() + 1 + more.size());
        out.append(base);
        if (!more.empty() && !out.empty() && out.back() != '/') {
            out += '/';
        }
    }
    const std::size_t tail = out.size();
    out.append(more);
    std::replace(out.begin() + static_cast<std::ptrdiff_t>(tail), out.end(), '\\', '/');
    return out;
}

std::string productFolder(std::string_view base) {
    return strCat({base, names::kProductFolderSuffix});
}

std::string userStateFolder() {
    return productFolder(qmsys::xdgFolder(qmsys::XdgFolder::State));
}

}  // namespace qm::path
