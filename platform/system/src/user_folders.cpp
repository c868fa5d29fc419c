#include "qmsys/user_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace qmsys {

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) {
        return home;
    }
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) {
        return pw->pw_dir;
    }
    return "/";
}

std::string xdgFolder(XdgFolder which) {
    const char* variable = which == XdgFolder::Config ? "XDG_CONFIG_HOME"
                           : which == XdgFolder::Data ? "XDG_DATA_HOME"
                                                      : "XDG_STATE_HOME";
    if (const char* value = std::getenv(variable); value && value[0] == '/') {
        return value;
    }
    const char* fallback = which == XdgFolder::Config ? "/.config"
                           : which == XdgFolder::Data ? "/.local/share"
                                                      : "/.local/state";
    return homeFolder() + fallback;
}

}  // namespace qmsys
