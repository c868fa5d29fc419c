// qmtest_windriver: the host's main window driven from a script under Wine, by window messages
// (scripts/windows_installer_smoke.sh). Each command acts on the visible window titled TITLE of
// any process and exits 0 when it succeeded, 1 (with what it saw on stderr) when not:
//   wait TITLE SECONDS           the window is there within SECONDS
//   type TITLE LINE              LINE typed into its command line, then Return
//   output TITLE TEXT SECONDS    its output pane shows TEXT within SECONDS
//   fits TITLE                   it lies within the work area of its monitor
//   close TITLE                  it is asked to close (WM_CLOSE)
//   gone TITLE SECONDS           no such window is left within SECONDS
//   list                         prints the visible top-level windows: class, title, text of
//                                the static with id 0xFFFF (a message box's text)
#include <iostream>
#include <string>
#include <vector>

#include "qmtest/windows_driver.h"
#include "win32_front_end.h"

namespace {

namespace win = qmtest::windows;
using cadhost::win32::kCommandLineId;
using cadhost::win32::kOutputId;

HWND find(const std::string& title, std::chrono::milliseconds timeout) {
    return win::waitForWindow(
        [&]() -> HWND {
            const std::vector<HWND> found = win::topWindows(0, title);
            return found.empty() ? nullptr : found.front();
        },
        timeout);
}

int usage() {
    std::cerr << "usage: qmtest_windriver wait|type|output|fits|close TITLE [ARGUMENTS]\n";
    return 2;
}

}  // namespace

int list() {
    ::EnumWindows(
        [](HWND window, LPARAM) -> BOOL {
            if (::IsWindowVisible(window)) {
                char name[64] = {};
                ::GetClassNameA(window, name, 64);
                std::cout << name << " \"" << win::text(window) << "\" "
                          << win::text(::GetDlgItem(window, 0xFFFF)) << "\n";
            }
            return TRUE;
        },
        0);
    return 0;
}

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "list") {
        return list();
    }
    if (args.size() < 2) {
        return usage();
    }
    const std::string& command = args[0];
    if (command == "gone" && args.size() == 3) {
        return win::waitUntil([&] { return win::topWindows(0, args[1]).empty(); },
                              std::chrono::seconds(std::stoi(args[2])))
                   ? 0
                   : 1;
    }
    const std::chrono::milliseconds timeout = command == "wait" && args.size() > 2
                                                  ? std::chrono::seconds(std::stoi(args[2]))
                                                  : std::chrono::seconds(10);
    HWND window = find(args[1], timeout);
    if (window == nullptr) {
        std::cerr << "no window titled \"" << args[1] << "\"\n";
        return 1;
    }
    if (command == "wait") {
        return 0;
    }
    if (command == "type" && args.size() == 3) {
        HWND line = ::GetDlgItem(window, kCommandLineId);
        win::setText(line, args[2]);
        win::typeChar(line, L'\r');
        return line != nullptr ? 0 : 1;
    }
    if (command == "output" && args.size() == 4) {
        HWND output = ::GetDlgItem(window, kOutputId);
        if (win::waitUntil([&] { return win::text(output).find(args[2]) != std::string::npos; },
                           std::chrono::seconds(std::stoi(args[3])))) {
            return 0;
        }
        std::cerr << "the output does not show \"" << args[2] << "\":\n" << win::text(output);
        return 1;
    }
    if (command == "fits") {
        const RECT r = win::windowRect(window);
        const RECT area = win::workAreaOf(window);
        std::cout << "window " << r.left << "," << r.top << " " << r.right - r.left << "x"
                  << r.bottom - r.top << ", work area " << area.left << "," << area.top << " "
                  << area.right - area.left << "x" << area.bottom - area.top << "\n";
        return win::inside(r, area) ? 0 : 1;
    }
    if (command == "close") {
        ::PostMessageW(window, WM_CLOSE, 0, 0);
        return 0;
    }
    return usage();
}
