// The user's private menu copies: what check mode and update mode do with missing, current and
// out-of-date copies, companions, read-only files, the refused names, and the report lines.
#include <algorithm>
#include <filesystem>
#include <functional>
#include <ostream>
#include <vector>

#include <gtest/gtest.h>

#include <qmenv/environment.h>
#include <qmsys/files.h>
#include <qmtest/files.h>
#if !defined(_WIN32)
#include <qmtest/ordinary_user.h>
#include <qmtest/own_process.h>
#endif
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
    qmtest::setLastWriteNs(copy, qmtest::lastWriteNs(menuSource_));
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

// What the checker refuses to copy, and how it says so: a configuration name that would lead
// the copies out of the user's folder, a link that loops back into the menus folder (followed
// only so deep), and a source whose attributes cannot be read (a link to nothing).
struct RefusalCase {
    const char* label;
    const char* menu;
    std::function<void(qmtest::CheckerInstallation&)> arrange;
    const char* failure;  // in LastFailure, "" when none is expected
    const char* report;   // in Report, "" when it must stay empty
};

// Test names must not depend on addresses, which differ from run to run.
void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.label;
}

class CheckerRefusalTest : public MenuProvisionerTest,
                           public ::testing::WithParamInterface<RefusalCase> {};

// The deepest folder nesting below folder.
int nesting(const std::string& folder) {
    int deepest = 0;
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::end(it); ++it) {
        deepest = std::max(deepest, it.depth() + 1);
    }
    return deepest;
}

TEST_P(CheckerRefusalTest, FailsAndKeepsTheCopiesInTheUsersMenus) {
    const RefusalCase& c = GetParam();
    c.arrange(install_);
    const std::string product =
        std::string(std::getenv("APPDATA")) + "/Brenvik/Quillmont/" QM_PRODUCT_VERSION;

    EXPECT_FALSE(api_.MenuUpdate("Road", c.menu));
    EXPECT_NE(api_.LastFailure().find(c.failure), std::string::npos) << api_.LastFailure();
    if (*c.report == '\0') {
        EXPECT_EQ(api_.Report(), "");
    } else {
        EXPECT_NE(api_.Report().find(c.report), std::string::npos) << api_.Report();
    }
    // Nothing outside the product's folder; a loop is followed at most 33 folders deep.
    EXPECT_EQ(fs::exists(product + "/../Escaped"), false);
    if (fs::exists(product)) {
        EXPECT_LE(nesting(product), 36);
    }
}

const RefusalCase kRefusalCases[] = {
    RefusalCase{"ConfigurationLeavingTheUserFolder", kMnuMenu,
                [](qmtest::CheckerInstallation& i) { i.writeKernelServices("enu", "../Escaped"); },
                "refused configuration name \"../Escaped\"", ""},
    RefusalCase{"ConfigurationWithABackslash", kMnuMenu,
                [](qmtest::CheckerInstallation& i) { i.writeKernelServices("enu", "..\\Escaped"); },
                "refused configuration name", ""},
#if !defined(_WIN32)  // symbolic links need a privilege there
    RefusalCase{"LinkLoop", "KRQM_Loop_enu",
                [](qmtest::CheckerInstallation& i) {
                    fs::create_directory_symlink(".", i.root() + "/Road/Menus/KRQM_Loop_enu.mnu");
                },
                "", "Could not open directory"},
    RefusalCase{"SourceAttributesUnreadable", "KRQM_Dangle_enu",
                [](qmtest::CheckerInstallation& i) {
                    fs::create_symlink(i.root() + "/nothing",
                                       i.root() + "/Road/Menus/KRQM_Dangle_enu.mnu");
                },
                "cannot read", ""},
#endif
};

INSTANTIATE_TEST_SUITE_P(Cases, CheckerRefusalTest, ::testing::ValuesIn(kRefusalCases),
                         [](const auto& testCase) { return std::string(testCase.param.label); });

// A checker given no pass runs each call in a pass of its own: what one call read (the
// kernel-services values, whether the configuration file and the user's menus folder exist)
// is read again by the next, so a change in between counts.
struct BetweenCallsCase {
    const char* label;
    std::function<void(qmtest::CheckerInstallation&)> change;
    const char* report;  // part of the second update's report; "" when it succeeds
    const char* copy;    // where it leaves the menu's copy, below the product's folder
};

void PrintTo(const BetweenCallsCase& c, std::ostream* os) {
    *os << c.label;
}

class CheckerWithoutPassTest : public MenuProvisionerTest,
                               public ::testing::WithParamInterface<BetweenCallsCase> {};

TEST_P(CheckerWithoutPassTest, SeesAChangeBetweenTwoCalls) {
    const BetweenCallsCase& c = GetParam();
    ASSERT_TRUE(api_.MenuUpdate("Road", kMnuMenu)) << api_.Report() << api_.LastFailure();
    ASSERT_TRUE(api_.MenuCheck("Road", kMnuMenu)) << "finds the folders the update made";
    c.change(install_);
    const bool updated = api_.MenuUpdate("Road", kMnuMenu);
    if (*c.report == '\0') {
        EXPECT_TRUE(updated) << api_.Report() << api_.LastFailure();
        EXPECT_TRUE(qmsys::fileExists(std::string(std::getenv("APPDATA")) +
                                      "/Brenvik/Quillmont/" QM_PRODUCT_VERSION "/" + c.copy))
            << c.copy;
    } else {
        EXPECT_FALSE(updated);
        EXPECT_NE(api_.Report().find(c.report), std::string::npos) << api_.Report();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Changes, CheckerWithoutPassTest,
    ::testing::Values(
        BetweenCallsCase{
            "ConfigurationSwitched",
            [](qmtest::CheckerInstallation& i) { i.writeKernelServices("enu", "Rail"); }, "",
            "Rail/Menus/KRQM_Road_Menu_enu.mnu"},
        BetweenCallsCase{"LanguageRemoved",
                         [](qmtest::CheckerInstallation& i) { i.removeKernelValue("Language"); },
                         "\\Language\"", ""},
        BetweenCallsCase{"ConfigurationFileRemoved",
                         [](qmtest::CheckerInstallation& i) {
                             fs::remove(i.root() + "/Base/Config/Launchrig.ini");
                         },
                         "Missing configuration file", ""},
        BetweenCallsCase{"UsersMenusFolderRemoved",
                         [](qmtest::CheckerInstallation& i) { fs::remove_all(i.userMenus()); }, "",
                         "Default/Menus/KRQM_Road_Menu_enu.mnu"}),
    [](const auto& testCase) { return std::string(testCase.param.label); });

#if !defined(_WIN32)  // a folder's write permission and a non-root child are POSIX's
// An out-of-date copy in a menus folder the user may not change: the update fails naming the
// copy, and the copy stays. Run as an ordinary user, since root may delete anything.
TEST_F(MenuProvisionerTest, OutOfDateCopyThatCannotBeDeletedFailsTheUpdate) {
    if (!qmtest::inOwnProcess()) {
        return;
    }
    ASSERT_TRUE(api_.MenuUpdate("Road", kMnuMenu)) << api_.Report() << api_.LastFailure();
    const std::string copy = copyOf("KRQM_Road_Menu_enu.mnu");
    writeFile(menuSource_, "***MENUGROUP=ROAD\n// changed\n");
    for (const std::string& folder :
         {user_.root(), fs::path(install_.root()).parent_path().string(), user_.registryDir()}) {
        fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read |
                                    fs::perms::others_exec);
    }
    fs::permissions(install_.userMenus(), fs::perms::owner_write | fs::perms::group_write,
                    fs::perm_options::remove);
    QMTEST_SKIP_UNLESS_ORDINARY_USER_REACHES(install_.userMenus());
    QMTEST_SKIP_UNLESS_ORDINARY_USER_REACHES(user_.registryDir());

    std::string said;
    {
        const qmtest::AsOrdinaryUser user;
        ASSERT_TRUE(user.ordinary());
        qm::MyLaunchrigApi api;
        api.SetRootDirectory(install_.root());
        said = std::string(api.MenuUpdate("Road", kMnuMenu) ? "updated" : "failed") + ": " +
               api.LastFailure();
    }
    fs::permissions(install_.userMenus(), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(said, "failed: cannot delete \"" + copy + "\" (error 5)");
    EXPECT_EQ(readFile(copy), "***MENUGROUP=ROAD\n");
}
#endif

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

#if !defined(_WIN32)  // no FIFOs there
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
#endif

}  // namespace
