#include "qmtest/own_process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "qmtest/child_process.h"

#if defined(_WIN32)
#include "qmsys/text.h"
#include "qmtest/win32.h"
#else
#include <unistd.h>

#include <filesystem>
#endif

namespace qmtest {

namespace {

constexpr const char* kOwnProcessVariable = "QMTEST_OWN_PROCESS";

std::string thisProgram() {
#if defined(_WIN32)
    wchar_t path[32768] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, 32768);
    return qmsys::utf16ToUtf8(std::u16string(path, path + length));
#else
    return std::filesystem::read_symlink("/proc/self/exe").string();
#endif
}

constexpr const char* kRoleVariable = "QMTEST_ROLE";

// The temporary folder of whoever started the test program, as the process started with it,
// for the test's own process: not the one a relocated user of the test has put in its place,
// which an ordinary user may not be able to reach.
const std::string kCallerTempDir = [] {
    const char* tmp = std::getenv("TMPDIR");
    return std::string("TMPDIR=") + (tmp != nullptr ? tmp : "");
}();

std::string callerTempDir() {
    return kCallerTempDir;
}

std::string currentTest() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::string(test->test_suite_name()) + "." + test->name();
}

bool startedForThisTest() {
    const char* own = std::getenv(kOwnProcessVariable);
    return own != nullptr && currentTest() == own;
}

}  // namespace

std::unique_ptr<BackgroundProcess> startHelper(const std::string& role,
                                               std::vector<std::string> extraEnv) {
    extraEnv.push_back(std::string(kOwnProcessVariable) + "=" + currentTest());
    extraEnv.push_back(std::string(kRoleVariable) + "=" + role);
    ProcessOptions options;
    // Its temporary folders lie in the test's own, which goes with the test even when the
    // helper is killed before it can tidy up.
    options.extraEnv = std::move(extraEnv);
    return std::make_unique<BackgroundProcess>(
        std::vector<std::string>{thisProgram(), "--gtest_filter=" + currentTest()}, options);
}

std::string helperRole() {
    const char* role = std::getenv(kRoleVariable);
    return startedForThisTest() && role != nullptr ? role : "";
}

bool inOwnProcess() {
    const std::string name = currentTest();
    if (startedForThisTest()) {
        return true;
    }
    ProcessOptions options;
    options.extraEnv = {std::string(kOwnProcessVariable) + "=" + name, callerTempDir()};
    options.timeout = std::chrono::seconds(50);  // inside the test's own time-out
    const ProcessResult result = runProcess({thisProgram(), "--gtest_filter=" + name}, options);
    EXPECT_EQ(result.exitCode, 0) << name << " in a process of its own:\n"
                                  << result.out << result.err;
    if (result.exitCode == 0 && result.out.find("[  SKIPPED ] 1 test") != std::string::npos) {
        [&] { GTEST_SKIP() << "skipped in a process of its own:\n" << result.out; }();
        return false;
    }
    EXPECT_NE(result.out.find("[  PASSED  ] 1 test"), std::string::npos)
        << name << " did not run in a process of its own:\n"
        << result.out;
    return false;
}

}  // namespace qmtest
