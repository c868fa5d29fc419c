#pragma once
// QmModuleLoaderDlg: the module loader's main dialog. It lists the activated modules in the
// module grid, marks Load and Unload on the selected rows, sets their start-up option, carries
// the marks out on Apply or OK, discards them on Cancel, and opens the Options dialog. The
// decisions live in ModuleLoaderController; this class wires the widgets to it and keeps the
// dialog's placement and column widths.
#include <QString>
#include <memory>

#include "ui/logic/startup_option.h"
#include "ui/widgets/persistent_dialog.h"

namespace qm {
class LoaderContext;
}

namespace qm::ui {

class AcceleratorTable;
class CButtonST;
class DialogControls;
class ModuleGridModel;
class ModuleLoaderController;
class QmModulesGrid;

class QmModuleLoaderDlg : public PersistentDialog {
    Q_OBJECT

public:
    // accelerators: the table the grid offers its keys to (null: none).
    QmModuleLoaderDlg(QWidget* parent, LoaderContext& context,
                      const AcceleratorTable* accelerators = nullptr);
    ~QmModuleLoaderDlg() override;

    // The dialog's initialisation; runs once, before the dialog first shows.
    void initDialog();

    QmModulesGrid& grid() const { return *grid_; }
    ModuleGridModel& model() const { return *model_; }
    ModuleLoaderController& controller() const { return *controller_; }
    CButtonST* button(int id) const;
    QString versionCaption() const { return versionCaption_; }
    QString noModulesMessage() const { return noModulesMessage_; }
    QString productNameText() const;
    QString productsText() const;

    void onLoad();
    void onUnload();
    void onStartupOption(StartupOption option);
    void onApply();
    void onOptions();
    void onHelp();
    // A command of the grid's context menu or accelerator table.
    void onGridCommand(int command);
    void onToggle();

    void accept() override;  // OK: Apply, store the placement, close
    void reject() override;  // Cancel, Escape, the close box

signals:
    // The Options dialog is about to run modally (for observers such as tests).
    void optionsDialogOpening(QDialog* dialog);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool helpRequested() override;

private:
    void setActionButtonsEnabled(bool enabled);
    void setAnchors();
    void storeColumnWidths();
    void showMessage(const QString& text);

    LoaderContext& context_;
    std::unique_ptr<DialogControls> controls_;
    QmModulesGrid* grid_ = nullptr;
    ModuleGridModel* model_ = nullptr;
    ModuleLoaderController* controller_ = nullptr;
    QString versionCaption_;
    QString productName_;
    QString products_;
    QString noModulesMessage_;
    bool initialised_ = false;
};

}  // namespace qm::ui
