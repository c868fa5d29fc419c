// The cadhost program as users run it: real child processes reading command lines.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "qmtest/wait.h"
#endif

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "host_fixture.h"
#include "qmtest/child_process.h"
#include "qmtest/files.h"

// <windows.h> after the host's API, whose names it makes macros.
#if defined(_WIN32)
#include <optional>

#include "qmtest/module_settings.h"
#include "qmtest/windows_driver.h"
#include "test_installation.h"
#include "ui/logic/resource_ids.h"
#include "ui/win32/dialog_window.h"
#include "win32_front_end.h"
// (After <windows.h>, which it needs.)
#include <commctrl.h>
#endif

namespace {

namespace fs = std::filesystem;
using hosttest::arx;
using qmtest::lines;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

#if defined(_WIN32)
constexpr const char* kCadhost = "cadhost.exe";
#else
constexpr const char* kCadhost = "cadhost";
#endif

// The path's tidy spelling, with '/' on every system: how the host writes the paths it
// records.
std::string normal(const std::string& path) {
    const std::u8string text = qmtest::fsPath(path).lexically_normal().generic_u8string();
    return std::string(text.begin(), text.end());
}

// Runs a private copy of cadhost beside the built libraries (links to them; copies on
// Windows, which looks for DLLs beside the program), so that the module loader it finds
// beside itself is the one a test puts there, or none.
class CadhostTest : public qmtest::RelocatedTest {
protected:
    CadhostTest() {
        const fs::path bin = fs::absolute(qmtest::fsPath(qmtest::binDir()));
        const fs::path install = qmtest::fsPath(install_.path());
        fs::copy_file(bin / kCadhost, install / kCadhost);
        for (const auto& entry : fs::directory_iterator(bin)) {
            const std::u8string name = entry.path().filename().u8string();
#if defined(_WIN32)
            if (name.ends_with(u8".dll")) {
                fs::copy_file(entry.path(), install / name);
            }
#else
            if (name.starts_with(u8"lib") && name.find(u8".so") != std::u8string::npos) {
                fs::create_symlink(entry.path(), install / name);
            }
#endif
        }
    }

    std::string cadhost() const {
        return install_ / kCadhost;
    }

    void installModuleLoader(const std::string& from) {
        fs::copy_file(arx(from), install_ / "QmModuleLoader.arx");
    }

    qmtest::ProcessResult run(std::vector<std::string> args, const std::string& input = {},
                              bool obeyFilePermissions = false) {
        args.insert(args.begin(), cadhost());
        qmtest::ProcessOptions options;
        options.extraEnv = user_.environment();
        options.input = input;
        options.obeyFilePermissions = obeyFilePermissions;
        qmtest::ProcessResult result = qmtest::runProcess(args, options);
#if defined(_WIN32)
        // A Windows console program ends its lines with CR LF.
        for (std::string* text : {&result.out, &result.err}) {
            std::erase(*text, '\r');
        }
#endif
        return result;
    }

#if !defined(_WIN32)
    // Runs the private cadhost on a pseudo-terminal without echo, so that it takes itself to be
    // in front of a user, with a display named. Returns what it wrote to the terminal (its
    // standard output and error together), or "timed out" when it did not finish in time.
    std::string runOnTerminal(std::vector<std::string> args, const std::string& input) {
        args.insert(args.begin(), cadhost());
        std::vector<std::string> env = user_.environment();
        env.insert(env.end(), {"DISPLAY=:0", "QT_QPA_PLATFORM="});
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[64] = {};
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
            ::ptsname_r(master, name, sizeof name) != 0) {
            return "no pseudo-terminal";
        }
        const int terminal = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios mode{};
        cfmakeraw(&mode);
        mode.c_lflag |= ICANON;
        mode.c_oflag |= OPOST | ONLCR;
        ::tcsetattr(terminal, TCSANOW, &mode);
        const pid_t pid = qmtest::spawnWithStreams(args, env, {terminal, terminal, terminal});
        // Ours closed, the child's end closes when it exits: reading fails with EIO then.
        ::close(terminal);
        EXPECT_EQ(::write(master, input.data(), input.size()), static_cast<ssize_t>(input.size()));
        std::string out;
        pollfd fd{master, POLLIN, 0};
        bool timedOut = false;
        for (;;) {
            if (::poll(&fd, 1, 30000) <= 0) {
                timedOut = true;
                break;
            }
            char buffer[4096];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            out.append(buffer, static_cast<std::size_t>(n));
        }
        if (timedOut) {
            ::kill(pid, SIGKILL);
            out = "timed out";
        }
        qmtest::waitForExit(pid);
        ::close(master);
        return out;
    }
#endif

    qmtest::TempDir install_;
};

const std::vector<std::string> kProbeQuits{
    "probe: kQuitMsg Drawing1.dwg", "probe: kUnloadDwgMsg Drawing1.dwg", "probe: kUnloadAppMsg -"};

std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(CadhostTest, LoadsTheModuleLoaderFirstThenTheNamedApplicationsThenADrawing) {
    installModuleLoader("hosttest_probe.arx");
    const auto result =
        run({"--console", "--arx", arx("hosttest_exporter.arx")}, "ARX\nhosttest_import\n");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(lines(result.out),
              concat({"probe: kInitAppMsg -", "probe: kLoadDwgMsg Drawing1.dwg",
                      "QmModuleLoader.arx", "hosttest_exporter.arx", "probe: exporter says 42"},
                     kProbeQuits));
}

TEST_F(CadhostTest, RunsWithoutAModuleLoader) {
    const auto result = run({}, "ARX\n");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_THAT(result.err, HasSubstr("QmModuleLoader.arx not found"));
    EXPECT_EQ(result.out, "");
}

TEST_F(CadhostTest, FailedLoadsPrintOneLineEachAndTheHostGoesOn) {
    const std::string missing = arx("hosttest_missing.arx");
    const std::string noEntry = arx("hosttest_no_entry.arx");
    const std::string refuse = arx("hosttest_refuse.arx");
    const auto result = run(
        {"--arx", missing, "--arx", noEntry, "--arx", refuse, "--arx", arx("hosttest_probe.arx")},
        "ARX\nhosttest_refused\n");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(
        lines(result.out),
        concat({"Unable to load ARX application \"" + missing + "\": file not found",
                "Unable to load ARX application \"" + noEntry + "\": no acrxEntryPoint exported",
                "Unable to load ARX application \"" + refuse +
                    "\": the application refused to initialise",
                "probe: kInitAppMsg -", "probe: kLoadDwgMsg Drawing1.dwg", "hosttest_probe.arx",
                // The refused application's command went away with its code.
                "Unknown command \"HOSTTEST_REFUSED\".  Press F1 for help."},
               kProbeQuits));
}

// AutoLISP calls answered through kInvkSubrMsg and through acedRegFunc, errors, commands,
// message boxes, and QUIT: every application is told and unloaded, and nothing
// after QUIT is read.
TEST_F(CadhostTest, ConsoleContract) {
    const std::string script = user_.root() + "/script.txt";
    qmtest::writeFile(
        script,
        "\n(probe-int 1 \"a\")\n  (PROBE-STR)\n(probe-nil)\n(probe-reg)\n(probe-fail)\n"
        "(nothere 2)\nFOO\nhosttest_ask\n\nQUIT\nhosttest_hello\n");
    const auto result = run({"--console", "--script", script, "--arx", arx("hosttest_probe.arx")});
    EXPECT_EQ(result.exitCode, 0);
    const std::string invoked = "probe: kInvkSubrMsg Drawing1.dwg";
    EXPECT_EQ(lines(result.out), concat({"probe: kInitAppMsg -", "probe: kLoadDwgMsg Drawing1.dwg",
                                         invoked, "42", invoked, R"("say \"hi\"")", invoked, "nil",
                                         "300", "; error: function failed: PROBE-FAIL",
                                         "; error: no function definition: NOTHERE",
                                         "Unknown command \"FOO\".  Press F1 for help.",
                                         "[Probe] Proceed?", "Really?", "probe: answer 7"},
                                        kProbeQuits));
}

TEST_F(CadhostTest, MenusAreRememberedForTheNextRunWhileTheirFilesLoad) {
    const auto menu = [&](const std::string& group) {
        const std::string path = normal(user_.root() + "/" + group + ".mnu");
        qmtest::writeFile(path, "***MENUGROUP=" + group + "\n");
        return path;
    };
    const std::string a = menu("KRQM_A"), b = menu("KRQM_B"), c = menu("KRQM_C"),
                      d = menu("KRQM_D");
    EXPECT_EQ(run({}, "MENULOAD " + a + "\nMENULOAD " + b + "\nMENULOAD " + c + "\nMENULOAD " + d +
                          "\nMENUUNLOAD krqm_b\n")
                  .exitCode,
              0);
    // C's file is gone for the next run: C is not restored and no longer remembered.
    fs::rename(qmtest::fsPath(c), qmtest::fsPath(c + ".away"));
    const std::string expected = "KRQM_A\t" + a + "\nKRQM_D\t" + d + "\n";
    EXPECT_EQ(run({}, "MENUGROUPS\n").out, expected);
    fs::rename(qmtest::fsPath(c + ".away"), qmtest::fsPath(c));
    EXPECT_EQ(run({}, "MENUGROUPS\n").out, expected);
}

// Every load and unload is on disk before the host goes on: a host killed without a chance to
// clean up leaves the next run the menus it had. A host that ends normally leaves the plain list.
TEST_F(CadhostTest, MenusAreRememberedThroughAKill) {
    std::vector<std::string> paths;
    for (const char* group : {"KRQM_A", "KRQM_B", "KRQM_C"}) {
        paths.push_back(normal(user_.root() + "/" + group + ".mnu"));
        qmtest::writeFile(paths.back(), std::string("***MENUGROUP=") + group + "\n");
    }
    qmtest::ProcessOptions options;
    options.extraEnv = user_.environment();
    qmtest::BackgroundProcess host({cadhost(), "--console"}, options);
    host.writeInput("MENULOAD " + paths[0] + "\nMENULOAD " + paths[1] + "\nMENULOAD " + paths[2] +
                    "\nMENUUNLOAD krqm_b\nMENUGROUPS\n");
    ASSERT_TRUE(host.waitForOutput("KRQM_C\t", std::chrono::seconds(20))) << host.output();
    host.kill(9);
    host.wait();
    const std::string expected = "KRQM_A\t" + paths[0] + "\nKRQM_C\t" + paths[2] + "\n";
    EXPECT_EQ(run({}, "MENUGROUPS\n").out, expected);
    EXPECT_EQ(qmtest::readFile(user_.stateDir() + "/cadhost/menugroups.list"),
              paths[0] + "\n" + paths[2] + "\n");
}

#if !defined(_WIN32)
// (POSIX only: symbolic-link loops and folder permissions that hold for the test's user.)
// Paths the system cannot even examine fail that one load; the host goes on. The application
// in the closed folder loads once the folder is open again, so only its permissions (which
// hold for root too) kept it out.
TEST_F(CadhostTest, ArxPathsThatCannotBeExaminedFailOnlyTheirLoad) {
    const fs::path root(user_.root());
    fs::create_symlink(root / "loop-b.arx", root / "loop-a.arx");
    fs::create_symlink(root / "loop-a.arx", root / "loop-b.arx");
    fs::create_directory(root / "closed");
    fs::copy_file(arx("hosttest_probe.arx"), root / "closed" / "app.arx");
    fs::permissions(root / "closed", fs::perms::none);
    const std::vector<std::string> paths{
        (root / "loop-a.arx").string(),
        (root / "closed" / "app.arx").string(),
        (root / (std::string(300, 'n') + ".arx")).string(),
        "/" + std::string(5000, 'p') + ".arx",
    };
    std::string input;
    for (const std::string& path : paths) {
        input += "ARXLOAD " + path + "\n";
    }
    const auto result = run({"--console"}, input + "ARX\n", /*obeyFilePermissions=*/true);
    fs::permissions(root / "closed", fs::perms::owner_all);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const auto said = lines(result.out);
    ASSERT_EQ(said.size(), paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        EXPECT_THAT(said[i], ::testing::StartsWith("Unable to load ARX application \"" + paths[i]));
    }
    const auto open = run({"--console"}, "ARXLOAD " + paths[1] + "\nARX\n", true);
    EXPECT_THAT(open.out, HasSubstr("\napp.arx\n")) << open.out;
}

// (Linux only from here: the Windows build has no window, cadhost always runs the command line.)
// A session at a terminal with a display takes the main window from a module of its own; when
// that module is missing or broken, the host says so in one line and keeps the command line.
TEST_F(CadhostTest, AFrontEndThatCannotBeLoadedLeavesTheCommandLine) {
    const fs::path module = install_ / "libqm_host_gui.so";
    const std::vector<std::pair<const char*, std::function<void()>>> cases{
        {"missing", [] {}},
        {"not a library", [&] { qmtest::writeFile(module.string(), "not a library\n"); }},
        {"no entry", [&] { fs::copy_file(arx("hosttest_no_entry.arx"), module); }},
    };
    for (const auto& [name, breakModule] : cases) {
        SCOPED_TRACE(name);
        fs::remove(module);
        breakModule();
        const std::string out =
            runOnTerminal({"--arx", arx("hosttest_probe.arx")}, "hosttest_hello\nQUIT\n");
        const std::string line = "cadhost: cannot load the graphical front end";
        EXPECT_THAT(out, HasSubstr(line));
        EXPECT_EQ(out.find(line), out.rfind(line)) << out;
        EXPECT_THAT(out, HasSubstr("probe: hello\r\n")) << out;
        EXPECT_THAT(out, HasSubstr("probe: kQuitMsg")) << out;
    }
}

// What standard input is decides between the window and the command line when a display is
// there: a desktop launcher or a file manager gives /dev/null or nothing, and gets the window;
// commands given through a pipe, a file or a socket keep the command line, as --console and
// --script do, and so does a session without a display. The front end's module is missing here,
// so that trying the window shows as the one line saying it could not be loaded.
TEST_F(CadhostTest, TheWindowIsTriedUnlessStandardInputBringsCommands) {
    fs::remove(install_ / "libqm_host_gui.so");
    const std::string commands = install_ / "commands.txt";
    qmtest::writeFile(commands, "QUIT\n");
    enum class Input { DevNull, Closed, Pipe, File, Socket };
    struct Case {
        const char* name;
        Input input;
        std::vector<std::string> options;
        bool display;
        bool triesWindow;
    };
    const std::vector<Case> cases{
        {"/dev/null", Input::DevNull, {}, true, true},
        {"closed", Input::Closed, {}, true, true},
        {"pipe", Input::Pipe, {}, true, false},
        {"file", Input::File, {}, true, false},
        {"socket", Input::Socket, {}, true, false},
        {"/dev/null, --console", Input::DevNull, {"--console"}, true, false},
        {"/dev/null, --script", Input::DevNull, {"--script", commands}, true, false},
        {"/dev/null, no display", Input::DevNull, {}, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The child's input end, or -1; what the host writes goes to a file.
        int fds[2] = {-1, -1};
        if (c.input == Input::Pipe) {
            ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
        } else if (c.input == Input::Socket) {
            ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        }
        const std::string outFile = install_ / "out.txt";
        std::vector<std::string> env{"DISPLAY=:0",
                                     c.display ? "QT_QPA_PLATFORM=" : "QT_QPA_PLATFORM=offscreen"};
        std::vector<std::string> args{cadhost()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        // What the host writes goes to a file; a closed input stays closed.
        const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        int in = -1;
        switch (c.input) {
            case Input::DevNull:
                in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
                break;
            case Input::Closed:
                break;
            case Input::Pipe:
            case Input::Socket:
                in = fds[0];
                break;
            case Input::File:
                in = ::open(commands.c_str(), O_RDONLY | O_CLOEXEC);
                break;
        }
        const pid_t host = qmtest::spawnWithStreams(args, env, {in, out, out});
        ::close(out);
        if (in >= 0 && in != fds[0]) {
            ::close(in);
        }
        if (fds[0] >= 0) {
            ::close(fds[0]);
            EXPECT_EQ(::write(fds[1], "QUIT\n", 5), 5);
            ::close(fds[1]);
        }
        EXPECT_EQ(qmtest::waitForExit(host), 0);
        const std::string said = qmtest::readFile(outFile);
        EXPECT_EQ(said.find("cannot load the graphical front end") != std::string::npos,
                  c.triesWindow)
            << said;
    }
}

// The command line needs no widget: a console session maps no Qt library.
TEST_F(CadhostTest, AConsoleSessionMapsNoQtLibrary) {
    const auto result = run({"--console", "--arx", arx("hosttest_probe.arx")}, "hosttest_qtmaps\n");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_THAT(result.out, HasSubstr("probe: Qt libraries mapped 0\n"));
}

#endif

#if defined(_WIN32)
// The Windows host's main window, on the display the Wine session provides, driven through
// window messages as a user's keys and clicks reach it.
namespace win = qmtest::windows;
using namespace std::chrono_literals;

constexpr const char* kLoaderCommand = "KRQM_ModuleLoader_Arx";

class CadhostWindowTest : public CadhostTest {
protected:
    // Starts the private cadhost as the Start menu does, without console input, and returns
    // its main window (null when none opened).
    HWND start(std::vector<std::string> args, const std::vector<std::string>& env = {}) {
        args.insert(args.begin(), cadhost());
        qmtest::ProcessOptions options;
        options.extraEnv = user_.environment();
        options.extraEnv.insert(options.extraEnv.end(), env.begin(), env.end());
        options.nullInput = true;
        options.timeout = 90s;
        host_.emplace(args, options);
        window_ =
            win::waitForWindow([&] { return first(cadhost::win32::kMainWindowClass, "CAD host"); });
        return window_;
    }
    HWND first(const std::wstring& className, const std::string& title) const {
        const std::vector<HWND> found =
            win::topWindows(static_cast<DWORD>(host_->pid()), title, className);
        return found.empty() ? nullptr : found.front();
    }
    HWND control(int id) const { return ::GetDlgItem(window_, id); }
    void type(const std::string& line) {
        win::setText(control(cadhost::win32::kCommandLineId), line);
        win::typeChar(control(cadhost::win32::kCommandLineId), L'\r');
    }
    bool outputShows(const std::string& text) {
        return win::waitUntil([&] {
            return win::text(control(cadhost::win32::kOutputId)).find(text) != std::string::npos;
        });
    }
    std::string output() const { return win::text(control(cadhost::win32::kOutputId)); }
    // The message box of that caption that the host shows, once it is there.
    HWND messageBox(const std::string& caption) const {
        return win::waitForWindow([&] { return first(L"#32770", caption); });
    }
    // The dialog of that caption that the host shows, once no other window of the host disables
    // it (a modal dialog in front of it would) and it is ready for input: initialised, and its
    // list filled (Options ignores its buttons while it fills).
    HWND dialog(const std::string& caption) const {
        return win::waitForWindow([&]() -> HWND {
            HWND found = first(L"#32770", caption);
            return found != nullptr && ::IsWindowEnabled(found) &&
                           answer(found, qm::ui::win32::kDialogReady) == 1 &&
                           answer(found, qm::ui::win32::kDialogBusy) == 0
                       ? found
                       : nullptr;
        });
    }
    static LRESULT answer(HWND window, UINT message) {
        DWORD_PTR result = 0;
        return ::SendMessageTimeoutW(window, message, 0, 0, SMTO_ABORTIFHUNG, 10000, &result) != 0
                   ? static_cast<LRESULT>(result)
                   : -1;
    }
    // Waits until dialog (one of the dialogs module's) has handled what was posted to it and to
    // its controls so far.
    void settle(HWND dialog) {
        const auto seq = static_cast<WPARAM>(++pings_);
        ::PostMessageW(dialog, qm::ui::win32::kDialogPing, seq, 0);
        EXPECT_TRUE(win::waitUntil([&] {
            return reinterpret_cast<WPARAM>(
                       ::GetPropW(dialog, qm::ui::win32::kDialogPingProperty)) == seq;
        }));
    }
    static std::string boxText(HWND box) { return win::text(::GetDlgItem(box, 0xFFFF)); }
    int tabCount() const {
        DWORD_PTR count = 0;
        ::SendMessageTimeoutW(control(cadhost::win32::kDrawingTabsId), TCM_GETITEMCOUNT, 0, 0,
                              SMTO_ABORTIFHUNG, 10000, &count);
        return static_cast<int>(count);
    }
    int quit() {
        type("QUIT");
        return host_->wait();
    }

    std::optional<qmtest::BackgroundProcess> host_;
    HWND window_ = nullptr;
    std::size_t pings_ = 0;
};

// What standard input is and the options decide between the window and the command line: the
// Start menu gives NUL and gets the window; --console, --script and commands through a pipe keep
// the command line (a window there would wait for a user: the run would not end).
TEST_F(CadhostWindowTest, StandardInputAndOptionsChooseTheWindowOrTheCommandLine) {
    const std::string script = install_ / "commands.txt";
    qmtest::writeFile(script, "hosttest_hello\nQUIT\n");
    struct Case {
        const char* name;
        std::vector<std::string> options;
        bool nullInput;
        bool window;
    };
    const std::vector<Case> cases{
        {"NUL", {}, true, true},
        {"NUL, --console", {"--console"}, true, false},
        {"NUL, --script", {"--script", script}, true, false},
        {"pipe", {}, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args{"--arx", arx("hosttest_probe.arx")};
        args.insert(args.end(), c.options.begin(), c.options.end());
        if (c.window) {
            ASSERT_NE(start(args), nullptr) << "no window";
            EXPECT_TRUE(outputShows("probe: kLoadDwgMsg Drawing1.dwg")) << output();
            EXPECT_EQ(quit(), 0);
            continue;
        }
        args.insert(args.begin(), cadhost());
        qmtest::ProcessOptions options;
        options.extraEnv = user_.environment();
        options.nullInput = c.nullInput;
        options.input = c.nullInput ? "" : "hosttest_hello\nQUIT\n";
        options.timeout = 30s;
        const qmtest::ProcessResult result = qmtest::runProcess(args, options);
        EXPECT_FALSE(result.timedOut) << "a window waited for a user";
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.err.find("main window"), std::string::npos) << result.err;
        if (!c.options.empty() && c.options[0] == "--console") {
            continue;  // NUL brings no commands
        }
        EXPECT_THAT(result.out, HasSubstr("probe: hello")) << result.out;
    }
}

// Commands typed into the window's command line and chosen from its menu run; drawings get
// tabs; Up brings back the last line; message boxes are owned by the window (which they make
// wait), and a box with a long list still fits the work area with its button on the screen. The
// window itself fits the work area.
TEST_F(CadhostWindowTest, TheWindowRunsTypedCommandsAndOwnsItsMessageBoxes) {
    ASSERT_NE(start({"--arx", arx("hosttest_probe.arx")}), nullptr) << "no window";
    EXPECT_TRUE(win::inside(win::windowRect(window_), win::workAreaOf(window_)));
    EXPECT_EQ(tabCount(), 1);
    type("hosttest_hello");
    EXPECT_TRUE(outputShows("Command: hosttest_hello\nprobe: hello\n")) << output();
    ::PostMessageW(control(cadhost::win32::kCommandLineId), WM_KEYDOWN, VK_UP, 0);
    EXPECT_TRUE(win::waitUntil(
        [&] { return win::text(control(cadhost::win32::kCommandLineId)) == "hosttest_hello"; }));

    // The host's menu: its first item opens a drawing. (A menu is the process's own object
    // under Wine: the item is chosen by its command id.)
    ::PostMessageW(window_, WM_COMMAND, cadhost::win32::kFirstMenuCommandId, 0);
    EXPECT_TRUE(win::waitUntil([&] { return tabCount() == 2; })) << output();

    struct Box {
        const char* command;
        const char* caption;
        int button;
        const char* answer;
    };
    for (const Box& b : {Box{"hosttest_ask", "Probe", IDNO, "probe: answer 7"},
                         Box{"hosttest_asklong", "Probe list", IDOK, "probe: answer 1"}}) {
        SCOPED_TRACE(b.command);
        type(b.command);
        HWND box = messageBox(b.caption);
        ASSERT_NE(box, nullptr) << output();
        EXPECT_EQ(::GetWindow(box, GW_OWNER), window_);
        EXPECT_FALSE(::IsWindowEnabled(window_)) << "the box does not make the window wait";
        // The host fits the box once it is laid out and shown: a moment after it appears.
        const RECT area = win::workAreaOf(box);
        EXPECT_TRUE(win::waitUntil([&] {
            return win::inside(win::windowRect(box), area) &&
                   win::inside(win::windowRect(::GetDlgItem(box, b.button)), area);
        }));
        win::clickButton(box, b.button);
        EXPECT_TRUE(outputShows(b.answer)) << output();
    }
    EXPECT_EQ(quit(), 0);
}

// Messages of the start-up (here: no module definitions at all) are owned by the main window,
// already on the screen; the loader's command then finds a host with a GUI, and its message
// that the dialogs cannot be loaded (none lie beside this loader) is owned by the window too.
TEST_F(CadhostWindowTest, StartUpMessagesAndTheLoaderCommandAreOwnedByTheWindow) {
    installModuleLoader("QmModuleLoader.arx");
    fs::remove(install_ / "QmModuleLoaderUi.dll");
    qmtest::TempDir emptyInstallation;
    host_.reset();
    std::vector<std::string> args{cadhost()};
    qmtest::ProcessOptions options;
    options.extraEnv = user_.environment();
    options.extraEnv.push_back("QM_APP_PATH=" + emptyInstallation.path() + "/");
    options.nullInput = true;
    options.timeout = 90s;
    host_.emplace(args, options);
    HWND box = messageBox("Quillmont");
    ASSERT_NE(box, nullptr);
    window_ = first(cadhost::win32::kMainWindowClass, "CAD host");
    ASSERT_NE(window_, nullptr) << "the start-up's message came before the window";
    EXPECT_EQ(::GetWindow(box, GW_OWNER), window_);
    EXPECT_THAT(boxText(box), ::testing::StartsWith("Unable to read module loader configuration"));
    win::clickButton(box, IDOK);

    type(kLoaderCommand);
    box = win::waitForWindow([&]() -> HWND {
        HWND found = first(L"#32770", "Quillmont");
        return found != box ? found : nullptr;
    });
    ASSERT_NE(box, nullptr) << output();
    EXPECT_EQ(::GetWindow(box, GW_OWNER), window_);
    EXPECT_EQ(boxText(box), "The Module Loader dialogs cannot be loaded.");
    win::clickButton(box, IDOK);
    EXPECT_EQ(quit(), 0);
}

// The loader's command typed into the window opens the dialogs module beside the loader, its
// windows owned by the host's window: for a new user the welcome and the Options dialog come
// first, once; in "Quillmont Moduleloader" a start-up option chosen by key (Ctrl+M, load the
// menu only) is stored on OK; the next time the loader dialog comes at once, and its
// "Options..." opens the Options dialog in front of it.
TEST_F(CadhostWindowTest, TheLoaderCommandOpensItsDialogsOwnedByTheWindow) {
    using namespace qm::ui;
    installModuleLoader("QmModuleLoader.arx");
    ASSERT_TRUE(fs::exists(install_ / "QmModuleLoaderUi.dll"));
    const qmtest::TempDir root;
    qmtest::TestInstallation installation(root / "Program");
    installation.addModule({"QM_BASE", "Base", "KRQM_BASE", {}});
    installation.addModule({"QM_ROADS", "Roads", "KRQM_ROADS", {}});
    ASSERT_NE(start({}, {"QM_APP_PATH=" + installation.root() + "/"}), nullptr) << "no window";

    type(kLoaderCommand);
    HWND welcome = messageBox("Quillmont");
    ASSERT_NE(welcome, nullptr) << output();
    EXPECT_EQ(::GetWindow(welcome, GW_OWNER), window_);
    EXPECT_THAT(boxText(welcome), ::testing::StartsWith("Please configure modules"));
    win::clickButton(welcome, IDOK);
    HWND options = dialog("Options");
    ASSERT_NE(options, nullptr) << "no Options dialog after the welcome";
    EXPECT_EQ(::GetWindow(options, GW_OWNER), window_);
    win::clickButton(options, kIdCancel);

    HWND loader = dialog("Quillmont Moduleloader");
    ASSERT_NE(loader, nullptr) << "no loader dialog after the Options dialog";
    EXPECT_EQ(::GetWindow(loader, GW_OWNER), window_);
    EXPECT_FALSE(::IsWindowEnabled(window_)) << "the dialog does not make the window wait";
    // Roads, the one row, is selected when the dialog opens.
    win::pressKey(::GetDlgItem(loader, kIdGrid), 'M', true, [&] { settle(loader); });
    EXPECT_NE(qmtest::storedModuleSetting("QM_ROADS", "AutoStart"), "True") << "before OK";
    win::clickButton(loader, kIdOk);
    ASSERT_TRUE(win::waitUntil([&] { return ::IsWindowEnabled(window_) != FALSE; }));
    EXPECT_EQ(qmtest::storedModuleSetting("QM_ROADS", "AutoStart"), "True");
    EXPECT_EQ(qmtest::storedModuleSetting("QM_ROADS", "DemandLoad"), "True");

    type(kLoaderCommand);
    loader = dialog("Quillmont Moduleloader");
    ASSERT_NE(loader, nullptr) << "no loader dialog the second time";
    win::clickButton(loader, kIdOptions);
    options = dialog("Options");
    ASSERT_NE(options, nullptr) << "Options... opened no Options dialog";
    EXPECT_EQ(::GetWindow(options, GW_OWNER), loader);
    EXPECT_NE(::GetDlgItem(options, kIdModuleList), nullptr);
    win::clickButton(options, kIdCancel);
    loader = dialog("Quillmont Moduleloader");
    ASSERT_NE(loader, nullptr) << "the loader dialog went with the Options dialog";
    win::clickButton(loader, kIdCancelButton);
    ASSERT_TRUE(win::waitUntil([&] { return ::IsWindowEnabled(window_) != FALSE; }));
    EXPECT_EQ(quit(), 0);
}
#endif

TEST_F(CadhostTest, BadCommandLinesExitWithTwo) {
    const std::vector<std::vector<std::string>> cases{
        {"--bogus"},
        {"--script", "/nonexistent/script.txt"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(args[0]);
        const auto result = run(args);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_THAT(result.err, ::testing::Not(IsEmpty()));
        EXPECT_EQ(result.out, "");
    }
}

}  // namespace
