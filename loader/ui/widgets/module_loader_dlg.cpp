#include "ui/widgets/module_loader_dlg.h"

#include <cadhost/services.h>

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QScreen>

#include "environment/names.h"
#include "runtime/loader_context.h"
#include "ui/widgets/anchor_layout.h"
#include "ui/widgets/button_st.h"
#include "ui/widgets/checking_modules_dlg.h"
#include "ui/widgets/dialog_controls.h"
#include "ui/widgets/frame_window.h"
#include "ui/widgets/module_grid_model.h"
#include "ui/widgets/modules_grid.h"
#include "ui/widgets/resource_images.h"

namespace qm::ui {
namespace {

constexpr int kAllButtons[] = {kIdLoad,
                               kIdUnload,
                               kIdStartNoAction,
                               kIdStartLoadMenuOnly,
                               kIdStartLoadModule,
                               kIdOk,
                               kIdApply,
                               kIdCancelButton,
                               kIdHelp,
                               kIdOptions};
const QColor kWhite(255, 255, 255);

}  // namespace

QmModuleLoaderDlg::QmModuleLoaderDlg(QWidget* parent, LoaderContext& context,
                                     const AcceleratorTable* accelerators)
    : QDialog(parent), context_(context), presenter_(context, *this) {
    const DialogTemplate* t = DialogTemplate::load(kDialogModuleLoader);
    if (t == nullptr) {
        return;
    }
    controls_ = std::make_unique<DialogControls>(*t, *this, [this](const ControlTemplate& c) {
        return c.id == kIdGrid ? grid_ = new QmModulesGrid(this) : nullptr;
    });
    model_ = new ModuleGridModel(presenter_.rows(), this);
    grid_->setAccelerators(accelerators);
    grid_->setTabTargets(button(kIdLoad), button(kIdUnload));
    setSizeGripEnabled(true);

    LoaderDialogPresenter* p = &presenter_;
    connect(button(kIdLoad), &QPushButton::clicked, this, [p] { p->onLoad(); });
    connect(button(kIdUnload), &QPushButton::clicked, this, [p] { p->onUnload(); });
    for (int id : {kIdStartNoAction, kIdStartLoadMenuOnly, kIdStartLoadModule}) {
        const StartupOption option = *StartupOptionForButton(id);
        connect(button(id), &QPushButton::clicked, this,
                [p, option] { p->onStartupOptionButton(option); });
    }
    connect(button(kIdOk), &QPushButton::clicked, this, &QmModuleLoaderDlg::accept);
    connect(button(kIdApply), &QPushButton::clicked, this, [p] { p->onApply(); });
    connect(button(kIdCancelButton), &QPushButton::clicked, this, &QmModuleLoaderDlg::reject);
    connect(button(kIdHelp), &QPushButton::clicked, this, [p] { p->onHelp(); });
    connect(button(kIdOptions), &QPushButton::clicked, this, [p] { p->onOptions(); });
    connect(grid_, &QmModulesGrid::commandRequested, this,
            [p](int command) { p->onGridCommand(command); });
    connect(grid_, &QmModulesGrid::toggleRequested, this, [p] { p->onToggle(); });
}

QmModuleLoaderDlg::~QmModuleLoaderDlg() {
    // The model listens to the presenter's rows and the grid shows the model: both go before
    // the presenter does.
    delete grid_;
    delete model_;
    setWaitCursor(false);
}

CButtonST* QmModuleLoaderDlg::button(int id) const {
    return controls_ ? controls_->button(id) : nullptr;
}

QString QmModuleLoaderDlg::productNameText() const {
    return controls_->label(kIdProductName)->text();
}

QString QmModuleLoaderDlg::productsText() const {
    return controls_->label(kIdProducts)->text();
}

void QmModuleLoaderDlg::setAnchors() {
    AnchorLayout& layout = controls_->layout();
    layout.stretchControlXY(grid_, 100, 100);
    for (int id :
         {kIdLoad, kIdUnload, kIdStartNoAction, kIdStartLoadMenuOnly, kIdStartLoadModule}) {
        layout.moveControlXY(button(id), 100, 0);
    }
    for (int id : {kIdOk, kIdApply, kIdCancelButton, kIdHelp}) {
        layout.moveControlXY(button(id), 100, 100);
    }
    layout.moveControlXY(button(kIdOptions), 0, 100);
    for (int id : {kIdProductName, kIdProducts}) {
        layout.moveControlXY(controls_->control(id), 0, 100);
        layout.stretchControlXY(controls_->control(id), 100, 0);
    }
}

void QmModuleLoaderDlg::initDialog() {
    if (initialised_ || !controls_) {
        return;
    }
    initialised_ = true;

    QIcon icon;
    icon.addPixmap(LoadResourceIcon(kIconLarge).pixmap(32, 32));
    icon.addPixmap(LoadResourceIcon(kIconSmall).pixmap(16, 16));
    setWindowIcon(icon);
    for (int id : kAllButtons) {
        button(id)->setFlatLook(false);
    }
    setAnchors();
    grid_->setAutostartOverride(!presenter_.offersLoadModule());
    grid_->initialise(model_, &presenter_.fractions());

    presenter_.initialise();
    grid_->setFocus(Qt::OtherFocusReason);
}

void QmModuleLoaderDlg::showEvent(QShowEvent* event) {
    initDialog();
    QDialog::showEvent(event);
}

void QmModuleLoaderDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (grid_ != nullptr) {
        grid_->relayColumns();
    }
    update();
}

void QmModuleLoaderDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        presenter_.onHelp();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void QmModuleLoaderDlg::accept() {
    presenter_.onOk();
}

void QmModuleLoaderDlg::reject() {
    if (!controls_) {
        QDialog::reject();
        return;
    }
    presenter_.onCancel();
}

void QmModuleLoaderDlg::closeDialog(bool ok) {
    if (ok) {
        QDialog::accept();
    } else {
        QDialog::reject();
    }
}

void QmModuleLoaderDlg::enableControl(int id, bool enabled) {
    if (QWidget* control = controls_->control(id)) {
        control->setEnabled(enabled);
    }
}

void QmModuleLoaderDlg::hideControl(int id) {
    if (QWidget* control = controls_->control(id)) {
        control->hide();
    }
}

void QmModuleLoaderDlg::setControlText(int id, const std::string& text) {
    if (QLabel* label = controls_->label(id)) {
        label->setText(QString::fromStdString(text));
    }
}

void QmModuleLoaderDlg::setButtonImage(int id, int bitmap) {
    button(id)->setBitmaps(bitmap, kWhite, 0, kWhite);
}

void QmModuleLoaderDlg::setButtonTooltip(int id, StringId text) {
    button(id)->setTooltipText(text);
}

void QmModuleLoaderDlg::showError(const std::string& text) {
    cadhost::messageBox(frameOfWidget(this), text, names::kMessageCaption,
                        cadhost::MB_OK | cadhost::MB_ICONERROR);
}

void QmModuleLoaderDlg::setWaitCursor(bool on) {
    waitCursor_.set(on);
}

PixelSize QmModuleLoaderDlg::templateSize() const {
    const QSize base = controls_->layout().baseSize();
    return {base.width(), base.height()};
}

void QmModuleLoaderDlg::applyPlacement(const DialogFit& fit) {
    // Already fitted to the screens by the presenter: the size is final, and the layout scrolls
    // the controls where it is below the template's.
    const DialogPlacement& placement = fit.placement;
    controls_->layout().setMinimumClient({fit.minimum.width, fit.minimum.height});
    layout()->activate();
    const QSize size(placement.width, placement.height);
    // The placement is the window's client rectangle, as currentPlacement() reports it.
    if (placement.hasPosition) {
        setGeometry(placement.left, placement.top, size.width(), size.height());
    } else {
        resize(size);  // placed on showing, within the screen, as a dialog is
    }
    if (placement.maximized) {
        setWindowState(windowState() | Qt::WindowMaximized);
    }
}

std::vector<Screen> QmModuleLoaderDlg::screens() const {
    const auto rect = [](const QRect& r) {
        return ScreenRect{r.x(), r.y(), r.width(), r.height()};
    };
    std::vector<Screen> screens;
    if (QScreen* primary = QGuiApplication::primaryScreen()) {
        screens.push_back({rect(primary->geometry()), rect(primary->availableGeometry())});
    }
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen != QGuiApplication::primaryScreen()) {
            screens.push_back({rect(screen->geometry()), rect(screen->availableGeometry())});
        }
    }
    return screens;
}

DialogPlacement QmModuleLoaderDlg::currentPlacement() const {
    const QRect normal = isMaximized() ? normalGeometry() : geometry();
    return {normal.x(), normal.y(), normal.width(), normal.height(), isMaximized(), true};
}

std::vector<int> QmModuleLoaderDlg::selectedGridRows() const {
    return grid_->selectedRows();
}

void QmModuleLoaderDlg::selectGridRow(int row) {
    grid_->selectRow(row);
}

void QmModuleLoaderDlg::relayGridColumns() {
    grid_->relayColumns();
}

bool QmModuleLoaderDlg::runOptionsDialog(const std::string& versionText) {
    CCheckingModulesDlg options(nullptr, context_, versionText);
    emit optionsDialogOpening(&options);
    return options.exec() == QDialog::Accepted;
}

}  // namespace qm::ui
