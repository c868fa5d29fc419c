// The crash guard's marker as the next start reads it after a host that died at some point of
// its bring-up. Each case runs the guard in a host of its own (qm_guard_child) that ends with
// _exit, so that no destructor tidies the marker away, just as when the host is killed.
#include "app/crash_guard.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <qmtest/child_process.h>
#include <qmtest/files.h>
#include <qmtest/relocated_user.h>
#include <qmtest/temp_dir.h>

namespace {

using qm::CrashGuard;

enum class Act { Begin, BeginAtEdge, End, TruncateFromOutside };

struct Step {
    Act act;
    CrashGuard::Module module;
};

// What became of the record between the death and the next starts.
enum class Spoil { None, RecordReadOnly, FolderReadOnly };

struct DeathCase {
    const char* name;
    std::vector<Step> steps;
    std::optional<CrashGuard::Module> expected;
    // A limit on the size of the host's files (0: none), with SIGXFSZ left to end the process.
    std::uint64_t fileSizeLimit = 0;
    Spoil spoil = Spoil::None;
};

void PrintTo(const DeathCase& c, std::ostream* os) {
    *os << c.name;
}

const CrashGuard::Module kLong{"QM_A_MODULE_WITH_A_LONG_KEY", "A module with a long display name"};
const CrashGuard::Module kShort{"QM_B", "B"};
const CrashGuard::Module kShortSecond{"QM_B", "B", 2};
// Only a key stored whole tells these apart; the second line is what a cut key would lose.
const CrashGuard::Module kTwoLines{"QM_B\nQM_C", "Two\nlines"};

// The helper that runs the guard in a host of its own, which then dies without tidying up.
std::string guardChild() {
    return qmtest::program("qm_guard_child");
}

void expectModule(const std::optional<CrashGuard::Module>& found,
                  const std::optional<CrashGuard::Module>& expected) {
    ASSERT_EQ(found.has_value(), expected.has_value()) << (found ? found->key : "");
    if (found) {
        EXPECT_EQ(found->key, expected->key);
        EXPECT_EQ(found->displayName, expected->displayName);
        EXPECT_EQ(found->ordinal, expected->ordinal);
    }
}

class CrashGuardDeathTest : public ::testing::TestWithParam<DeathCase> {
protected:
    // Runs steps on a guard in a host that then dies; fails unless that host survived them
    // (no SIGBUS, no SIGXFSZ).
    void dieAfter(const std::vector<Step>& steps, std::uint64_t fileSizeLimit = 0) {
        std::vector<std::string> argv{guardChild(), dir_.path()};
        if (fileSizeLimit != 0) {
            argv.insert(argv.end(), {"--fsize", std::to_string(fileSizeLimit)});
        }
        for (const Step& step : steps) {
            switch (step.act) {
                case Act::Begin:
                    if (step.module.ordinal != 0) {
                        argv.insert(argv.end(),
                                    {"begin-nth", step.module.key, step.module.displayName,
                                     std::to_string(step.module.ordinal)});
                    } else {
                        argv.insert(argv.end(),
                                    {"begin", step.module.key, step.module.displayName});
                    }
                    break;
                case Act::BeginAtEdge:
                    argv.insert(argv.end(),
                                {"begin-at-edge", step.module.key, step.module.displayName});
                    break;
                case Act::End:
                    argv.push_back("end");
                    break;
                case Act::TruncateFromOutside:
                    argv.push_back("truncate");
                    break;
            }
        }
        const qmtest::ProcessResult host = qmtest::runProcess(argv);
        ASSERT_EQ(host.exitCode, 0) << host.err;
    }

    qmtest::TempDir dir_;
};

TEST_P(CrashGuardDeathTest, NextStartFindsTheModuleBeingBroughtUp) {
    const DeathCase& c = GetParam();
    dieAfter(c.steps, c.fileSizeLimit);
    namespace fs = std::filesystem;
    const fs::path record = dir_ / "bringing-up";
    if (c.spoil == Spoil::RecordReadOnly) {
        fs::permissions(record, fs::perms::owner_write, fs::perm_options::remove);
    } else if (c.spoil == Spoil::FolderReadOnly) {
        fs::permissions(dir_.path(), fs::perms::owner_write, fs::perm_options::remove);
    }
    // A folder closed to writing holds for a start run as an ordinary user, not for root.
    const auto nextStart = [&]() -> std::optional<CrashGuard::Module> {
        if (c.spoil != Spoil::FolderReadOnly) {
            return CrashGuard(dir_.path()).takeInterrupted();
        }
        qmtest::ProcessOptions options;
        options.obeyFilePermissions = true;
        const qmtest::ProcessResult host =
            qmtest::runProcess({guardChild(), dir_.path(), "take"}, options);
        EXPECT_EQ(host.exitCode, 0) << host.err;
        if (host.out == "nobody\n")
            return std::nullopt;
        return CrashGuard::Module{host.out.substr(0, host.out.size() - 1), ""};
    };
    expectModule(nextStart(), c.expected);
    // The start after that (the first guard gone, so its lock no longer answers for it) finds
    // nothing: the record was taken, or, when it could not be, never counted.
    EXPECT_FALSE(nextStart()) << "answered once";
    fs::permissions(dir_.path(), fs::perms::owner_write, fs::perm_options::add);
    if (fs::exists(record))
        fs::permissions(record, fs::perms::owner_write, fs::perm_options::add);
}

// A name too long for the marker is cut; the key, which decides, is kept whole.
TEST_F(CrashGuardDeathTest, AVeryLongNameIsCutAndTheKeyKept) {
    const CrashGuard::Module huge{"QM_HUGE", std::string(100000, 'n')};
    dieAfter({{Act::Begin, huge},
              {Act::End, {}},
              {Act::Begin, kShort},
              {Act::End, {}},
              {Act::Begin, huge}});
    const std::optional<CrashGuard::Module> found = CrashGuard(dir_.path()).takeInterrupted();
    ASSERT_TRUE(found);
    EXPECT_EQ(found->key, huge.key);
    EXPECT_FALSE(found->displayName.empty());
    EXPECT_EQ(huge.displayName.compare(0, found->displayName.size(), found->displayName), 0);
}

const DeathCase kDeathCases[] = {
    DeathCase{"DiedWhileBringingUpTheFirst", {{Act::Begin, kLong}}, kLong},
    DeathCase{"DiedBetweenModules", {{Act::Begin, kLong}, {Act::End, {}}}, std::nullopt},
    // The shorter record lies over the longer one's bytes.
    DeathCase{
        "ShorterAfterLonger", {{Act::Begin, kLong}, {Act::End, {}}, {Act::Begin, kShort}}, kShort},
    DeathCase{
        "LongerAfterShorter", {{Act::Begin, kShort}, {Act::End, {}}, {Act::Begin, kLong}}, kLong},
    // The NULs over the longer record's bytes end the ordinal.
    DeathCase{"ShorterOfASharedKeyAfterLonger",
              {{Act::Begin, kLong}, {Act::End, {}}, {Act::Begin, kShortSecond}},
              kShortSecond},
    DeathCase{"AllUp",
              {{Act::Begin, kShort}, {Act::End, {}}, {Act::Begin, kLong}, {Act::End, {}}},
              std::nullopt},
    DeathCase{"NothingBroughtUp", {}, std::nullopt},
    // The guard reads no further than the name: with unreadable memory right after it, a
    // guard that read on would kill the host it guards.
    DeathCase{"NameJustBeforeUnreadableMemory", {{Act::BeginAtEdge, kShort}}, kShort},
    DeathCase{"KeyWithALineBreak",
              {{Act::Begin, kLong}, {Act::End, {}}, {Act::Begin, kTwoLines}},
              kTwoLines},
    // Another program empties the marker while a module comes up: the host goes on, and
    // the next module is still recorded.
    DeathCase{
        "TruncatedFromOutsideDuringAModule",
        {{Act::Begin, kLong}, {Act::TruncateFromOutside, {}}, {Act::End, {}}, {Act::Begin, kShort}},
        kShort},
    // A record that stays where it is would otherwise skip its module at every start.
    DeathCase{
        "RecordCannotBeRemoved", {{Act::Begin, kLong}}, std::nullopt, 0, Spoil::RecordReadOnly},
#if !defined(_WIN32)  // a read-only folder keeps nobody from deleting its files there
    DeathCase{
        "FolderBecameReadOnly", {{Act::Begin, kShort}}, std::nullopt, 0, Spoil::FolderReadOnly},
#endif
#if !defined(_WIN32)  // Windows has no limit on a process's file sizes
    // A file size limit below a page: the guard stands aside rather than have the host
    // killed by SIGXFSZ.
    DeathCase{"FileSizeLimitBelowAPage",
              {{Act::Begin, {"QM_NAMED", std::string(200, 'n')}}},
              std::nullopt,
              100},
#endif
};

INSTANTIATE_TEST_SUITE_P(Markers, CrashGuardDeathTest, ::testing::ValuesIn(kDeathCases),
                         [](const ::testing::TestParamInfo<DeathCase>& param) {
                             return param.param.name;
                         });

// A second host of the same user (another session sharing the home) starts while the first is
// in the middle of a module. The first host's record is no evidence: it lives. The second
// neither takes the record nor writes over it, and the record stays for the start after the
// first host dies there.
TEST(CrashGuardOwnership, ALiveHostsMarkerIsNoEvidenceAndStaysItsOwn) {
    qmtest::TempDir dir;
    qmtest::BackgroundProcess first(
        {guardChild(), dir.path(), "begin", kLong.key, kLong.displayName, "hold"});
    ASSERT_TRUE(first.waitForOutput("held", std::chrono::seconds(20)));
    {
        CrashGuard second(dir.path());
        EXPECT_FALSE(second.takeInterrupted());
        second.begin(kShort);
        second.end();
    }
    EXPECT_TRUE(std::filesystem::exists(dir / "bringing-up"));
    first.closeInput();
    ASSERT_EQ(first.wait(), 0);
    expectModule(CrashGuard(dir.path()).takeInterrupted(), kLong);
}

// Something planted under the marker's name by another program with write access to the
// state folder: it is neither read (its text would be shown in a message) nor written
// through, and never waited on.
TEST(CrashGuardHostileMarker, WhatIsNoRegularFileOfItsOwnIsNeitherReadNorWritten) {
    struct Case {
        const char* label;
        std::function<void(const std::string& marker, const std::string& other)> plant;
    };
    const std::vector<Case> cases {
        {"hard link",
         [](const std::string& marker, const std::string& other) {
             std::filesystem::create_hard_link(other, marker);
         }},
#if !defined(_WIN32)  // symbolic links need a privilege there, and there are no FIFOs
            {"symbolic link",
             [](const std::string& marker, const std::string& other) {
                 std::filesystem::create_symlink(other, marker);
             }},
            {"FIFO",
             [](const std::string& marker, const std::string&) { qmtest::makeFifo(marker); }},
#endif
    };
    // Both the old and the present layout of a record, so that neither reader could miss it.
    const std::string secret =
        std::string("QM_SECRET\nThe second line\n\0", 27) + std::string("QM_SECRET\0Second\0", 17);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        qmtest::TempDir dir;
        const std::string other = dir / "other-file";
        qmtest::writeFile(other, secret);
        std::filesystem::create_directories(dir / "state");
        c.plant(dir / "state/bringing-up", other);
        {
            CrashGuard guard(dir / "state");
            EXPECT_FALSE(guard.takeInterrupted());
            guard.begin(kLong);
            guard.end();
        }
        EXPECT_EQ(qmtest::readFile(other), secret);
        EXPECT_FALSE(CrashGuard(dir / "state").takeInterrupted());
    }
}

}  // namespace
