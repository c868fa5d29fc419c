#include "ui/widgets/module_loader_command.h"

#include <cadhost/arx.h>
#include <cadhost/services.h>
#include <qmenv/environment.h>

#include <QApplication>

#include "catalogue/module_settings.h"
#include "environment/names.h"
#include "runtime/loader_context.h"
#include "ui/logic/accelerator_table.h"
#include "ui/logic/first_run.h"
#include "ui/logic/resource_strings.h"
#include "ui/widgets/checking_modules_dlg.h"
#include "ui/widgets/frame_window.h"
#include "ui/widgets/module_loader_dlg.h"

namespace qm::ui {
namespace {

constexpr const char* kWelcomeFallback =
    "Please configure modules used in your Quillmont installation";

void runDialogs(LoaderContext& context, const AcceleratorTable* accelerators) {
    AcFrameWindow* frame = acedGetAcadFrame();
    QWidget* parent = widgetOfFrame(frame);
    QmModuleLoaderDlg dialog(parent, context, accelerators);

    if (TestAndMarkFirstRun()) {
        const std::string text = LoadResourceString(StringId::Welcome).value_or(kWelcomeFallback);
        cadhost::messageBox(frame, text, names::kMessageCaption,
                            cadhost::MB_OK | cadhost::MB_ICONINFORMATION);
        CCheckingModulesDlg options(parent, context);
        options.exec();
    }

    WriteBaseModuleSettings(nullptr, &context.feedback());
    dialog.exec();
}

}  // namespace

void RunModuleLoaderCommand(LoaderContext& context) {
    QmEnResourceLoader resources(names::kResourceModule);
    resources.Activate(nullptr);
    const AcceleratorTable* accelerators = AcceleratorTable::load(kAcceleratorTable);

    // Whether anybody can see a dialog is the host's to say; a widget application of the
    // host's own must be there as well.
    if (!cadhost::hasGui() ||
        qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        acutPrintf("%s\n", ResourceString(StringId::NeedsGuiHost).c_str());
        return;
    }
    runDialogs(context, accelerators);
}

}  // namespace qm::ui
