#include <qmsys/user_folders.h>

#include <cstdlib>

#include "qmreg/registry.h"

namespace qmreg {

namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

}  // namespace

std::string hiveFile(HiveId hive) {
    const char* name = hive == HiveId::CurrentUser ? "hkcu.db" : "hklm.db";
    if (std::string dir = env("QM_REGISTRY_DIR"); !dir.empty())
        return dir + "/" + name;
    if (hive == HiveId::CurrentUser)
        return qmsys::xdgFolder(qmsys::XdgFolder::Config) + "/quillmont/registry/" + name;
    return std::string("/var/lib/quillmont/registry/") + name;
}

}  // namespace qmreg
