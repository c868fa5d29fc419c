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
    // Each menu as "alias|title" and its items as "label>command", "--" for a separator.
    std::vector<std::string> got;
    for (const auto& pop : definition->popMenus) {
        got.push_back(pop.alias + "|" + pop.title);
        for (const auto& item : pop.items) {
            got.push_back(item.separator ? "--" : item.label + ">" + item.command);
        }
    }
    EXPECT_THAT(got, ::testing::ElementsAre("KRQM_FILE|&Quillmont",
                                            "Open module loader>KRQM_ModuleLoader_Arx", "--",
                                            "About>_ABOUT", "|Second", "Label only>"));
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
