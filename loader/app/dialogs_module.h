#pragma once
// The module loader's command as the ARX runs it. In a host without a GUI it prints the one
// line that says so and loads nothing. Otherwise it opens the dialogs module beside the ARX
// (found through the ARX's own file, never the working directory) on its first run and calls
// its entry; a module that cannot be opened, or lacks the entry, is reported in a message box
// saying the dialogs cannot be loaded, with the reason in the diagnostic log, and nothing
// opens. A failed open is tried again on the next run.
//
// Owned by the ARX's entry-point file for the life of the ARX. The module, once open, stays
// mapped for the life of the process: Qt keeps references into a library that has shown
// widgets.
#include "ui/logic/dialogs_entry.h"

namespace qm {

class LoaderContext;

class DialogsModule {
public:
    void runCommand(LoaderContext& context);

private:
    ui::DialogsEntryFn entry_ = nullptr;
};

}  // namespace qm
