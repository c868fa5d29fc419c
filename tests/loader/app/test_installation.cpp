#include "test_installation.h"

#include <filesystem>

#include "qmtest/files.h"
#include "qmtest/relocated_user.h"

namespace qmtest {

TestInstallation::TestInstallation(std::string root) : root_(std::move(root)) {
    std::filesystem::create_directories(root_ + "/Zadod/Modules");
    std::filesystem::copy_file(sourceDir() + "/examples/sample/Zadod/Modules/QM_Module.xsd",
                               root_ + "/Zadod/Modules/QM_Module.xsd");
    writeFile(root_ + "/Base/Config/Launchrig.ini", "[Launchrig]\nProduct=Quillmont\n");
    writeFile(root_ + "/Base/Menus/KRQM_Base_Menu_enu.mnu",
              "***MENUGROUP=KRQM_MODULELOADER\n***POP1\n**LOADER\n[Module Loader]"
              "^C^CKRQM_ModuleLoader_Arx\n");
}

std::string TestInstallation::menuName(const TestModule& module) {
    return module.group + "_enu";
}

void TestInstallation::addModule(const TestModule& m) {
    std::string menus;
    if (!m.group.empty()) {
        const std::string folder = "Modules\\" + m.key + "\\Menus";
        menus = "    <MenuName path=\"" + folder + "\">" + menuName(m) + "</MenuName>\n";
        writeFile(root_ + "/Modules/" + m.key + "/Menus/" + menuName(m) + ".mnu",
                  (m.brokenMenu ? std::string() : "***MENUGROUP=" + m.group + "\n") +
                      "***POP1\n**" + m.group + "\n[" + m.name + "]^C^C" + m.key + "\n");
    }
    std::string apps;
    if (!m.apps.empty()) {
        apps = "  <Applications>\n";
        for (const std::string& a : m.apps) {
            apps += "    " + a + "\n";
        }
        apps += "  </Applications>\n";
    }
    writeFile(root_ + "/Zadod/Modules/" + m.key + "." + m.config + ".xml",
              "<?xml version=\"1.0\"?>\n<QM_Module>\n  <Keyname>" + m.key +
                  "</Keyname>\n  <Version><VersionMajor>1</VersionMajor>"
                  "<VersionMinor>0</VersionMinor></Version>\n  <Name>\n    <ModuleName>" +
                  m.name + "</ModuleName>\n" + menus + "  </Name>\n" + apps + "</QM_Module>\n");
}

}  // namespace qmtest
