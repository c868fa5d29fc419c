// Loading and unloading modules' menus from the user's copies, the base-menu rules at start-up
// and after unloading KRQM_BASE, and the extra menu's removal. (Stale menus of modules not
// brought up are checked with the start-up sequence.)
#include <filesystem>
#include <optional>
#include <ostream>

#include <gtest/gtest.h>

#include <qmreg/registry.h>
#include <qmsys/files.h>
#include <qmtest/file_tick.h>
#include <qmtest/files.h>
#include <qmtest/misuse.h>
#include <qmtest/wait.h>
#include "qmtest/product_keys.h"

#include "menu_runtime_fixture.h"
#include "qm/version.h"
#include "runtime/menu_manager.h"
#include "runtime/module_list.h"

namespace {

using qm::MenuList;
using qm::MenuManager;
using qm::ProvisioningPass;

class MenuManagerTest : public qmtest::MenuRuntimeTest {
protected:
    MenuManagerTest() {
        baseMenu_ = writeInstalledMenu("Base/Menus/KRQM_Base_Menu_enu.mnu", "KRQM_MODULELOADER");
        roadMenu_ = writeInstalledMenu("Road/Menus/KRQM_Road_enu.mnu", "KRQM_ROAD");
        writeInstalledMenu("Rail/Menus/KRQM_Rail_enu.mnu", "KRQM_RAIL");
    }
    static MenuList listOf(std::initializer_list<std::pair<const char*, const char*>> menus) {
        MenuList list;
        for (const auto& [name, folder] : menus) {
            list.AddMenu(name, folder);
        }
        return list;
    }

    MenuManager manager_{automation_, log_};
    std::string baseMenu_;
    std::string roadMenu_;
};

TEST_F(MenuManagerTest, LoadsTheUsersCopyAndRecordsTheGroup) {
    MenuList list = listOf({{"KRQM_Road_enu", "Road\\Menus\\"}});
    ASSERT_TRUE(manager_.LoadMenuList(list)) << logText();
    EXPECT_EQ(list[0].groupName, "KRQM_ROAD");
    EXPECT_EQ(list[0].folder, "Road\\Menus\\") << "a folder ending in Menus stays as written";
    EXPECT_EQ(groupFile("KRQM_ROAD"), userMenus() + "/KRQM_Road_enu.mnu");
}

// A compiled menu goes to the host under its own file name; only .mnu copies get ".mnu".
TEST_F(MenuManagerTest, CompiledMenuLoadsUnderItsOwnName) {
    writeInstalledMenu("Tram/Menus/KRQM_Tram_enu.cuix", "KRQM_TRAM");
    MenuList list = listOf({{"KRQM_Tram_enu.cuix", "Tram\\Menus"}});
    ASSERT_TRUE(manager_.LoadMenuList(list)) << logText();
    EXPECT_EQ(list[0].groupName, "KRQM_TRAM");
    EXPECT_EQ(groupFile("KRQM_TRAM"), userMenus() + "/KRQM_Tram_enu.cuix");
}

// A definition may name its menu in another letter case than the installed file: the copy
// keeps the installed name, and the host finds it under the definition's name, as on Windows,
// at this start and the next.
TEST_F(MenuManagerTest, MenuNamedInAnotherLetterCaseThanItsFileLoads) {
    writeInstalledMenu("Roads/Menus/KRQM_Roads_enu.mnu", "KRQM_ROADS");
    MenuList list = listOf({{"krqm_roads_ENU", "Roads"}});
    ASSERT_TRUE(manager_.LoadMenuList(list)) << logText();
    EXPECT_EQ(list[0].groupName, "KRQM_ROADS");
    EXPECT_TRUE(qmsys::fileExists(userMenus() + "/KRQM_Roads_enu.mnu"));

    ASSERT_TRUE(manager_.LoadMenuList(list)) << logText();
    EXPECT_EQ(logText().find("not current"), std::string::npos) << "the copy is current";
    EXPECT_EQ(groupNames(), std::vector<std::string>{"KRQM_ROADS"});
}

TEST_F(MenuManagerTest, EmptyConfigurationLoadsFromTheProductFolder) {
    qmreg::Hive::forThread(qmreg::HiveId::CurrentUser)
        .setValue(qmtest::kKernelServicesKey, qmreg::Value::string("Current Config", ""));
    MenuList list = listOf({{"KRQM_Road_enu", "Road"}});
    ASSERT_TRUE(manager_.LoadMenuList(list)) << logText();
    EXPECT_EQ(groupFile("KRQM_ROAD"), user_.appData() + "/Brenvik/Quillmont/" QM_PRODUCT_VERSION
                                                        "/Menus/KRQM_Road_enu.mnu");
    manager_.ProvideLoaderMenu(false);
    EXPECT_TRUE(isLoaded("KRQM_MODULELOADER")) << logText();
}

TEST_F(MenuManagerTest, RefusedMenuNameNeverTouchesAnotherModulesGroup) {
    MenuList road = listOf({{"KRQM_Road_enu", "Road"}});
    ASSERT_TRUE(manager_.LoadMenuList(road));
    // Names whose file title is that of the road menu, but which would leave the user's
    // menus folder.
    for (const char* name : {"../KRQM_Road_enu", "Rail/KRQM_Road_enu", "/tmp/KRQM_Road_enu"}) {
        MenuList refused = listOf({{name, "Rail"}});
        EXPECT_FALSE(manager_.LoadMenuList(refused)) << name;
        EXPECT_EQ(refused[0].groupName, "") << name;
        EXPECT_TRUE(isLoaded("KRQM_ROAD")) << name;
    }
    EXPECT_NE(logText().find("refused"), std::string::npos);
}

// The sweep asks the host about every menu of a module not brought up, by its file title,
// also about names the checker would not provide: a group restored from such a file is stale
// all the same.
TEST_F(MenuManagerTest, StaleSweepLooksUpEveryMenuName) {
    const struct {
        const char* name;  // as the definition gives it
        const char* file;  // the file the host restored its group from
    } cases[] = {
        {"Road", "Road.mnu"},
        {"Rd.cuix", "Rd.cuix"},
        {"Old\\KRQM_Old_enu", "KRQM_Old_enu.mnu"},
        {"../KRQM_Up_enu", "KRQM_Up_enu.mnu"},
        {"KRQM_Plain_enu", "KRQM_Plain_enu.mnu"},
    };
    qm::ModuleList modules(1);
    modules[0].SetKey("QM_OLD");
    int n = 0;
    for (const auto& c : cases) {
        const std::string file = user_.root() + "/old/" + c.file;
        writeMenuFile(file, "OLDGROUP" + std::to_string(++n));
        preload(file);
        modules[0].AddMenu(c.name, "Old");
    }
    manager_.UnloadStaleModuleMenus(modules);
    EXPECT_EQ(groupNames(), std::vector<std::string>{}) << logText();
}

// Two modules not brought up name the same menu, and the host restored two groups from files
// of that title: each module's lookup finds a group of its own, as lookups one after the
// other's unload would.
TEST_F(MenuManagerTest, StaleSweepUnloadsEveryGroupOfASharedMenuTitle) {
    const std::string first = user_.root() + "/a/KRQM_Road_enu.mnu";
    const std::string second = user_.root() + "/b/KRQM_Road_enu.mnu";
    writeMenuFile(first, "KRQM_ROAD");
    writeMenuFile(second, "KRQM_ROAD_B");
    preload(first);
    preload(second);
    qm::ModuleList modules(2);
    modules[0].SetKey("QM_A");
    modules[1].SetKey("QM_B");
    for (qm::ModuleRecord& module : modules) {
        module.AddMenu("KRQM_Road_enu", "Road");
    }
    manager_.UnloadStaleModuleMenus(modules);
    EXPECT_EQ(groupNames(), std::vector<std::string>{}) << logText();
    EXPECT_EQ(logText().find("could not be unloaded"), std::string::npos) << logText();
}

// A leftover group the host refuses to unload stays, is logged, and the sweep goes on: the
// other modules' leftover menus still leave.
TEST_F(MenuManagerTest, StaleSweepGoesOnPastAGroupTheHostKeeps) {
    const char* const menus[] = {"KRQM_Kept_enu", "KRQM_Road_enu", "KRQM_Rail_enu"};
    const char* const groups[] = {"KRQM_KEPT", "KRQM_ROAD", "KRQM_RAIL"};
    qm::ModuleList modules(std::size(menus));
    for (std::size_t i = 0; i < std::size(menus); ++i) {
        const std::string file = user_.root() + "/old/" + menus[i] + ".mnu";
        writeMenuFile(file, groups[i], i == 0 ? "***NOUNLOAD\n" : "");
        preload(file);
        modules[i].SetKey("QM_" + std::to_string(i));
        modules[i].AddMenu(menus[i], "Old");
    }
    manager_.UnloadStaleModuleMenus(modules);
    EXPECT_EQ(groupNames(), std::vector<std::string>{"KRQM_KEPT"}) << logText();
    EXPECT_NE(logText().find("stale menu group \"KRQM_KEPT\" could not be unloaded"),
              std::string::npos)
        << logText();
}

TEST_F(MenuManagerTest, EmptyListsTouchNothing) {
    MenuList empty;
    EXPECT_TRUE(manager_.LoadMenuList(empty));
    EXPECT_TRUE(manager_.UnloadMenuList(empty));
    EXPECT_FALSE(qmsys::fileExists(userMenus()));
}

TEST_F(MenuManagerTest, CurrentLoadedMenuStaysAndAStaleOneIsReloadedFromANewCopy) {
    MenuList list = listOf({{"KRQM_Road_enu", "Road"}});
    ASSERT_TRUE(manager_.LoadMenuList(list));
    const std::string copy = userMenus() + "/KRQM_Road_enu.mnu";

    ASSERT_TRUE(manager_.LoadMenuList(list));
    EXPECT_EQ(groupNames(), std::vector<std::string>{"KRQM_ROAD"});

    writeInstalledMenu("Road/Menus/KRQM_Road_enu.mnu", "KRQM_ROAD", "// changed\n");
    ASSERT_TRUE(manager_.LoadMenuList(list)) << logText();
    EXPECT_NE(qmtest::readFile(copy).find("changed"), std::string::npos);
    EXPECT_TRUE(isLoaded("KRQM_ROAD"));
    EXPECT_NE(logText().find("not current"), std::string::npos);

    // A copy the user removed is provided again, and the group loaded from it stays.
    std::filesystem::remove(copy);
    const std::size_t logged = logText().size();
    ASSERT_TRUE(manager_.LoadMenuList(list)) << logText();
    EXPECT_NE(qmtest::readFile(copy).find("changed"), std::string::npos);
    EXPECT_TRUE(isLoaded("KRQM_ROAD"));
    EXPECT_EQ(logText().find("not current", logged), std::string::npos) << logText();
}

// A loaded menu that the checker can no longer vouch for, because the installation's set-up
// fails (its configuration file is gone), leaves the host and is not loaded again.
TEST_F(MenuManagerTest, LoadedMenuLeavesForGoodWhenTheCheckerSetUpFailsLater) {
    MenuList list = listOf({{"KRQM_Road_enu", "Road"}});
    ASSERT_TRUE(manager_.LoadMenuList(list)) << logText();
    ASSERT_TRUE(isLoaded("KRQM_ROAD"));
    std::filesystem::remove(root() + "/Base/Config/Launchrig.ini");

    EXPECT_FALSE(manager_.LoadMenuList(list));
    EXPECT_FALSE(isLoaded("KRQM_ROAD")) << logText();
    EXPECT_EQ(list[0].groupName, "KRQM_ROAD") << "the group found stays recorded";
    EXPECT_NE(logText().find("could not be provided"), std::string::npos) << logText();
}

TEST_F(MenuManagerTest, ListResultIsThatOfItsLastEntry) {
    struct Case {
        const char* label;
        std::initializer_list<std::pair<const char*, const char*>> menus;
        bool result;
    };
    // A menu that is missing from its folder is copied as nothing and then fails to load.
    const Case cases[] = {
        {"FailingThenLoading", {{"KRQM_Gone_enu", "Road"}, {"KRQM_Road_enu", "Road"}}, true},
        {"LoadingThenFailing", {{"KRQM_Rail_enu", "Rail"}, {"KRQM_Gone_enu", "Road"}}, false},
    };
    for (const Case& c : cases) {
        MenuList list = listOf(c.menus);
        EXPECT_EQ(manager_.LoadMenuList(list), c.result) << c.label;
    }
    EXPECT_TRUE(isLoaded("KRQM_ROAD"));
    EXPECT_TRUE(isLoaded("KRQM_RAIL"));
}

TEST_F(MenuManagerTest, OneCheckerPerListSoAnEarlyFailureFailsTheRest) {
    MenuList list = listOf({{"KRQM_Bridge_enu", "Bridge"}, {"KRQM_Road_enu", "Road"}});
    EXPECT_FALSE(manager_.LoadMenuList(list));
    EXPECT_FALSE(isLoaded("KRQM_ROAD"));
    EXPECT_NE(logText().find("Could not open directory: \"" + root() + "/Bridge/Menus\""),
              std::string::npos)
        << logText();

    MenuList again = listOf({{"KRQM_Road_enu", "Road"}});
    EXPECT_TRUE(manager_.LoadMenuList(again)) << "a new list gets a new checker";
}

TEST_F(MenuManagerTest, UnloadingKrqmBaseBringsTheLoaderMenuBackEvenWhenOthersFail) {
    writeInstalledMenu("QmBase/Menus/KRQM_QmBase_enu.mnu", "KRQM_BASE");
    MenuList list = listOf({{"KRQM_Gone_enu", "Road"}, {"KRQM_QmBase_enu", "QmBase"}});
    manager_.LoadMenuList(list);
    ASSERT_TRUE(isLoaded("KRQM_BASE"));
    ASSERT_FALSE(isLoaded("KRQM_MODULELOADER"));

    EXPECT_FALSE(manager_.UnloadMenuList(list)) << "the first entry has no group";
    EXPECT_FALSE(isLoaded("KRQM_BASE"));
    EXPECT_EQ(groupFile("KRQM_MODULELOADER"), userMenus() + "/KRQM_Base_Menu_enu.mnu");
    EXPECT_EQ(list[1].groupName, "KRQM_BASE") << "group names stay after unloading";
}

TEST_F(MenuManagerTest, LoaderMenuIsPresentExactlyWhenTheBaseModuleIsNotUp) {
    struct Case {
        bool baseModuleUp;
        bool alreadyLoaded;
        bool loadedAfter;
        bool fromUsersCopy;
    };
    // Already loaded, from the installation's file: left alone, not reloaded from the copy.
    const Case cases[] = {
        {true, true, false, false},
        {true, false, false, false},
        {false, false, true, true},
        {false, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "base up " << c.baseModuleUp << ", loaded " << c.alreadyLoaded);
        automation_.UnloadMenuGroupByName("KRQM_MODULELOADER");
        if (c.alreadyLoaded) {
            preload(baseMenu_);
        }
        manager_.ProvideLoaderMenu(c.baseModuleUp);
        EXPECT_EQ(isLoaded("KRQM_MODULELOADER"), c.loadedAfter);
        if (c.loadedAfter) {
            EXPECT_EQ(groupFile("KRQM_MODULELOADER") == userMenus() + "/KRQM_Base_Menu_enu.mnu",
                      c.fromUsersCopy);
        }
    }
}

// What a pass asks once (the folders' listings, the paths, the checker's registry reads) is
// asked again by the next pass, and the folders again by the next list of the same pass: a
// change made in between always counts. Between two lists of one pass, where the change falls
// on the file clock decides what must see it: once the tick of the folder's last change is
// over, the first list's listing is kept and only the folder's identity tells the change; in
// that tick, the listing may not be kept at all. Each case is put on its side of the tick.
enum class Change {
    ConfigurationSwitched,
    LanguageRemoved,
    ConfigurationFileRemoved,
    CompanionAdded
};

enum class Between {
    Passes,
    ListsInLaterTick,  // the first list reads the folder after its last change's tick
    ListsWithinTick,   // the folder changes, is listed and changes again within one tick
};

struct PassCase {
    const char* label;
    Change change;
    Between between;
    bool loads;
};

void PrintTo(const PassCase& c, std::ostream* os) {
    *os << c.label;
}

class MenuManagerPassTest : public MenuManagerTest, public ::testing::WithParamInterface<PassCase> {
protected:
    void apply(Change change) {
        const std::string kernel = qmtest::kKernelServicesKey;
        qmreg::Hive& hive = qmreg::Hive::forThread(qmreg::HiveId::CurrentUser);
        switch (change) {
            case Change::ConfigurationSwitched:
                hive.setValue(kernel, qmreg::Value::string("Current Config", "Other"));
                break;
            case Change::LanguageRemoved:
                hive.deleteValue(kernel, "Language");
                break;
            case Change::ConfigurationFileRemoved:
                std::filesystem::remove(root() + "/Base/Config/Launchrig.ini");
                break;
            case Change::CompanionAdded:
                qmtest::writeFile(companion(), "(princ)\n");
                break;
        }
    }
    std::string installedMenus() const { return root() + "/Road/Menus"; }
    std::string companion() const { return installedMenus() + "/KRQM_Road.mnl"; }
};

TEST_P(MenuManagerPassTest, ChangeInBetweenCounts) {
    const PassCase& c = GetParam();
    MenuList list = listOf({{"KRQM_Road_enu", "Road"}});
    std::optional<ProvisioningPass> provisioning(std::in_place);
    const auto loadUnloadThenChange = [&] {
        const bool loaded = manager_.LoadMenuList(list, &*provisioning);
        const bool unloaded = manager_.UnloadMenuList(list);
        apply(c.change);
        return loaded && unloaded;
    };
    switch (c.between) {
        case Between::Passes:
            ASSERT_TRUE(manager_.LoadMenuList(list, &*provisioning)) << logText();
            ASSERT_TRUE(manager_.UnloadMenuList(list));
            provisioning.reset();
            apply(c.change);
            provisioning.emplace();
            break;
        case Between::ListsInLaterTick:
            ASSERT_TRUE(qmtest::waitPastFileTimes({installedMenus()})) << "file clock stands still";
            ASSERT_TRUE(loadUnloadThenChange()) << logText();
            break;
        case Between::ListsWithinTick: {
            bool listed = true;
            const int runs = qmtest::runWithinOneTick(
                [&] {
                    qmtest::writeFile(installedMenus() + "/scratch", "");  // a change in this tick
                    std::filesystem::remove(installedMenus() + "/scratch");
                    listed = loadUnloadThenChange() && listed;
                },
                [&] { std::filesystem::remove(companion()); });
            ASSERT_TRUE(listed) << logText();
            if (runs == 0) {
                GTEST_SKIP() << "no list fitted within one tick of the file clock";
            }
            break;
        }
    }
    ASSERT_EQ(manager_.LoadMenuList(list, &*provisioning), c.loads) << logText();
    if (c.change == Change::ConfigurationSwitched) {
        EXPECT_EQ(groupFile("KRQM_ROAD"), user_.appData() + "/Brenvik/Quillmont/" QM_PRODUCT_VERSION
                                                            "/Other/Menus/KRQM_Road_enu.mnu");
    } else if (c.change == Change::CompanionAdded) {
        EXPECT_TRUE(qmsys::fileExists(userMenus() + "/KRQM_Road_enu.mnl")) << logText();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Changes, MenuManagerPassTest,
    ::testing::Values(
        PassCase{"ConfigurationSwitched", Change::ConfigurationSwitched, Between::Passes, true},
        PassCase{"LanguageRemoved", Change::LanguageRemoved, Between::Passes, false},
        PassCase{"ConfigurationFileRemoved", Change::ConfigurationFileRemoved, Between::Passes,
                 false},
        PassCase{"CompanionAddedBetweenPasses", Change::CompanionAdded, Between::Passes, true},
        PassCase{"CompanionAddedBetweenLists", Change::CompanionAdded, Between::ListsInLaterTick,
                 true},
        PassCase{"CompanionAddedBetweenListsWithinOneTick", Change::CompanionAdded,
                 Between::ListsWithinTick, true}),
    [](const ::testing::TestParamInfo<PassCase>& param) { return param.param.label; });

TEST(MenuManagerPaths, FolderSplitsIntoModuleFolderAndEntryFolder) {
    struct Case {
        const char* folder;
        const char* moduleFolder;
        const char* entryFolder;
    };
    const Case cases[] = {
        {"Road\\Menus\\", "Road", "Road\\Menus\\"},
        {"/opt/q\\Road", "/opt/q/Road", "/opt/q/Road/Menus"},
        {"Road/menus", "Road/menus", "Road/menus/Menus"},  // "Menus" is looked for with its case
    };
    for (const Case& c : cases) {
        const auto split = MenuManager::SplitMenuFolder(c.folder);
        EXPECT_EQ(split.moduleFolder, c.moduleFolder) << c.folder;
        EXPECT_EQ(split.entryFolder, c.entryFolder) << c.folder;
    }
}

TEST(MenuManagerPaths, UserMenuFileHasOneSeparatorBeforeMenusAndKeepsALeadingPair) {
    EXPECT_EQ(MenuManager::UserMenuFile("/home/u/data/", "KRQM_Road_enu"),
              "/home/u/data/Menus/KRQM_Road_enu");
    EXPECT_EQ(MenuManager::UserMenuFile("//server/share", "KRQM_Road_enu"),
              "//server/share/Menus/KRQM_Road_enu");
}

// The preconditions the menu list and the menu manager state stop at an assert in the builds
// that keep them (dev and ci).
TEST_F(MenuManagerTest, MisuseStopsAtItsAssert) {
#ifdef NDEBUG
    GTEST_SKIP() << "asserts are off in this build";
#else
    qmtest::expectEachStopsAtItsAssert({
        {"name of an empty list", [] { (void)MenuList().MenuNameAt(0); },
         "MenuNameAt of an empty list"},
        {"entry past the end",
         [] {
             (void)listOf({{"KRQM_Road_enu", "Road"}})[1];
         },
         "menu index out of range"},
        {"erased past the end",
         [] {
             listOf({{"KRQM_Road_enu", "Road"}}).Erase(0, 2);
         },
         "erased range outside the list"},
        {"erased backwards",
         [] {
             listOf({{"KRQM_Road_enu", "Road"}}).Erase(1, 0);
         },
         "erased range outside the list"},
    });
#endif
}

}  // namespace
