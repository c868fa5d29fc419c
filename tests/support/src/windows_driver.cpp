#include "qmtest/windows_driver.h"

#include <algorithm>
#include <iterator>
#include <thread>

#include "qmsys/text.h"
#include "qmtest/wait.h"

namespace qmtest::windows {
namespace {

// A window's thread may be busy for a moment (a command runs); it is not waited for forever.
constexpr UINT kSendTimeoutMs = 10000;

}  // namespace

std::vector<HWND> topWindows(DWORD pid, const std::string& title, const std::wstring& className) {
    struct Search {
        DWORD pid;
        std::wstring title;
        std::wstring className;
        std::vector<HWND> found;
    } search{pid, wide(title), className, {}};
    ::EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if ((s.pid != 0 && owner != s.pid) || !::IsWindowVisible(window)) {
                return TRUE;
            }
            wchar_t buffer[256] = {};
            ::GetClassNameW(window, buffer, 256);
            if (!s.className.empty() && s.className != buffer) {
                return TRUE;
            }
            ::GetWindowTextW(window, buffer, 256);
            if (s.title == buffer) {
                s.found.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    return qmtest::waitUntil(condition, timeout, 50ms);
}

HWND waitForWindow(const std::function<HWND()>& find, std::chrono::milliseconds timeout) {
    HWND found = nullptr;
    waitUntil([&] { return (found = find()) != nullptr; }, timeout);
    return found;
}

std::string text(HWND window) {
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                               &length)) {
        return {};
    }
    std::wstring buffer(length + 1, L'\0');
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(),
                          reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG, kSendTimeoutMs,
                          &copied);
    buffer.resize(copied);
    std::erase(buffer, L'\r');
    return qmsys::utf16ToUtf8(std::u16string(buffer.begin(), buffer.end()));
}

void setText(HWND window, const std::string& text) {
    const std::wstring units = wide(text);
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(units.c_str()),
                          SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
}

void typeChar(HWND window, wchar_t c) {
    ::PostMessageW(window, WM_CHAR, c, 1);
}

void pressKey(HWND window, int virtualKey, bool ctrl, const std::function<void()>& waitHandled) {
    const DWORD thread = ::GetWindowThreadProcessId(window, nullptr);
    const bool attached = ::AttachThreadInput(::GetCurrentThreadId(), thread, TRUE) != FALSE;
    BYTE state[256] = {};
    ::GetKeyboardState(state);
    BYTE pressed[256];
    std::copy(std::begin(state), std::end(state), std::begin(pressed));
    pressed[VK_CONTROL] = ctrl ? 0x80 : 0;
    ::SetKeyboardState(pressed);
    const auto vk = static_cast<UINT>(virtualKey);
    const auto scan = static_cast<LPARAM>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    ::PostMessageW(window, WM_KEYDOWN, vk, 1 | (scan << 16));
    ::PostMessageW(window, WM_KEYUP, vk, 1 | (scan << 16) | (3LL << 30));
    waitHandled();
    ::SetKeyboardState(state);
    if (attached) {
        ::AttachThreadInput(::GetCurrentThreadId(), thread, FALSE);
    }
}

void clickButton(HWND dialog, int id) {
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

RECT windowRect(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    return r;
}

RECT workAreaOf(HWND window) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info);
    return info.rcWork;
}

bool inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

}  // namespace qmtest::windows
