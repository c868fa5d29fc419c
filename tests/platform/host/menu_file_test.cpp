#include "cadhost/menu_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "qmtest/files.h"
#include "qmtest/temp_dir.h"

namespace {

using cadhost::MenuDefinition;
using cadhost::parseMenuText;

struct GroupNameCase {
    const char* what;
    std::string text;
    bool compiled;
    std::optional<std::string> group;
};

TEST(MenuFile, GroupNameComesFromTheGroupLineOrForCompiledMenusTheTitle) {
    const GroupNameCase cases[] = {
        {"trimmed, case kept", "// menu\n***MENUGROUP=  KRQM_Base \n", false, "KRQM_Base"},
        {"spaces around =", "***MENUGROUP = Spaced\n", false, "Spaced"},
        {"keyword in lower case", "***menugroup=low\n", false, "low"},
        {"CRLF line ends", "***MENUGROUP=Win\r\n***POP1\r\n", false, "Win"},
        {"no group line", "***POP1\n[File]\n", false, std::nullopt},
        {"empty group value", "***MENUGROUP=\n", false, std::nullopt},
        {"compiled, no group line", std::string("PK\x03\x04\x01", 5), true, "Title"},
        {"compiled, group line wins", "***MENUGROUP=Inner\n", true, "Inner"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto definition = parseMenuText(c.text, c.compiled, "Title");
        ASSERT_EQ(definition.has_value(), c.group.has_value());
        if (definition) {
            EXPECT_EQ(definition->groupName, *c.group);
        }
    }
}

TEST(MenuFile, PullDownMenusKeepTitleAliasItemsAndSeparators) {
    const std::string text =
        "***MENUGROUP=KRQM_TEST\n"
        "***POP1\n"
        "**KRQM_FILE\n"
        "ID_Title [&Quillmont]\n"
        "ID_Open  [Open module loader]^C^CKRQM_ModuleLoader_Arx\n"
        "[--]\n"
        "// not an item\n"
        "[About]_ABOUT\n"
        "***TOOLBARS\n"
        "[Ignored]IGNORED\n"
        "***POP2\n"
        "[Second]\n"
        "[Label only]\n";
    const auto definition = parseMenuText(text, false, "x");
    ASSERT_TRUE(definition);
    EXPECT_FALSE(definition->refusesUnload);
    ASSERT_EQ(definition->popMenus.size(), 2u);

    const auto& first = definition->popMenus[0];
    EXPECT_EQ(first.alias, "KRQM_FILE");
    EXPECT_EQ(first.title, "&Quillmont");
    ASSERT_EQ(first.items.size(), 3u);
    EXPECT_EQ(first.items[0].label, "Open module loader");
    EXPECT_EQ(first.items[0].command, "KRQM_ModuleLoader_Arx");
    EXPECT_TRUE(first.items[1].separator);
    EXPECT_EQ(first.items[2].command, "_ABOUT");

    const auto& second = definition->popMenus[1];
    EXPECT_EQ(second.alias, "");
    EXPECT_EQ(second.title, "Second");
    ASSERT_EQ(second.items.size(), 1u);
    EXPECT_EQ(second.items[0].command, "");
}

TEST(MenuFile, NoUnloadLineMarksTheGroup) {
    const auto definition = parseMenuText("***MENUGROUP=Stuck\n***NOUNLOAD\n", false, "x");
    ASSERT_TRUE(definition);
    EXPECT_TRUE(definition->refusesUnload);
}

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

}  // namespace
