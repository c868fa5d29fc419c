#include <qmsys/user_folders.h>

#include <cstdlib>

#include "qmreg/registry.h"

namespace qmreg {

std::string hiveFile(HiveId hive) {
    const char* name = hive == HiveId::CurrentUser ? "hkcu.db" : "hklm.db";
    if (const char* dir = std::getenv("QM_REGISTRY_DIR"); dir && *dir) {
        return std::string(dir) + "/" + name;
    }
    if (hive == HiveId::CurrentUser) {
        return qmsys::xdgFolder(qmsys::XdgFolder::Config) + "/quillmont/registry/" + name;
    }
    return std::string("/var/lib/quillmont/registry/") + name;
}

}  // namespace qmreg

namespace qmreg {

void deleteRelocatedHives(const std::string&) {
    // The hives are files inside the folder, and its owner removes them with it.
}

}  // namespace qmreg
