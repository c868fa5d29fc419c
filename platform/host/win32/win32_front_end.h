#pragma once
// The graphical front end of the CAD host on Windows: a native main window titled "CAD host"
// with the host's menu and the menus of the loaded partial menu groups, one tab per open
// drawing, an output pane and a command line. Message boxes are MessageBoxW boxes owned by
// the main window (or the given owner), and applications get the window's HWND as the host's
// frame (acedGetAcadFrame()), so that their dialogs are owned by it too.
//
// The window and its controls are found by the class name, the title and the control ids
// below; the tests drive them with window messages.
#include <functional>
#include <string>

namespace cadhost {

class Host;

namespace win32 {

inline constexpr wchar_t kMainWindowClass[] = L"QuillmontCadHostWindow";
inline constexpr wchar_t kMainWindowTitle[] = L"CAD host";
inline constexpr int kDrawingTabsId = 101;
inline constexpr int kOutputId = 102;
inline constexpr int kCommandLineId = 103;
// The menu items' command ids: the host's own menu first, in its order ("New drawing" first),
// then the menu groups' items.
inline constexpr unsigned kFirstMenuCommandId = 1000;

// Opens and shows the main window, then creates the host with the window's output, services
// and frame and calls bringUp(host) (load applications, open the first drawing), so that the
// messages of the start-up are owned by a window the user sees. Runs until the window closes
// or QUIT; then the host quits. False, with why, when the window cannot be created (no
// display): nothing has run then, and the caller runs the command-line session.
bool runWindowSession(const std::function<void(Host&)>& bringUp, int& exitCode, std::string& why);

}  // namespace win32
}  // namespace cadhost
