#include "qmtest/files.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace qmtest {

std::filesystem::path fsPath(const std::string& path) {
    // std::filesystem takes a narrow name in the system's code page on Windows, UTF-8 only
    // from char8_t.
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

std::string utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

void writeFile(const std::string& path, const std::string& content) {
    const std::filesystem::path p = fsPath(path);
    if (p.has_parent_path()) {
        std::filesystem::create_directories(p.parent_path());
    }
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    if (!f) {
        throw std::runtime_error("cannot write " + path);
    }
    f << content;
}

std::string readFile(const std::string& path) {
    std::ifstream f(fsPath(path), std::ios::binary);
    if (!f) {
        throw std::runtime_error("cannot read " + path);
    }
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

}  // namespace qmtest
