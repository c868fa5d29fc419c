#include <cstdio>

#include <qmsys/environment.h>
#include <qmsys/files.h>
#include <qmsys/process.h>

#include "qmenv/environment.h"

namespace {

#if defined(_WIN32)
// The program that opens a URL in the user's browser.
constexpr const char* kDefaultViewer = "explorer.exe";
#else
constexpr const char* kDefaultViewer = "xdg-open";
#endif

// file: URL of an absolute path; characters that would end or alter the path are escaped. A
// Windows path ("C:\x" or "C:/x") gives "file:///C:/x".
std::string fileUrl(std::string path) {
    std::string url = "file://";
#if defined(_WIN32)
    for (char& c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
    if (path.size() >= 2 && path[1] == ':') {
        url += '/';
        url += path.substr(0, 2);
        path.erase(0, 2);
    }
#endif
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
    // A regular file only: the open never waits on a FIFO in its place.
    qmsys::WinError error = qmsys::kErrorSuccess;
    if (!qmsys::openRegularFile(file, error))
        return false;
    std::string program = qmsys::environmentVariable("QM_HELP_VIEWER").value_or("");
    if (program.empty())
        program = kDefaultViewer;
    std::string absolute = file;  // as it is when the current folder cannot be told
    (void)qmsys::absolutePath(file, absolute);
    const std::string url = fileUrl(absolute);
    return qmsys::startDetached(program, {url + "#" + std::to_string(topic)}) ==
           qmsys::kErrorSuccess;
}
