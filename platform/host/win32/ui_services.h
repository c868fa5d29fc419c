#pragma once
// The Windows host's user-interface services: message boxes as MessageBoxW boxes owned by the
// given window, or by the main window when none is given, and the wait cursor over the main
// window. Callable from any thread.
#include <string>

#include "win32_api.h"

namespace cadhost::win32 {

class MainWindow;

class Win32UiServices : public UiServices {
public:
    explicit Win32UiServices(MainWindow& window) : window_(window) {}

    int messageBox(AcFrameWindow* owner, const std::string& text, const std::string& caption,
                   unsigned style) override;
    void setWaitCursor(bool on) override;
    bool hasGui() const override { return true; }

private:
    MainWindow& window_;
};

// MessageBoxW, with a box that never outgrows the work area of its monitor: a box taller than
// the area (a long list of errors) is cut to the area's height, its text clipped at the bottom
// and its buttons kept at the bottom, as Windows itself shows such a box.
int fittedMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style);

}  // namespace cadhost::win32
