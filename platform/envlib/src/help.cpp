#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <qmsys/process.h>

#include "qmenv/environment.h"

namespace {

// file: URL of an absolute path; characters that would end or alter the path are escaped.
std::string fileUrl(const std::string& path) {
    std::string url = "file://";
    for (const char byte : path) {
        const auto c = static_cast<unsigned char>(byte);
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                     c == '/' || c == '-' || c == '_' || c == '.' || c == '~';
        if (plain) {
            url += static_cast<char>(c);
        } else {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            url += buf;
        }
    }
    return url;
}

}  // namespace

bool QmEnHelp(int topic, std::string_view helpName) {
    std::string folder = QmEnGetAppPath();
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    std::string file = (folder == "/" ? "" : folder) + "/Help/";
    file.append(helpName).append(".html");
    struct stat st;
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    const char* viewer = std::getenv("QM_HELP_VIEWER");
    std::string program = viewer && *viewer ? viewer : "xdg-open";
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(file, ec);
    std::string url = fileUrl(ec ? file : absolute.string());
    return qmsys::startDetached(program, {url + "#" + std::to_string(topic)}) ==
           qmsys::kErrorSuccess;
}
