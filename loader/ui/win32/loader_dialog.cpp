#include "ui/win32/loader_dialog.h"

#include <qmenv/environment.h>
#include <qmsys/text.h>

#include <algorithm>
#include <numeric>

#include "catalogue/module_settings.h"
#include "environment/names.h"
#include "runtime/loader_context.h"
#include "runtime/module_events.h"
#include "ui/logic/apply_report.h"
#include "ui/logic/column_fractions.h"
#include "ui/logic/product_info.h"
#include "ui/logic/resource_strings.h"
#include "ui/win32/host_bridge.h"
#include "ui/win32/options_dialog.h"
#include "ui/win32/resource_images.h"
#include "ui/win32/win32_text.h"

namespace qm::ui::win32 {
namespace {

constexpr int kColName = 1;
constexpr int kColStartup = 3;
constexpr int kColEvent = 7;
constexpr int kGridColumnCount = 8;

constexpr int kActionButtons[] = {
    kIdLoad, kIdUnload, kIdStartNoAction, kIdStartLoadMenuOnly, kIdStartLoadModule,
    kIdOk,   kIdApply};

std::string columnItemName(int column) {
    return "Size of column " + std::to_string(column);
}

std::string eventLabel(ModuleEvent event) {
    switch (event) {
        case kEventLoadModule:
            return ResourceString(StringId::EventLoad);
        case kEventUnloadModule:
            return ResourceString(StringId::EventUnload);
        case kEventLoadMenu:
            return ResourceString(StringId::EventLoadMenu);
        case kEventUnloadMenu:
            return ResourceString(StringId::EventUnloadMenu);
        default:
            return {};
    }
}

// Cells compare by their values without regard to case: each UTF-16 unit upper-cased.
int compareCells(const std::string& a, const std::string& b) {
    return qmsys::compareFileNames(a, b);
}

}  // namespace

LoaderDialog::LoaderDialog(LoaderContext& context, const AcceleratorTable* accelerators)
    : DialogWindow(kDialogModuleLoader),
      context_(context),
      accelerators_(accelerators),
      placement_(QmEnGetRegistryKey(), std::string(names::kDialogName)) {}

LoaderDialog::~LoaderDialog() {
    for (HICON icon : {iconLarge_, iconSmall_}) {
        if (icon != nullptr) {
            DestroyIcon(icon);
        }
    }
}

void LoaderDialog::showError(const std::string& text) {
    ShowHostMessage(hwnd(), text, MessageKind::Error);
}

void LoaderDialog::setActionButtonsEnabled(bool enabled) {
    for (int id : kActionButtons) {
        if (id == kIdStartLoadModule && context_.autostartOverride()) {
            continue;  // stays disabled and hidden under the override
        }
        EnableWindow(control(id), enabled ? TRUE : FALSE);
    }
}

void LoaderDialog::setAnchors() {
    anchor(grid_->hwnd(), 0, 0, 100, 100);
    for (int id :
         {kIdLoad, kIdUnload, kIdStartNoAction, kIdStartLoadMenuOnly, kIdStartLoadModule}) {
        anchor(control(id), 100, 0, 0, 0);
    }
    for (int id : {kIdOk, kIdApply, kIdCancelButton, kIdHelp}) {
        anchor(control(id), 100, 100, 0, 0);
    }
    anchor(control(kIdOptions), 0, 100, 0, 0);
    for (int id : {kIdProductName, kIdProducts}) {
        anchor(control(id), 0, 100, 100, 0);
    }
}

void LoaderDialog::onInit() {
    ModuleGrid::Handlers handlers;
    handlers.command = [this](int command) { onGridCommand(command); };
    handlers.toggle = [this] { markEvents(MarkMode::Toggle); };
    handlers.headerClick = [this](int column) { onHeaderClick(column); };
    grid_ = std::make_unique<ModuleGrid>(control(kIdGrid), std::move(handlers), accelerators_);
    grid_->setTabTargets(control(kIdLoad), control(kIdUnload));

    placement_.restore(hwnd(), [this] {
        RECT r{0, 0, dialogTemplate()->cx, dialogTemplate()->cy};
        MapDialogRect(hwnd(), &r);
        AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongW(hwnd(), GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongW(hwnd(), GWL_EXSTYLE)));
        return SIZE{r.right - r.left, r.bottom - r.top};
    }());
    noModulesMessage_ = NoModulesMessage(QmEnGetAppPath());

    iconLarge_ = LoadResourceIcon(kIconLarge);
    iconSmall_ = LoadResourceIcon(kIconSmall);
    SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(iconLarge_));
    SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(iconSmall_));

    setActionButtonsEnabled(false);
    if (context_.modules().empty()) {
        showError(noModulesMessage_);
    }
    for (StartupOption option :
         {StartupOption::NoAction, StartupOption::LoadMenuOnly, StartupOption::LoadModule}) {
        const StartupOptionInfo& info = Describe(option);
        button(info.button)->setImage(info.bitmap);
        button(info.button)->setTooltip(ResourceString(info.tooltip));
    }
    button(kIdLoad)->setTooltip(ResourceString(StringId::LoadModule));
    button(kIdUnload)->setTooltip(ResourceString(StringId::UnloadModule));

    if (context_.autostartOverride()) {
        EnableWindow(control(kIdStartLoadModule), FALSE);
        ShowWindow(control(kIdStartLoadModule), SW_HIDE);
    }
    grid_->setAutostartOverride(context_.autostartOverride());
    grid_->setHeaders(ResourceString(StringId::ModuleNameHeader),
                      ResourceString(StringId::StartupHeader),
                      ResourceString(StringId::EventHeader));
    for (int column = 0; column < kGridColumnCount - 1; ++column) {
        int stored = 0;
        if (placement_.getData(columnItemName(column), stored)) {
            grid_->fractions().fraction(column) = ColumnFractions::fromStored(stored);
        }
    }
    setAnchors();
    grid_->relayColumns();

    versionCaption_ = ResourceString(StringId::Version) + ": " + QmEnGetCurrentVersionNumber();
    if (std::optional<ProductInfo> info = ReadProductInfo(ProductInfoFile(QmEnGetAppPath()))) {
        SetWindowTextW(control(kIdProductName), Widen(info->productName).c_str());
        SetWindowTextW(control(kIdProducts), Widen(info->products).c_str());
    } else {
        SetWindowTextW(control(kIdProductName), L"");
        SetWindowTextW(control(kIdProducts), L"");
    }

    HCURSOR old = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    fillGrid();
    finishList();
    if (!context_.modules().empty()) {
        grid_->selectRow(1);
    }
    setActionButtonsEnabled(true);
    SetCursor(old);
    SetFocus(grid_->hwnd());
}

// ---- rows and records ----

bool LoaderDialog::isListed(const ModuleRecord& record) const {
    return record.GetActivated() && record.GetKey() != context_.baseModuleKey();
}

int LoaderDialog::listedCount() const {
    int count = 0;
    for (const ModuleRecord& record : context_.modules()) {
        count += isListed(record) ? 1 : 0;
    }
    return count;
}

ModuleRecord* LoaderDialog::recordOfRow(int row) {
    ModuleList& modules = context_.modules();
    if (row < 1 || row > static_cast<int>(modules.size()) || row > static_cast<int>(rows_.size())) {
        return nullptr;
    }
    if (indexedCount_ != modules.size() || byName_.empty()) {
        byName_.clear();
        for (std::size_t i = modules.size(); i-- > 0;) {
            byName_[modules[i].GetDisplayName()] = i;  // the first of equal names wins
        }
        indexedCount_ = modules.size();
    }
    auto found = byName_.find(rows_[static_cast<std::size_t>(row - 1)].name);
    return found == byName_.end() ? nullptr : &modules[found->second];
}

void LoaderDialog::insertRows(int before, int count) {
    before = std::clamp(before, 1, static_cast<int>(rows_.size()) + 1);
    rows_.insert(rows_.begin() + (before - 1), static_cast<std::size_t>(count), RowCells{});
    grid_->insertRows(before, count);
}

void LoaderDialog::removeRow(int row) {
    if (row >= 1 && row <= static_cast<int>(rows_.size())) {
        rows_.erase(rows_.begin() + (row - 1));
        grid_->removeRow(row);
    }
}

void LoaderDialog::fillRow(int row, const ModuleRecord& record) {
    if (row < 1 || row > static_cast<int>(rows_.size())) {
        return;
    }
    const bool loaded = record.GetMenusLoaded() != 0;
    const StartupOption option = StartupOptionOf(record);
    GridRow shown;
    shown.name = record.GetDisplayName();
    shown.nameTip = loaded ? ResourceString(StringId::Loaded) : std::string();
    shown.bold = loaded;
    shown.startupImage = static_cast<int>(option);
    shown.startupTip = ResourceString(Describe(option).tooltip);
    shown.event = eventLabel(record.GetPendingEvent());
    rows_[static_cast<std::size_t>(row - 1)] = {shown.name, std::to_string(Describe(option).bitmap),
                                                shown.event, false};
    grid_->setRow(row, shown);
}

void LoaderDialog::setStartupCell(int row, StartupOption option) {
    ModuleRecord* record = recordOfRow(row);
    if (record != nullptr) {
        fillRow(row, *record);
        rows_[static_cast<std::size_t>(row - 1)].startup = std::to_string(Describe(option).bitmap);
    }
}

void LoaderDialog::showExplanatoryRow() {
    std::string flat = noModulesMessage_;
    flat.erase(std::remove(flat.begin(), flat.end(), '\n'), flat.end());
    const int row = static_cast<int>(rows_.size()) + 1;
    insertRows(row, 1);
    rows_.back() = {flat, {}, {}, true};
    GridRow shown;
    shown.name = flat;
    shown.explanatory = true;
    grid_->setRow(row, shown);
}

void LoaderDialog::fillGrid() {
    std::vector<const ModuleRecord*> listed;
    for (const ModuleRecord& record : context_.modules()) {
        if (isListed(record)) {
            listed.push_back(&record);
        }
    }
    const int first = static_cast<int>(rows_.size()) + 1;
    insertRows(first, static_cast<int>(listed.size()));
    for (std::size_t i = 0; i < listed.size(); ++i) {
        fillRow(first + static_cast<int>(i), *listed[i]);
    }
}

void LoaderDialog::finishList() {
    if (rows_.empty() && context_.modules().empty()) {
        showExplanatoryRow();
    }
}

void LoaderDialog::sortRows(int column, bool descending) {
    if (rows_.empty()) {
        return;
    }
    auto value = [column](const RowCells& r) -> const std::string& {
        return column == kColName ? r.name : column == kColStartup ? r.startup : r.event;
    };
    auto tie = [column](const RowCells& r) -> const std::string& {
        return column == kColName ? r.event : r.name;
    };
    std::vector<std::size_t> order(rows_.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const int byFirst = compareCells(value(rows_[a]), value(rows_[b]));
        if (byFirst != 0) {
            return descending ? byFirst > 0 : byFirst < 0;
        }
        return compareCells(tie(rows_[a]), tie(rows_[b])) < 0;
    });
    std::vector<RowCells> sorted;
    for (std::size_t i : order) {
        sorted.push_back(rows_[i]);
    }
    rows_ = std::move(sorted);
    for (int row = 1; row <= static_cast<int>(rows_.size()); ++row) {
        if (ModuleRecord* record = recordOfRow(row)) {
            fillRow(row, *record);
        }
    }
}

int LoaderDialog::insertionRow(const std::string& name, bool sortedByName) const {
    if (sortedByName) {
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            if (compareCells(rows_[i].name, name) > 0) {
                return static_cast<int>(i) + 1;
            }
        }
    }
    return static_cast<int>(rows_.size()) + 1;
}

int LoaderDialog::findRowByName(const std::string& name) const {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (!rows_[i].explanatory && rows_[i].name == name) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

// ---- actions ----

void LoaderDialog::markEvents(MarkMode mode) {
    for (int row : grid_->selectedRows()) {
        ModuleRecord* record = recordOfRow(row);
        if (record == nullptr) {
            continue;
        }
        MarkEvent(*record, mode, context_.baseModuleKey());
        fillRow(row, *record);
    }
}

void LoaderDialog::applyStartupOption(StartupOption option, bool fromButton) {
    const StartupOptionInfo& info = Describe(option);
    for (int row : grid_->selectedRows()) {
        ModuleRecord* record = recordOfRow(row);
        if (record == nullptr || record->GetKey() == context_.baseModuleKey()) {
            continue;
        }
        record->SetAutoStart(info.autoStart);
        record->SetDemandLoad(info.demandLoad);
        setStartupCell(row, option);
    }
    if (fromButton) {
        button(info.button)->setTooltip(ResourceString(info.tooltip));
    }
}

void LoaderDialog::onGridCommand(int command) {
    if (command == kCmdLoad) {
        markEvents(MarkMode::Load);
    } else if (command == kCmdUnload) {
        markEvents(MarkMode::Unload);
    } else if (std::optional<StartupOption> option = StartupOptionForCommand(command)) {
        applyStartupOption(*option, false);
    }
}

void LoaderDialog::onHeaderClick(int column) {
    const bool descending = sortState_.click(column);
    if (column == 0) {
        return;
    }
    sortRows(column, descending);
    if (!rows_.empty()) {
        grid_->selectRow(1);
    }
}

void LoaderDialog::storeColumnWidths() {
    for (int column = 0; column < kGridColumnCount - 1; ++column) {
        placement_.setData(columnItemName(column),
                           ColumnFractions::toStored(grid_->fractions().fraction(column)));
    }
}

void LoaderDialog::onApply() {
    HCURSOR old = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    setActionButtonsEnabled(false);
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
    if (report.failures() > 0) {
        showError(report.text());
    }
    storeColumnWidths();
    for (int row = 1; row <= static_cast<int>(rows_.size()); ++row) {
        if (ModuleRecord* record = recordOfRow(row)) {
            fillRow(row, *record);
        }
    }
    WriteModuleSettings(context_.modules(), &context_.log(), &context_.feedback());
    setActionButtonsEnabled(true);
    SetCursor(old);
}

void LoaderDialog::onOk() {
    onApply();
    placement_.store(hwnd());
    EndDialog(hwnd(), IDOK);
}

void LoaderDialog::onCancel() {
    for (ModuleRecord& record : context_.modules()) {
        record.ClearEvent();
    }
    ReadModuleSettings(context_.modules(), &context_.log());
    placement_.store(hwnd());
    EndDialog(hwnd(), IDCANCEL);
}

void LoaderDialog::onOptions() {
    const int listedBefore = listedCount();
    OptionsDialog options(context_, versionCaption_);
    if (options.run(hwnd()) != IDOK) {
        return;
    }
    setActionButtonsEnabled(false);
    if (listedBefore == 0) {
        removeRow(1);
    }
    bool anyListed = false;
    for (ModuleRecord& record : context_.modules()) {
        if (record.GetKey() == context_.baseModuleKey()) {
            continue;
        }
        int row = findRowByName(record.GetDisplayName());
        if (record.GetActivated()) {
            anyListed = true;
            if (row == 0) {
                row = insertionRow(record.GetDisplayName(), sortState_.column() == kColName);
                insertRows(row, 1);
                rows_[static_cast<std::size_t>(row - 1)].name = record.GetDisplayName();
            }
            fillRow(row, record);
        } else if (row != 0) {
            removeRow(row);
        }
    }
    if (!anyListed) {
        finishList();
    }
    setActionButtonsEnabled(true);
    grid_->selectRow(1);
}

void LoaderDialog::onCommand(int id, int code, HWND) {
    if (code != BN_CLICKED) {
        return;
    }
    switch (id) {
        case kIdLoad:
            markEvents(MarkMode::Load);
            button(kIdLoad)->setTooltip(ResourceString(StringId::LoadModule));
            break;
        case kIdUnload:
            markEvents(MarkMode::Unload);
            button(kIdUnload)->setTooltip(ResourceString(StringId::UnloadModule));
            break;
        case kIdStartNoAction:
        case kIdStartLoadMenuOnly:
        case kIdStartLoadModule:
            applyStartupOption(*StartupOptionForButton(id), true);
            break;
        case kIdOk:
            onOk();
            break;
        case kIdApply:
            onApply();
            break;
        case kIdCancel:  // Escape, the close box
        case kIdCancelButton:
            onCancel();
            break;
        case kIdHelp:
            QmEnHelp(names::kHelpTopic, names::kHelpName);
            break;
        case kIdOptions:
            onOptions();
            break;
        default:
            break;
    }
}

INT_PTR LoaderDialog::onMessage(UINT message, WPARAM, LPARAM lParam, bool& handled) {
    handled = false;
    switch (message) {
        case WM_NOTIFY: {
            bool done = false;
            const LRESULT result =
                grid_ ? grid_->notify(*reinterpret_cast<const NMHDR*>(lParam), done) : 0;
            if (done) {
                SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, result);
                handled = true;
                return TRUE;
            }
            return FALSE;
        }
        case WM_HELP:
            QmEnHelp(names::kHelpTopic, names::kHelpName);
            handled = true;
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace qm::ui::win32
