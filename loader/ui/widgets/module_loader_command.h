#pragma once
// The handler of the module loader's command: makes the module loader's resources current,
// welcomes a first-time user (message, then the Options dialog), forces the base module's
// settings and runs the module loader dialog modally.
//
// The dialogs need the GUI host (cadhost::hasGui()) and its widget application. In any other
// host the handler prints one line saying that the dialog needs the GUI host and opens
// nothing, whatever display the environment names.
namespace qm {
class LoaderContext;
}

namespace qm::ui {

void RunModuleLoaderCommand(LoaderContext& context);

}  // namespace qm::ui
