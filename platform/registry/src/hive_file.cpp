#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "qmreg/registry.h"

namespace qmreg {

namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::string homeFolder() {
    std::string home = env("HOME");
    if (!home.empty())
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/";
}

// XDG requires an absolute path; anything else is ignored in favour of the fallback.
std::string configHome() {
    std::string xdg = env("XDG_CONFIG_HOME");
    return !xdg.empty() && xdg.front() == '/' ? xdg : homeFolder() + "/.config";
}

}  // namespace

std::string hiveFile(HiveId hive) {
    const char* name = hive == HiveId::CurrentUser ? "hkcu.db" : "hklm.db";
    if (std::string dir = env("QM_REGISTRY_DIR"); !dir.empty())
        return dir + "/" + name;
    if (hive == HiveId::CurrentUser)
        return configHome() + "/quillmont/registry/" + name;
    return std::string("/var/lib/quillmont/registry/") + name;
}

}  // namespace qmreg
