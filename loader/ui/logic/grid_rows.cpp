#include "ui/logic/grid_rows.h"

#include <qmsys/text.h>

#include <algorithm>
#include <numeric>

#include "ui/logic/resource_strings.h"

namespace qm::ui {
namespace {

const GridCell kNoCell{};
const std::string kNoText;

std::size_t slot(int i) {
    return static_cast<std::size_t>(i);
}

}  // namespace

bool IsShownGridColumn(int column) {
    return std::find(std::begin(kShownGridColumns), std::end(kShownGridColumns), column) !=
           std::end(kShownGridColumns);
}

int CellFontWeight(CellStyle style) {
    return style == CellStyle::NameLoaded || style == CellStyle::MenuLoaded ||
                   style == CellStyle::Event
               ? 700
               : 400;
}

GridRows::GridRows() {
    headers_[kColName] = ResourceString(StringId::ModuleNameHeader);
    headerTips_[kColName] = headers_[kColName];
    headers_[kColStartup] = ResourceString(StringId::StartupHeader);
    headerTips_[kColStartup] = ResourceString(StringId::StartupHeaderTip);
    headers_[kColAutostart] = ResourceString(StringId::AutostartHeader);
    headerTips_[kColAutostart] = ResourceString(StringId::AutostartHeaderTip);
    headers_[kColDemandLoad] = ResourceString(StringId::DemandLoadHeader);
    headerTips_[kColDemandLoad] = ResourceString(StringId::DemandLoadHeaderTip);
    headers_[kColMenu] = ResourceString(StringId::MenuHeader);
    headerTips_[kColMenu] = ResourceString(StringId::MenuHeaderTip);
    headers_[kColEvent] = ResourceString(StringId::EventHeader);
    headerTips_[kColEvent] = ResourceString(StringId::EventHeaderTip);
    eventLabels_[kEventLoadModule] = ResourceString(StringId::EventLoad);
    eventLabels_[kEventUnloadModule] = ResourceString(StringId::EventUnload);
    eventLabels_[kEventLoadMenu] = ResourceString(StringId::EventLoadMenu);
    eventLabels_[kEventUnloadMenu] = ResourceString(StringId::EventUnloadMenu);
    loadedText_ = ResourceString(StringId::Loaded);
    unloadedText_ = ResourceString(StringId::Unloaded);
    for (StartupOption option :
         {StartupOption::NoAction, StartupOption::LoadMenuOnly, StartupOption::LoadModule}) {
        startupTips_[static_cast<std::size_t>(option)] = ResourceString(Describe(option).tooltip);
    }
}

void GridRows::changed(int row) {
    if (listener_ != nullptr) {
        listener_->rowChanged(row);
    }
}

void GridRows::insertRows(int before, int count) {
    before = std::clamp(before, 1, rowCount() + 1);
    if (count <= 0) {
        return;
    }
    if (listener_ != nullptr) {
        listener_->rowsAboutToBeInserted(before, count);
    }
    rows_.insert(rows_.begin() + (before - 1), slot(count), Row{});
    if (listener_ != nullptr) {
        listener_->rowsInserted(before, count);
    }
}

void GridRows::removeRow(int row) {
    if (!valid(row)) {
        return;
    }
    if (listener_ != nullptr) {
        listener_->rowAboutToBeRemoved(row);
    }
    rows_.erase(rows_.begin() + (row - 1));
    if (listener_ != nullptr) {
        listener_->rowRemoved(row);
    }
}

void GridRows::removeAllRows() {
    if (listener_ != nullptr) {
        listener_->rowsAboutToBeReset();
    }
    rows_.clear();
    if (listener_ != nullptr) {
        listener_->rowsReset();
    }
}

const GridCell& GridRows::cell(int row, int column) const {
    if (!valid(row) || column < 0 || column >= kGridColumnCount) {
        return kNoCell;
    }
    return at(row).cells[slot(column)];
}

void GridRows::fillRow(int row, const ModuleRecord& record) {
    if (!valid(row)) {
        return;
    }
    Row& r = at(row);
    const bool loaded = record.GetMenusLoaded() != 0;
    GridCell& name = r.cells[kColName];
    name.value = record.GetDisplayName();
    name.style = loaded ? CellStyle::NameLoaded : CellStyle::NamePlain;
    name.tip = loaded ? loadedText_ : std::string();

    const StartupOption option = StartupOptionOf(record);
    r.cells[kColStartup] = {std::to_string(Describe(option).bitmap), CellStyle::Startup,
                            startupTips_[static_cast<std::size_t>(option)]};

    r.cells[kColMenu] = {loaded ? loadedText_ : unloadedText_,
                         loaded ? CellStyle::MenuLoaded : CellStyle::MenuUnloaded,
                         {}};

    const ModuleEvent event = record.GetPendingEvent();
    if (event >= kEventLoadModule && event <= kEventUnloadMenu) {
        r.cells[kColEvent] = {eventLabel(event), CellStyle::Event, {}};
    } else {
        r.cells[kColEvent].value.clear();
    }
    r.explanatory = false;
    changed(row);
}

void GridRows::setStartupCell(int row, StartupOption option) {
    if (!valid(row)) {
        return;
    }
    at(row).cells[kColStartup] = {std::to_string(Describe(option).bitmap), CellStyle::Startup,
                                  startupTips_[static_cast<std::size_t>(option)]};
    changed(row);
}

void GridRows::showExplanatoryRow(std::string_view text) {
    std::string flat(text);
    std::erase(flat, '\n');
    const int row = rowCount() + 1;
    insertRows(row, 1);
    Row& r = at(row);
    r.explanatory = true;
    for (int c = kColName; c < kGridColumnCount; ++c) {
        r.cells[slot(c)] = {c == kColName ? flat : std::string(), CellStyle::Explanatory, flat};
    }
    changed(row);
}

bool GridRows::isExplanatoryRow(int row) const {
    return valid(row) && at(row).explanatory;
}

void GridRows::sortRows(int column, bool descending) {
    if (column < 1 || column >= kGridColumnCount || rows_.empty()) {
        return;
    }
    const std::size_t first = slot(column);
    const std::size_t second = slot(column == kColName ? kColEvent : kColName);
    std::vector<std::size_t> order(rows_.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const int byFirst =
            qmsys::icompare(rows_[a].cells[first].value, rows_[b].cells[first].value);
        if (byFirst != 0) {
            return descending ? byFirst > 0 : byFirst < 0;
        }
        return qmsys::icompare(rows_[a].cells[second].value, rows_[b].cells[second].value) < 0;
    });

    if (listener_ != nullptr) {
        listener_->rowsAboutToBeSorted();
    }
    // The grid never holds more rows than an int counts (rowCount()).
    std::vector<int> newRowOf(order.size());
    std::vector<Row> sorted;
    sorted.reserve(rows_.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        newRowOf[order[i]] = static_cast<int>(i) + 1;
        sorted.push_back(std::move(rows_[order[i]]));
    }
    rows_ = std::move(sorted);
    if (listener_ != nullptr) {
        listener_->rowsSorted(newRowOf);
    }
}

bool GridRows::sortByHeaderClick(int column) {
    const bool descending = sortState_.click(column);
    if (column < 1 || column >= kGridColumnCount) {
        return false;
    }
    sortRows(column, descending);
    return true;
}

int GridRows::insertionRow(std::string_view name) const {
    if (sortState_.column() == kColName) {
        for (int row = 1; row <= rowCount(); ++row) {
            if (qmsys::icompare(cellValue(row, kColName), name) > 0) {
                return row;
            }
        }
    }
    return rowCount() + 1;
}

int GridRows::findRowByName(std::string_view name) const {
    for (int row = 1; row <= rowCount(); ++row) {
        if (!at(row).explanatory && cellValue(row, kColName) == name) {
            return row;
        }
    }
    return 0;
}

const std::string& GridRows::eventLabel(ModuleEvent event) const {
    if (event < kEventLoadModule || event > kEventUnloadMenu) {
        return kNoText;
    }
    return eventLabels_[static_cast<std::size_t>(event)];  // checked to be 1..4 above
}

const std::string& GridRows::headerText(int column) const {
    return column >= 0 && column < kGridColumnCount ? headers_[slot(column)] : kNoText;
}

const std::string& GridRows::headerTip(int column) const {
    return column >= 0 && column < kGridColumnCount ? headerTips_[slot(column)] : kNoText;
}

}  // namespace qm::ui
