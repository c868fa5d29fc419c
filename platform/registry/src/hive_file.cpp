#include <qmsys/user_folders.h>

#include <cstdlib>

#include "qmreg/registry.h"

namespace qmreg {

std::string hiveFile(HiveId hive) {
    std::string file;
    hiveFileInto(hive, file);
    return file;
}

void hiveFileInto(HiveId hive, std::string& out) {
    const char* name = hive == HiveId::CurrentUser ? "hkcu.db" : "hklm.db";
    if (const char* dir = std::getenv("QM_REGISTRY_DIR"); dir && *dir) {
        out.assign(dir).append("/").append(name);
    } else if (hive == HiveId::CurrentUser) {
        out.assign(qmsys::xdgFolder(qmsys::XdgFolder::Config))
            .append("/quillmont/registry/")
            .append(name);
    } else {
        out.assign("/var/lib/quillmont/registry/").append(name);
    }
}

}  // namespace qmreg
