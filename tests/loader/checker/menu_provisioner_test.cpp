// The user's private menu copies: what check mode and update mode do with missing, current and
// out-of-date copies, companions, read-only files, the refused names, and the report lines.
#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

#include <qmenv/environment.h>
#include <qmsys/files.h>
#include <qmtest/files.h>
#include <qmtest/scoped_env.h>

#include "checker/menu_provisioner.h"
#include "checker/my_launchrig_api.h"
#include "checker_installation.h"
#include "file_stamps.h"
#include "qm/version.h"

namespace {

namespace fs = std::filesystem;
using qmtest::readFile;
using qmtest::writeFile;

constexpr const char* kMnuMenu = "KRQM_Road_Menu_enu";
constexpr const char* kCuixMenu = "KRQM_Rail_enu.cuix";

class MenuProvisionerTest : public qmtest::RelocatedTest {
protected:
    MenuProvisionerTest() {
        menuSource_ = install_.writeMenu("Road", "KRQM_Road_Menu_enu.mnu", "***MENUGROUP=ROAD\n");
        lispSource_ = install_.writeMenu("Road", "KRQM_Road_Menu.mnl", "(princ)\n");
        api_.SetRootDirectory(install_.root());
    }
    std::string copyOf(const std::string& name) const { return install_.userMenus() + "/" + name; }

    qmtest::CheckerInstallation install_;
    qm::MyLaunchrigApi api_;
    std::string menuSource_;
    std::string lispSource_;
};

TEST_F(MenuProvisionerTest, CheckWithoutCopiesIsTrueAndCopiesNothing) {
    EXPECT_TRUE(api_.MenuCheck("Road", kMnuMenu));
    EXPECT_FALSE(qmsys::fileExists(copyOf("KRQM_Road_Menu_enu.mnu")));
    // Nothing matching in the installation is no failure either.
    EXPECT_TRUE(api_.MenuUpdate("Road", "KRQM_Absent_enu"));
    EXPECT_EQ(api_.Report(), "");
}

TEST_F(MenuProvisionerTest, UpdateCopiesMenuAndCompanionUnderTheMenuName) {
    ASSERT_TRUE(api_.MenuUpdate("Road", kMnuMenu)) << api_.Report() << api_.LastFailure();
    const std::string copy = copyOf("KRQM_Road_Menu_enu.mnu");
    EXPECT_EQ(readFile(copy), "***MENUGROUP=ROAD\n");
    EXPECT_EQ(qmtest::mtimeNs(copy), qmtest::mtimeNs(menuSource_));
    EXPECT_EQ(readFile(copyOf("KRQM_Road_Menu_enu.mnl")), "(princ)\n");
    EXPECT_TRUE(api_.MenuCheck("Road", kMnuMenu)) << "fresh copies are current";
    EXPECT_EQ(copyOf(""), QmEnGetUserDataPath() + "/Menus/") << "the folder the loader loads from";
}

TEST_F(MenuProvisionerTest, WithoutAppDataBothFallBackToTheSameFolder) {
    qmtest::ScopedEnv noAppData("APPDATA", std::nullopt);
    ASSERT_TRUE(api_.MenuUpdate("Road", kMnuMenu)) << api_.LastFailure();
    EXPECT_TRUE(qmsys::fileExists(QmEnGetUserDataPath() + "/Menus/KRQM_Road_Menu_enu.mnu"));
}

TEST_F(MenuProvisionerTest, EmptyConfigurationCopiesToTheFolderTheLoaderLoadsFrom) {
    install_.writeKernelServices("enu", "");
    ASSERT_TRUE(api_.MenuUpdate("Road", kMnuMenu)) << api_.Report() << api_.LastFailure();
    const std::string copy = QmEnGetUserDataPath() + "/Menus/KRQM_Road_Menu_enu.mnu";
    EXPECT_EQ(copy, std::string(std::getenv("APPDATA")) + "/Brenvik/Quillmont/" QM_PRODUCT_VERSION
                                                          "/Menus/KRQM_Road_Menu_enu.mnu");
    EXPECT_TRUE(qmsys::fileExists(copy));
    EXPECT_TRUE(api_.MenuCheck("Road", kMnuMenu));
}

TEST_F(MenuProvisionerTest, SameStampAndSizeCopyIsLeftUntouched) {
    ASSERT_TRUE(api_.MenuUpdate("Road", kMnuMenu));
    const std::string copy = copyOf("KRQM_Road_Menu_enu.mnu");
    const std::int64_t stamp = qmtest::mtimeNs(copy);
    // Same size and time stamp, other content: only a copy that was left alone keeps it.
    writeFile(copy, "***MENUGROUP=EDIT\n");
    fs::last_write_time(copy, fs::last_write_time(menuSource_));
    EXPECT_TRUE(api_.MenuCheck("Road", kMnuMenu));
    EXPECT_TRUE(api_.MenuUpdate("Road", kMnuMenu));
    EXPECT_EQ(readFile(copy), "***MENUGROUP=EDIT\n");
    EXPECT_EQ(qmtest::mtimeNs(copy), stamp);
}

TEST_F(MenuProvisionerTest, ChangedMnuCopyIsReplacedAndItsCompiledFilesDeleted) {
    ASSERT_TRUE(api_.MenuUpdate("Road", kMnuMenu));
    const std::string copy = copyOf("KRQM_Road_Menu_enu.mnu");
    const std::string stem = copyOf("KRQM_Road_Menu_enu.");
    const char* compiled[] = {"mns", "mnc", "mnr", "_light.mnr", "cui", "cuix"};
    for (const char* ext : compiled) {
        writeFile(stem + ext, "compiled");
    }
    writeFile(copyOf("KRQM_Other_enu.mns"), "belongs to another menu");
    qmtest::shiftMtime(menuSource_, std::chrono::seconds(-60));

    EXPECT_FALSE(api_.MenuCheck("Road", kMnuMenu));
    EXPECT_EQ(api_.Report(), "") << "an out-of-date copy is no failure of the checker";
    ASSERT_TRUE(api_.MenuUpdate("Road", kMnuMenu)) << api_.LastFailure();
    EXPECT_EQ(qmtest::mtimeNs(copy), qmtest::mtimeNs(menuSource_));
    for (const char* ext : compiled) {
        EXPECT_FALSE(qmsys::fileExists(stem + ext)) << ext;
    }
    EXPECT_TRUE(qmsys::fileExists(copyOf("KRQM_Other_enu.mns")));
}

TEST_F(MenuProvisionerTest, CuixMenuGetsItsCompanionWithLanguageCodeInserted) {
    const std::string cuix = install_.writeMenu("Rail", kCuixMenu, "compiled rail menu");
    install_.writeMenu("Rail", "KRQM_Rail.mnl", "(rail)");
    ASSERT_TRUE(api_.MenuUpdate("Rail", kCuixMenu)) << api_.Report() << api_.LastFailure();
    EXPECT_EQ(readFile(copyOf(kCuixMenu)), "compiled rail menu");
    EXPECT_EQ(readFile(copyOf("KRQM_Rail_enu.mnl")), "(rail)");

    // A changed .cuix copy is replaced; it has no compiled files of its own to delete.
    writeFile(copyOf("KRQM_Rail_enu.mns"), "unrelated");
    qmtest::shiftMtime(cuix, std::chrono::seconds(30));
    ASSERT_TRUE(api_.MenuUpdate("Rail", kCuixMenu));
    EXPECT_EQ(qmtest::mtimeNs(copyOf(kCuixMenu)), qmtest::mtimeNs(cuix));
    EXPECT_TRUE(qmsys::fileExists(copyOf("KRQM_Rail_enu.mns")));
}

TEST_F(MenuProvisionerTest, OutOfDateReadOnlyCopyIsReplaced) {
    ASSERT_TRUE(api_.MenuUpdate("Road", kMnuMenu)) << api_.LastFailure();
    const std::string copy = copyOf("KRQM_Road_Menu_enu.mnu");
    writeFile(menuSource_, "***MENUGROUP=ROAD_NEW\n");
    qmtest::makeReadOnly(copy);
    EXPECT_TRUE(api_.MenuUpdate("Road", kMnuMenu)) << api_.LastFailure();
    EXPECT_EQ(readFile(copy), "***MENUGROUP=ROAD_NEW\n");
    EXPECT_EQ(api_.Report(), "");
}

TEST_F(MenuProvisionerTest, ReadOnlySourceGivesWritableCopies) {
    qmtest::makeReadOnly(menuSource_);
    qmtest::makeReadOnly(lispSource_);
    ASSERT_TRUE(api_.MenuUpdate("Road", kMnuMenu));
    EXPECT_TRUE(qmtest::isWritable(copyOf("KRQM_Road_Menu_enu.mnu")));
    EXPECT_TRUE(qmtest::isWritable(copyOf("KRQM_Road_Menu_enu.mnl")));
}

TEST_F(MenuProvisionerTest, ModuleFoldersAreReadAsTheDefinitionGivesThem) {
    // Ending in Menus already, absolute, or climbing out and back: only read, never refused.
    fs::create_directories(install_.root() + "/Rail");
    for (const std::string& folder :
         {std::string("Road/Menus"), install_.root() + "/Road", std::string("Rail/../Road"),
          std::string("Rail\\..\\Road\\Menus")}) {
        fs::remove_all(install_.userMenus());
        EXPECT_TRUE(api_.MenuUpdate(folder, kMnuMenu)) << folder << api_.LastFailure();
        EXPECT_TRUE(qmsys::fileExists(copyOf("KRQM_Road_Menu_enu.mnu"))) << folder;
    }
}

TEST_F(MenuProvisionerTest, MatchingSubfoldersAreMirroredBelowTheUserMenus) {
    // A folder that matches the pattern is recreated and walked with the same pattern.
    install_.writeMenu("Road", "KRQM_Nest_enu.mnu/KRQM_Nest_enu.mnu", "inner file");
    install_.writeMenu("Road", "KRQM_Nest_enu.mnu/unrelated.mnu", "not matched");
    ASSERT_TRUE(api_.MenuUpdate("Road", "KRQM_Nest_enu")) << api_.Report() << api_.LastFailure();
    EXPECT_EQ(readFile(copyOf("KRQM_Nest_enu.mnu/KRQM_Nest_enu.mnu")), "inner file");
    EXPECT_FALSE(qmsys::fileExists(copyOf("KRQM_Nest_enu.mnu/unrelated.mnu")));
}

struct RefusedCase {
    const char* label;
    const char* folder;
    const char* menu;
};

class RefusedNameTest : public MenuProvisionerTest,
                        public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedNameTest, IsRefusedWithoutReportLineAndWithoutCopying) {
    writeFile(install_.root() + "/x_enu.mnu", "outside");
    EXPECT_FALSE(api_.MenuUpdate(GetParam().folder, GetParam().menu));
    EXPECT_EQ(api_.Report(), "") << "a refused entry does not poison the checker";
    EXPECT_NE(api_.LastFailure(), "");
    EXPECT_TRUE(api_.MenuUpdate("Road", kMnuMenu)) << "later entries still work";
    EXPECT_FALSE(qmsys::fileExists(install_.userMenus() + "/../x_enu.mnu"));
}

INSTANTIATE_TEST_SUITE_P(Names, RefusedNameTest,
                         ::testing::Values(RefusedCase{"ParentInName", "Road", "../x_enu"},
                                           RefusedCase{"AbsoluteName", "Road", "/tmp/x_enu"},
                                           RefusedCase{"ShorterThanLanguageTail", "Road", "enu"},
                                           RefusedCase{"LanguageTailAlone", "Road", "_enu"},
                                           RefusedCase{"NothingBeforeCuixTail", "Road",
                                                       "_enu.cuix"},
                                           RefusedCase{"EmptyName", "Road", ""},
                                           RefusedCase{"BackslashInName", "Road", "..\\x_enu"},
                                           RefusedCase{"ParentAlone", "Road", ".."}),
                         [](const auto& testCase) { return std::string(testCase.param.label); });

TEST_F(MenuProvisionerTest, FailedFolderCreationLeavesItsReportLine) {
    // The source holds matching nested folders, but the user's side has a file where the
    // outer folder belongs, so nothing can be created below it.
    install_.writeMenu("Road", "KRQM_Nest_enu.mnu/KRQM_Nest_enu.mnu/inner", "");
    writeFile(copyOf("KRQM_Nest_enu.mnu"), "a file, not a folder");
    EXPECT_FALSE(api_.MenuUpdate("Road", "KRQM_Nest_enu"));
    EXPECT_EQ(api_.Report(),
              "\nCould not create directory: " + copyOf("KRQM_Nest_enu.mnu/KRQM_Nest_enu.mnu"));
}

TEST_F(MenuProvisionerTest, FailedCopyLeavesItsReportLineWithTheErrorCode) {
    const std::string inner =
        install_.writeMenu("Road", "KRQM_Nest_enu.mnu/KRQM_Nest_enu.mnu", "inner file");
    writeFile(copyOf("KRQM_Nest_enu.mnu"), "a file, not a folder");
    EXPECT_FALSE(api_.MenuUpdate("Road", "KRQM_Nest_enu"));
    EXPECT_EQ(api_.Report(), "\nCould not copy file from \"" + inner + "\" to file \"" +
                                 copyOf("KRQM_Nest_enu.mnu/KRQM_Nest_enu.mnu") +
                                 "\"\nError message: 3");
}

TEST_F(MenuProvisionerTest, UnusableUserFolderFailsWithThePathInTheDetail) {
    // A file where the per-configuration folder belongs.
    const std::string blocked =
        std::string(std::getenv("APPDATA")) + "/Brenvik/Quillmont/" QM_PRODUCT_VERSION;
    writeFile(blocked, "not a folder");
    EXPECT_FALSE(api_.MenuUpdate("Road", kMnuMenu));
    EXPECT_NE(api_.LastFailure().find(blocked), std::string::npos) << api_.LastFailure();
}

// A FIFO in the installation where a menu or its companion belongs: the copy is refused at
// once (access denied), nothing waits, and no copy or temporary file is left behind.
TEST_F(MenuProvisionerTest, FifoAsMenuOrCompanionIsRefusedWithoutWaiting) {
    const std::string menuFifo = fs::path(menuSource_).parent_path() / "KRQM_Pipe_enu.mnu";
    qmtest::makeFifo(menuFifo);
    fs::remove(lispSource_);
    qmtest::makeFifo(lispSource_);
    const std::vector<std::string> fifos{menuFifo, lispSource_};
    bool pipeMenu = true;
    bool roadMenu = true;
    std::string pipeReport;
    EXPECT_TRUE(qmtest::returnsWithoutWaitingOnFifos(
        [&] {
            pipeMenu = api_.MenuUpdate("Road", "KRQM_Pipe_enu");
            pipeReport = api_.Report();
            qm::MyLaunchrigApi fresh;
            fresh.SetRootDirectory(install_.root());
            roadMenu = fresh.MenuUpdate("Road", kMnuMenu);
        },
        fifos));
    EXPECT_FALSE(pipeMenu);
    EXPECT_NE(pipeReport.find("\nError message: 5"), std::string::npos) << pipeReport;
    EXPECT_FALSE(roadMenu) << "its companion is a FIFO";
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(install_.userMenus())) {
        left.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(left, std::vector<std::string>{"KRQM_Road_Menu_enu.mnu"}) << "the menu itself copied";
}

}  // namespace
