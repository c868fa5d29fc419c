#include "checker/profile_file.h"

#include <qmsys/files.h>
#include <qmsys/text.h>

#include <algorithm>
#include <cstdio>

namespace qm {
namespace {

// The next line of file into line, without its '\n'; false at the end of the file.
bool readLine(std::FILE* file, std::string& line) {
    line.clear();
    bool any = false;
    for (int c = std::getc(file); c != EOF; c = std::getc(file)) {
        any = true;
        if (c == '\n') {
            return true;
        }
        line += static_cast<char>(c);
    }
    return any;
}

std::string_view trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

}  // namespace

std::string readProfileString(const std::string& file, std::string_view section,
                              std::string_view key, std::string_view fallback,
                              std::size_t bufferChars) {
    const std::size_t maxUnits = bufferChars == 0 ? 0 : bufferChars - 1;
    const qmsys::StdioFile in = qmsys::openStdioFile(file, "rb");
    if (!in) {
        return std::string(qmsys::cutToUtf16Units(fallback, maxUnits));
    }
    std::string line;
    bool inSection = false;
    bool first = true;
    while (readLine(in.get(), line)) {
        std::string_view view(line);
        if (first && view.substr(0, 3) == "\xEF\xBB\xBF") {
            view.remove_prefix(3);
        }
        first = false;
        view = trim(view);
        if (view.empty() || view.front() == ';') {
            continue;
        }
        if (view.front() == '[') {
            const auto close = view.find(']');
            inSection = close != std::string_view::npos &&
                        qmsys::iequals(trim(view.substr(1, close - 1)), section);
            continue;
        }
        if (!inSection) {
            continue;
        }
        const auto eq = view.find('=');
        if (eq == std::string_view::npos || !qmsys::iequals(trim(view.substr(0, eq)), key)) {
            continue;
        }
        std::string_view value = trim(view.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        return std::string(qmsys::cutToUtf16Units(value, maxUnits));
    }
    return std::string(qmsys::cutToUtf16Units(fallback, maxUnits));
}

}  // namespace qm
