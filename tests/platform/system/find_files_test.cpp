#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "qmsys/files.h"
#include "qmtest/files.h"
#include "qmtest/temp_dir.h"

namespace {

struct MatchCase {
    const char* pattern;
    const char* name;
    bool matches;
};

void PrintTo(const MatchCase& c, std::ostream* os) {
    *os << '"' << c.pattern << "\" vs \"" << c.name << '"';
}

class WildcardTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(WildcardTest, Matches) {
    const MatchCase& c = GetParam();
    EXPECT_EQ(qmsys::wildcardMatch(c.pattern, c.name), c.matches);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WildcardTest,
    ::testing::Values(MatchCase{"KRQM_Base_ENU.mnu", "krqm_base_enu.MNU", true},
                      MatchCase{"KRQM_Base.??l", "KRQM_Base.mnl", true},
                      MatchCase{"KRQM_Base.??l", "KRQM_Base.ml", false},
                      MatchCase{"*.mnu", "menu.mnux", false}, MatchCase{"*a*b", "xaayb", true},
                      MatchCase{"?", "\xC3\xA9", true},  // one character, two bytes
                      MatchCase{"*.*", "README", true},  // Windows: "*.*" is every name
                      MatchCase{"readme.*", "readmetxt", false},
                      MatchCase{"\xC3\xA9*", "\xC3\x89t\xC3\xA9", false}),  // é vs É: not folded
    [](const auto& testCase) { return "case" + std::to_string(testCase.index); });

class FindFilesTest : public ::testing::Test {
protected:
    qmtest::TempDir dir_;
    void touch(const std::string& name) { qmtest::writeFile(dir_ / name, ""); }
};

TEST_F(FindFilesTest, ReturnsMatchesInNtfsNameOrder) {
    for (const char* name :
         {"b.mnu", "_z.mnu", "C.MNU", "ab.mnu", "a_b.mnu", "A.mnu", "notes.txt", "b.mnu.bak"}) {
        touch(name);
    }
    std::filesystem::create_directories(dir_ / "Sub.mnu");

    // NTFS orders by upper-cased name: "_" (0x5F) comes after every letter, and a folder is
    // listed among the files.
    const std::vector<std::string> expected = {"A.mnu", "ab.mnu",  "a_b.mnu", "b.mnu",
                                               "C.MNU", "Sub.mnu", "_z.mnu"};
    EXPECT_EQ(qmsys::findFiles(dir_.path(), "*.MNU"), expected);
}

// Beyond ASCII: only ASCII letters fold, names differing only in case keep their exact order,
// and UTF-16 order puts characters above U+FFFF (surrogate pairs) before U+E000 to U+FFFF,
// whatever their UTF-8 bytes say. Bytes that are no UTF-8 order as bytes.
TEST_F(FindFilesTest, OrdersNamesBeyondAsciiAsUtf16Does) {
    const std::vector<std::string> expected = {
        "A.mnu",
        "a.mnu",
        "b.mnu",
        "_z.mnu",
        "\x80x.mnu",             // a stray continuation byte
        "\xC3\x89.mnu",          // U+00C9, not folded to ...
        "\xC3\xA9.mnu",          // U+00E9
        "\xF0\x9F\x98\x80.mnu",  // U+1F600: D83D DE00 in UTF-16
        "\xEE\x80\x80.mnu",      // U+E000
        "\xEF\xBC\xA1.mnu",      // U+FF21
        "\xFF.mnu",              // no UTF-8 at all
    };
    for (auto it = expected.rbegin(); it != expected.rend(); ++it) {
        touch(*it);
    }
    EXPECT_EQ(qmsys::findFiles(dir_.path(), "*.mnu"), expected);
}

TEST_F(FindFilesTest, NeverListsDotEntries) {
    touch("menu.mnu");
    EXPECT_EQ(qmsys::findFiles(dir_.path(), "*"), std::vector<std::string>{"menu.mnu"});
    EXPECT_EQ(qmsys::findFiles(dir_.path(), "*.*"), std::vector<std::string>{"menu.mnu"});
    EXPECT_EQ(qmsys::findFiles(dir_.path(), ".*"), std::vector<std::string>{});
}

TEST_F(FindFilesTest, MissingFolderYieldsNothing) {
    EXPECT_TRUE(qmsys::findFiles(dir_ / "absent", "*").empty());
    touch("file");
    EXPECT_TRUE(qmsys::findFiles(dir_ / "file", "*").empty());
}

}  // namespace
