// The one export of the dialogs module (see ui/logic/dialogs_entry.h), native Win32 view.
#include <qmsys/module.h>

#include <type_traits>

#include "ui/logic/dialogs_entry.h"
#include "ui/win32/module_loader_command.h"

extern "C" QM_EXPORT void qmRunModuleLoaderDialogs(qm::LoaderContext& context) {
    static_assert(std::is_same_v<decltype(&qmRunModuleLoaderDialogs), qm::ui::DialogsEntryFn>);
    qm::ui::win32::RunModuleLoaderCommand(context);
}
