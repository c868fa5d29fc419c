#pragma once
// The handler of the module loader's command on Qt widgets: the flow of ui/logic/loader_command.h
// (resources, the first-run welcome and Options dialog, the base module's settings, the module
// loader dialog) over this view's dialogs.
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
