// The crash guard's marker as the next start reads it after a host that died at some point of
// its bring-up. Each case runs in a forked child that ends with _exit, so that no destructor
// tidies the marker away, just as when the host is killed.
#include "app/crash_guard.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <qmtest/files.h>
#include <qmtest/temp_dir.h>
#include <qmtest/wait.h>

namespace {

using qm::CrashGuard;

enum class Act { Begin, End, TruncateFromOutside };

struct Step {
    Act act;
    CrashGuard::Module module;
};

struct DeathCase {
    const char* name;
    std::vector<Step> steps;
    std::optional<CrashGuard::Module> expected;
    rlim_t fileSizeLimit = RLIM_INFINITY;  // with SIGXFSZ left to end the process
};

void PrintTo(const DeathCase& c, std::ostream* os) {
    *os << c.name;
}

const CrashGuard::Module kLong{"QM_A_MODULE_WITH_A_LONG_KEY", "A module with a long display name"};
const CrashGuard::Module kShort{"QM_B", "B"};
// Only a key stored whole tells these apart; the second line is what a cut key would lose.
const CrashGuard::Module kTwoLines{"QM_B\nQM_C", "Two\nlines"};

// Runs body in a child that then dies without tidying up; fails unless the child survived
// body (no SIGBUS, no SIGXFSZ).
void inDyingChild(const std::function<void()>& body) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        body();
        ::_exit(0);
    }
    const int status = qmtest::waitForExit(child);
    ASSERT_NE(status, -1);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "child ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

void expectModule(const std::optional<CrashGuard::Module>& found,
                  const std::optional<CrashGuard::Module>& expected) {
    ASSERT_EQ(found.has_value(), expected.has_value()) << (found ? found->key : "");
    if (found) {
        EXPECT_EQ(found->key, expected->key);
        EXPECT_EQ(found->displayName, expected->displayName);
    }
}

class CrashGuardDeathTest : public ::testing::TestWithParam<DeathCase> {
protected:
    // Runs steps on a guard in a child that then dies.
    void dieAfter(const std::vector<Step>& steps, rlim_t fileSizeLimit = RLIM_INFINITY) {
        inDyingChild([&] {
            const rlimit limit{fileSizeLimit, fileSizeLimit};
            if (fileSizeLimit != RLIM_INFINITY && ::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                ::_exit(3);
            }
            auto* guard = new CrashGuard(dir_.path());  // never destroyed: the host died
            for (const Step& step : steps) {
                switch (step.act) {
                    case Act::Begin:
                        guard->begin(step.module);
                        break;
                    case Act::End:
                        guard->end();
                        break;
                    case Act::TruncateFromOutside:
                        if (::truncate(guard->file().c_str(), 0) != 0) {
                            ::_exit(4);
                        }
                        break;
                }
            }
        });
    }

    qmtest::TempDir dir_;
};

TEST_P(CrashGuardDeathTest, NextStartFindsTheModuleBeingBroughtUp) {
    const DeathCase& c = GetParam();
    dieAfter(c.steps, c.fileSizeLimit);
    CrashGuard next(dir_.path());
    expectModule(next.takeInterrupted(), c.expected);
    EXPECT_FALSE(CrashGuard(dir_.path()).takeInterrupted()) << "answered once";
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

INSTANTIATE_TEST_SUITE_P(
    Markers, CrashGuardDeathTest,
    ::testing::Values(
        DeathCase{"DiedWhileBringingUpTheFirst", {{Act::Begin, kLong}}, kLong},
        DeathCase{"DiedBetweenModules", {{Act::Begin, kLong}, {Act::End, {}}}, std::nullopt},
        // The shorter record lies over the longer one's bytes.
        DeathCase{"ShorterAfterLonger",
                  {{Act::Begin, kLong}, {Act::End, {}}, {Act::Begin, kShort}},
                  kShort},
        DeathCase{"LongerAfterShorter",
                  {{Act::Begin, kShort}, {Act::End, {}}, {Act::Begin, kLong}},
                  kLong},
        DeathCase{"AllUp",
                  {{Act::Begin, kShort}, {Act::End, {}}, {Act::Begin, kLong}, {Act::End, {}}},
                  std::nullopt},
        DeathCase{"NothingBroughtUp", {}, std::nullopt},
        DeathCase{"KeyWithALineBreak",
                  {{Act::Begin, kLong}, {Act::End, {}}, {Act::Begin, kTwoLines}},
                  kTwoLines},
        // Another program empties the marker while a module comes up: the host goes on, and
        // the next module is still recorded.
        DeathCase{"TruncatedFromOutsideDuringAModule",
                  {{Act::Begin, kLong},
                   {Act::TruncateFromOutside, {}},
                   {Act::End, {}},
                   {Act::Begin, kShort}},
                  kShort},
        // A file size limit below a page: the guard stands aside rather than have the host
        // killed by SIGXFSZ.
        DeathCase{"FileSizeLimitBelowAPage",
                  {{Act::Begin, {"QM_NAMED", std::string(200, 'n')}}},
                  std::nullopt,
                  100}),
    [](const ::testing::TestParamInfo<DeathCase>& param) { return param.param.name; });

// A second host of the same user (another session sharing the home) starts while the first is
// in the middle of a module. The first host's record is no evidence: it lives. The second
// neither takes the record nor writes over it, and the record stays for the start after the
// first host dies there.
TEST(CrashGuardOwnership, ALiveHostsMarkerIsNoEvidenceAndStaysItsOwn) {
    qmtest::TempDir dir;
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t first = ::fork();
    ASSERT_GE(first, 0);
    if (first == 0) {
        auto* guard = new CrashGuard(dir.path());
        guard->begin(kLong);
        char c = 'r';
        (void)!::write(ready[1], &c, 1);
        (void)!::read(release[0], &c, 1);  // until the test lets it die
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    {
        CrashGuard second(dir.path());
        EXPECT_FALSE(second.takeInterrupted());
        second.begin(kShort);
        second.end();
    }
    EXPECT_TRUE(std::filesystem::exists(dir / "bringing-up"));
    ASSERT_EQ(::write(release[1], &c, 1), 1);
    ASSERT_NE(qmtest::waitForExit(first), -1);
    for (int fd : {ready[0], ready[1], release[0], release[1]}) {
        ::close(fd);
    }
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
    const std::vector<Case> cases{
        {"symbolic link",
         [](const std::string& marker, const std::string& other) {
             std::filesystem::create_symlink(other, marker);
         }},
        {"hard link",
         [](const std::string& marker, const std::string& other) {
             std::filesystem::create_hard_link(other, marker);
         }},
        {"FIFO", [](const std::string& marker, const std::string&) { qmtest::makeFifo(marker); }},
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
