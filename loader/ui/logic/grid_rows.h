#pragma once
// The module grid's rows, apart from any toolkit: one row per listed module (name, start-up
// image, menu state and pending event) or a single explanatory row, with each cell's text,
// prepared style and tooltip, the header texts, and the grid's two-key sort. A view shows what
// this store holds and hears of every change through GridRowsListener; it never decides what
// a cell says.
//
// Rows are numbered as the grid numbers them: row 1 is the first row below the header. Columns
// are the grid's: 0 is the hidden row-header column, 1 to 7 the module's cells; only 1, 3 and 7
// are shown. The store keeps the texts it was given and never reads module records while a
// view paints, so a worker thread may change records while the grid repaints. Texts are UTF-8.
#include <array>
#include <span>
#include <string>
#include <string_view>
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

// The visible columns, left to right.
inline constexpr int kShownGridColumns[] = {kColName, kColStartup, kColEvent};
bool IsShownGridColumn(int column);

// Row height in pixels at 100 % (a view scales it to the screen's DPI).
inline constexpr int kGridRowHeight = 22;

// The prepared styles a cell can have. What each looks like:
//   Standard      Arial 9 pt, weight 400, black
//   NamePlain     weight 400, black                 NameLoaded  weight 700, black
//   Startup       the bitmap whose number is the value, centred both ways
//   MenuLoaded    weight 700, green (0, 200, 50)    MenuUnloaded weight 400, red (255, 0, 0)
//   Event         weight 700, black
//   Explanatory   grey interior (192, 192, 192), the cell spans every column from 1
enum class CellStyle {
    Standard,
    NamePlain,
    NameLoaded,
    Startup,
    MenuLoaded,
    MenuUnloaded,
    Event,
    Explanatory,
};

// Font weight of a style's text: 700 (bold) or 400.
int CellFontWeight(CellStyle style);

struct GridCell {
    std::string value;
    CellStyle style = CellStyle::Standard;
    std::string tip;  // "" for none
};

// Hears of every change to a GridRows, before and after, so that a view can keep its own rows
// in step (a toolkit model that must announce changes ahead, or a list control that mirrors
// the rows). Every call comes on the thread that changes the store. Default: nothing.
class GridRowsListener {
public:
    virtual ~GridRowsListener() = default;
    virtual void rowsAboutToBeInserted(int /*first*/, int /*count*/) {}
    virtual void rowsInserted(int /*first*/, int /*count*/) {}
    virtual void rowAboutToBeRemoved(int /*row*/) {}
    virtual void rowRemoved(int /*row*/) {}
    virtual void rowsAboutToBeReset() {}
    virtual void rowsReset() {}
    // One or more cells of the row changed.
    virtual void rowChanged(int /*row*/) {}
    virtual void rowsAboutToBeSorted() {}
    // newRowOf[r - 1] is the row that the row numbered r before the sort now has.
    virtual void rowsSorted(std::span<const int> /*newRowOf*/) {}
};

class GridRows {
public:
    // Loads the header texts, tooltips and event labels from the current resources.
    GridRows();

    // At most one listener; null for none. The listener must outlive the store or be unset.
    void setListener(GridRowsListener* listener) { listener_ = listener; }

    int rowCount() const { return static_cast<int>(rows_.size()); }
    // Inserts count empty rows before row `before` (rowCount() + 1 appends; clamped).
    void insertRows(int before, int count);
    void removeRow(int row);
    void removeAllRows();

    // Writes the row's cells from the record: name (bold style while its menus are loaded),
    // start-up image, menu state and the pending event's label (cleared when none).
    void fillRow(int row, const ModuleRecord& record);
    void setStartupCell(int row, StartupOption option);

    // The cell, or an empty standard cell outside the rows and columns.
    const GridCell& cell(int row, int column) const;
    const std::string& cellValue(int row, int column) const { return cell(row, column).value; }
    CellStyle cellStyle(int row, int column) const { return cell(row, column).style; }

    // Adds the single grey row that spans every column and shows text (line feeds removed,
    // the text its own tooltip).
    void showExplanatoryRow(std::string_view text);
    bool isExplanatoryRow(int row) const;

    // Sorts every row by column in the given direction, ties broken ascending by the name
    // column (or, when sorting by name, by the event column). Cells compare by their values
    // without regard to ASCII letter case, as the grid's Windows original does (_wcsicmp);
    // rows equal by both keys keep their order.
    void sortRows(int column, bool descending);
    // A click on column's header: the sort state decides the direction, then the rows are
    // sorted (column 0 sorts nothing). Returns whether rows were sorted.
    bool sortByHeaderClick(int column);

    // Where a row for a module named name goes: when the last sort was by name, before the
    // first row whose name is greater (ignoring ASCII case, whatever the direction); otherwise,
    // or when there is none, after the last row.
    int insertionRow(std::string_view name) const;
    // The first row whose name cell equals name exactly; 0 when none (the explanatory row is
    // never a module's).
    int findRowByName(std::string_view name) const;

    // The labels of events 1 to 4 as the grid shows them; "" for other values.
    const std::string& eventLabel(ModuleEvent event) const;
    const std::string& headerText(int column) const;
    const std::string& headerTip(int column) const;

    // The last header-click sort (column 1 ascending before any click).
    GridSortState& sortState() { return sortState_; }
    const GridSortState& sortState() const { return sortState_; }

private:
    struct Row {
        std::array<GridCell, kGridColumnCount> cells;
        bool explanatory = false;
    };
    bool valid(int row) const { return row >= 1 && row <= rowCount(); }
    Row& at(int row) { return rows_[static_cast<std::size_t>(row - 1)]; }
    const Row& at(int row) const { return rows_[static_cast<std::size_t>(row - 1)]; }
    void changed(int row);

    std::vector<Row> rows_;
    std::array<std::string, kGridColumnCount> headers_;
    std::array<std::string, kGridColumnCount> headerTips_;
    std::array<std::string, 5> eventLabels_;
    std::string loadedText_;
    std::string unloadedText_;
    std::array<std::string, 3> startupTips_;  // by StartupOption
    GridSortState sortState_;
    GridRowsListener* listener_ = nullptr;
};

}  // namespace qm::ui
