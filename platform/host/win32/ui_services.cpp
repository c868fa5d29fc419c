#include "ui_services.h"

#include <string>

#include "main_window.h"
#include "qmsys/text.h"

namespace cadhost::win32 {
namespace {

std::wstring wide(std::string_view text) {
    const std::u16string units = qmsys::utf8ToUtf16(text);
    return std::wstring(units.begin(), units.end());
}

// The box being shown on this thread, fitted once it is laid out and shown.
thread_local HHOOK boxHook = nullptr;
thread_local HWND shownBox = nullptr;
thread_local UINT_PTR fitTimer = 0;

bool isDialog(HWND window) {
    wchar_t name[16] = {};
    return ::GetClassNameW(window, name, 16) > 0 && std::wstring_view(name) == L"#32770";
}

// Cuts the box to the work area: the tallest child (the text) gives up the height, every
// child below its top moves up by as much (the buttons), and the box is moved inside.
void fitBox(HWND box) {
    RECT outer{};
    ::GetWindowRect(box, &outer);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(box, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    const ScreenRect area{work.left, work.top, work.right - work.left, work.bottom - work.top};
    const ScreenRect wanted{outer.left, outer.top, outer.right - outer.left,
                            outer.bottom - outer.top};
    const ScreenRect fitted = fitToWorkArea(wanted, area);
    const int cut = wanted.height - fitted.height;
    if (cut > 0) {
        HWND text = nullptr;
        int tallest = 0;
        for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr;
             child = ::GetWindow(child, GW_HWNDNEXT)) {
            RECT r{};
            ::GetWindowRect(child, &r);
            if (r.bottom - r.top > tallest) {
                tallest = r.bottom - r.top;
                text = child;
            }
        }
        RECT textRect{};
        ::GetWindowRect(text, &textRect);
        ::MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&textRect), 2);
        for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr;
             child = ::GetWindow(child, GW_HWNDNEXT)) {
            RECT r{};
            ::GetWindowRect(child, &r);
            ::MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&r), 2);
            if (child == text) {
                ::SetWindowPos(child, nullptr, 0, 0, r.right - r.left, r.bottom - r.top - cut,
                               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            } else if (r.top >= textRect.bottom) {
                ::SetWindowPos(child, nullptr, r.left, r.top - cut, 0, 0,
                               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            }
        }
    }
    if (!(fitted == wanted)) {
        ::SetWindowPos(box, nullptr, fitted.x, fitted.y, fitted.width, fitted.height,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// The timer's message comes once the box's own messages are handled: it is laid out then.
void CALLBACK fitWhenIdle(HWND, UINT, UINT_PTR, DWORD) {
    ::KillTimer(nullptr, fitTimer);
    fitTimer = 0;
    if (shownBox != nullptr && ::IsWindow(shownBox)) {
        fitBox(shownBox);
    }
    shownBox = nullptr;
}

LRESULT CALLBACK fitOnActivate(int code, WPARAM w, LPARAM l) {
    if (code == HCBT_ACTIVATE && shownBox == nullptr && isDialog(reinterpret_cast<HWND>(w))) {
        shownBox = reinterpret_cast<HWND>(w);
        fitTimer = ::SetTimer(nullptr, 0, 0, &fitWhenIdle);
        ::UnhookWindowsHookEx(boxHook);
        boxHook = nullptr;
        return 0;
    }
    return ::CallNextHookEx(nullptr, code, w, l);
}

}  // namespace

int fittedMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption,
                     UINT style) {
    // A box asked for while another is shown on this thread (from a timer) is not fitted.
    const bool fit = boxHook == nullptr && shownBox == nullptr;
    if (fit) {
        boxHook = ::SetWindowsHookExW(WH_CBT, &fitOnActivate, nullptr, ::GetCurrentThreadId());
    }
    const int answer = ::MessageBoxW(owner, text.c_str(), caption.c_str(), style);
    if (fit) {
        if (boxHook != nullptr) {
            ::UnhookWindowsHookEx(boxHook);
            boxHook = nullptr;
        }
        if (fitTimer != 0) {
            ::KillTimer(nullptr, fitTimer);
            fitTimer = 0;
        }
        shownBox = nullptr;
    }
    return answer;
}

int Win32UiServices::messageBox(AcFrameWindow* owner, const std::string& text,
                                const std::string& caption, unsigned style) {
    HWND ownerWindow = owner != nullptr ? reinterpret_cast<HWND>(owner) : window_.handle();
    // The host's styles are MessageBoxW's own flags.
    return fittedMessageBox(ownerWindow, wide(text), wide(caption), style);
}

void Win32UiServices::setWaitCursor(bool on) {
    window_.setWaiting(on);
}

}  // namespace cadhost::win32
