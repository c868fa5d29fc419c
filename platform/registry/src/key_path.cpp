#include "key_path_p.h"

namespace qmreg::detail {

std::vector<std::string> splitKeyPath(std::string_view path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > start)
            parts.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool isNormalKeyPath(std::string_view path) {
    return path.empty() || (path.front() != '\\' && path.back() != '\\' &&
                            path.find("\\\\") == std::string_view::npos);
}

std::string normalizeKeyPath(std::string_view path) {
    // Most paths have no empty components to drop.
    if (isNormalKeyPath(path))
        return std::string(path);
    std::string out;
    for (const auto& part : splitKeyPath(path)) {
        if (!out.empty())
            out += '\\';
        out += part;
    }
    return out;
}

}  // namespace qmreg::detail
