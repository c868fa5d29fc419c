#pragma once
// The module loader's command, apart from any toolkit. With the module loader's resources
// current: a host that cannot show dialogs gets one line saying that they need the GUI host;
// otherwise a first-time user is welcomed (an information message, then the Options dialog
// with the template's version text), the base module's settings are forced, and the module
// loader dialog runs modally. A view (Qt widgets on Linux, native Win32 on Windows) supplies
// what differs between the platforms.
#include <functional>
#include <string>

namespace qm {
class LoaderContext;
}

namespace qm::ui {

class AcceleratorTable;

class LoaderCommandView {
public:
    virtual ~LoaderCommandView() = default;

    // Whether anybody can see a dialog: the host's GUI, and the windowing the view needs.
    virtual bool hasGui() const = 0;
    // A line in the host's command window.
    virtual void printLine(const std::string& text) = 0;
    // Sets up what the dialogs need while they run, makes the module loader dialog (its grid
    // offered the accelerators; null: none) and calls run() once, within that set-up.
    virtual void openDialogs(const AcceleratorTable* accelerators,
                             const std::function<void()>& run) = 0;
    // A message box with OK and the information icon, captioned "Quillmont", owned by the
    // host's main window; returns when the user has closed it.
    virtual void showWelcome(const std::string& text) = 0;
    // The Options dialog, modal to the host's main window, its version line left at the
    // template's text.
    virtual void runOptionsDialog() = 0;
    // The module loader dialog that openDialogs() made, modal to the host's main window.
    virtual void runLoaderDialog() = 0;
};

void RunLoaderCommand(LoaderContext& context, LoaderCommandView& view);

}  // namespace qm::ui
