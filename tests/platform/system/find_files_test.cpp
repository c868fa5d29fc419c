#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "qmsys/files.h"
#include "qmtest/case_pairs.h"
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
                      // Every letter folds as NTFS folds it, by the simple upper-case mapping.
                      MatchCase{"*.\xC3\xB6sterreich.xml", "Roads.\xC3\x96STERREICH.xml", true},
                      MatchCase{"*.\xC3\x96sterreich.xml", "QM_Base.\xC3\xB6sterreich.xml", true},
                      MatchCase{"*.\xC3\x96sterreich.xml", "Rail.osterreich.xml", false},
                      MatchCase{"\xCF\x89*", "\xCE\xA9mega", true},      // ω, Ω
                      MatchCase{"\xD0\xB4?", "\xD0\x94\xD0\xB0", true},  // д, Да
                      MatchCase{"stra\xC3\x9F"
                                "e",
                                "STRASSE", false},            // ß has no simple upper case
                      MatchCase{"I?", "\xC4\xB1x", true},     // ı upper-cases to I
                      MatchCase{"i", "\xC4\xB0", false},      // İ is not the upper case of i
                      MatchCase{"k", "\xE2\x84\xAA", false},  // nor the Kelvin sign
                      MatchCase{"*\xEF\xBD\x81", "x\xEF\xBC\xA1", true},  // fullwidth a, A
                      MatchCase{"\xF0\x9F\x98\x80*", "\xF0\x9F\x98\x80.mnu", true}),
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

// Beyond ASCII: every letter folds to its upper case, names differing only in case keep their
// exact order, and UTF-16 order puts characters above U+FFFF (surrogate pairs) before U+E000
// to U+FFFF, whatever their UTF-8 bytes say. Bytes that are no UTF-8 order as bytes.
TEST_F(FindFilesTest, OrdersNamesBeyondAsciiAsUtf16Does) {
    const std::vector<std::string> expected = {
#if !defined(_WIN32)  // Windows holds one of two names that differ only in case
        "A.mnu",
#endif
        "a.mnu",
        "b.mnu",
        "_z.mnu",
#if !defined(_WIN32)  // Windows names are UTF-16: bytes that are no UTF-8 cannot be one
        "\x80x.mnu",  // a stray continuation byte
#endif
        "\xC3\xA4"
        "a.mnu",  // U+00E4 sorts as U+00C4, before ...
        "\xC3\x85"
        "b.mnu",  // U+00C5
#if !defined(_WIN32)
        "\xC3\x89.mnu",  // U+00C9, the same name for NTFS as ...
#endif
        "\xC3\xA9.mnu",          // U+00E9
        "\xF0\x9F\x98\x80.mnu",  // U+1F600: D83D DE00 in UTF-16
        "\xEE\x80\x80.mnu",      // U+E000
        "\xEF\xBD\x81x.mnu",     // U+FF41 sorts as U+FF21, before ...
        "\xEF\xBC\xA2.mnu",      // U+FF22
#if !defined(_WIN32)
        "\xFF.mnu",  // no UTF-8 at all
#endif
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

#if !defined(_WIN32)  // Windows itself opens a path in any letter case
// Opening a path in another letter case finds the file, as on Windows: every component that
// is missing as written stands for the entry of its folder that NTFS would take for it.
TEST_F(FindFilesTest, ResolvesEachComponentMissingAsWrittenByItsFoldedName) {
    touch("Menus/KRQM_Roads_enu.mnu");
    touch(
        "\xC3\x96sterreich/Stra\xC3\x9F"
        "e.mnu");
    touch("Twins/dup.mnu");
    touch("Twins/DUP.mnu");  // differing only in case: NTFS would hold one of them
    const std::string root = dir_.path() + "/";
    const struct {
        const char* path;
        const char* resolved;  // "" when nothing is found
    } cases[] = {
        {"Menus/KRQM_Roads_enu.mnu", "Menus/KRQM_Roads_enu.mnu"},
        {"menus/krqm_roads_ENU.mnu", "Menus/KRQM_Roads_enu.mnu"},
        {"MENUS//./KRQM_ROADS_ENU.MNU", "Menus/./KRQM_Roads_enu.mnu"},
        {"\xC3\xB6STERREICH/STRA\xC3\x9F"
         "E.MNU",
         "\xC3\x96sterreich/Stra\xC3\x9F"
         "e.mnu"},
        {"\xC3\x96sterreich/STRASSE.mnu", ""},  // ß is not SS
        {"Osterreich/Stra\xC3\x9F"
         "e.mnu",
         ""},
        {"twins/Dup.mnu", "Twins/DUP.mnu"},  // the first in NTFS order
        {"menus/krqm_roads_enu.mnu/x", ""},  // a file is no folder
        {"menus/missing.mnu", ""},
    };
    for (const auto& c : cases) {
        const std::string expected = *c.resolved ? root + c.resolved : "";
        EXPECT_EQ(qmsys::resolveLetterCase(root + c.path), expected) << c.path;
    }
    EXPECT_EQ(qmsys::resolveLetterCase(""), "");
}

// Every run of the upper-case table, not a sample: a file named with a run's capitals (Ł, Ś,
// Č, Ř and the like alternate with their small letters) is found by a search and opened by a
// path written with its small letters, and the other way round.
TEST_F(FindFilesTest, EveryRunOfTheFoldingTableFindsAFileInEitherCase) {
    for (const auto& [label, small, capital] : qmtest::upcaseTableRuns()) {
        SCOPED_TRACE(label + ": " + capital);
        for (const auto& [written, asked] :
             {std::pair{capital, small}, std::pair{small, capital}}) {
            qmtest::TempDir dir;
            qmtest::writeFile(dir / written, "");
            EXPECT_EQ(qmsys::findFiles(dir.path(), asked), std::vector<std::string>{written});
            EXPECT_EQ(qmsys::resolveLetterCase(dir / asked), dir / written);
        }
    }
}
#endif

}  // namespace
