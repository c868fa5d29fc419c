#pragma once
// The graphical front end of the CAD host: a main window with the host's menu and the menus of
// the loaded partial menu groups, one tab per open drawing, and a command line under an output
// pane. Message boxes become real dialogs owned by the main window (or the given owner), and
// the wait cursor shows over the whole application.
//
// It is built into a module of its own (kGuiModuleFile) that cadhost opens only when it starts
// the main window, so a command-line session never maps the widget libraries. This header
// includes no Qt header: cadhost includes it for the entry's name and type.
#include <functional>

namespace cadhost {

class Host;

namespace gui {

// Creates the application and the main window, then the host with the window's output,
// services and frame, and calls bringUp(host) (load applications, open the first drawing)
// before the window shows. Runs until the window closes or QUIT; then the host quits.
// Returns the process's exit code.
int runGuiSession(int& argc, char** argv, const std::function<void(Host&)>& bringUp);

// The module's file name and its one export, which runs runGuiSession with
// bringUp(context, host) as the bring-up.
inline constexpr const char* kGuiModuleFile = "libqm_host_gui.so";
inline constexpr const char* kGuiEntryName = "cadhostRunGuiSession";
using BringUpFn = void (*)(void* context, Host& host);
using GuiEntryFn = int (*)(int* argc, char** argv, BringUpFn bringUp, void* context);

}  // namespace gui
}  // namespace cadhost
