// The folder index must answer exactly as a fresh folder search does, before and after the
// folder changes, while reading a folder once for any number of lookups.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "qmsys/files.h"
#include "qmsys/folder_index.h"
#include "qmsys/text.h"
#include "qmtest/file_tick.h"
#include "qmtest/files.h"
#include "qmtest/misuse.h"
#include "qmtest/temp_dir.h"
#include "qmtest/wait.h"

namespace {

namespace fs = std::filesystem;

class FolderIndexTest : public ::testing::Test {
protected:
    FolderIndexTest() {
        for (const char* name : {"b.mnu",
                                 "_z.mnu",
                                 "C.MNU",
                                 "ab.mnu",
                                 "a_b.mnu",
                                 "A.mnu",
                                 "notes.txt",
                                 "b.mnu.bak",
                                 "KRQM_Road_enu.mnu",
                                 "KRQM_Road.mnl",
                                 "krqm_road.MNL",
                                 "KRQM_Road.lsp",
                                 "readme",
                                 "readme.txt",
                                 ".hidden",
                                 "\xC3\xA9t\xC3\xA9.mnu",
                                 "[x].mnu",
                                 "QM_Base.\xC3\xB6sterreich.xml",
                                 "Roads.\xC3\x96STERREICH.xml",
                                 "\xC3\x96"
                                 "ffentlich.xml",
                                 "\xC3\xB6"
                                 "de.xml",
                                 "Stra\xC3\x9F"
                                 "e.xml"}) {
            touch(name);
        }
        fs::create_directories(dir_ / "Sub.mnu");
#if !defined(_WIN32)  // links need a privilege on Windows
        fs::create_directory_symlink(dir_ / "Sub.mnu", dir_ / "link.mnu");
#endif
    }
    void touch(const std::string& name) {
        qmtest::writeFile(dir_ / name, "");
    }

    // Every pattern against both: names, order and whether each is a folder.
    void expectSameAsFindFiles() {
        for (const char* pattern : {"*",
                                    "*.*",
                                    ".*",
                                    "*.MNU",
                                    "readme.*",
                                    "readme",
                                    "krqm_road.??l",
                                    "KRQM_Road_enu.mnu",
                                    "?.mnu",
                                    "a*",
                                    "*b*",
                                    "[x]*",
                                    "_*",
                                    "\xC3\x89*",
                                    "\xC3\xA9*",
                                    "missing",
                                    "*.mnu.*",
                                    "*.\xC3\x96sterreich.xml",
                                    "\xC3\xB6*",
                                    "\xC3\x96"
                                    "FF*",
                                    "STRASSE*",
                                    "stra\xC3\x9F"
                                    "e.*"}) {
            SCOPED_TRACE(pattern);
            std::vector<qmsys::FolderIndex::Match> matches;
            ASSERT_TRUE(index_.find(dir_.path(), pattern, matches));
            std::vector<std::string> names;
            for (const auto& m : matches) {
                names.push_back(m.name);
                EXPECT_EQ(m.folder, fs::is_directory(qmtest::fsPath(dir_ / m.name))) << m.name;
            }
            EXPECT_EQ(names, qmsys::findFiles(dir_.path(), pattern));
        }
    }

    // Waits (bounded) until the file clock has left the tick of the folder's last change, so
    // that a listing made now may be kept.
    void waitPastLastChange() {
        ASSERT_TRUE(qmtest::waitPastFileTimes({dir_.path()})) << "file clock stands still";
    }

    qmtest::TempDir dir_;
    qmsys::FolderIndex index_;
};

// Every kind of change between two lookups is seen, on either side of the file clock's tick:
// made once the tick of the folder's last change is over, the first lookup's listing is kept
// and only the folder's identity tells the change; made within the tick of that listing, the
// listing may not be kept at all. The parameter: within one tick.
class FolderIndexChangeTest : public FolderIndexTest, public ::testing::WithParamInterface<bool> {};

TEST_P(FolderIndexChangeTest, AnswersAsAFreshSearchAfterEveryKindOfChange) {
    const bool withinTick = GetParam();
    const struct {
        const char* what;
        std::function<void()> make;
        std::function<void()> undo;
    } changes[] = {
        {"added", [&] { touch("new.mnu"); }, [&] { fs::remove(dir_ / "new.mnu"); }},
        {"removed", [&] { fs::remove(dir_ / "b.mnu"); }, [&] { touch("b.mnu"); }},
        {"letter case only", [&] { fs::rename(dir_ / "A.mnu", dir_ / "a.MNU"); },
         [&] { fs::rename(dir_ / "a.MNU", dir_ / "A.mnu"); }},
        {"folder renamed", [&] { fs::rename(dir_ / "Sub.mnu", dir_ / "Sub2.mnu"); },
         [&] { fs::rename(dir_ / "Sub2.mnu", dir_ / "Sub.mnu"); }},
    };
    fs::remove(dir_ / "link.mnu");  // would dangle while its folder is renamed
    std::vector<qmsys::FolderIndex::Match> matches;
    for (const auto& change : changes) {
        SCOPED_TRACE(change.what);
        if (!withinTick) {
            waitPastLastChange();
            ASSERT_TRUE(index_.find(dir_.path(), "*", matches));
            change.make();
        } else if (qmtest::runWithinOneTick(
                       [&] {
                           // The folder's last change falls in this tick.
                           touch("tick");
                           fs::remove(dir_ / "tick");
                           index_.find(dir_.path(), "*", matches);
                           change.make();
                       },
                       [&] { change.undo(); }) == 0) {
            GTEST_SKIP() << "no lookup fitted within one tick of the file clock";
        }
        expectSameAsFindFiles();
        change.undo();
    }
}

INSTANTIATE_TEST_SUITE_P(Ticks, FolderIndexChangeTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& tick) {
                             return tick.param ? "WithinOneTick" : "InALaterTick";
                         });

TEST_F(FolderIndexTest, ReadsAnUnchangedFolderOnceForAnyNumberOfLookups) {
    for (int i = 0; i < 500; ++i) {
        touch("KRQM_" + std::to_string(i) + "_enu.mnu");
    }
    waitPastLastChange();
    std::vector<qmsys::FolderIndex::Match> matches;
    for (int i = 0; i < 500; ++i) {
        ASSERT_TRUE(index_.find(dir_.path(), "krqm_" + std::to_string(i) + "_ENU.mnu", matches));
        ASSERT_EQ(matches.size(), 1u);
        ASSERT_TRUE(index_.find(dir_.path(), "KRQM_" + std::to_string(i) + ".??l", matches));
        ASSERT_TRUE(matches.empty());
    }
    EXPECT_EQ(index_.folderReads(), 1u);

    // A folder that cannot be read answers nothing, and is no listing to keep.
    EXPECT_FALSE(index_.find(dir_ / "absent", "*", matches));
    EXPECT_FALSE(index_.find(dir_ / "readme", "*", matches));
    EXPECT_TRUE(matches.empty());
}

// In rounds, a folder is looked at once per round: a change within the round is seen in the
// next one, also one made in the tick of the listing (which is otherwise read at every lookup).
TEST_F(FolderIndexTest, InRoundsAFolderIsLookedAtOncePerRound) {
    std::vector<qmsys::FolderIndex::Match> matches;
    index_.beginRound();
    ASSERT_TRUE(index_.find(dir_.path(), "*.mnu", matches));
    const std::size_t before = matches.size();
    touch("new.mnu");
    ASSERT_TRUE(index_.find(dir_.path(), "*.mnu", matches));
    EXPECT_EQ(matches.size(), before) << "within the round";
    EXPECT_EQ(index_.folderReads(), 1u);

    index_.beginRound();
    expectSameAsFindFiles();
    fs::remove(dir_ / "new.mnu");
    index_.beginRound();
    expectSameAsFindFiles();
}

// A folder whose listing takes several reads of the file system (over 100 KiB of entries)
// gives every entry, as a fresh search does.
TEST_F(FolderIndexTest, AFolderOfManyReadsGivesEveryEntry) {
    const std::string padding(100, 'x');
    for (int i = 0; i < 1000; ++i) {
        touch("KRQM_" + std::to_string(i) + "_" + padding + ".mnu");
    }
    std::vector<qmsys::FolderIndex::Match> matches;
    ASSERT_TRUE(index_.find(dir_.path(), "krqm_*x.MNU", matches));
    EXPECT_EQ(matches.size(), 1000u);
    expectSameAsFindFiles();
}

// A folder of a few short names (their folded text fits inside the string that holds it, and
// moves with the listing) is answered from the kept listing as a fresh search answers.
TEST_F(FolderIndexTest, AFolderOfFewShortNamesAnswersAsAFreshSearch) {
    qmtest::TempDir small;
    for (const char* name : {"a.mnu", "B.MNU"}) {
        qmtest::writeFile(small / name, "");
    }
    for (const char* pattern : {"A.MNU", "*.mnu", "b.*", "A.MNU"}) {
        std::vector<qmsys::FolderIndex::Match> matches;
        ASSERT_TRUE(index_.find(small.path(), pattern, matches));
        std::vector<std::string> names;
        for (const auto& m : matches) {
            names.push_back(m.name);
        }
        EXPECT_EQ(names, qmsys::findFiles(small.path(), pattern)) << pattern;
    }
}

// In rounds, a folder read in the round stays open for lookups of its entries by name until
// the round ends; over many rounds and folders no descriptor is left behind.
TEST_F(FolderIndexTest, AFolderReadInARoundIsOpenForThatRoundOnly) {
    // Windows has no list of a process's handles to count: there the test only checks that
    // the open folder serves lookups.
    const auto openDescriptors = [] {
#if defined(_WIN32)
        return 0;
#else
        return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator{});
#endif
    };
    std::vector<qmsys::FolderIndex::Match> matches;
    ASSERT_TRUE(index_.find(dir_.path(), "*", matches));
    EXPECT_EQ(index_.openFolder(dir_.path()), nullptr) << "no rounds: nothing kept open";

    for (int i = 0; i < 50; ++i) {
        fs::create_directories(dir_ / ("m" + std::to_string(i)));
        touch("m" + std::to_string(i) + "/a.mnu");
    }
    const auto before = openDescriptors();
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 50; ++i) {
            index_.beginRound();
            const std::string folder = dir_ / ("m" + std::to_string(i));
            ASSERT_TRUE(index_.find(folder, "A.MNU", matches));
            const qmsys::FolderHandle* open = index_.openFolder(folder);
            if (open) {  // read afresh in this round, not just found unchanged
                qmsys::FileAttributes attributes;
                EXPECT_EQ(qmsys::getFileAttributes("a.mnu", attributes, open),
                          qmsys::kErrorSuccess);
            }
            EXPECT_EQ(index_.openFolder(dir_ / "m-other"), nullptr);
        }
    }
    index_.beginRound();
    EXPECT_EQ(openDescriptors(), before);
}

// The preconditions the index and the text helpers state stop at an assert in the builds that
// keep them (dev and ci).
TEST(SystemPreconditions, StopAtTheirAsserts) {
#ifdef NDEBUG
    GTEST_SKIP() << "asserts are off in this build";
#else
    qmtest::expectEachStopsAtItsAssert({
        {"index used on another thread",
         [] {
             qmsys::FolderIndex index;
             std::thread([&index] { index.exists("/"); }).join();
         },
         "an index serves the thread that made it"},
        {"surrogate encoded as UTF-8",
         [] {
             std::string out;
             qmsys::appendUtf8(out, 0xD800);
         },
         "not a Unicode scalar value"},
        {"beyond the last code point",
         [] {
             std::string out;
             qmsys::appendUtf8(out, 0x110000);
         },
         "not a Unicode scalar value"},
        {"name folded into itself",
         [] {
             std::string name = "caf\xC3\xA9 name long enough to live on the heap";
             qmsys::upcaseNameInto(std::string_view(name).substr(2), name);
         },
         "utf8 lies inside out"},
    });
#endif
}

}  // namespace
