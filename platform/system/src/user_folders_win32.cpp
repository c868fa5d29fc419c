#include <cstdlib>

#include "qmsys/user_folders.h"

namespace qmsys {

namespace {

bool isAbsolute(const char* path) {
    const auto separator = [](char c) { return c == '/' || c == '\\'; };
    const bool drive = ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
                       path[1] == ':' && separator(path[2]);
    return drive || (separator(path[0]) && separator(path[1]));
}

}  // namespace

std::string homeFolder() {
    // HOME relocates the user as on Linux; the profile folder is the account's home.
    for (const char* variable : {"HOME", "USERPROFILE"}) {
        if (const char* value = std::getenv(variable); value && *value) {
            return value;
        }
    }
    return "C:/";
}

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
