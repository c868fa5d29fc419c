#include "environment/path_util.h"

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
    std::string tail = normalizeSeparators(more);
    if (qmsys::isAbsolutePath(tail)) {
        return tail;
    }
    std::string out(base);
    if (tail.empty()) {
        return out;
    }
    if (!out.empty() && out.back() != '/') {
        out += '/';
    }
    return out + tail;
}

std::string productFolder(std::string_view base) {
    return strCat({base, names::kProductFolderSuffix});
}

std::string userStateFolder() {
    return productFolder(qmsys::xdgFolder(qmsys::XdgFolder::State));
}

}  // namespace qm::path
