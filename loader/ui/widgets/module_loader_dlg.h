#pragma once
// QmModuleLoaderDlg: the module loader's main dialog on Qt widgets, a view of
// LoaderDialogPresenter (ui/logic/loader_dialog_presenter.h), which decides what the dialog
// does. This class builds the controls from the dialog template, lays them out and anchors
// them, passes the user's actions to the presenter and carries out its requests: button
// states, tooltips and images, message boxes, the wait cursor, the placement on screen, the
// grid's selection and column layout, and the Options dialog.
#include <QDialog>
#include <QString>
#include <memory>

#include "ui/logic/loader_dialog_presenter.h"
#include "ui/widgets/dialog_controls.h"

namespace qm {
class LoaderContext;
}

namespace qm::ui {

class AcceleratorTable;
class CButtonST;
class DialogControls;
class ModuleGridModel;
class QmModulesGrid;

class QmModuleLoaderDlg : public QDialog, private LoaderDialogView {
    Q_OBJECT

public:
    // accelerators: the table the grid offers its keys to (null: none).
    QmModuleLoaderDlg(QWidget* parent, LoaderContext& context,
                      const AcceleratorTable* accelerators = nullptr);
    ~QmModuleLoaderDlg() override;

    // The dialog's initialisation; runs once, before the dialog first shows.
    void initDialog();

    LoaderDialogPresenter& presenter() { return presenter_; }
    QmModulesGrid& grid() const { return *grid_; }
    const GridRows& rows() const { return presenter_.rows(); }
    CButtonST* button(int id) const;
    QString productNameText() const;
    QString productsText() const;
    bool waitCursor() const { return waitCursor_.on(); }

    void accept() override;  // OK: Apply, store the placement, close
    void reject() override;  // Cancel, Escape, the close box

signals:
    // The Options dialog is about to run modally (for observers such as tests).
    void optionsDialogOpening(QDialog* dialog);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // LoaderDialogView
    void enableControl(int id, bool enabled) override;
    void hideControl(int id) override;
    void setControlText(int id, const std::string& text) override;
    void setButtonImage(int id, int bitmap) override;
    void setButtonTooltip(int id, StringId text) override;
    void showError(const std::string& text) override;
    void setWaitCursor(bool on) override;
    std::vector<Screen> screens() const override;
    PixelSize templateSize() const override;
    void applyPlacement(const DialogFit& fit) override;
    DialogPlacement currentPlacement() const override;
    std::vector<int> selectedGridRows() const override;
    void selectGridRow(int row) override;
    void relayGridColumns() override;
    bool runOptionsDialog(const std::string& versionText) override;
    void closeDialog(bool ok) override;

    void setAnchors();

    LoaderContext& context_;
    LoaderDialogPresenter presenter_;
    std::unique_ptr<DialogControls> controls_;
    QmModulesGrid* grid_ = nullptr;
    ModuleGridModel* model_ = nullptr;
    bool initialised_ = false;
    OverrideWaitCursor waitCursor_;
};

}  // namespace qm::ui
