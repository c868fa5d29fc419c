#pragma once
// The part every dialog of the Win32 view shares: created modally from a logic template, its
// owner-drawn buttons and the tooltip control they share, WM_DRAWITEM handed to the button
// drawn, and an anchor layout that moves and stretches controls by a share of the change in
// the dialog's client size (the template's size is the smallest it can be made on a screen that
// holds it; below it the client area scrolls, with the window's own scroll bars).
#include "ui/win32/win32.h"

#include <map>
#include <memory>

#include "ui/logic/dialog_template.h"
#include "ui/win32/owner_button.h"

namespace qm::ui::win32 {

// Messages every dialog of the view answers, for a driver (a test or a tool) that works it
// with messages alone: whether the dialog has finished its initialisation, and whether a
// background fill is running.
inline constexpr UINT kDialogReady = WM_APP + 0x140;  // returns 1 once initialised
inline constexpr UINT kDialogBusy = WM_APP + 0x141;   // returns 1 while filling
// Posted after other messages: sets the window property kDialogPingProperty to wParam once
// everything posted before it has been handled (a modal loop it opened included).
inline constexpr UINT kDialogPing = WM_APP + 0x143;
inline constexpr const wchar_t* kDialogPingProperty = L"QmDialogPing";

// The dialogs module itself, which owns the dialogs' windows and resources.
HMODULE thisModule();

class DialogWindow {
public:
    DialogWindow(const DialogWindow&) = delete;
    DialogWindow& operator=(const DialogWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    OwnerButton* button(int id) const;

protected:
    explicit DialogWindow(int templateId) : templateId_(templateId) {}
    virtual ~DialogWindow();

    // Runs the dialog modally; the return value of EndDialog, or -1 when it cannot be made.
    INT_PTR runModal(HWND owner);

    virtual void onInit() = 0;
    virtual void onCommand(int id, int code, HWND control) = 0;
    // Unhandled messages: handled false lets the dialog manager's default act.
    virtual INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

    HWND control(int id) const { return GetDlgItem(hwnd_, id); }
    const DialogTemplate* dialogTemplate() const { return template_; }
    // The template's size in pixels for this dialog (its font and DPI).
    SIZE templatePixels() const;
    // Anchors: a control moves by movePct and grows by sizePct of the client-size change.
    void anchor(HWND control, int moveXPct, int moveYPct, int sizeXPct, int sizeYPct);
    // The smallest frame the user may make the dialog (the template's size by default): less
    // where the screen cannot hold the template, and the client area then scrolls.
    void setMinimumFrame(SIZE frame) { minimumFrame_ = frame; }
    HWND tooltips() const { return tooltips_; }
    // The wait cursor on or off; the cursor it replaced comes back.
    void showWaitCursor(bool on);
    bool waitCursorShown() const { return waitCursor_; }

private:
    static INT_PTR CALLBACK proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void applyAnchors();
    // A message of the dialog's own scroll bar (bar SB_HORZ or SB_VERT); thumb: the position
    // of SB_THUMBPOSITION.
    void onScroll(int bar, int code, int thumb);

    struct Anchor {
        RECT start;
        int moveX, moveY, sizeX, sizeY;
    };

    int templateId_;
    const DialogTemplate* template_ = nullptr;
    HWND hwnd_ = nullptr;
    HWND tooltips_ = nullptr;
    SIZE startClient_{};
    std::map<HWND, Anchor> anchors_;
    SIZE minimumFrame_{};  // 0: the template's
    POINT scroll_{};       // the client area's scroll offset
    bool laying_ = false;  // showing a scroll bar resizes the client area: one layout at a time
    std::map<int, std::unique_ptr<OwnerButton>> buttons_;
    bool ready_ = false;
    bool waitCursor_ = false;
    HCURSOR savedCursor_ = nullptr;
};

}  // namespace qm::ui::win32
