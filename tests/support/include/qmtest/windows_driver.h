#pragma once
// Driving another process's windows on Windows (and under Wine) the way a user's input reaches
// them, by window messages: find a window by its process and title, read and set control texts,
// type a character, click a button. Nothing here looks at pixels.
//
// Input that may open a modal window (a character typed into a command line, a button) is
// posted: sending it would wait for the modal window to close.
#include "qmtest/win32.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace qmtest::windows {

using namespace std::chrono_literals;

// The visible top-level windows of process pid (0: of every process) whose title is title and,
// unless empty, whose class is className.
std::vector<HWND> topWindows(DWORD pid, const std::string& title,
                             const std::wstring& className = {});
// Waits until find gives a window, for at most timeout; null then.
HWND waitForWindow(const std::function<HWND()>& find, std::chrono::milliseconds timeout = 30s);
// Waits until condition holds, for at most timeout.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 30s);

std::string text(HWND window);
void setText(HWND window, const std::string& text);
// Types the character (WM_CHAR, posted).
void typeChar(HWND window, wchar_t c);
// Presses the key (WM_KEYDOWN, WM_KEYUP, posted) with Ctrl held or not, and holds that state
// until waitHandled returns: it waits until the window's thread has handled them. A window
// reads modifiers from its thread's key state (GetKeyState), which is set here for the time:
// the caller's input state is attached to the window's thread meanwhile.
void pressKey(HWND window, int virtualKey, bool ctrl, const std::function<void()>& waitHandled);
// Clicks the button with that id in dialog (WM_COMMAND with BN_CLICKED, posted).
void clickButton(HWND dialog, int id);

// Where a window is on the screen, and the work area of the monitor that holds most of it.
RECT windowRect(HWND window);
RECT workAreaOf(HWND window);
bool inside(const RECT& inner, const RECT& outer);

}  // namespace qmtest::windows
