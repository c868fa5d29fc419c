#include "ui/widgets/checking_modules_dlg.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>

#include "ui/widgets/anchor_layout.h"
#include "ui/widgets/button_st.h"
#include "ui/widgets/dialog_controls.h"
#include "ui/widgets/my_check_list_box.h"

namespace qm::ui {

CCheckingModulesDlg::CCheckingModulesDlg(QWidget* parent, LoaderContext& context,
                                         std::optional<std::string> versionText)
    : QDialog(parent) {
    const DialogTemplate* t = DialogTemplate::load(kDialogOptions);
    if (t == nullptr) {
        return;
    }
    // A fixed frame with a caption and no system menu, kept above other windows.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowStaysOnTopHint);
    controls_ = std::make_unique<DialogControls>(*t, *this);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    list_ = qobject_cast<MyCheckListBox*>(controls_->control(kIdModuleList));
    pleaseWait_ = controls_->label(kIdPleaseWait);
    version_ = controls_->label(kIdVersion);
    for (int id : {kIdOk, kIdCancel, kIdHelp, kIdRefresh}) {
        if (CButtonST* b = button(id)) {
            b->setFlatLook(false);
        }
    }
    presenter_ = std::make_unique<OptionsDialogPresenter>(
        context, static_cast<OptionsDialogView&>(*this), std::move(versionText));
    OptionsDialogPresenter* p = presenter_.get();
    connect(button(kIdOk), &QPushButton::clicked, this, &CCheckingModulesDlg::accept);
    connect(button(kIdCancel), &QPushButton::clicked, this, &CCheckingModulesDlg::reject);
    connect(button(kIdHelp), &QPushButton::clicked, this, [p] { p->onHelp(); });
    connect(button(kIdRefresh), &QPushButton::clicked, this, [p] { p->onRefresh(); });
}

CCheckingModulesDlg::~CCheckingModulesDlg() {
    presenter_.reset();
    waitCursor_.set(false);
}

CButtonST* CCheckingModulesDlg::button(int id) const {
    return controls_ ? controls_->button(id) : nullptr;
}

void CCheckingModulesDlg::setControlText(int id, const std::string& text) {
    if (QLabel* label = controls_->label(id)) {
        label->setText(QString::fromStdString(text));
    }
}

QString CCheckingModulesDlg::versionText() const {
    return version_ != nullptr ? version_->text() : QString();
}

void CCheckingModulesDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (presenter_ != nullptr && list_ != nullptr) {
        presenter_->start();
    }
}

void CCheckingModulesDlg::enableControl(int id, bool enabled) {
    if (QWidget* control = controls_->control(id)) {
        control->setEnabled(enabled);
    }
}

void CCheckingModulesDlg::showControl(int id, bool shown) {
    if (QWidget* control = controls_->control(id)) {
        control->setVisible(shown);
        if (shown) {
            control->repaint();
        }
    }
}

void CCheckingModulesDlg::setWaitCursor(bool on) {
    waitCursor_.set(on);
}

std::vector<OptionsCheck> CCheckingModulesDlg::listChecks() const {
    std::vector<OptionsCheck> checks;
    checks.reserve(static_cast<std::size_t>(list_->count()));
    for (int i = 0; i < list_->count(); ++i) {
        checks.push_back({list_->itemKey(i), list_->check(i)});
    }
    return checks;
}

void CCheckingModulesDlg::clearList() {
    list_->resetContent();
}

void CCheckingModulesDlg::showItems(const std::vector<OptionsItem>& items) {
    // The items come sorted: added in their order, not sorted in one by one (enabling sorting
    // again does not sort the items already there).
    list_->setUpdatesEnabled(false);
    list_->setSortingEnabled(false);
    for (const OptionsItem& item : items) {
        const int index = list_->addString(QString::fromStdString(item.name));
        list_->setItemKey(index, item.key);
        list_->setCheck(index, item.checked);
        list_->enableItem(index, item.enabled);
    }
    list_->setSortingEnabled(true);
    list_->setUpdatesEnabled(true);
}

void CCheckingModulesDlg::showListError(const std::string& text) {
    list_->addItem(QString::fromStdString(text));
}

void CCheckingModulesDlg::closeDialog(bool ok) {
    if (ok) {
        QDialog::accept();
    } else {
        QDialog::reject();
    }
}

void CCheckingModulesDlg::postToUiThread(std::function<void()> task) {
    // Queued to this dialog's thread; dropped if the dialog is gone by then.
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

void CCheckingModulesDlg::accept() {
    if (presenter_ == nullptr || list_ == nullptr) {
        QDialog::accept();
        return;
    }
    presenter_->onOk();
}

void CCheckingModulesDlg::reject() {
    if (presenter_ == nullptr) {
        QDialog::reject();
        return;
    }
    presenter_->onCancel();
}

void CCheckingModulesDlg::closeEvent(QCloseEvent* event) {
    if (presenter_ != nullptr && !presenter_->canClose()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

}  // namespace qm::ui
