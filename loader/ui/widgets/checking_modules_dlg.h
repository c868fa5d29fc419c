#pragma once
// CCheckingModulesDlg: the Options dialog, in which the user switches modules on and off. Its
// list is filled by a worker (OptionsFillWorker) when the dialog first shows and on Refresh;
// meanwhile "Please wait..." shows, OK, Cancel and Refresh are disabled, and neither Escape
// nor closing the window ends the dialog. OK stores the checks; Cancel stores nothing beyond
// what the fills stored.
#include <QDialog>
#include <memory>
#include <vector>

#include "ui/logic/options_fill.h"

class QLabel;

namespace qm {
class LoaderContext;
}

namespace qm::ui {

class CButtonST;
class DialogControls;
class MyCheckListBox;
class OptionsFillWorker;

class CCheckingModulesDlg : public QDialog {
    Q_OBJECT

public:
    // parent may be null (a dialog of its own, over every window).
    CCheckingModulesDlg(QWidget* parent, LoaderContext& context);
    ~CCheckingModulesDlg() override;

    // The text of the version line (the template's "Version" until set).
    void setVersionText(const QString& text);
    QString versionText() const;

    bool filling() const;
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
    void startFill();
    void onFillFinished(const std::vector<OptionsItem>& items, bool failed);
    std::vector<OptionsCheck> currentChecks() const;
    void setBusy(bool busy);

    LoaderContext& context_;
    std::unique_ptr<DialogControls> controls_;
    MyCheckListBox* list_ = nullptr;
    QLabel* pleaseWait_ = nullptr;
    QLabel* version_ = nullptr;
    OptionsFillWorker* worker_ = nullptr;
    bool started_ = false;
    bool waitCursor_ = false;
};

}  // namespace qm::ui
