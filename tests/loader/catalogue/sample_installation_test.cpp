// The sample installation shipped with the project (its definitions are read by qmloader's
// tests): its menus load as the groups the loader expects, and its applications (a
// program run through its #! line and an ARX application built by the project) really run.
#include <cadhost/host.h>
#include <cadhost/menu_file.h>
#include <gtest/gtest.h>
#include <qmenv/environment.h>
#include <qmtest/files.h>
#include <qmtest/relocated_user.h>
#include <qmtest/scoped_env.h>
#include <qmtest/temp_dir.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <thread>

#include "catalogue/catalogue.h"
#include "environment/names.h"

namespace {

namespace fs = std::filesystem;

std::string sourceSample() {
    return qmtest::sourceDir() + "/examples/sample";
}

// A copy of the sample whose Bin folder is this build's bin folder.
class SampleInstallationTest : public ::testing::Test {
protected:
    SampleInstallationTest() {
        for (const fs::directory_entry& e : fs::directory_iterator(sourceSample())) {
            if (e.path().filename() != "Bin") {
                fs::copy(e.path(), root_ / e.path().filename().string(),
                         fs::copy_options::recursive);
            }
        }
        fs::create_directory_symlink(fs::absolute(qmtest::binDir()), root_ / "Bin");
    }

    qm::ModuleList catalogue(const std::string& config) {
        qm::ModuleList list;
        std::string errorText;
        EXPECT_TRUE(qm::LoadCatalogue(qm::MakeCatalogueContext(config, "enu"),
                                      root_ / "Zadod/Modules", "xml", list, errorText));
        EXPECT_EQ(errorText, "");
        return list;
    }

    // Where the menu loader looks for a menu of folder: the folder itself when its last
    // component names a menus folder, else its Menus subfolder.
    std::string menuFolder(std::string folder) const {
        for (char& c : folder) {
            if (c == '\\')
                c = '/';
        }
        const std::string last = folder.substr(folder.find_last_of('/') + 1);
        return root_ / (last.find("Menus") != std::string::npos ? folder : folder + "/Menus");
    }

    qmtest::TempDir root_;
    qmtest::RelocatedUser user_{root_.path()};
};

TEST_F(SampleInstallationTest, MenusLoadAsTheirGroupsWithCompanions) {
    std::map<std::string, std::string> groups;  // menu name -> group
    for (const char* config : {"Default", "Rail"}) {
        for (const qm::ModuleRecord& r : catalogue(config)) {
            for (const qm::MenuEntry& menu : r.GetMenus()) {
                const std::string folder = menuFolder(menu.folder);
                const std::optional<cadhost::MenuDefinition> parsed =
                    cadhost::readMenuFile(folder + "/" + menu.name + ".mnu");
                ASSERT_TRUE(parsed) << menu.name;
                groups[menu.name] = parsed->groupName;
                EXPECT_EQ(menu.name.substr(menu.name.size() - 3), "enu") << menu.name;
                EXPECT_TRUE(
                    fs::exists(folder + "/" + menu.name.substr(0, menu.name.size() - 4) + ".mnl"))
                    << menu.name;
                ASSERT_FALSE(parsed->popMenus.empty()) << menu.name;
                for (const cadhost::MenuItem& item : parsed->popMenus[0].items) {
                    EXPECT_TRUE(item.separator || !item.command.empty()) << item.label;
                }
            }
        }
    }
    EXPECT_EQ(groups["KRQM_Base_enu"], "KRQM_BASE");
    EXPECT_EQ(groups["KRQM_Roads_enu"], "KRQM_ROADS");
    EXPECT_EQ(groups.size(), 6u);

    const struct {
        const char* file;
        const char* group;
    } base[] = {{"KRQM_Base_Menu_enu.mnu", "KRQM_MODULELOADER"},
                {"KRQM_QCO_Menu_enu.mnu", "KRQM_QCO"}};
    for (const auto& b : base) {
        const auto parsed = cadhost::readMenuFile(root_ / ("Base/Menus/" + std::string(b.file)));
        ASSERT_TRUE(parsed) << b.file;
        EXPECT_EQ(parsed->groupName, b.group);
    }
    EXPECT_TRUE(fs::exists(QmEnBuildFilename(std::string(qm::names::kQcoSourceMenu), 1, 0)));
    EXPECT_TRUE(fs::exists(root_ / std::string(qm::names::kCheckerConfigFile)));
}

TEST_F(SampleInstallationTest, ApplicationsRunForReal) {
    std::ostringstream output;
    cadhost::Host host(cadhost::HostOptions{&output, {}});
    for (const qm::ModuleRecord& r : catalogue("Default")) {
        EXPECT_TRUE(qm::LoadApplications(r.GetApplications())) << r.GetKey();
    }
    EXPECT_NE(output.str().find("Quillmont Road Design 22.15 ready."), std::string::npos)
        << output.str();
    bool roadsLoaded = false;
    for (const cadhost::ArxAppInfo& app : host.applications()) {
        roadsLoaded = roadsLoaded || app.fileName == "krqm_roads.arx";
    }
    EXPECT_TRUE(roadsLoaded);
    EXPECT_TRUE(host.runCommand({"KRQM_ROADS_PROFILE"}));

    const std::string log = user_.stateDir() + "/quillmont/survey_sync.log";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(log) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(fs::exists(log));
    EXPECT_NE(qmtest::readFile(log).find("--configuration default"), std::string::npos);
}

TEST(SampleProductInformation, SitsWhereTheDialogLooksForIt) {
    // The dialog drops the last 7 characters of the installation folder, which the sample
    // fills with "sample/": its product information lies beside the installation.
    const std::string appPath = sourceSample() + "/";
    const std::string file =
        appPath.substr(0, appPath.size() - 7) + "Configuration/Default/Meshra.Version.txt";
    ASSERT_TRUE(fs::exists(file)) << file;
    const std::string text = qmtest::readFile(file);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << text;
    EXPECT_NE(text.find(" and "), std::string::npos) << text;
}

}  // namespace
