// The guarded menu-group operations against a real in-process host: the three lookups, loads
// and unloads, and the product sweep (also when the host refuses an unload).
#include <gtest/gtest.h>

#include <qmtest/files.h>

#include "menu_runtime_fixture.h"

namespace {

using Mode = qm::MenuGroupAutomation::FindMode;

class MenuGroupAutomationTest : public qmtest::MenuRuntimeTest {
protected:
    // Loads groups (in order) from files named after them in a folder of their own.
    void preloadGroups(std::initializer_list<const char*> groups, const std::string& extra = "") {
        for (const char* g : groups) {
            const std::string file = user_.root() + "/restored/" + g + ".mnu";
            writeMenuFile(file, g, extra);
            preload(file);
        }
    }
};

struct FileLookup {
    const char* label;
    const char* loadedAs;  // relative to the user's root
    const char* query;     // "<root>" stands for the user's root
    bool found;
};

class FindByFileTest : public MenuGroupAutomationTest,
                       public ::testing::WithParamInterface<FileLookup> {};

TEST_P(FindByFileTest, ComparesFileTitlesOnly) {
    const std::string loaded = user_.root() + "/" + GetParam().loadedAs;
    writeMenuFile(loaded, "KRQM_ROAD");
    preload(loaded);
    std::string query = GetParam().query;
    if (auto at = query.find("<root>"); at != std::string::npos) {
        query.replace(at, 6, user_.root());
    }
    std::string group = "unchanged";
    EXPECT_EQ(automation_.FindMenuGroupByFile(query, group), GetParam().found);
    EXPECT_EQ(group, GetParam().found ? "KRQM_ROAD" : "unchanged");
}

INSTANTIATE_TEST_SUITE_P(
    Lookups, FindByFileTest,
    ::testing::Values(
        FileLookup{"SamePath", "a/KRQM_Road_enu.mnu", "<root>/a/KRQM_Road_enu.mnu", true},
        FileLookup{"OtherFolderAndCuix", "a/KRQM_Road_enu.mnu", "/elsewhere/KRQM_Road_enu.cuix",
                   true},
        FileLookup{"LetterCase", "a/KRQM_Road_enu.mnu", "/x/krqm_road_ENU.CUIX", true},
        FileLookup{"BareName", "a/KRQM_Road_enu.mnu", "KRQM_Road_enu", true},
        FileLookup{"OtherTitle", "a/KRQM_Road_enu.mnu", "/x/KRQM_Road_deu.mnu", false},
        FileLookup{"TitleIsNotAPrefix", "a/KRQM_Road_enu.mnu", "KRQM_Road", false},
        FileLookup{"Empty", "a/KRQM_Road_enu.mnu", "", false}),
    [](const auto& testCase) { return std::string(testCase.param.label); });

TEST_F(MenuGroupAutomationTest, ByNameTakesTheFirstAndProductLookupTheLastMatch) {
    preloadGroups({"KRQM_A", "OTHER", "QCO", "KRQ", "QC", "krqm_lower", "XKRQM"});
    auto product = automation_.FindMenuGroup("placeholder", Mode::ProductGroups);
    ASSERT_TRUE(product);
    std::string name;
    product->group->get_Name(name);
    EXPECT_EQ(name, "QCO") << "the last match, and the bare prefix counts";
    EXPECT_FALSE(automation_.FindMenuGroup("", Mode::ProductGroups)) << "empty name finds nothing";

    auto byName = automation_.FindMenuGroup("other", Mode::ByName);
    ASSERT_TRUE(byName);
    EXPECT_EQ(byName->name, "OTHER");
}

TEST_F(MenuGroupAutomationTest, LoadGivesTheGroupNameAndUnloadRemovesIt) {
    const std::string file = user_.root() + "/menus/KRQM_Road_enu.mnu";
    writeMenuFile(file, "KRQM_ROAD");
    std::string group;
    ASSERT_TRUE(automation_.LoadMenuGroupFile(file, group));
    EXPECT_EQ(group, "KRQM_ROAD");
    EXPECT_EQ(groupFile("KRQM_ROAD"), file);

    EXPECT_TRUE(automation_.UnloadMenuGroupByName("krqm_road"));
    EXPECT_FALSE(isLoaded("KRQM_ROAD"));
    EXPECT_FALSE(automation_.UnloadMenuGroupByName("KRQM_ROAD")) << "no longer loaded";
    EXPECT_FALSE(automation_.UnloadMenuGroupByName(""));
}

// Other applications and commands change the groups between the loader's lookups; every
// lookup answers from the host's groups as they are now.
TEST_F(MenuGroupAutomationTest, LookupsFollowChangesMadeBehindTheLoadersBack) {
    preloadGroups({"KRQM_A", "KRQM_B"});
    std::string group;
    ASSERT_TRUE(automation_.FindMenuGroupByFile("KRQM_A", group));
    ASSERT_TRUE(
        automation_.LoadMenuGroupFile(writeInstalledMenu("own/KRQM_C.mnu", "KRQM_C"), group));

    ASSERT_TRUE(host_->runCommand({"MENUUNLOAD", "KRQM_A"}));
    ASSERT_TRUE(host_->runCommand({"MENUUNLOAD", "KRQM_C"}));
    preloadGroups({"KRQM_D"});
    EXPECT_FALSE(automation_.FindMenuGroupByFile("KRQM_A", group));
    EXPECT_FALSE(automation_.FindMenuGroup("KRQM_C", Mode::ByName));
    EXPECT_FALSE(automation_.UnloadMenuGroupByName("KRQM_C"));
    EXPECT_TRUE(automation_.FindMenuGroupByFile("KRQM_D", group));
    EXPECT_EQ(group, "KRQM_D");

    // Loaded again from a file of another title: found under the new title only.
    const std::string renamed = user_.root() + "/other/Renamed.mnu";
    writeMenuFile(renamed, "KRQM_A");
    preload(renamed);
    EXPECT_FALSE(automation_.FindMenuGroupByFile("KRQM_A", group));
    EXPECT_TRUE(automation_.FindMenuGroupByFile("renamed", group));
    EXPECT_EQ(group, "KRQM_A");
}

TEST_F(MenuGroupAutomationTest, UnparseableMenuFailsAndLeavesTheGroupsAlone) {
    preloadGroups({"OTHER"});
    const std::string bad = user_.root() + "/menus/bad.mnu";
    qmtest::writeFile(bad, "no group line here\n");
    std::string group = "unchanged";
    EXPECT_FALSE(automation_.LoadMenuGroupFile(bad, group));
    EXPECT_EQ(group, "unchanged");
    EXPECT_EQ(groupNames(), std::vector<std::string>{"OTHER"});
    EXPECT_NE(logText().find(bad), std::string::npos);
}

TEST_F(MenuGroupAutomationTest, SweepUnloadsProductGroupsLastFirstAndEndsAtARefusal) {
    preloadGroups({"KRQM_STUCK"}, "***NOUNLOAD\n");
    preloadGroups({"OTHER", "KRQM", "QCO_B", "KRQM_C"});
    automation_.UnloadProductMenuGroups();  // must return although KRQM_STUCK stays
    EXPECT_EQ(groupNames(), (std::vector<std::string>{"KRQM_STUCK", "OTHER"}));
    EXPECT_NE(logText().find("KRQM_STUCK"), std::string::npos);
}

}  // namespace
