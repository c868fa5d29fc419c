#include "ui/widgets/module_loader_command.h"

#include <cadhost/arx.h>
#include <cadhost/services.h>

#include <QApplication>

#include "environment/names.h"
#include "ui/logic/loader_command.h"
#include "ui/widgets/checking_modules_dlg.h"
#include "ui/widgets/frame_window.h"
#include "ui/widgets/module_loader_dlg.h"

namespace qm::ui {
namespace {

// The command's dialogs on Qt widgets, owned by the host's main window.
class QtCommandView final : public LoaderCommandView {
public:
    explicit QtCommandView(LoaderContext& context) : context_(context) {}

    bool hasGui() const override {
        // Whether anybody can see a dialog is the host's to say; a widget application of the
        // host's own must be there as well.
        return cadhost::hasGui() &&
               qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
    }
    void printLine(const std::string& text) override { acutPrintf("%s\n", text.c_str()); }
    void openDialogs(const AcceleratorTable* accelerators,
                     const std::function<void()>& run) override {
        frame_ = acedGetAcadFrame();
        QmModuleLoaderDlg dialog(widgetOfFrame(frame_), context_, accelerators);
        dialog_ = &dialog;
        run();
        dialog_ = nullptr;
    }
    void showWelcome(const std::string& text) override {
        cadhost::messageBox(frame_, text, names::kMessageCaption,
                            cadhost::MB_OK | cadhost::MB_ICONINFORMATION);
    }
    void runOptionsDialog() override {
        CCheckingModulesDlg options(widgetOfFrame(frame_), context_);
        options.exec();
    }
    void runLoaderDialog() override { dialog_->exec(); }

private:
    LoaderContext& context_;
    AcFrameWindow* frame_ = nullptr;
    QmModuleLoaderDlg* dialog_ = nullptr;
};

}  // namespace

void RunModuleLoaderCommand(LoaderContext& context) {
    QtCommandView view(context);
    RunLoaderCommand(context, view);
}

}  // namespace qm::ui
