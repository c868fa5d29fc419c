#pragma once
// Whether this process's session can show windows. The host answers "has a GUI"
// (cadhost::hasGui()) for everything it runs; this is the one place that reads the
// environment for it, for the host program's choice of front end and for programs that do
// not link the host.

namespace qmsys {

// True when a graphical session can be seen: DISPLAY or WAYLAND_DISPLAY is set and
// QT_QPA_PLATFORM does not name a platform that shows nothing ("offscreen", "minimal"). On
// Windows: the process's window station is the visible one (not a service's). Whether a window
// can then be created is for the caller to find out: under Wine without an X display it
// cannot.
bool displayAvailable();

}  // namespace qmsys
