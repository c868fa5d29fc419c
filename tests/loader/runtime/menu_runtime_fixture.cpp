#include "menu_runtime_fixture.h"

#include <cstdlib>

#include <qmenv/environment.h>
#include <qmreg/registry.h>
#include <qmtest/files.h>
#include "qm/version.h"
#include "qmtest/product_keys.h"

namespace qmtest {

MenuRuntimeTest::MenuRuntimeTest()
    : root_(installDir_ / "install"),
      user_(root_),
      host_(std::make_unique<cadhost::Host>(cadhost::HostOptions{
          &hostOutput_, user_.stateDir() + "/menugroups.list", hostKeepsChangeCount()})),
      logFile_(user_.root() + "/diagnostic.log"),
      log_(logFile_),
      automation_(log_, std::chrono::milliseconds(2000)) {
    writeFile(root_ + "/Base/Config/Launchrig.ini", "[Quillmont]\n");
    auto& hkcu = qmreg::Hive::forThread(qmreg::HiveId::CurrentUser);
    hkcu.createKey(kKernelServicesKey);
    hkcu.setValue(kKernelServicesKey, qmreg::Value::string("Language", "enu"));
    hkcu.setValue(kKernelServicesKey, qmreg::Value::string("Current Config", "Default"));
}

bool hostKeepsChangeCount() {
    return std::getenv("QMTEST_HOST_WITHOUT_CHANGE_COUNT") == nullptr;
}

MenuRuntimeTest::~MenuRuntimeTest() {
    host_.reset();
}

void MenuRuntimeTest::writeMenuFile(const std::string& path, const std::string& group,
                                    const std::string& extra) {
    writeFile(path, "***MENUGROUP=" + group + "\n" + extra + "***POP1\n**MAIN\n[" + group +
                        "]\n[Line]^C^CLINE\n");
}

std::string MenuRuntimeTest::writeInstalledMenu(const std::string& relative,
                                                const std::string& group,
                                                const std::string& extra) {
    const std::string path = root_ + "/" + relative;
    writeMenuFile(path, group, extra);
    return path;
}

void MenuRuntimeTest::preload(const std::string& menuFile) {
    std::shared_ptr<cadhost::IAcadMenuGroups> groups;
    ASSERT_EQ(host_->automation().get_MenuGroups(groups), cadhost::S_OK);
    std::shared_ptr<cadhost::IAcadMenuGroup> group;
    ASSERT_EQ(groups->Load(menuFile, false, group), cadhost::S_OK) << menuFile;
}

std::vector<std::string> MenuRuntimeTest::groupNames() const {
    std::vector<std::string> names;
    for (const auto& g : host_->menuGroups()) {
        names.push_back(g.name);
    }
    return names;
}

bool MenuRuntimeTest::isLoaded(const std::string& group) const {
    return !groupFile(group).empty();
}

std::string MenuRuntimeTest::groupFile(const std::string& group) const {
    for (const auto& g : host_->menuGroups()) {
        if (g.name == group) {
            return g.menuFile;
        }
    }
    return {};
}

std::string MenuRuntimeTest::logText() const {
    return readFile(logFile_);
}

std::string MenuRuntimeTest::userMenus() const {
    return QmEnGetUserDataPath() + "/Menus";
}

}  // namespace qmtest
