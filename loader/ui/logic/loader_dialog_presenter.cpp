#include "ui/logic/loader_dialog_presenter.h"

#include <qmenv/environment.h>

#include <optional>

#include "catalogue/module_settings.h"
#include "environment/names.h"
#include "runtime/loader_context.h"
#include "runtime/module_events.h"
#include "ui/logic/product_info.h"
#include "ui/logic/resource_strings.h"

namespace qm::ui {
namespace {

// The view's wait cursor for the scope's lifetime.
class WaitCursor {
public:
    explicit WaitCursor(LoaderDialogView& view) : view_(view) { view_.setWaitCursor(true); }
    ~WaitCursor() { view_.setWaitCursor(false); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    LoaderDialogView& view_;
};

}  // namespace

LoaderDialogPresenter::LoaderDialogPresenter(LoaderContext& context, LoaderDialogView& view)
    : context_(context),
      view_(view),
      persistence_(QmEnGetRegistryKey(), names::kDialogName, true) {}

void LoaderDialogPresenter::setActionButtonsEnabled(bool enabled) {
    for (int id : kActionButtons) {
        if (id == kIdStartLoadModule && context_.autostartOverride()) {
            continue;  // stays disabled and hidden under the override
        }
        view_.enableControl(id, enabled);
    }
}

void LoaderDialogPresenter::initialise() {
    // Wholly onto the screen that holds most of it, within its work area: a placement stored
    // on a screen since removed, or larger than this one, stays reachable, and so does a
    // template larger than the screen (a large scale factor on a small screen).
    const PixelSize minimum = view_.templateSize();
    const DialogPlacement placement = persistence_.placement().value_or(
        DialogPlacement{0, 0, minimum.width, minimum.height, false, false});
    view_.applyPlacement(FitDialogToScreens(placement, minimum, view_.screens()));
    view_.setControlText(kIdProductName, productName_);
    view_.setControlText(kIdProducts, products_);

    noModulesMessage_ = NoModulesMessage(QmEnGetAppPath());
    setActionButtonsEnabled(false);
    if (context_.modules().empty()) {
        view_.showError(noModulesMessage_);
    }

    for (StartupOption option :
         {StartupOption::NoAction, StartupOption::LoadMenuOnly, StartupOption::LoadModule}) {
        const StartupOptionInfo& info = Describe(option);
        view_.setButtonImage(info.button, info.bitmap);
        view_.setButtonTooltip(info.button, info.tooltip);
    }
    view_.setButtonTooltip(kIdLoad, StringId::LoadModule);
    view_.setButtonTooltip(kIdUnload, StringId::UnloadModule);

    if (context_.autostartOverride()) {
        view_.enableControl(kIdStartLoadModule, false);
        view_.hideControl(kIdStartLoadModule);
    }

    for (int column = 0; column < kGridColumnCount - 1; ++column) {
        if (std::optional<int> stored = persistence_.dialogData(ColumnWidthItemName(column))) {
            fractions_.fraction(column) = ColumnFractions::fromStored(*stored);
        }
    }
    view_.relayGridColumns();

    versionCaption_ = ResourceString(StringId::Version) + ": " + QmEnGetCurrentVersionNumber();

    productName_.clear();
    products_.clear();
    if (std::optional<ProductInfo> info = ReadProductInfo(ProductInfoFile(QmEnGetAppPath()))) {
        productName_ = info->productName;
        products_ = info->products;
        view_.setControlText(kIdProductName, productName_);
        view_.setControlText(kIdProducts, products_);
    }

    setActionButtonsEnabled(false);
    {
        const WaitCursor wait(view_);
        fillGrid();
        finishList();
        if (!context_.modules().empty()) {
            view_.selectGridRow(1);
        }
    }
    setActionButtonsEnabled(true);
}

ModuleRecord* LoaderDialogPresenter::recordOfRow(int row) {
    ModuleList& modules = context_.modules();
    if (row < 1 || row > static_cast<int>(modules.size()) || row > rows_.rowCount()) {
        return nullptr;
    }
    if (indexedCount_ != modules.size() || byName_.empty()) {
        byName_.clear();
        for (std::size_t i = modules.size(); i-- > 0;) {
            byName_[modules[i].GetDisplayName()] = i;  // the first of equal names wins
        }
        indexedCount_ = modules.size();
    }
    auto found = byName_.find(rows_.cellValue(row, kColName));
    return found == byName_.end() ? nullptr : &modules[found->second];
}

bool LoaderDialogPresenter::offersLoadModule() const {
    return !context_.autostartOverride();
}

bool LoaderDialogPresenter::isListed(const ModuleRecord& record) const {
    return record.GetActivated() && record.GetKey() != context_.baseModuleKey();
}

int LoaderDialogPresenter::listedCount() const {
    int count = 0;
    for (const ModuleRecord& record : context_.modules()) {
        count += isListed(record) ? 1 : 0;
    }
    return count;
}

void LoaderDialogPresenter::fillGrid() {
    std::vector<const ModuleRecord*> listed;
    for (const ModuleRecord& record : context_.modules()) {
        if (isListed(record)) {
            listed.push_back(&record);
        }
    }
    const int first = rows_.rowCount() + 1;
    rows_.insertRows(first, static_cast<int>(listed.size()));
    for (std::size_t i = 0; i < listed.size(); ++i) {
        rows_.fillRow(first + static_cast<int>(i), *listed[i]);
    }
}

void LoaderDialogPresenter::finishList() {
    if (rows_.rowCount() == 0 && context_.modules().empty()) {
        rows_.showExplanatoryRow(noModulesMessage_);
    }
}

void LoaderDialogPresenter::markEvents(MarkMode mode) {
    for (int row : view_.selectedGridRows()) {
        ModuleRecord* record = recordOfRow(row);
        if (record == nullptr) {
            continue;
        }
        MarkEvent(*record, mode, context_.baseModuleKey());
        rows_.fillRow(row, *record);
    }
}

void LoaderDialogPresenter::applyStartupOption(StartupOption option) {
    const StartupOptionInfo& info = Describe(option);
    for (int row : view_.selectedGridRows()) {
        ModuleRecord* record = recordOfRow(row);
        if (record == nullptr || record->GetKey() == context_.baseModuleKey()) {
            continue;
        }
        record->SetAutoStart(info.autoStart);
        record->SetDemandLoad(info.demandLoad);
        rows_.setStartupCell(row, option);
    }
}

void LoaderDialogPresenter::onLoad() {
    markEvents(MarkMode::Load);
    view_.setButtonTooltip(kIdLoad, StringId::LoadModule);
}

void LoaderDialogPresenter::onUnload() {
    markEvents(MarkMode::Unload);
    view_.setButtonTooltip(kIdUnload, StringId::UnloadModule);
}

void LoaderDialogPresenter::onToggle() {
    markEvents(MarkMode::Toggle);
}

void LoaderDialogPresenter::onStartupOptionButton(StartupOption option) {
    applyStartupOption(option);
    const StartupOptionInfo& info = Describe(option);
    view_.setButtonTooltip(info.button, info.tooltip);
}

void LoaderDialogPresenter::onGridCommand(int command) {
    if (command == kCmdLoad) {
        onLoad();
    } else if (command == kCmdUnload) {
        onUnload();
    } else if (std::optional<StartupOption> option = StartupOptionForCommand(command)) {
        // The grid applies the option itself; the buttons' tooltips stay as they are.
        applyStartupOption(*option);
    }
}

ApplyReport LoaderDialogPresenter::executeEvents() {
    ApplyReport report;
    for (ModuleRecord& record : context_.modules()) {
        const ModuleEvent event = record.GetPendingEvent();
        if (record.GetKey() == context_.baseModuleKey() || event == kEventNone) {
            continue;
        }
        if (!ExecuteEvent(record, context_.menus())) {
            report.addFailure(record.GetDisplayName(), record.GetKey(), event);
        }
    }
    return report;
}

void LoaderDialogPresenter::storeColumnWidths() {
    for (int column = 0; column < kGridColumnCount - 1; ++column) {
        persistence_.setDialogData(ColumnWidthItemName(column),
                                   ColumnFractions::toStored(fractions_.fraction(column)));
    }
}

void LoaderDialogPresenter::refreshAndSave() {
    for (int row = 1; row <= rows_.rowCount(); ++row) {
        if (ModuleRecord* record = recordOfRow(row)) {
            rows_.fillRow(row, *record);
        }
    }
    WriteModuleSettings(context_.modules(), &context_.log(), &context_.feedback());
}

void LoaderDialogPresenter::onApply() {
    const WaitCursor wait(view_);
    setActionButtonsEnabled(false);
    const ApplyReport report = executeEvents();
    if (report.failures() > 0) {
        view_.showError(report.text());
    }
    storeColumnWidths();
    refreshAndSave();
    setActionButtonsEnabled(true);
}

void LoaderDialogPresenter::storePlacement() {
    persistence_.storePlacement(view_.currentPlacement());
}

void LoaderDialogPresenter::onOk() {
    onApply();
    storePlacement();
    view_.closeDialog(true);
}

void LoaderDialogPresenter::cancelMarks() {
    for (ModuleRecord& record : context_.modules()) {
        record.ClearEvent();
    }
    ReadModuleSettings(context_.modules(), &context_.log());
}

void LoaderDialogPresenter::onCancel() {
    cancelMarks();
    storePlacement();
    view_.closeDialog(false);
}

void LoaderDialogPresenter::onHelp() {
    QmEnHelp(names::kHelpTopic, names::kHelpName);
}

void LoaderDialogPresenter::onOptions() {
    const int listedBefore = listedCount();
    if (!view_.runOptionsDialog(versionCaption_)) {
        return;
    }
    setActionButtonsEnabled(false);
    rebuildAfterOptions(listedBefore);
    setActionButtonsEnabled(true);
    view_.selectGridRow(1);
}

void LoaderDialogPresenter::rebuildAfterOptions(int listedBefore) {
    if (listedBefore == 0) {
        rows_.removeRow(1);
    }
    bool anyListed = false;
    for (ModuleRecord& record : context_.modules()) {
        if (record.GetKey() == context_.baseModuleKey()) {
            continue;
        }
        const std::string& name = record.GetDisplayName();
        int row = rows_.findRowByName(name);
        if (record.GetActivated()) {
            anyListed = true;
            if (row == 0) {
                row = rows_.insertionRow(name);
                rows_.insertRows(row, 1);
            }
            rows_.fillRow(row, record);
        } else if (row != 0) {
            rows_.removeRow(row);
        }
    }
    if (!anyListed) {
        finishList();
    }
}

}  // namespace qm::ui
