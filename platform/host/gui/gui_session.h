#pragma once
// One run of the graphical front end inside a running QApplication: the main window shows,
// fitted to its screen's work area, then the host is created with the window's output,
// services and frame, and bringUp(host) runs (load applications, open the first drawing).
// The window is on the screen first, so that a message of the start-up is owned by a window
// the user sees. Destroying the session quits the host and lets go of it.
#include <QPointer>
#include <functional>
#include <memory>

#include "main_window.h"
#include "output_stream.h"

namespace cadhost {
class Host;
}

namespace cadhost::gui {

class GuiUiServices;

class GuiSession {
public:
    explicit GuiSession(const std::function<void(Host&)>& bringUp);
    ~GuiSession();
    GuiSession(const GuiSession&) = delete;
    GuiSession& operator=(const GuiSession&) = delete;

    MainWindow& window() { return window_; }
    Host& host() { return *host_; }

private:
    MainWindow window_;
    OutputStream output_;
    std::unique_ptr<Host> host_;
    std::shared_ptr<GuiUiServices> services_;
};

}  // namespace cadhost::gui
