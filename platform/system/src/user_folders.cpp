#include "qmsys/user_folders.h"

#include <cstdlib>

namespace qmsys {

namespace {

// The XDG rules ignore relative folders. On Windows a folder is absolute with its drive
// ("C:\..." or "C:/...") or as a share ("\\server\..."), besides the root of the current drive.
bool isAbsolute(const char* path) {
    if (path[0] == '/') {
        return true;
    }
#if defined(_WIN32)
    const auto separator = [](char c) { return c == '/' || c == '\\'; };
    const bool letter = (path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z');
    return (letter && path[1] == ':' && separator(path[2])) ||
           (separator(path[0]) && separator(path[1]));
#else
    return false;
#endif
}

}  // namespace

std::string xdgFolder(XdgFolder which) {
    const char* variable = which == XdgFolder::Config ? "XDG_CONFIG_HOME"
                           : which == XdgFolder::Data ? "XDG_DATA_HOME"
                                                      : "XDG_STATE_HOME";
    if (const char* value = std::getenv(variable); value && isAbsolute(value)) {
        return value;
    }
    const char* fallback = which == XdgFolder::Config ? "/.config"
                           : which == XdgFolder::Data ? "/.local/share"
                                                      : "/.local/state";
    return homeFolder() + fallback;
}

}  // namespace qmsys
