#include "cadhost/menu_file.h"

#include <gtest/gtest.h>

#include "qmtest/files.h"
#include "qmtest/temp_dir.h"

namespace {

using cadhost::parseMenuText;

struct GroupNameCase {
    const char* what;
    std::string text;
    bool compiled;
    std::optional<std::string> group;
};

TEST(MenuFile, GroupNameComesFromTheGroupLineOrForCompiledMenusTheTitle) {
    // ***NOUNLOAD marks a group that refuses to be unloaded.
    const GroupNameCase cases[] = {
        {"trimmed, case kept", "// menu\n***MENUGROUP=  KRQM_Base \n", false, "KRQM_Base"},
        {"spaces around =", "***MENUGROUP = Spaced\n", false, "Spaced"},
        {"keyword in lower case", "***menugroup=low\n", false, "low"},
        {"CRLF line ends", "***MENUGROUP=Win\r\n***POP1\r\n", false, "Win"},
        {"no group line", "***POP1\n[File]\n", false, std::nullopt},
        {"empty group value", "***MENUGROUP=\n", false, std::nullopt},
        {"compiled, no group line", std::string("PK\x03\x04\x01", 5), true, "Title"},
        {"compiled, group line wins", "***MENUGROUP=Inner\n", true, "Inner"},
        {"refuses unloading", "***MENUGROUP=Stuck\n***NOUNLOAD\n", false, "Stuck"},
        {"last line without its line break", "// menu\n***MENUGROUP=Last", false, "Last"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto definition = parseMenuText(c.text, c.compiled, "Title");
        ASSERT_EQ(definition.has_value(), c.group.has_value());
        if (definition) {
            EXPECT_EQ(definition->groupName, *c.group);
            EXPECT_EQ(definition->refusesUnload, c.text.find("***NOUNLOAD") != std::string::npos);
        }
    }
}

TEST(MenuFile, PullDownMenusKeepTitleAliasItemsAndSeparators) {
    const auto definition = parseMenuText(
        "***MENUGROUP=KRQM_ROAD\r\n"
        "***POP1\n"
        "**ROAD_POP\n"
        "  [&Road]\n"
        "ID_A [Axis]^C^C_KRQM_AXIS \n"
        "[--]\n"
        "// [Commented]IGNORED\n"
        "[Label only]\n"
        "no bracket line\n"
        "***POP2\n"
        "[Second]\n"
        "[Plain]^c_LINE\n"
        "***ACCELERATORS\n"
        "[Ignored]IGNORED",
        false, "Title");
    ASSERT_TRUE(definition);
    ASSERT_EQ(definition->popMenus.size(), 2u);
    const cadhost::PopMenu& first = definition->popMenus[0];
    EXPECT_EQ(first.alias, "ROAD_POP");
    EXPECT_EQ(first.title, "&Road");
    ASSERT_EQ(first.items.size(), 3u);
    EXPECT_EQ(first.items[0].label, "Axis");
    EXPECT_EQ(first.items[0].command, "_KRQM_AXIS");
    EXPECT_TRUE(first.items[1].separator);
    EXPECT_EQ(first.items[2].label, "Label only");
    EXPECT_EQ(first.items[2].command, "");
    const cadhost::PopMenu& second = definition->popMenus[1];
    EXPECT_EQ(second.alias, "");
    EXPECT_EQ(second.title, "Second");
    ASSERT_EQ(second.items.size(), 1u);
    EXPECT_EQ(second.items[0].command, "_LINE");
}

#if !defined(_WIN32)
// (POSIX only: Windows has no FIFOs in the file system.)
// Only regular files are read: a FIFO in a menu's place is refused at once, not waited on.
TEST(MenuFile, AFifoInAMenusPlaceIsRefusedWithoutWaiting) {
    qmtest::TempDir dir;
    const std::string fifo = dir / "waiting.mnu";
    qmtest::makeFifo(fifo);
    bool read = true;
    EXPECT_TRUE(qmtest::returnsWithoutWaitingOnFifos(
        [&] { read = cadhost::readMenuFile(fifo).has_value(); }, {fifo}));
    EXPECT_FALSE(read);
}
#endif

TEST(MenuFile, ReadingChoosesTheRuleByExtensionWithoutRegardToCase) {
    qmtest::TempDir dir;
    qmtest::writeFile(dir / "KRQM_QCO_Menu_DE.CUIX", "compiled bytes");
    qmtest::writeFile(dir / "plain.mnu", "compiled bytes");
    qmtest::writeFile(dir / "named.MNU", "***MENUGROUP=Named\n");

    const auto compiled = cadhost::readMenuFile(dir / "KRQM_QCO_Menu_DE.CUIX");
    ASSERT_TRUE(compiled);
    EXPECT_EQ(compiled->groupName, "KRQM_QCO_Menu_DE");
    EXPECT_FALSE(cadhost::readMenuFile(dir / "plain.mnu"));
    ASSERT_TRUE(cadhost::readMenuFile(dir / "named.MNU"));
    EXPECT_FALSE(cadhost::readMenuFile(dir / "missing.mnu"));
    EXPECT_FALSE(cadhost::readMenuFile(dir.path()));
}

// As on Windows, a menu asked for in another letter case than its file (a definition's menu
// name, a remembered path) is found; also when it is read from its open folder.
TEST(MenuFile, AFileIsFoundWhateverTheLetterCaseOfItsPath) {
    qmtest::TempDir dir;
    qmtest::writeFile(dir / "Menus/KRQM_Roads_enu.mnu", "***MENUGROUP=KRQM_ROADS\n");
    const qmsys::FolderHandle folder = qmsys::FolderHandle::open(dir / "Menus");
    ASSERT_TRUE(folder.isOpen());
    for (const std::string& path :
         {dir / "Menus/krqm_roads_ENU.mnu", dir / "MENUS/KRQM_Roads_enu.MNU"}) {
        const auto read = cadhost::readMenuFile(path);
        ASSERT_TRUE(read) << path;
        EXPECT_EQ(read->groupName, "KRQM_ROADS");
        EXPECT_TRUE(cadhost::readMenuFile(path, &folder)) << path;
    }
    EXPECT_FALSE(cadhost::readMenuFile(dir / "Menus/KRQM_Road_enu.mnu"));
}

}  // namespace
