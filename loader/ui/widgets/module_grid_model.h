#pragma once
// The module grid's cells: one row per listed module (name, start-up image, menu state and
// pending event) or a single explanatory row, with the grid's prepared cell styles, header
// texts and tooltips, and its two-key sort.
//
// Rows are numbered as the grid numbers them: row 1 is the first row below the header; model
// row r - 1 holds grid row r. Columns are the grid's: 0 is the hidden row-header column, 1 to
// 7 the module's cells. The model keeps the cell texts it was given and never reads module
// records while painting, so a worker thread may change records while the grid repaints.
#include <QAbstractTableModel>
#include <QString>
#include <array>
#include <cassert>
#include <vector>

#include "runtime/module_record.h"
#include "ui/logic/grid_sort_state.h"
#include "ui/logic/startup_option.h"

namespace qm::ui {

enum GridColumn : int {
    kColRowHeader = 0,
    kColName = 1,
    kColUnused = 2,
    kColStartup = 3,
    kColAutostart = 4,
    kColDemandLoad = 5,
    kColMenu = 6,
    kColEvent = 7,
    kGridColumnCount = 8,
};

// The prepared styles a cell can have.
enum class CellStyle {
    Standard,
    NamePlain,
    NameLoaded,
    Startup,  // image cell; the value is the bitmap's number
    MenuLoaded,
    MenuUnloaded,
    Event,
    Explanatory,
};

class ModuleGridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // Role under which a cell reports its control type (CImageScaled::kCellType for images).
    static constexpr int kCellTypeRole = Qt::UserRole + 1;

    // Loads the header texts, tooltips and event labels from the current resources.
    explicit ModuleGridModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    int gridRowCount() const { return static_cast<int>(rows_.size()); }
    // Inserts count empty rows before grid row `before` (gridRowCount() + 1 appends).
    void insertGridRows(int before, int count);
    void removeGridRow(int row);
    void removeAllRows();

    // Writes the row's cells from the record: name (bold style while its menus are loaded),
    // start-up image, menu state and the pending event's label (cleared when none).
    void fillRow(int row, const ModuleRecord& record);
    void setStartupCell(int row, StartupOption option);
    QString cellValue(int row, int column) const;
    CellStyle cellStyle(int row, int column) const;

    // Adds the single grey row that spans every column and shows text (line feeds removed).
    void showExplanatoryRow(const QString& text);
    bool isExplanatoryRow(int row) const;

    // Sorts every row by column in the given direction, ties broken ascending by the name
    // column (or, when sorting by name, by the event column). Cells compare by their values
    // without regard to case.
    void sortRows(int column, bool descending);

    // Where a row for a module named name goes: when sortedByName, before the first row whose
    // name is greater (ignoring case); otherwise, or when there is none, after the last row.
    int insertionRow(const QString& name, bool sortedByName) const;
    // The first row whose name cell equals name exactly; 0 when none.
    int findRowByName(const QString& name) const;

    // The labels of events 1 to 4 as the grid shows them; "" for other values.
    QString eventLabel(ModuleEvent event) const;

    // The last header-click sort (column 1 ascending before any click).
    GridSortState& sortState() { return sortState_; }
    const GridSortState& sortState() const { return sortState_; }

private:
    struct Cell {
        QString value;
        CellStyle style = CellStyle::Standard;
        QString tip;
    };
    struct Row {
        std::array<Cell, kGridColumnCount> cells;
        bool explanatory = false;
    };
    void emitRowChanged(int row);
    // Qt counts rows and columns in int, the containers count in size_t: these convert in
    // one place. Callers have checked the bounds, so the numbers are never negative.
    static std::size_t slot(int i) { return static_cast<std::size_t>(i); }
    Row& gridRow(int row) {
        assert(row >= 1 && row <= gridRowCount() && "grid row out of range");
        return rows_[slot(row - 1)];
    }
    const Row& gridRow(int row) const {
        assert(row >= 1 && row <= gridRowCount() && "grid row out of range");
        return rows_[slot(row - 1)];
    }
    Cell& cell(int row, int column) {
        assert(column >= 0 && column < kGridColumnCount && "grid column out of range");
        return gridRow(row).cells[slot(column)];
    }
    const Cell& cell(int row, int column) const {
        assert(column >= 0 && column < kGridColumnCount && "grid column out of range");
        return gridRow(row).cells[slot(column)];
    }

    std::vector<Row> rows_;
    std::array<QString, kGridColumnCount> headers_;
    std::array<QString, kGridColumnCount> headerTips_;
    std::array<QString, 5> eventLabels_;
    QString loadedText_;
    QString unloadedText_;
    std::array<QString, 3> startupTips_;  // by StartupOption
    GridSortState sortState_;
};

}  // namespace qm::ui
