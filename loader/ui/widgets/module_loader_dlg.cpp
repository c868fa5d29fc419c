#include "ui/widgets/module_loader_dlg.h"

#include <cadhost/services.h>
#include <qmenv/environment.h>

#include <QHeaderView>
#include <QLabel>

#include "environment/names.h"
#include "runtime/loader_context.h"
#include "ui/logic/column_fractions.h"
#include "ui/logic/product_info.h"
#include "ui/logic/resource_strings.h"
#include "ui/widgets/anchor_layout.h"
#include "ui/widgets/button_st.h"
#include "ui/widgets/checking_modules_dlg.h"
#include "ui/widgets/dialog_controls.h"
#include "ui/widgets/frame_window.h"
#include "ui/widgets/module_grid_model.h"
#include "ui/widgets/module_loader_controller.h"
#include "ui/widgets/modules_grid.h"
#include "ui/widgets/resource_images.h"

namespace qm::ui {
namespace {

constexpr int kActionButtons[] = {
    kIdLoad, kIdUnload, kIdStartNoAction, kIdStartLoadMenuOnly, kIdStartLoadModule,
    kIdOk,   kIdApply};
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

std::string columnItemName(int column) {
    return "Size of column " + std::to_string(column);
}

}  // namespace

QmModuleLoaderDlg::QmModuleLoaderDlg(QWidget* parent, LoaderContext& context,
                                     const AcceleratorTable* accelerators)
    : PersistentDialog(parent), context_(context) {
    setRootKey(QmEnGetRegistryKey());
    setDialogName(names::kDialogName);
    setPersistency(true);

    const DialogTemplate* t = DialogTemplate::load(kDialogModuleLoader);
    if (t == nullptr) {
        return;
    }
    controls_ = std::make_unique<DialogControls>(*t, *this, [this](const ControlTemplate& c) {
        return c.id == kIdGrid ? grid_ = new QmModulesGrid(this) : nullptr;
    });
    model_ = new ModuleGridModel(this);
    controller_ = new ModuleLoaderController(context_, *model_, this);
    grid_->setAccelerators(accelerators);
    grid_->setTabTargets(button(kIdLoad), button(kIdUnload));
    setSizeGripEnabled(true);

    connect(button(kIdLoad), &QPushButton::clicked, this, &QmModuleLoaderDlg::onLoad);
    connect(button(kIdUnload), &QPushButton::clicked, this, &QmModuleLoaderDlg::onUnload);
    for (int id : {kIdStartNoAction, kIdStartLoadMenuOnly, kIdStartLoadModule}) {
        const StartupOption option = *StartupOptionForButton(id);
        connect(button(id), &QPushButton::clicked, this,
                [this, option] { onStartupOption(option); });
    }
    connect(button(kIdOk), &QPushButton::clicked, this, &QmModuleLoaderDlg::accept);
    connect(button(kIdApply), &QPushButton::clicked, this, &QmModuleLoaderDlg::onApply);
    connect(button(kIdCancelButton), &QPushButton::clicked, this, &QmModuleLoaderDlg::reject);
    connect(button(kIdHelp), &QPushButton::clicked, this, &QmModuleLoaderDlg::onHelp);
    connect(button(kIdOptions), &QPushButton::clicked, this, &QmModuleLoaderDlg::onOptions);
    connect(grid_, &QmModulesGrid::commandRequested, this, &QmModuleLoaderDlg::onGridCommand);
    connect(grid_, &QmModulesGrid::toggleRequested, this, &QmModuleLoaderDlg::onToggle);
}

QmModuleLoaderDlg::~QmModuleLoaderDlg() = default;

CButtonST* QmModuleLoaderDlg::button(int id) const {
    return controls_ ? controls_->button(id) : nullptr;
}

QString QmModuleLoaderDlg::productNameText() const {
    return controls_->label(kIdProductName)->text();
}

QString QmModuleLoaderDlg::productsText() const {
    return controls_->label(kIdProducts)->text();
}

void QmModuleLoaderDlg::showMessage(const QString& text) {
    cadhost::messageBox(frameOfWidget(this), text.toStdString(), names::kMessageCaption,
                        cadhost::MB_OK | cadhost::MB_ICONERROR);
}

void QmModuleLoaderDlg::setActionButtonsEnabled(bool enabled) {
    for (int id : kActionButtons) {
        if (id == kIdStartLoadModule && context_.autostartOverride()) {
            continue;  // stays disabled and hidden under the override
        }
        button(id)->setEnabled(enabled);
    }
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

    // The stored placement, and the product statics with their (still empty) texts.
    restorePlacement();
    controls_->label(kIdProductName)->setText(productName_);
    controls_->label(kIdProducts)->setText(products_);

    noModulesMessage_ = QString::fromStdString(NoModulesMessage(QmEnGetAppPath()));

    QIcon icon;
    icon.addPixmap(LoadResourceIcon(kIconLarge).pixmap(32, 32));
    icon.addPixmap(LoadResourceIcon(kIconSmall).pixmap(16, 16));
    setWindowIcon(icon);

    setActionButtonsEnabled(false);
    if (context_.modules().empty()) {
        showMessage(noModulesMessage_);
    }

    for (StartupOption option :
         {StartupOption::NoAction, StartupOption::LoadMenuOnly, StartupOption::LoadModule}) {
        const StartupOptionInfo& info = Describe(option);
        button(info.button)->setBitmaps(info.bitmap, kWhite, 0, kWhite);
        button(info.button)->setTooltipText(info.tooltip);
    }
    button(kIdLoad)->setTooltipText(StringId::LoadModule);
    button(kIdUnload)->setTooltipText(StringId::UnloadModule);
    for (int id : kAllButtons) {
        button(id)->setFlatLook(false);
    }

    setAnchors();

    if (context_.autostartOverride()) {
        button(kIdStartLoadModule)->setEnabled(false);
        button(kIdStartLoadModule)->hide();
    }

    grid_->setAutostartOverride(context_.autostartOverride());
    grid_->initialise(model_);

    for (int column = 0; column < kGridColumnCount - 1; ++column) {
        int stored = 0;
        if (getDialogData(columnItemName(column), stored)) {
            grid_->widthFraction(column) = ColumnFractions::fromStored(stored);
        }
    }
    grid_->relayColumns();

    versionCaption_ = QString::fromStdString(ResourceString(StringId::Version) + ": " +
                                             QmEnGetCurrentVersionNumber());

    productName_.clear();
    products_.clear();
    if (std::optional<ProductInfo> info = ReadProductInfo(ProductInfoFile(QmEnGetAppPath()))) {
        productName_ = QString::fromStdString(info->productName);
        products_ = QString::fromStdString(info->products);
        controls_->label(kIdProductName)->setText(productName_);
        controls_->label(kIdProducts)->setText(products_);
    }

    setActionButtonsEnabled(false);
    beginWaitCursor();
    controller_->fillGrid();
    controller_->finishList(noModulesMessage_);
    if (!context_.modules().empty()) {
        grid_->selectRow(1);
    }
    setActionButtonsEnabled(true);
    endWaitCursor();
    grid_->setFocus(Qt::OtherFocusReason);
}

void QmModuleLoaderDlg::showEvent(QShowEvent* event) {
    initDialog();
    PersistentDialog::showEvent(event);
}

void QmModuleLoaderDlg::resizeEvent(QResizeEvent* event) {
    PersistentDialog::resizeEvent(event);
    if (grid_ != nullptr) {
        grid_->relayColumns();
    }
    update();
}

void QmModuleLoaderDlg::onLoad() {
    controller_->markEvents(MarkMode::Load, grid_->selectedRows());
    button(kIdLoad)->setTooltipText(StringId::LoadModule);
}

void QmModuleLoaderDlg::onUnload() {
    controller_->markEvents(MarkMode::Unload, grid_->selectedRows());
    button(kIdUnload)->setTooltipText(StringId::UnloadModule);
}

void QmModuleLoaderDlg::onToggle() {
    controller_->markEvents(MarkMode::Toggle, grid_->selectedRows());
}

void QmModuleLoaderDlg::onStartupOption(StartupOption option) {
    controller_->applyStartupOption(option, grid_->selectedRows());
    grid_->viewport()->update();
    const StartupOptionInfo& info = Describe(option);
    button(info.button)->setTooltipText(info.tooltip);
}

void QmModuleLoaderDlg::onGridCommand(int command) {
    if (command == kCmdLoad) {
        onLoad();
    } else if (command == kCmdUnload) {
        onUnload();
    } else if (std::optional<StartupOption> option = StartupOptionForCommand(command)) {
        // The grid applies the option itself; the buttons' tooltips stay as they are.
        controller_->applyStartupOption(*option, grid_->selectedRows());
        grid_->viewport()->update();
    }
}

void QmModuleLoaderDlg::storeColumnWidths() {
    for (int column = 0; column < kGridColumnCount - 1; ++column) {
        setDialogData(columnItemName(column),
                      ColumnFractions::toStored(grid_->widthFraction(column)));
    }
}

void QmModuleLoaderDlg::onApply() {
    beginWaitCursor();
    setActionButtonsEnabled(false);
    const ApplyReport report = controller_->executeEvents();
    if (report.failures() > 0) {
        showMessage(QString::fromStdString(report.text()));
    }
    storeColumnWidths();
    controller_->refreshAndSave();
    setActionButtonsEnabled(true);
    endWaitCursor();
}

void QmModuleLoaderDlg::accept() {
    onApply();
    storePlacement();
    PersistentDialog::accept();
}

void QmModuleLoaderDlg::reject() {
    if (controller_ != nullptr) {
        controller_->cancel();
    }
    storePlacement();
    PersistentDialog::reject();
}

void QmModuleLoaderDlg::onHelp() {
    QmEnHelp(names::kHelpTopic, names::kHelpName);
}

bool QmModuleLoaderDlg::helpRequested() {
    onHelp();
    return true;
}

void QmModuleLoaderDlg::onOptions() {
    const int listedBefore = controller_->listedCount();
    CCheckingModulesDlg options(nullptr, context_);
    options.setVersionText(versionCaption_);
    emit optionsDialogOpening(&options);
    if (options.exec() != QDialog::Accepted) {
        return;
    }
    setActionButtonsEnabled(false);
    controller_->rebuildAfterOptions(listedBefore, noModulesMessage_);
    setActionButtonsEnabled(true);
    grid_->selectRow(1);
}

}  // namespace qm::ui
