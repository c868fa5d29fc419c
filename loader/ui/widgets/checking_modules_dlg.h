#pragma once
// CCheckingModulesDlg: the Options dialog on Qt widgets, in which the user switches modules on
// and off; a view of OptionsDialogPresenter (ui/logic/options_dialog_presenter.h), which fills
// the list on a worker thread and decides the busy states, OK and Cancel. While the list
// fills, neither Escape nor closing the window ends the dialog.
#include <QDialog>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/logic/options_dialog_presenter.h"
#include "ui/widgets/dialog_controls.h"

class QLabel;

namespace qm {
class LoaderContext;
}

namespace qm::ui {

class CButtonST;
class DialogControls;
class MyCheckListBox;

class CCheckingModulesDlg : public QDialog, private OptionsDialogView {
    Q_OBJECT

public:
    // parent may be null (a dialog of its own, over every window). versionText: the version
    // line; none leaves the template's "Version" (OptionsDialogPresenter).
    CCheckingModulesDlg(QWidget* parent, LoaderContext& context,
                        std::optional<std::string> versionText = std::nullopt);
    ~CCheckingModulesDlg() override;

    // The text of the version line.
    QString versionText() const;

    bool filling() const { return presenter_ != nullptr && presenter_->filling(); }
    MyCheckListBox& list() const { return *list_; }
    CButtonST* button(int id) const;
    QLabel* pleaseWait() const { return pleaseWait_; }

    void accept() override;  // OK
    void reject() override;  // Cancel, Escape; ignored while filling

signals:
    // A fill has put its items into the list (or its error text).
    void fillFinished();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // OptionsDialogView
    void enableControl(int id, bool enabled) override;
    void showControl(int id, bool shown) override;
    void setControlText(int id, const std::string& text) override;
    void setWaitCursor(bool on) override;
    std::vector<OptionsCheck> listChecks() const override;
    void clearList() override;
    void showItems(const std::vector<OptionsItem>& items) override;
    void showListError(const std::string& text) override;
    void closeDialog(bool ok) override;
    void postToUiThread(std::function<void()> task) override;
    void listFilled() override { emit fillFinished(); }

    std::unique_ptr<DialogControls> controls_;
    MyCheckListBox* list_ = nullptr;
    QLabel* pleaseWait_ = nullptr;
    QLabel* version_ = nullptr;
    OverrideWaitCursor waitCursor_;
    // Last: destroyed first, so that a running fill ends while the controls still exist.
    std::unique_ptr<OptionsDialogPresenter> presenter_;
};

}  // namespace qm::ui
