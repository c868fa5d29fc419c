#include "ui/logic/loader_command.h"

#include <qmenv/environment.h>

#include "catalogue/module_settings.h"
#include "environment/names.h"
#include "runtime/loader_context.h"
#include "ui/logic/accelerator_table.h"
#include "ui/logic/first_run.h"
#include "ui/logic/resource_ids.h"
#include "ui/logic/resource_strings.h"

namespace qm::ui {
namespace {

// The welcome when the string table has none.
constexpr const char* kWelcomeFallback =
    "Please configure modules used in your Quillmont installation";

}  // namespace

void RunLoaderCommand(LoaderContext& context, LoaderCommandView& view) {
    QmEnResourceLoader resources(names::kResourceModule);
    resources.Activate(nullptr);
    const AcceleratorTable* accelerators = AcceleratorTable::load(kAcceleratorTable);
    if (!view.hasGui()) {
        view.printLine(ResourceString(StringId::NeedsGuiHost));
        return;
    }
    view.openDialogs(accelerators, [&] {
        if (TestAndMarkFirstRun()) {
            view.showWelcome(LoadResourceString(StringId::Welcome).value_or(kWelcomeFallback));
            view.runOptionsDialog();
        }
        WriteBaseModuleSettings(nullptr, &context.feedback());
        view.runLoaderDialog();
    });
}

}  // namespace qm::ui
