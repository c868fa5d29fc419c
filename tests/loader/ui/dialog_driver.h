#pragma once
// The dialogs as a user works them, without saying which view shows them: a small driver
// interface that each view implements (Win32 with window messages, Qt with its widgets), and
// one table of cases that runs on every driver. A case builds an installation, opens the
// module loader's command, acts through the driver and checks what the user sees and what the
// registry holds afterwards.
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "test_installation.h"

namespace uitest {

// Modifier bits for DialogDriver::key.
enum KeyModifiers : unsigned { kNoModifiers = 0, kCtrl = 1, kShift = 2, kAlt = 4 };

// Windows virtual-key codes the cases send (letters are their upper-case ASCII codes).
inline constexpr int kVkTab = 0x09;
inline constexpr int kVkReturn = 0x0D;
inline constexpr int kVkSpace = 0x20;
inline constexpr int kVkEnd = 0x23;
inline constexpr int kVkHome = 0x24;
inline constexpr int kVkUp = 0x26;
inline constexpr int kVkDown = 0x28;

struct ScreenBox {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    bool operator==(const ScreenBox&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const ScreenBox& b) {
    return out << b.width << "x" << b.height << "+" << b.left << "+" << b.top;
}

struct ShownMessage {
    std::string text;
    std::string caption;
    unsigned style = 0;
};

class DialogDriver {
public:
    virtual ~DialogDriver() = default;

    // Runs the module loader's command (the first-run welcome and Options included) and waits
    // until a dialog of it is ready.
    virtual void open() = 0;
    // Whether any dialog of the command is still open.
    virtual bool isOpen() = 0;
    // Waits until the command has returned; false when it did not within the time-out.
    virtual bool waitClosed() = 0;

    // Presses a button of the front dialog (the Options dialog while it is open) and waits
    // until the press has been handled (a dialog it opens is then ready).
    virtual void press(int controlId) = 0;
    virtual bool enabled(int controlId) = 0;
    virtual bool visible(int controlId) = 0;
    // The control id that has the keyboard focus; 0 for none of the front dialog's.
    virtual int focused() = 0;
    virtual std::string tooltip(int controlId) = 0;
    virtual std::string text(int controlId) = 0;

    // The module grid: keys as the user types them, a click on a column's header.
    virtual void key(int virtualKey, unsigned modifiers = kNoModifiers) = 0;
    virtual void clickHeader(int gridColumn) = 0;
    virtual std::vector<std::string> names() = 0;
    virtual std::string event(int row) = 0;
    virtual int startupImage(int row) = 0;  // the bitmap number; 0 for none
    virtual bool bold(int row) = 0;
    virtual std::vector<int> selection() = 0;

    // The Options dialog.
    virtual bool optionsOpen() = 0;
    virtual std::vector<std::string> optionNames() = 0;
    virtual std::optional<bool> check(const std::string& name) = 0;
    virtual bool checkEnabled(const std::string& name) = 0;
    virtual void setCheck(const std::string& name, bool checked) = 0;
    // A key as the user types it into the Options dialog's list.
    virtual void optionsKey(int virtualKey, unsigned modifiers = kNoModifiers) = 0;

    // Message boxes shown so far (each answered with OK).
    virtual std::vector<ShownMessage> messages() = 0;

    // Where things are on the screen, in the screen's pixels.
    // The front dialog's control; nullopt when it has none of that id.
    virtual std::optional<ScreenBox> controlBox(int controlId) = 0;
    // What the user sees of the front dialog's controls: its client area without its scroll
    // bars, within the work area of the screen it is on.
    virtual ScreenBox visibleBox() = 0;
    // Drags the front dialog's own scroll bars by dx and dy pixels, as far as they go; nothing
    // in a direction without a bar.
    virtual void scroll(int dx, int dy) = 0;

    // Once the command has returned (waitClosed), runs it again, as the user types it again,
    // and waits until a dialog of it is ready.
    virtual void reopen() = 0;
    // A key typed into the front dialog's focused control (Enter, Escape, ...).
    virtual void keyToFront(int virtualKey) = 0;
    // A right click on the grid's row, then the context menu's item of command (kCmdLoad, ...)
    // chosen as the user chooses it; false when the menu has no enabled item of that command
    // (the menu is closed then).
    virtual bool chooseFromMenu(int row, int command) = 0;
    // The loader dialog's placement as the view keeps it (frame on Windows, client area in
    // Qt), and a move or resize by the user.
    virtual ScreenBox dialogBox() = 0;
    virtual void placeDialog(const ScreenBox& box) = 0;
    // A shown grid column's width, and the user's drag of its right edge to `width`.
    virtual int columnWidth(int gridColumn) = 0;
    virtual void dragColumn(int gridColumn, int width) = 0;

    // Whether the module loader dialog is shown (before the first-run welcome's Options dialog
    // has closed it is not yet).
    virtual bool loaderOpen() = 0;
};

struct DialogCase {
    std::string name;
    std::vector<qmtest::TestModule> modules;
    // Module settings stored before the start-up: {module key, value name, text}.
    std::vector<std::vector<std::string>> stored;
    bool firstRun = false;  // false: the user has been welcomed before
    // Acts and checks while the dialogs are open; the dialogs are closed afterwards (Cancel)
    // should the case leave them open.
    std::function<void(DialogDriver&)> run;
    // Runs after the settings are stored and before the start-up (the machine's settings).
    std::function<void()> beforeStartup = {};
};

// A failing case prints as its name.
inline void PrintTo(const DialogCase& c, std::ostream* out) {
    *out << c.name;
}

// The shared table.
const std::vector<DialogCase>& DialogCases();

// What the user sees of the open dialogs, as canonical text: the grid's rows (name, start-up
// image, Event, bold, selected), the front dialog's buttons (enabled, shown) and texts, the
// focus (withFocus), the Options dialog's items and checks, and the message boxes shown since
// `shownBefore` (which it advances). Two views that agree print the same text.
// The scripts give the focus after keys only: the drivers press a button differently (Qt's
// clicks it, which focuses it; Win32's sends the dialog the button's command).
std::string ViewState(DialogDriver& d, std::size_t& shownBefore, bool withFocus);

// Fixed scripts of key presses, clicks and checks: each case prints ViewState() after every
// step as lines starting with "VIEW ", and asserts nothing of its own. scripts/compare_hosts.sh
// runs them on both views and compares the text. The list is empty unless QM_VIEW_DUMP is set,
// so that the test programs' ordinary runs leave them out.
std::vector<DialogCase> ViewScripts();

}  // namespace uitest
