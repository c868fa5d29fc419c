#include <qmsys/environment.h>
#include <qmsys/user_folders.h>

#include "qmreg/registry.h"

namespace qmreg {

std::string hiveFile(HiveId hive) {
    const char* name = hive == HiveId::CurrentUser ? "hkcu.db" : "hklm.db";
    if (const auto dir = qmsys::environmentVariable("QM_REGISTRY_DIR"); dir && !dir->empty()) {
        return *dir + "/" + name;
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
