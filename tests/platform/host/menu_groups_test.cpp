// The menu-groups automation of an in-process host, with real menu files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

#include <qmsys/file_identity.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <numeric>

#include "host_fixture.h"
#include "qmtest/files.h"

namespace {

using namespace cadhost;
using ::testing::ElementsAre;

#if defined(_WIN32)
std::string backslashes(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}
#endif

class MenuGroupsTest : public hosttest::HostTest {
protected:
    MenuGroupsTest() { acedGetAcadWinApp()->get_MenuGroups(groups_); }

    std::string menu(const std::string& name, const std::string& content) {
        const std::string path = folder() + "/" + name;
        qmtest::writeFile(path, content);
        return path;
    }
    // Normalised the way the host records menu file paths (with '/' on every system).
    std::string folder() const {
        const std::u8string normal =
            qmtest::fsPath(user_.root() + "/menus").lexically_normal().generic_u8string();
        return std::string(normal.begin(), normal.end());
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
    std::vector<std::string> menuFiles() const {
        std::vector<std::string> out;
        for (const auto& g : host_.menuGroups()) {
            out.push_back(g.menuFile);
        }
        return out;
    }
    std::string listFile() const { return user_.stateDir() + "/cadhost/menugroups.list"; }
    // The list file's identity: a rewrite replaces the file, an append changes its time.
    qmsys::FileIdentity listIdentity() const {
        qmsys::FileIdentity identity;
        EXPECT_TRUE(qmsys::identifyFile(listFile(), identity));
        return identity;
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

// A menu file is recorded under its tidy absolute path however it was spelled, so that the
// same file is never loaded twice and the remembered list names it once.
TEST_F(MenuGroupsTest, MenuFilesAreRecordedUnderTheirTidyAbsolutePath) {
    const std::string file = menu("dot.d/..x/a.mnu", "***MENUGROUP=KRQM_A\n");
    const std::string in = folder() + "/dot.d";
    const std::string spellings[] = {
        file,
        in + "/..x//a.mnu",
        in + "/./..x/a.mnu",
        in + "/../dot.d/..x/a.mnu",
        in + "/..x/./a.mnu",
        in + "/..x/../..x/a.mnu",
#if defined(_WIN32)
        // Windows paths: either separator, the drive letter in either case.
        backslashes(file),
        backslashes(in) + "\\..\\dot.d/..x\\a.mnu",
        std::string(1, static_cast<char>(std::tolower(file[0]))) + file.substr(1),
#else
        "/" + file,
#endif
    };
    for (const std::string& spelling : spellings) {
        SCOPED_TRACE(spelling);
        ASSERT_EQ(load(spelling), S_OK);
        EXPECT_EQ(menuFiles(), std::vector<std::string>{file});
        EXPECT_EQ(load(file), E_FAIL) << "the same group twice";
        type({"MENUUNLOAD KRQM_A"});
        ASSERT_THAT(names(), ::testing::IsEmpty());
    }
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

// The remembered list is a journal of changes: the host restores what its lines replay to, in
// order, and leaves the file as that plain list.
TEST_F(MenuGroupsTest, RestoreReplaysTheRememberedChanges) {
    const std::string a = menu("a.mnu", "***MENUGROUP=KRQM_A\n");
    const std::string b = menu("b.mnu", "***MENUGROUP=KRQM_B\n");
    const std::string c = menu("c.mnu", "***MENUGROUP=KRQM_C\n");
    const std::string gone = folder() + "/gone.mnu";
    const std::string twin = menu("twin.mnu", "***MENUGROUP=krqm_a\n");
    const std::string other = menu("other/d.mnu", "***MENUGROUP=KRQM_D\n");
    const std::string otherGone = folder() + "/other/b.mnu";  // b's name, in another folder
    struct Case {
        const char* what;
        std::string file;
        std::vector<std::string> restored;
        bool rewritten = true;  // false: the list was compact and is left alone
    };
    const Case cases[] = {
        {"a plain list, as older hosts wrote it", a + "\n" + b + "\n", {a, b}, false},
        {"forgotten paths are left out", a + "\n" + b + "\n-" + a + "\n" + c + "\n", {b, c}},
        {"a path remembered again moves to the end",
         a + "\n" + b + "\n-" + a + "\n" + a + "\n",
         {b, a}},
        {"repeats, forgetting the unknown, blank lines",
         a + "\n\n" + a + "\n-" + c + "\n" + b + "\n",
         {a, b}},
        {"a last line cut short by a crash", a + "\n" + b, {a}},
        {"files that no longer load or whose group is taken",
         gone + "\n" + a + "\n" + twin + "\n",
         {a}},
        {"menus of several folders, interleaved",
         a + "\n" + other + "\n" + otherGone + "\n" + b + "\n",
         {a, other, b}},
        {"an empty list", "", {}, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        qmtest::writeFile(listFile(), k.file);
        const qmsys::FileIdentity before = listIdentity();
        host_.restoreMenuGroups();
        const qmsys::FileIdentity after = listIdentity();
        EXPECT_EQ(after.inode != before.inode || after.modifiedNs != before.modifiedNs,
                  k.rewritten);
        EXPECT_EQ(menuFiles(), k.restored);
        EXPECT_EQ(qmtest::readFile(listFile()),
                  std::accumulate(k.restored.begin(), k.restored.end(), std::string(),
                                  [](std::string all, const std::string& path) {
                                      return std::move(all) + path + "\n";
                                  }));
        for (const std::string& name : names()) {
            type({"MENUUNLOAD " + name});
        }
        ASSERT_THAT(names(), ::testing::IsEmpty());
    }
}

// A load or unload adds one line to the list and rewrites nothing, so that bringing up n menus
// writes O(n), not O(n^2). Load and unload cycles still leave a file of bounded length.
TEST_F(MenuGroupsTest, ChangesAreAppendedToTheRememberedList) {
    const auto inode = [&] { return listIdentity().inode; };
    const std::string a = menu("a.mnu", "***MENUGROUP=KRQM_A\n");
    const std::string b = menu("b.mnu", "***MENUGROUP=KRQM_B\n");
    ASSERT_EQ(load(a), S_OK);
    const auto file = inode();
    ASSERT_EQ(load(b), S_OK);
    type({"MENUUNLOAD krqm_a"});
    EXPECT_EQ(qmtest::readFile(listFile()), a + "\n" + b + "\n-" + a + "\n");
    EXPECT_EQ(inode(), file);

    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(load(a), S_OK);
        type({"MENUUNLOAD krqm_a"});
    }
    EXPECT_LT(qmtest::readFile(listFile()).size(), 200 * (a.size() + 2));
    host_.restoreMenuGroups();  // compacts; b is loaded already and stays once
    EXPECT_EQ(qmtest::readFile(listFile()), b + "\n");
    EXPECT_THAT(names(), ElementsAre("KRQM_B"));
}

#if !defined(_WIN32)
// (POSIX only: FIFOs, devices and symbolic links a test may plant have no Windows counterpart.)

// Something other than a regular file where the remembered list belongs: a FIFO, or a link
// to a character device (made in the test's folder; nothing may be written through it). The
// host neither waits on it nor reads it without end, restores nothing, and leaves it alone.
TEST_F(MenuGroupsTest, ARememberedListThatIsNoRegularFileIsLeftAlone) {
    const std::string a = menu("a.mnu", "***MENUGROUP=KRQM_A\n");
    const std::string device = user_.root() + "/zero";
    if (::mknod(device.c_str(), S_IFCHR | 0600, ::makedev(1, 5)) != 0) {
        std::filesystem::create_symlink("/dev/zero", device);  // no right to make devices
    }
    const std::string fifo = user_.root() + "/fifo";
    qmtest::makeFifo(fifo);
    for (const std::string& target : {fifo, device}) {
        SCOPED_TRACE(target);
        std::filesystem::remove(listFile());
        std::filesystem::create_directories(std::filesystem::path(listFile()).parent_path());
        std::filesystem::create_symlink(target, listFile());
        EXPECT_TRUE(qmtest::returnsWithoutWaitingOnFifos(
            [&] {
                host_.restoreMenuGroups();
                EXPECT_THAT(names(), ::testing::IsEmpty());
                EXPECT_EQ(load(a), S_OK);  // remembering it fails quietly
                type({"MENUUNLOAD krqm_a"});
                host_.restoreMenuGroups();
            },
            {fifo}));
        EXPECT_TRUE(std::filesystem::is_symlink(listFile()));
    }
}

// Compaction writes the new list under a temporary name. Links planted at the names an
// earlier host used for it (the list's name, ".tmp.", the process id and a counter) are not
// followed: the file they point at keeps its contents.
TEST_F(MenuGroupsTest, CompactionWritesNothingThroughLinksAtTemporaryNames) {
    const std::string a = menu("a.mnu", "***MENUGROUP=KRQM_A\n");
    const std::string victim = user_.root() + "/victim";
    qmtest::writeFile(victim, "keep");
    qmtest::writeFile(listFile(), a + "\n" + a + "\n");  // not compact
    const std::string stem = listFile() + ".tmp." + std::to_string(::getpid());
    std::filesystem::create_symlink(victim, stem);
    for (int i = 0; i < 100; ++i) {
        std::filesystem::create_symlink(victim, stem + "." + std::to_string(i));
    }
    host_.restoreMenuGroups();
    EXPECT_EQ(qmtest::readFile(victim), "keep");
    EXPECT_EQ(qmtest::readFile(listFile()), a + "\n");
    EXPECT_THAT(names(), ElementsAre("KRQM_A"));
}

#endif

}  // namespace
