// The crash guard's marker as the next start reads it after a host that died at some point of
// its bring-up. Each case runs in a forked child that ends with _exit, so that no destructor
// tidies the marker away, just as when the host is killed.
#include "app/crash_guard.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <qmtest/temp_dir.h>

namespace {

using qm::CrashGuard;

struct Step {
    bool begin;  // false: end()
    CrashGuard::Module module;
};

struct DeathCase {
    const char* name;
    std::vector<Step> steps;
    std::optional<CrashGuard::Module> expected;
};

void PrintTo(const DeathCase& c, std::ostream* os) {
    *os << c.name;
}

const CrashGuard::Module kLong{"QM_A_MODULE_WITH_A_LONG_KEY", "A module with a long display name"};
const CrashGuard::Module kShort{"QM_B", "B"};

class CrashGuardDeathTest : public ::testing::TestWithParam<DeathCase> {
protected:
    // Runs steps on a guard in a child that then dies without tidying up.
    void dieAfter(const std::vector<Step>& steps) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            auto* guard = new CrashGuard(dir_.path());  // never destroyed: the host died
            for (const Step& step : steps) {
                if (step.begin) {
                    guard->begin(step.module);
                } else {
                    guard->end();
                }
            }
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    qmtest::TempDir dir_;
};

TEST_P(CrashGuardDeathTest, NextStartFindsTheModuleBeingBroughtUp) {
    const DeathCase& c = GetParam();
    dieAfter(c.steps);
    CrashGuard next(dir_.path());
    const std::optional<CrashGuard::Module> found = next.takeInterrupted();
    ASSERT_EQ(found.has_value(), c.expected.has_value());
    if (found) {
        EXPECT_EQ(found->key, c.expected->key);
        EXPECT_EQ(found->displayName, c.expected->displayName);
    }
    EXPECT_FALSE(CrashGuard(dir_.path()).takeInterrupted()) << "answered once";
}

// A name too long for the marker is cut; the key, which decides, is kept whole.
TEST_F(CrashGuardDeathTest, AVeryLongNameIsCutAndTheKeyKept) {
    const CrashGuard::Module huge{"QM_HUGE", std::string(100000, 'n')};
    dieAfter({{true, huge}, {false, {}}, {true, kShort}, {false, {}}, {true, huge}});
    const std::optional<CrashGuard::Module> found = CrashGuard(dir_.path()).takeInterrupted();
    ASSERT_TRUE(found);
    EXPECT_EQ(found->key, huge.key);
    EXPECT_FALSE(found->displayName.empty());
    EXPECT_EQ(huge.displayName.compare(0, found->displayName.size(), found->displayName), 0);
}

// A second host of the same user opens the marker while the first has it mapped in the middle
// of a module. Opening must not truncate it: a truncated file erases the first host's record
// and, in the instant before it grows again, makes the first host's next store a SIGBUS. The
// second host's module has a key too long to name, so its open is all it does to the file.
TEST_F(CrashGuardDeathTest, ASecondGuardOpeningTheMarkerKeepsTheFirstOnesRecord) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto* first = new CrashGuard(dir_.path());
        first->begin(kLong);
        auto* second = new CrashGuard(dir_.path());
        second->begin({std::string(5000, 'K'), "unnameable"});
        ::_exit(0);  // both hosts die
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const std::optional<CrashGuard::Module> found = CrashGuard(dir_.path()).takeInterrupted();
    ASSERT_TRUE(found);
    EXPECT_EQ(found->key, kLong.key);
}

INSTANTIATE_TEST_SUITE_P(
    Markers, CrashGuardDeathTest,
    ::testing::Values(
        DeathCase{"DiedWhileBringingUpTheFirst", {{true, kLong}}, kLong},
        DeathCase{"DiedBetweenModules", {{true, kLong}, {false, {}}}, std::nullopt},
        // The shorter record lies over the longer one's bytes.
        DeathCase{"ShorterAfterLonger", {{true, kLong}, {false, {}}, {true, kShort}}, kShort},
        DeathCase{"LongerAfterShorter", {{true, kShort}, {false, {}}, {true, kLong}}, kLong},
        DeathCase{"AllUp", {{true, kShort}, {false, {}}, {true, kLong}, {false, {}}}, std::nullopt},
        DeathCase{"NothingBroughtUp", {}, std::nullopt}),
    [](const ::testing::TestParamInfo<DeathCase>& param) { return param.param.name; });

}  // namespace
