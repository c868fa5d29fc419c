#include "qmsys/process.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "qmtest/files.h"
#include "qmtest/relocated_user.h"
#include "qmtest/scoped_env.h"
#include "qmtest/temp_dir.h"
#include "qmtest/wait.h"

namespace {

using namespace std::chrono_literals;

std::string writerPath() {
    return qmtest::binDir() + "/qm_argv_writer";
}

// Process ids whose parent is this process, read from /proc.
std::vector<int> childrenOfThisProcess() {
    std::vector<int> children;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) {
            continue;  // gone meanwhile
        }
        // Fields after the parenthesised command: state, then the parent's id.
        std::istringstream rest(line.substr(line.rfind(')') + 1));
        char state = 0;
        int parent = 0;
        rest >> state >> parent;
        if (parent == ::getpid()) {
            children.push_back(std::stoi(name));
        }
    }
    return children;
}

// Runs the argv-recording helper through startProcess and reads back what it recorded.
class StartProcessTest : public qmtest::RelocatedTest {
protected:
    const std::string out_ = user_.root() + "/argv";
    qmtest::ScopedEnv outEnv_{"QM_ARGV_OUT", out_};

    // Waits for the helper's record; an empty result means it never arrived.
    std::vector<std::string> recordedArgv() {
        if (!qmtest::waitForFile(out_)) {
            return {};
        }
        const std::string raw = qmtest::readFile(out_);
        std::vector<std::string> args;
        std::size_t begin = 0;
        for (std::size_t nul; (nul = raw.find('\0', begin)) != std::string::npos; begin = nul + 1) {
            args.push_back(raw.substr(begin, nul - begin));
        }
        return args;
    }
};

TEST_F(StartProcessTest, PassesArgumentsSplitByWindowsRulesAndLeavesNoChildBehind) {
    // raw: <writer> "two words" a\"b "tail\\" "" plain
    const std::string line = writerPath() + " \"two words\" a\\\"b \"tail\\\\\" \"\" plain";
    ASSERT_EQ(qmsys::startProcess(line), qmsys::kErrorSuccess);
    // The intermediate child has been reaped and the program re-parented before the call
    // returned, so nothing can ever become a zombie of this process.
    EXPECT_EQ(childrenOfThisProcess(), std::vector<int>{});
    const std::vector<std::string> expected = {writerPath(), "two words", "a\"b",
                                               "tail\\",     "",          "plain"};
    EXPECT_EQ(recordedArgv(), expected);
    EXPECT_EQ(childrenOfThisProcess(), std::vector<int>{});
}

TEST_F(StartProcessTest, UnquotedProgramPathMayContainBlanks) {
    // As CreateProcessW does: "<root>/My" does not exist, so the name runs on to the next
    // blank and "<root>/My Tools/qm_argv_writer" is the program.
    const std::string folder = user_.root() + "/My Tools";
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(writerPath(), folder + "/qm_argv_writer");

    ASSERT_EQ(qmsys::startProcess(folder + "/qm_argv_writer x  y"), qmsys::kErrorSuccess);
    const std::vector<std::string> expected = {folder + "/qm_argv_writer", "x", "y"};
    EXPECT_EQ(recordedArgv(), expected);
}

TEST_F(StartProcessTest, BareNameIsLookedUpOnPath) {
    qmtest::ScopedEnv path("PATH", user_.root() + "/absent::" + qmtest::binDir());
    ASSERT_EQ(qmsys::startProcess("qm_argv_writer hello"), qmsys::kErrorSuccess);
    const std::vector<std::string> expected = {"qm_argv_writer", "hello"};
    EXPECT_EQ(recordedArgv(), expected);
}

// The detached launcher takes the arguments as they are (no splitting, no quoting), and the
// program runs in a session of its own with nothing to read on standard input.
TEST_F(StartProcessTest, DetachedProgramKeepsItsArgumentsAndRunsInASessionOfItsOwn) {
    const std::vector<std::string> arguments = {"two words", "a\"b", "", "tail\\"};
    int pid = 0;
    ASSERT_EQ(qmsys::startDetached(writerPath(), arguments, &pid), qmsys::kErrorSuccess);
    EXPECT_GT(pid, 0);
    std::vector<std::string> expected = {writerPath()};
    expected.insert(expected.end(), arguments.begin(), arguments.end());
    EXPECT_EQ(recordedArgv(), expected);
    EXPECT_EQ(childrenOfThisProcess(), std::vector<int>{});

    // A script reports its session (field 6 of its stat line), its own id and its input.
    const std::string script = user_.root() + "/session.sh";
    qmtest::writeFile(script,
                      "#!/bin/sh\n{ cut -d' ' -f6 /proc/$$/stat; echo $$; readlink "
                      "/proc/$$/fd/0; } > \"$QM_ARGV_OUT.tmp\"\nprintf '\\0' >> "
                      "\"$QM_ARGV_OUT.tmp\"\nmv \"$QM_ARGV_OUT.tmp\" \"$QM_ARGV_OUT\"\n");
    ::chmod(script.c_str(), 0755);
    std::filesystem::remove(out_);
    ASSERT_EQ(qmsys::startDetached(script, {}), qmsys::kErrorSuccess);
    const std::vector<std::string> record = recordedArgv();
    ASSERT_EQ(record.size(), 1u);
    std::istringstream lines(record[0]);
    std::string session, self, input;
    std::getline(lines, session);
    std::getline(lines, self);
    std::getline(lines, input);
    EXPECT_EQ(session, self) << "the program leads a session of its own";
    EXPECT_NE(session, std::to_string(::getsid(0)));
    EXPECT_EQ(input, "/dev/null");
    EXPECT_EQ(qmsys::startDetached(user_.root() + "/absent", {"x"}), qmsys::kErrorFileNotFound);
}

struct StartFailure {
    const char* label;
    std::string
        commandLine;  // "@" stands for the test's private folder (quoted: it may hold spaces)
    qmsys::WinError expected;
};

void PrintTo(const StartFailure& c, std::ostream* os) {
    *os << c.label;
}

class StartProcessFailureTest : public ::testing::TestWithParam<StartFailure> {};

TEST_P(StartProcessFailureTest, ReportsWhyTheProgramDidNotStart) {
    qmtest::TempDir dir;
    qmtest::ScopedEnv path("PATH", dir.path());
    qmtest::writeFile(dir / "noexec", "#!/bin/sh\nexit 0\n");
    qmtest::writeFile(dir / "script", "echo no interpreter line\n");
    ::chmod((dir / "script").c_str(), 0755);

    std::string line = GetParam().commandLine;
    if (const auto at = line.find('@'); at != std::string::npos) {
        line.replace(at, 1, dir.path());
    }
    int pid = -7;
    EXPECT_EQ(qmsys::startProcess(line, &pid), GetParam().expected) << line;
    EXPECT_EQ(pid, -7);
    EXPECT_EQ(childrenOfThisProcess(), std::vector<int>{});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartProcessFailureTest,
    ::testing::Values(
        StartFailure{"missing program", "\"@/absent\" -x", qmsys::kErrorFileNotFound},
        StartFailure{"missing folder", "\"@/nowhere/absent\"", qmsys::kErrorPathNotFound},
        StartFailure{"bare name not on PATH", "qm-no-such-program", qmsys::kErrorFileNotFound},
        StartFailure{"no execute permission", "\"@/noexec\"", qmsys::kErrorAccessDenied},
        StartFailure{"script without interpreter line is not run by a shell", "\"@/script\"",
                     qmsys::kErrorBadExeFormat},
        StartFailure{"empty command line", "   ", qmsys::kErrorFileNotFound}),
    [](const auto& testCase) { return "case" + std::to_string(testCase.index); });

}  // namespace
