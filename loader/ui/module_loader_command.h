#pragma once
// The handler of the module loader's command: makes the module loader's resources current,
// welcomes a first-time user (message, then the Options dialog), forces the base module's
// settings and runs the module loader dialog modally.
//
// The dialogs need a Qt application with widgets. Without one, the handler makes its own for
// the duration of the command when a display is available (DISPLAY, WAYLAND_DISPLAY or
// QT_QPA_PLATFORM set), and otherwise prints one line saying that the dialog needs the GUI host.
namespace qm {
class LoaderContext;
}

namespace qm::ui {

void RunModuleLoaderCommand(LoaderContext& context);

}  // namespace qm::ui
