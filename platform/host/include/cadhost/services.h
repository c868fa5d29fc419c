#pragma once
// Host services that applications use for user interaction: message boxes and the wait
// cursor. In the console host a message box prints "[CAPTION] TEXT" and answers with its
// default button; in the GUI host it is a real dialog owned by the given window.
#include <string>
#include <string_view>

class AcFrameWindow;

namespace cadhost {

inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_OKCANCEL = 0x1;
inline constexpr unsigned MB_YESNOCANCEL = 0x3;
inline constexpr unsigned MB_YESNO = 0x4;
inline constexpr unsigned MB_ICONERROR = 0x10;
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONWARNING = 0x30;
inline constexpr unsigned MB_ICONINFORMATION = 0x40;
inline constexpr unsigned MB_DEFBUTTON2 = 0x100;
inline constexpr unsigned MB_DEFBUTTON3 = 0x200;
inline constexpr unsigned MB_TYPEMASK = 0xF;
inline constexpr unsigned MB_DEFMASK = 0xF00;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// Shows a message box; returns the button chosen (IDOK, ...), or 0 when no host runs. owner
// may be null.
int messageBox(AcFrameWindow* owner, std::string_view text, std::string_view caption,
               unsigned style);

// True when the running host shows its user interface in windows (the GUI host), so that an
// application may open its own dialogs; false in the console host and when no host runs.
// Applications ask this rather than looking at the environment: a console host with a
// display at hand still has nobody looking at a dialog.
bool hasGui();

// Wait cursor; calls nest.
void beginWaitCursor();
void endWaitCursor();

// The way a host front end (console or GUI) provides these services.
class UiServices {
public:
    virtual ~UiServices() = default;
    virtual int messageBox(AcFrameWindow* owner, const std::string& text,
                           const std::string& caption, unsigned style) = 0;
    virtual void setWaitCursor(bool on) = 0;
    // Whether these services belong to a graphical front end; see hasGui().
    virtual bool hasGui() const { return false; }
};

}  // namespace cadhost
