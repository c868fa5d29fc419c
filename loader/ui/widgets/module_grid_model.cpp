#include "ui/widgets/module_grid_model.h"

#include <QColor>
#include <QFont>

#include "ui/widgets/image_scaled.h"

namespace qm::ui {
namespace {

QFont standardFont(int weight) {
    QFont font(QStringLiteral("Arial"), 9);
    font.setWeight(weight >= 700 ? QFont::Bold : QFont::Normal);
    return font;
}

QVariant textOrNothing(const std::string& text) {
    return text.empty() ? QVariant() : QVariant(QString::fromStdString(text));
}

const QColor kLoadedGreen(0, 200, 50);
const QColor kUnloadedRed(255, 0, 0);
const QColor kExplanatoryGrey(192, 192, 192);

}  // namespace

ModuleGridModel::ModuleGridModel(GridRows& rows, QObject* parent)
    : QAbstractTableModel(parent), rows_(rows) {
    rows_.setListener(this);
}

ModuleGridModel::~ModuleGridModel() {
    rows_.setListener(nullptr);
}

int ModuleGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_.rowCount();
}

int ModuleGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kGridColumnCount;
}

QVariant ModuleGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_.rowCount() || index.column() >= kGridColumnCount) {
        return {};
    }
    const GridCell& c = rows_.cell(index.row() + 1, index.column());
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(c.value);
        case Qt::ToolTipRole:
            return textOrNothing(c.tip);
        case Qt::FontRole:
            return standardFont(CellFontWeight(c.style));
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
            return QString::fromStdString(rows_.headerText(section));
        case Qt::ToolTipRole:
            return textOrNothing(rows_.headerTip(section));
        case Qt::TextAlignmentRole:
            return section == kColStartup ? int(Qt::AlignCenter)
                                          : int(Qt::AlignLeft | Qt::AlignVCenter);
        case Qt::FontRole:
            return standardFont(400);
        default:
            return {};
    }
}

Qt::ItemFlags ModuleGridModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void ModuleGridModel::rowsAboutToBeInserted(int first, int count) {
    beginInsertRows({}, first - 1, first + count - 2);
}

void ModuleGridModel::rowsInserted(int, int) {
    endInsertRows();
}

void ModuleGridModel::rowAboutToBeRemoved(int row) {
    beginRemoveRows({}, row - 1, row - 1);
}

void ModuleGridModel::rowRemoved(int) {
    endRemoveRows();
}

void ModuleGridModel::rowsAboutToBeReset() {
    beginResetModel();
}

void ModuleGridModel::rowsReset() {
    endResetModel();
}

void ModuleGridModel::rowChanged(int row) {
    emit dataChanged(index(row - 1, 0), index(row - 1, kGridColumnCount - 1));
}

void ModuleGridModel::rowsAboutToBeSorted() {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    persistentBeforeSort_ = persistentIndexList();
}

void ModuleGridModel::rowsSorted(std::span<const int> newRowOf) {
    QModelIndexList after;
    after.reserve(persistentBeforeSort_.size());
    for (const QModelIndex& old : persistentBeforeSort_) {
        after.append(index(newRowOf[static_cast<std::size_t>(old.row())] - 1, old.column()));
    }
    changePersistentIndexList(persistentBeforeSort_, after);
    persistentBeforeSort_.clear();
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

}  // namespace qm::ui
