#include "ui/widgets/checking_modules_dlg.h"

#include <qmenv/environment.h>

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>

#include "environment/names.h"
#include "runtime/loader_context.h"
#include "ui/logic/resource_strings.h"
#include "ui/widgets/anchor_layout.h"
#include "ui/widgets/button_st.h"
#include "ui/widgets/dialog_controls.h"
#include "ui/widgets/my_check_list_box.h"
#include "ui/widgets/options_fill_worker.h"

namespace qm::ui {

CCheckingModulesDlg::CCheckingModulesDlg(QWidget* parent, LoaderContext& context)
    : QDialog(parent), context_(context) {
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
    connect(button(kIdOk), &QPushButton::clicked, this, &CCheckingModulesDlg::accept);
    connect(button(kIdCancel), &QPushButton::clicked, this, &CCheckingModulesDlg::reject);
    connect(button(kIdHelp), &QPushButton::clicked, this,
            [] { QmEnHelp(names::kHelpTopic, names::kHelpName); });
    connect(button(kIdRefresh), &QPushButton::clicked, this, &CCheckingModulesDlg::startFill);

    worker_ = new OptionsFillWorker(context_, this);
    connect(worker_, &OptionsFillWorker::finished, this, &CCheckingModulesDlg::onFillFinished);
}

CCheckingModulesDlg::~CCheckingModulesDlg() {
    if (worker_ != nullptr) {
        worker_->waitForThread();
    }
    if (waitCursor_) {
        QGuiApplication::restoreOverrideCursor();
    }
}

CButtonST* CCheckingModulesDlg::button(int id) const {
    return controls_ ? controls_->button(id) : nullptr;
}

void CCheckingModulesDlg::setVersionText(const QString& text) {
    if (version_ != nullptr) {
        version_->setText(text);
    }
}

QString CCheckingModulesDlg::versionText() const {
    return version_ != nullptr ? version_->text() : QString();
}

bool CCheckingModulesDlg::filling() const {
    return worker_ != nullptr && worker_->running();
}

void CCheckingModulesDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!started_ && list_ != nullptr) {
        started_ = true;
        startFill();
    }
}

std::vector<OptionsCheck> CCheckingModulesDlg::currentChecks() const {
    std::vector<OptionsCheck> checks;
    checks.reserve(static_cast<std::size_t>(list_->count()));
    for (int i = 0; i < list_->count(); ++i) {
        checks.push_back({list_->itemKey(i), list_->check(i)});
    }
    return checks;
}

void CCheckingModulesDlg::setBusy(bool busy) {
    pleaseWait_->setVisible(busy);
    for (int id : {kIdRefresh, kIdOk, kIdCancel}) {
        button(id)->setEnabled(!busy);
    }
    if (busy != waitCursor_) {
        waitCursor_ = busy;
        if (busy) {
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        } else {
            QGuiApplication::restoreOverrideCursor();
        }
    }
}

void CCheckingModulesDlg::startFill() {
    if (list_ == nullptr || filling()) {
        return;
    }
    setBusy(true);
    pleaseWait_->repaint();
    // The checks go to the worker; the list empties now and shows the worker's result later.
    std::vector<OptionsCheck> checks = currentChecks();
    list_->resetContent();
    worker_->start(std::move(checks));
}

void CCheckingModulesDlg::onFillFinished(const std::vector<OptionsItem>& items, bool failed) {
    list_->resetContent();
    if (failed) {
        list_->addItem(QString::fromStdString(ResourceString(StringId::OptionsInternalError)));
    } else {
        // Sorted once at the end rather than on every insertion (enabling sorting again does
        // not sort the items already there).
        list_->setUpdatesEnabled(false);
        list_->setSortingEnabled(false);
        for (const OptionsItem& item : items) {
            const int index = list_->addString(QString::fromStdString(item.name));
            list_->setItemKey(index, item.key);
            list_->setCheck(index, item.checked);
            list_->enableItem(index, item.enabled);
        }
        list_->sortItems(Qt::AscendingOrder);
        list_->setSortingEnabled(true);
        list_->setUpdatesEnabled(true);
    }
    setBusy(false);
    emit fillFinished();
}

void CCheckingModulesDlg::accept() {
    if (filling()) {
        return;
    }
    if (list_ != nullptr) {
        const std::vector<OptionsCheck> checks = currentChecks();
        list_->resetContent();
        StoreOptionChecks(context_.modules(), checks, &context_.log(), &context_.feedback());
    }
    QDialog::accept();
}

void CCheckingModulesDlg::reject() {
    if (filling()) {
        return;
    }
    QDialog::reject();
}

void CCheckingModulesDlg::closeEvent(QCloseEvent* event) {
    if (filling()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

}  // namespace qm::ui
