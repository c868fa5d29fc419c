#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "qmsys/file_identity.h"
#include "qmsys/files.h"
#include "qmsys/folder_index.h"
#include "qmsys/letter_case.h"
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
                      // The two ends of a one-star pattern may not share a byte of the name.
                      MatchCase{"ab*ba", "aba", false},
                      MatchCase{"Qm_*.XML", "qm_b.default.xml", true},
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
        "\xEF\xFF.mnu",  // a broken character of that range
        "\xFF.mnu",      // no UTF-8 at all
#endif
    };
    // The same order whichever name was created first.
    for (const bool reversed : {true, false}) {
        SCOPED_TRACE(reversed ? "created last to first" : "created first to last");
        qmtest::TempDir folder;
        std::vector<std::string> names = expected;
        if (reversed)
            std::reverse(names.begin(), names.end());
        for (const std::string& name : names)
            qmtest::writeFile(folder / name, "");
        EXPECT_EQ(qmsys::findFiles(folder.path(), "*.mnu"), expected);
    }
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

// Every service that opens, stats, lists or copies a whole path finds the entry whatever the
// letter case the path is written in, as Windows does; a path missing in every case stays
// missing.
TEST_F(FindFilesTest, EveryServiceFindsAPathWrittenInAnotherLetterCase) {
    touch("Menus/KRQM_Roads_enu.mnu");
    const std::string root = dir_.path() + "/";
    const struct {
        const char* name;
        bool folder;  // the path given is the menu's folder, not the menu
        std::function<bool(const std::string&)> finds;
    } services[] = {
        {"getFileAttributes", false,
         [](const std::string& p) {
             qmsys::FileAttributes a;
             return qmsys::getFileAttributes(p, a) == qmsys::kErrorSuccess;
         }},
        {"fileExists", false, [](const std::string& p) { return qmsys::fileExists(p); }},
        {"readRegularFile", false,
         [](const std::string& p) {
             std::string out;
             return qmsys::readRegularFile(p, 100, out) == qmsys::kErrorSuccess;
         }},
        {"openRegularFile", false,
         [](const std::string& p) {
             qmsys::WinError error = qmsys::kErrorSuccess;
             return qmsys::openRegularFile(p, error).valid();
         }},
        {"identifyFile", false,
         [](const std::string& p) {
             qmsys::FileIdentity id;
             return qmsys::identifyFile(p, id);
         }},
        {"copyFile source", false,
         [&root](const std::string& p) {
             return qmsys::copyFile(p, root + "copy.mnu", false) == qmsys::kErrorSuccess;
         }},
        {"FolderIndex::exists", false,
         [](const std::string& p) { return qmsys::FolderIndex().exists(p); }},
        {"FolderHandle::open", true,
         [](const std::string& p) { return qmsys::FolderHandle::open(p).isOpen(); }},
        {"findFiles", true,
         [](const std::string& p) { return qmsys::findFiles(p, "*.MNU").size() == 1; }},
        {"FolderIndex::find", true,
         [](const std::string& p) {
             std::vector<qmsys::FolderIndex::Match> matches;
             return qmsys::FolderIndex().find(p, "*.mnu", matches) && matches.size() == 1;
         }},
    };
    for (const auto& s : services) {
        SCOPED_TRACE(s.name);
        EXPECT_TRUE(s.finds(root + (s.folder ? "Menus" : "Menus/KRQM_Roads_enu.mnu")));
        EXPECT_TRUE(s.finds(root + (s.folder ? "mENUS" : "menus/krqm_roads_ENU.MNU")));
        EXPECT_FALSE(s.finds(root + (s.folder ? "Menu" : "menus/krqm_roads.mnu")));
    }
}

// A copy onto a file that exists in another letter case replaces that file's content and keeps
// its name, as CopyFileW on NTFS does; with "fail if exists" that file counts as existing. A
// copy to a new name goes into its folder as found, under the name as written.
TEST_F(FindFilesTest, CopyOntoAnotherLetterCaseReplacesTheEntryAndKeepsItsName) {
    touch("Menus/KRQM_Roads_enu.mnu");
    qmtest::writeFile(dir_ / "source.mnu", "new content");
    const std::string source = dir_ / "source.mnu";
    EXPECT_EQ(qmsys::copyFile(source, dir_ / "MENUS/krqm_roads_ENU.mnu", true),
              qmsys::kErrorFileExists);
    ASSERT_EQ(qmsys::copyFile(source, dir_ / "MENUS/krqm_roads_ENU.mnu", false),
              qmsys::kErrorSuccess);
    ASSERT_EQ(qmsys::copyFile(source, dir_ / "menus/Added.mnu", true), qmsys::kErrorSuccess);
    EXPECT_EQ(qmsys::findFiles(dir_ / "Menus", "*"),
              (std::vector<std::string>{"Added.mnu", "KRQM_Roads_enu.mnu"}));
    EXPECT_EQ(qmtest::readFile(dir_ / "Menus/KRQM_Roads_enu.mnu"), "new content");
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

// A pass's index lists each folder once, however many names written in another letter case
// it looks up there, so a name costs the same at any folder size; what the pass copies or
// removes through it is seen without listing again.
TEST_F(FindFilesTest, LetterCaseIndexListsEachFolderOncePerPass) {
    for (const int n : {10, 2000}) {
        SCOPED_TRACE(n);
        const std::string folder = dir_ / ("Folder" + std::to_string(n));
        std::filesystem::create_directories(folder);
        for (int i = 0; i < n; ++i) {
            qmtest::writeFile(folder + "/Men\xC3\xBC_" + std::to_string(i) + ".mnu", "");
        }
        qmsys::LetterCaseIndex index;
        const std::string other = dir_ / ("folder" + std::to_string(n));
        for (int i = 0; i < n; ++i) {
            // "MENÜ_i.MNU" for "Menü_i.mnu": every letter folds, not only ASCII ones.
            const std::string name = "/MEN\xC3\x9C_" + std::to_string(i) + ".MNU";
            ASSERT_EQ(index.resolve(other + name),
                      folder + "/Men\xC3\xBC_" + std::to_string(i) + ".mnu");
        }
        EXPECT_EQ(index.resolve(folder + "/absent.mnu"), "");
        EXPECT_EQ(index.folderReads(), 2u) << "the root once, the folder once";

        ASSERT_EQ(
            qmsys::copyFile(folder + "/Men\xC3\xBC_0.mnu", other + "/Copied.mnu", true, &index),
            qmsys::kErrorSuccess);
        EXPECT_EQ(index.resolve(folder + "/COPIED.MNU"), folder + "/Copied.mnu");
        ASSERT_EQ(qmsys::deleteFile(folder + "/Copied.mnu"), qmsys::kErrorSuccess);
        index.removed(folder + "/Copied.mnu");
        EXPECT_EQ(index.resolve(folder + "/COPIED.MNU"), "");
        EXPECT_EQ(index.folderReads(), 2u);
    }
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
