#include "ui/widgets/module_grid_model.h"

#include <QColor>
#include <QFont>
#include <algorithm>

#include "ui/logic/resource_strings.h"
#include "ui/widgets/image_scaled.h"

namespace qm::ui {
namespace {

QString text(StringId id) {
    return QString::fromStdString(ResourceString(id));
}

QFont standardFont(bool bold) {
    QFont font(QStringLiteral("Arial"), 9);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    return font;
}

const QColor kLoadedGreen(0, 200, 50);
const QColor kUnloadedRed(255, 0, 0);
const QColor kExplanatoryGrey(192, 192, 192);

}  // namespace

ModuleGridModel::ModuleGridModel(QObject* parent) : QAbstractTableModel(parent) {
    headers_[kColName] = text(StringId::ModuleNameHeader);
    headerTips_[kColName] = headers_[kColName];
    headers_[kColStartup] = text(StringId::StartupHeader);
    headerTips_[kColStartup] = text(StringId::StartupHeaderTip);
    headers_[kColAutostart] = text(StringId::AutostartHeader);
    headerTips_[kColAutostart] = text(StringId::AutostartHeaderTip);
    headers_[kColDemandLoad] = text(StringId::DemandLoadHeader);
    headerTips_[kColDemandLoad] = text(StringId::DemandLoadHeaderTip);
    headers_[kColMenu] = text(StringId::MenuHeader);
    headerTips_[kColMenu] = text(StringId::MenuHeaderTip);
    headers_[kColEvent] = text(StringId::EventHeader);
    headerTips_[kColEvent] = text(StringId::EventHeaderTip);
    eventLabels_[kEventLoadModule] = text(StringId::EventLoad);
    eventLabels_[kEventUnloadModule] = text(StringId::EventUnload);
    eventLabels_[kEventLoadMenu] = text(StringId::EventLoadMenu);
    eventLabels_[kEventUnloadMenu] = text(StringId::EventUnloadMenu);
    loadedText_ = text(StringId::Loaded);
    unloadedText_ = text(StringId::Unloaded);
    for (StartupOption option :
         {StartupOption::NoAction, StartupOption::LoadMenuOnly, StartupOption::LoadModule}) {
        startupTips_[static_cast<std::size_t>(option)] = text(Describe(option).tooltip);
    }
}

int ModuleGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : gridRowCount();
}

int ModuleGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kGridColumnCount;
}

QVariant ModuleGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= gridRowCount() || index.column() >= kGridColumnCount) {
        return {};
    }
    const Cell& c = cell(index.row() + 1, index.column());
    switch (role) {
        case Qt::DisplayRole:
            return c.value;
        case Qt::ToolTipRole:
            return c.tip.isEmpty() ? QVariant() : QVariant(c.tip);
        case Qt::FontRole:
            return standardFont(c.style == CellStyle::NameLoaded ||
                                c.style == CellStyle::MenuLoaded || c.style == CellStyle::Event);
        case Qt::ForegroundRole:
            if (c.style == CellStyle::MenuLoaded) {
                return kLoadedGreen;
            }
            return c.style == CellStyle::MenuUnloaded ? kUnloadedRed : QColor(Qt::black);
        case Qt::BackgroundRole:
            return c.style == CellStyle::Explanatory ? QVariant(kExplanatoryGrey) : QVariant();
        case Qt::TextAlignmentRole:
            return c.style == CellStyle::Startup ? int(Qt::AlignCenter)
                                                 : int(Qt::AlignLeft | Qt::AlignVCenter);
        case kCellTypeRole:
            return c.style == CellStyle::Startup ? CImageScaled::kCellType : 0;
        default:
            return {};
    }
}

QVariant ModuleGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kGridColumnCount) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (role) {
        case Qt::DisplayRole:
            return headers_[slot(section)];
        case Qt::ToolTipRole:
            return headerTips_[slot(section)].isEmpty() ? QVariant()
                                                        : QVariant(headerTips_[slot(section)]);
        case Qt::TextAlignmentRole:
            return section == kColStartup ? int(Qt::AlignCenter)
                                          : int(Qt::AlignLeft | Qt::AlignVCenter);
        case Qt::FontRole:
            return standardFont(false);
        default:
            return {};
    }
}

Qt::ItemFlags ModuleGridModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void ModuleGridModel::insertGridRows(int before, int count) {
    before = std::clamp(before, 1, gridRowCount() + 1);
    if (count <= 0) {
        return;
    }
    beginInsertRows({}, before - 1, before + count - 2);
    rows_.insert(rows_.begin() + (before - 1), static_cast<std::size_t>(count), Row{});
    endInsertRows();
}

void ModuleGridModel::removeGridRow(int row) {
    if (row < 1 || row > gridRowCount()) {
        return;
    }
    beginRemoveRows({}, row - 1, row - 1);
    rows_.erase(rows_.begin() + (row - 1));
    endRemoveRows();
}

void ModuleGridModel::removeAllRows() {
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void ModuleGridModel::emitRowChanged(int row) {
    emit dataChanged(index(row - 1, 0), index(row - 1, kGridColumnCount - 1));
}

void ModuleGridModel::fillRow(int row, const ModuleRecord& record) {
    if (row < 1 || row > gridRowCount()) {
        return;
    }
    const bool loaded = record.GetMenusLoaded() != 0;
    Cell& name = cell(row, kColName);
    name.value = QString::fromStdString(record.GetDisplayName());
    name.style = loaded ? CellStyle::NameLoaded : CellStyle::NamePlain;
    name.tip = loaded ? loadedText_ : QString();

    const StartupOption option = StartupOptionOf(record);
    cell(row, kColStartup) = {QString::number(Describe(option).bitmap), CellStyle::Startup,
                              startupTips_[static_cast<std::size_t>(option)]};

    cell(row, kColMenu) = {loaded ? loadedText_ : unloadedText_,
                           loaded ? CellStyle::MenuLoaded : CellStyle::MenuUnloaded,
                           {}};

    const ModuleEvent event = record.GetPendingEvent();
    if (event >= kEventLoadModule && event <= kEventUnloadMenu) {
        cell(row, kColEvent) = {eventLabel(event), CellStyle::Event, {}};
    } else {
        cell(row, kColEvent).value.clear();
    }
    gridRow(row).explanatory = false;
    emitRowChanged(row);
}

void ModuleGridModel::setStartupCell(int row, StartupOption option) {
    if (row < 1 || row > gridRowCount()) {
        return;
    }
    const StartupOptionInfo& info = Describe(option);
    cell(row, kColStartup) = {QString::number(info.bitmap), CellStyle::Startup, text(info.tooltip)};
    emitRowChanged(row);
}

QString ModuleGridModel::cellValue(int row, int column) const {
    if (row < 1 || row > gridRowCount() || column < 0 || column >= kGridColumnCount) {
        return {};
    }
    return cell(row, column).value;
}

CellStyle ModuleGridModel::cellStyle(int row, int column) const {
    if (row < 1 || row > gridRowCount() || column < 0 || column >= kGridColumnCount) {
        return CellStyle::Standard;
    }
    return cell(row, column).style;
}

void ModuleGridModel::showExplanatoryRow(const QString& message) {
    QString flat = message;
    flat.remove(QLatin1Char('\n'));
    const int row = gridRowCount() + 1;
    insertGridRows(row, 1);
    Row& r = gridRow(row);
    r.explanatory = true;
    for (int c = kColName; c < kGridColumnCount; ++c) {
        r.cells[slot(c)] = {c == kColName ? flat : QString(), CellStyle::Explanatory, flat};
    }
    emitRowChanged(row);
}

bool ModuleGridModel::isExplanatoryRow(int row) const {
    return row >= 1 && row <= gridRowCount() && gridRow(row).explanatory;
}

void ModuleGridModel::sortRows(int column, bool descending) {
    if (column < 1 || column >= kGridColumnCount || rows_.empty()) {
        return;
    }
    const std::size_t first = slot(column);
    const std::size_t second = slot(column == kColName ? kColEvent : kColName);
    std::vector<std::size_t> order(rows_.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const int byFirst = QString::compare(rows_[a].cells[first].value,
                                             rows_[b].cells[first].value, Qt::CaseInsensitive);
        if (byFirst != 0) {
            return descending ? byFirst > 0 : byFirst < 0;
        }
        return QString::compare(rows_[a].cells[second].value, rows_[b].cells[second].value,
                                Qt::CaseInsensitive) < 0;
    });

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    // The grid never holds more rows than an int counts (gridRowCount()).
    std::vector<int> newPosition(order.size());
    std::vector<Row> sorted;
    sorted.reserve(rows_.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        newPosition[order[i]] = static_cast<int>(i);
        sorted.push_back(std::move(rows_[order[i]]));
    }
    rows_ = std::move(sorted);
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before) {
        after.append(index(newPosition[slot(old.row())], old.column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int ModuleGridModel::insertionRow(const QString& name, bool sortedByName) const {
    if (sortedByName) {
        for (int row = 1; row <= gridRowCount(); ++row) {
            if (QString::compare(cellValue(row, kColName), name, Qt::CaseInsensitive) > 0) {
                return row;
            }
        }
    }
    return gridRowCount() + 1;
}

int ModuleGridModel::findRowByName(const QString& name) const {
    for (int row = 1; row <= gridRowCount(); ++row) {
        if (!gridRow(row).explanatory && cellValue(row, kColName) == name) {
            return row;
        }
    }
    return 0;
}

QString ModuleGridModel::eventLabel(ModuleEvent event) const {
    if (event < kEventLoadModule || event > kEventUnloadMenu) {
        return {};
    }
    return eventLabels_[static_cast<std::size_t>(event)];  // checked to be 1..4 above
}

}  // namespace qm::ui
