#include "checker_installation.h"

#include <cstdlib>

#include <qmreg/registry.h>
#include <qmtest/files.h>
#include "qm/version.h"
#include "qmtest/product_keys.h"

namespace qmtest {
namespace {
const char* const kKernelKey = kKernelServicesKey;
qmreg::Hive& hkcu() {
    return qmreg::Hive::forThread(qmreg::HiveId::CurrentUser);
}
}  // namespace

CheckerInstallation::CheckerInstallation() : root_(dir_ / "install") {
    writeFile(root_ + "/Base/Config/Launchrig.ini", "[Quillmont]\n");
    writeKernelServices("enu", kConfig);
}

std::string CheckerInstallation::userMenus() const {
    return std::string(std::getenv("APPDATA")) + "/Brenvik/Quillmont/" QM_PRODUCT_VERSION "/" +
           kConfig + "/Menus";
}

void CheckerInstallation::writeKernelServices(const std::string& language,
                                              const std::string& config) {
    ASSERT_TRUE(hkcu().createKey(kKernelKey));
    ASSERT_TRUE(hkcu().setValue(kKernelKey, qmreg::Value::string("Language", language)));
    ASSERT_TRUE(hkcu().setValue(kKernelKey, qmreg::Value::string("Current Config", config)));
}

void CheckerInstallation::removeKernelValue(const std::string& name) {
    hkcu().deleteValue(kKernelKey, name);
}

void CheckerInstallation::removeKernelKey() {
    hkcu().deleteKey(kKernelKey, true);
}

std::string CheckerInstallation::writeMenu(const std::string& module, const std::string& file,
                                           const std::string& content) {
    const std::string path = root_ + "/" + module + "/Menus/" + file;
    writeFile(path, content);
    return path;
}

}  // namespace qmtest
