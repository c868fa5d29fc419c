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
