#pragma once
// The graphical front end of the CAD host: a main window with the host's menu and the menus of
// the loaded partial menu groups, one tab per open drawing, and a command line under an output
// pane. Message boxes become real dialogs owned by the main window (or the given owner), and
// the wait cursor shows over the whole application.
#include <functional>

namespace cadhost {

class Host;

namespace gui {

// Creates the application and the main window, then the host with the window's output,
// services and frame, and calls bringUp(host) (load applications, open the first drawing)
// before the window shows. Runs until the window closes or QUIT; then the host quits.
// Returns the process's exit code.
int runGuiSession(int& argc, char** argv, const std::function<void(Host&)>& bringUp);

}  // namespace gui
}  // namespace cadhost
