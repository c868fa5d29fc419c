// The menu-groups automation of an in-process host, with real menu files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "host_fixture.h"
#include "qmtest/files.h"

namespace {

using namespace cadhost;
using ::testing::ElementsAre;

class MenuGroupsTest : public hosttest::HostTest {
protected:
    MenuGroupsTest() { acedGetAcadWinApp()->get_MenuGroups(groups_); }

    std::string menu(const std::string& name, const std::string& content) {
        const std::string path = folder() + "/" + name;
        qmtest::writeFile(path, content);
        return path;
    }
    // Normalised the way the host records menu file paths.
    std::string folder() const {
        return std::filesystem::path(user_.root() + "/menus").lexically_normal().string();
    }
    HRESULT load(const std::string& path) {
        std::shared_ptr<IAcadMenuGroup> group;
        return groups_->Load(path, false, group);
    }
    std::uint64_t changes() const {
        std::uint64_t count = 0;
        EXPECT_EQ(groups_->get_ChangeCount(count), S_OK);
        return count;
    }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& g : host_.menuGroups()) {
            out.push_back(g.name);
        }
        return out;
    }

    std::shared_ptr<IAcadMenuGroups> groups_;
};

TEST_F(MenuGroupsTest, LoadedGroupsAreListedInLoadOrder) {
    const std::string base = menu("KRQM_Base.mnu", "***MENUGROUP=KRQM_BASE\n");
    const std::string qco = menu("qco.cuix", "zip bytes");
    const std::uint64_t before = changes();
    ASSERT_EQ(load(base), S_OK);
    ASSERT_EQ(load(qco), S_OK);
    EXPECT_EQ(changes(), before + 2) << "every load moves the change count";

    // (Items' names and files and the count are exercised by the loader's menu look-up tests.)
    EXPECT_TRUE(acedIsMenuGroupLoaded("krqm_base"));
    EXPECT_FALSE(acedIsMenuGroupLoaded("KRQM"));

    type({"MENUGROUPS"});
    EXPECT_THAT(takeLines(), ElementsAre("KRQM_BASE\t" + base, "qco\t" + qco));
}

TEST_F(MenuGroupsTest, LoadFailuresLeaveTheCollectionUnchanged) {
    ASSERT_EQ(load(menu("first.mnu", "***MENUGROUP=KRQM_QCO\n")), S_OK);
    const std::uint64_t loaded = changes();
    struct Case {
        const char* what;
        std::string file;
        bool baseMenu;
        HRESULT expected;
    };
    const Case cases[] = {
        {"group already loaded, other case", menu("second.mnu", "***MENUGROUP=krqm_qco\n"), false,
         E_FAIL},
        {"no group line", menu("nogroup.mnu", "***POP1\n[File]\n"), false, E_FAIL},
        {"missing file", folder() + "/missing.mnu", false, E_FAIL},
        {"base menu", menu("base.mnu", "***MENUGROUP=Base\n"), true, E_INVALIDARG},
        {"empty name", "", false, E_INVALIDARG},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::shared_ptr<IAcadMenuGroup> group;
        EXPECT_EQ(groups_->Load(c.file, c.baseMenu, group), c.expected);
        EXPECT_EQ(group, nullptr);
        EXPECT_THAT(names(), ElementsAre("KRQM_QCO"));
        EXPECT_EQ(changes(), loaded);
    }
    type({"MENULOAD " + folder() + "/nogroup.mnu"});
    EXPECT_THAT(takeLines(), ElementsAre("Unable to load menu file \"" + user_.root() +
                                         "/menus/nogroup.mnu\"."));
}

TEST_F(MenuGroupsTest, AGroupMarkedNoUnloadRefusesToUnload) {
    std::shared_ptr<IAcadMenuGroup> group;
    ASSERT_EQ(groups_->Load(menu("stuck.mnu", "***MENUGROUP=STUCK\n***NOUNLOAD\n"), false, group),
              S_OK);
    const std::uint64_t loaded = changes();
    EXPECT_EQ(group->Unload(), E_ACCESSDENIED);
    type({"MENUUNLOAD stuck", "MENUUNLOAD other"});
    EXPECT_THAT(takeLines(), ElementsAre("Unable to unload menu group \"stuck\".",
                                         "Menu group \"other\" is not loaded."));
    EXPECT_THAT(names(), ElementsAre("STUCK"));
    EXPECT_EQ(changes(), loaded) << "refused unloads change nothing";

    ASSERT_EQ(load(menu("free.mnu", "***MENUGROUP=FREE\n")), S_OK);
    type({"MENUUNLOAD free"});
    EXPECT_EQ(changes(), loaded + 2) << "an unload by command moves the count as well";
}

}  // namespace
