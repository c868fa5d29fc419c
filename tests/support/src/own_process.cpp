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

}  // namespace

bool inOwnProcess() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = std::string(test->test_suite_name()) + "." + test->name();
    const char* own = std::getenv(kOwnProcessVariable);
    if (own != nullptr && name == own) {
        return true;
    }
    ProcessOptions options;
    options.extraEnv = {std::string(kOwnProcessVariable) + "=" + name};
    options.timeout = std::chrono::seconds(50);  // inside the test's own time-out
    const ProcessResult result = runProcess({thisProgram(), "--gtest_filter=" + name}, options);
    EXPECT_EQ(result.exitCode, 0) << name << " in a process of its own:\n"
                                  << result.out << result.err;
    EXPECT_NE(result.out.find("[  PASSED  ] 1 test"), std::string::npos)
        << name << " did not run, or was skipped, in a process of its own:\n"
        << result.out;
    return false;
}

}  // namespace qmtest
