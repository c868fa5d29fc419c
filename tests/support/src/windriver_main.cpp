// qmtest_windriver: the host's main window driven from a script under Wine, by window messages
// (scripts/windows_installer_smoke.sh). Each command acts on the visible window titled TITLE of
// any process and exits 0 when it succeeded, 1 (with what it saw on stderr) when not:
//   wait TITLE SECONDS           the window is there within SECONDS
//   type TITLE LINE              LINE typed into its command line, then Return
//   output TITLE TEXT SECONDS    its output pane shows TEXT within SECONDS
//   fits TITLE                   it lies within the work area of its monitor
//   click TITLE ID               the button ID of it is clicked (the front one of that title:
//                                a window that another one's modal loop disables is not)
//   owned TITLE OWNER            its owner is the window titled OWNER
//   shot TITLE FILE              what the screen shows of it, as a 24-bit BMP file (for a
//                                person to look at, scripts/screenshots.sh: not a check)
//   close TITLE                  it is asked to close (WM_CLOSE)
//   gone TITLE SECONDS           no such window is left within SECONDS
//   list                         prints the visible top-level windows: class, title, text of
//                                the static with id 0xFFFF (a message box's text)
#include <cstdint>
#include <fstream>
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
            for (HWND window : win::topWindows(0, title)) {
                if (::IsWindowEnabled(window)) {
                    return window;
                }
            }
            return nullptr;
        },
        timeout);
}

// The screen's pixels under window (in front: nothing else covers it), bottom-up BGR rows
// padded to four bytes, written as a BMP file.
bool shot(HWND window, const std::string& file) {
    const RECT r = win::windowRect(window);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    if (width <= 0 || height <= 0) {
        return false;
    }
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    ::SelectObject(memory, old);
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
    std::vector<char> pixels(stride * static_cast<std::size_t>(height));
    const int rows = ::GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                                 reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    if (rows != height) {
        return false;
    }
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;  // "BM"
    header.bfOffBits = sizeof(header) + sizeof(info);
    header.bfSize = static_cast<DWORD>(header.bfOffBits + pixels.size());
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&header), sizeof(header));
    out.write(reinterpret_cast<const char*>(&info), sizeof(info));
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    return static_cast<bool>(out);
}

int usage() {
    std::cerr << "usage: qmtest_windriver wait|type|output|fits|click|owned|shot|close TITLE "
                 "[ARGUMENTS]\n";
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
    if (command == "click" && args.size() == 3) {
        win::clickButton(window, std::stoi(args[2]));
        return 0;
    }
    if (command == "owned" && args.size() == 3) {
        HWND owner = ::GetWindow(window, GW_OWNER);
        if (owner != nullptr && win::text(owner) == args[2]) {
            return 0;
        }
        std::cerr << "\"" << args[1] << "\" is owned by \"" << win::text(owner) << "\"\n";
        return 1;
    }
    if (command == "shot" && args.size() == 3) {
        ::SetForegroundWindow(window);
        ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_FRAME);
        ::Sleep(500);  // the window's thread paints
        return shot(window, args[2]) ? 0 : 1;
    }
    if (command == "close") {
        ::PostMessageW(window, WM_CLOSE, 0, 0);
        return 0;
    }
    return usage();
}
