// Loading applications for real: programs started as child processes, ARX applications
// loaded into an in-process host with their command run.
#include "runtime/qm_application.h"

#include <cadhost/host.h>
#include <gtest/gtest.h>
#if defined(_WIN32)
#include <qmsys/text.h>
#include <qmtest/win32.h>

#include <shellapi.h>
#endif
#include <qmtest/files.h>
#include <qmtest/relocated_user.h>
#include <qmtest/scoped_env.h>
#include <qmtest/temp_dir.h>
#include <qmtest/wait.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "runtime/host_arx_loader.h"

namespace {

namespace fs = std::filesystem;
using qm::QmApplication;

std::string recorder() {
    return qmtest::program("qmtest_argv_recorder");
}
std::string testArx() {
    return qmtest::binDir() + "/qmtest_runtime_arx.arx";
}

// Waits for a file a child process writes; nullopt when it does not appear in time.
class ApplicationTest : public qmtest::RelocatedTest {
protected:
    // A copy of the recorder under name in the test's folder (name.exe on Windows, which
    // finds it under name).
    std::string program(const std::string& name) const {
        const std::string path = dir_ / name;
        fs::create_directories(fs::path(path).parent_path());
#if defined(_WIN32)
        const std::string file = path + ".exe";
#else
        const std::string file = path;
#endif
        fs::copy_file(qmtest::fsPath(recorder()), qmtest::fsPath(file),
                      fs::copy_options::overwrite_existing);
        return path;
    }
    std::string arxLog() const {
        return dir_ / "arx.log";
    }

    qmtest::TempDir dir_;
};

TEST_F(ApplicationTest, OnlyEmptyOrExactExeTypesRunAProgram) {
    qmtest::Descendants started;
    const struct {
        const char* type;
        bool runs;
    } cases[] = {{"", true},     {"exe", true},   {"EXE", false},
                 {"Exe", false}, {"exe ", false}, {"program", false}};
    int n = 0;
    for (const auto& c : cases) {
        const std::string path = program("type" + std::to_string(n++));
        const QmApplication app(path, "ran", c.type, "", false);
        EXPECT_EQ(app.Load(qm::hostArxLoader()), c.runs) << '"' << c.type << '"';
        if (c.runs) {
            EXPECT_EQ(qmtest::readFileOnceThere(path + ".argv"), "ran\n") << c.type;
        }
    }
    EXPECT_FALSE(QmApplication(dir_ / "missing", "", "exe", "", false).Load(qm::hostArxLoader()));
    // Every program started has ended, so one started wrongly would have left its record.
    ASSERT_TRUE(started.waitForAll());
    for (int i = 2; i < n; ++i) {
        EXPECT_FALSE(fs::exists(dir_ / ("type" + std::to_string(i) + ".argv"))) << i;
    }
}

TEST_F(ApplicationTest, CommandLineIsPathSpaceArgumentsSplitTheWindowsWay) {
    const struct {
        const char* arguments;
        const char* argv;
    } cases[] = {
        // (The splitting rules themselves are checked with the command line splitter.)
        {"", ""},
        {"  \"three four\"   five  ", "three four\nfive\n"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string path = program("args" + std::to_string(n++));
        const QmApplication app(path, c.arguments, "", "", false);
        EXPECT_EQ(app.CommandLine(), c.arguments[0] ? path + " " + c.arguments : path);
        ASSERT_TRUE(app.Load(qm::hostArxLoader())) << c.arguments;
        EXPECT_EQ(qmtest::readFileOnceThere(path + ".argv"), c.argv) << c.arguments;
    }
}

#if defined(_WIN32)
// The program gets its arguments as the system's own splitter makes them of the command line
// the loader builds: path, a space, the arguments as the definition gives them.
TEST_F(ApplicationTest, ArgumentsArriveAsCommandLineToArgvWSplitsThem) {
    const char* const cases[] = {
        "a b",
        "\"quoted words\" plain",
        "back\\slash \"end\\\\\" x",
        "\\\"escaped\\\" quote",
        "\"\"",
        "un\"closed quote",
        "tab\there",
        "tr\\\\ailing\\",
        "\"a\"\"b\"",
        "Ünïcödé Ω",
    };
    int n = 0;
    for (const char* arguments : cases) {
        const std::string path = program("split" + std::to_string(n++));
        const QmApplication app(path, arguments, "", "", false);
        ASSERT_TRUE(app.Load(qm::hostArxLoader())) << arguments;
        int count = 0;
        const std::u16string line = qmsys::utf8ToUtf16(app.CommandLine());
        wchar_t** argv =
            ::CommandLineToArgvW(reinterpret_cast<const wchar_t*>(line.c_str()), &count);
        ASSERT_NE(argv, nullptr);
        std::string expected;
        for (int i = 1; i < count; ++i) {
            const std::wstring wide(argv[i]);
            expected += qmsys::utf16ToUtf8(std::u16string(wide.begin(), wide.end())) + "\n";
        }
        ::LocalFree(argv);
        EXPECT_EQ(qmtest::readFileOnceThere(path + ".argv"), expected) << arguments;
    }
}
#endif

class ArxApplicationTest : public ApplicationTest {
protected:
    ArxApplicationTest()
        : log_("QMTEST_ARX_LOG", arxLog()), host_(cadhost::HostOptions{&out_, {}}) {}
    std::string logText() const {
        return fs::exists(arxLog()) ? qmtest::readFile(arxLog()) : std::string();
    }
    std::ostringstream out_;
    qmtest::ScopedEnv log_;
    cadhost::Host host_;
};

TEST_F(ArxApplicationTest, LoadsAndRunsItsCommand) {
    const struct {
        const char* what;
        const char* command;
        bool loaded;
        const char* log;
    } cases[] = {
        {"with command", "QMTEST_ARX_HELLO", true, "init\ncommand\n"},
        // Already loaded: the host reports success and the command runs again.
        {"again", "QMTEST_ARX_HELLO", true, "init\ncommand\ncommand\n"},
        {"unknown command", "NO_SUCH_COMMAND", true, "init\ncommand\ncommand\n"},
        {"no command", "", true, "init\ncommand\ncommand\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QmApplication(testArx(), "", "arx", c.command, false).Load(qm::hostArxLoader()),
                  c.loaded)
            << c.what;
        EXPECT_EQ(logText(), c.log) << c.what;
    }
}

TEST_F(ArxApplicationTest, OnlyExactArxTypeAndLoadableFilesCount) {
    EXPECT_FALSE(
        QmApplication(testArx(), "", "Arx", "QMTEST_ARX_HELLO", false).Load(qm::hostArxLoader()));
    EXPECT_FALSE(QmApplication(testArx(), "", "ARX", "", false).Load(qm::hostArxLoader()));
    EXPECT_EQ(logText(), "");
    EXPECT_FALSE(
        QmApplication(dir_ / "missing.arx", "", "arx", "", false).Load(qm::hostArxLoader()));
    EXPECT_FALSE(QmApplication(recorder(), "", "arx", "", false)
                     .Load(qm::hostArxLoader()));  // no entry point
    {
        qmtest::ScopedEnv fail("QMTEST_ARX_FAIL_INIT", "1");
        EXPECT_FALSE(QmApplication(testArx(), "", "arx", "QMTEST_ARX_HELLO", false)
                         .Load(qm::hostArxLoader()));
    }
    EXPECT_EQ(logText(), "");
}

TEST_F(ArxApplicationTest, ProgramsAndArxApplicationsLoadTogether) {
    // (That the first failure stops the rest is checked with the module events.)
    qm::ApplicationSet both;
    both.insert(QmApplication(testArx(), "", "arx", "QMTEST_ARX_HELLO", false));
    both.insert(QmApplication(program("0_first"), "", "exe", "", false));
    EXPECT_TRUE(qm::LoadApplications(both, qm::hostArxLoader()));
    EXPECT_EQ(logText(), "init\ncommand\n");
    EXPECT_TRUE(qmtest::readFileOnceThere(dir_ / "0_first.argv").has_value());
    EXPECT_TRUE(qm::LoadApplications(qm::ApplicationSet{}, qm::hostArxLoader()));
}

}  // namespace
