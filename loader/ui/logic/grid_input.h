#pragma once
// The module grid's input rules, apart from any toolkit: what a key-down (a Windows virtual
// key with its modifiers) or a mouse action on the grid does to the focus, the selection and
// the marks. A view translates its toolkit's events into these terms (on Windows they already
// are), asks the rules, and carries out the answer; it decides nothing itself.
//
// Every key-down is first offered to the accelerator table (accelerator_table.h) with the grid
// as the target; whether an accelerator fired, the key then goes on to these rules.
#include <optional>
#include <vector>

namespace qm::ui {

class AcceleratorTable;

// Windows virtual-key codes of the keys the rules name.
inline constexpr int kVkTab = 0x09;
inline constexpr int kVkSpace = 0x20;
inline constexpr int kVkEnd = 0x23;
inline constexpr int kVkHome = 0x24;

struct KeyModifiers {
    bool control = false;
    bool shift = false;
    bool alt = false;
};

enum class GridKeyAction {
    Default,       // the grid's own handling (moving the current cell, Shift extending, ...)
    FocusButtons,  // the focus goes to TabFocusTarget(...); the key is consumed
    ToggleMarks,   // the loader dialog's toggle on the selected rows; the key is consumed
    FirstRow,      // the current cell goes to the first row (its column kept)
    LastRow,       // the current cell goes to the last row
};

enum class GridSelectionRule {
    Default,   // as the grid's own handling leaves it
    Collapse,  // only the new current row is selected and it becomes the anchor, also when
               // the current row did not move
    Extend,    // the selection runs from the anchor to the new current row; the anchor stays
};

struct GridKeyRule {
    GridKeyAction action = GridKeyAction::Default;
    GridSelectionRule selection = GridSelectionRule::Default;
    // The key goes no further (not to the grid's own handling nor to the dialog).
    bool consumed = false;

    bool operator==(const GridKeyRule&) const = default;
};

// The rule for a key-down. Tab reaches the grid with or without Shift (Shift+Tab is a Tab to
// it) and moves the focus to the buttons; Space toggles the marks; Ctrl+Home and Ctrl+End jump
// to the first and the last row, collapsing the selection onto it, or with Shift extending it
// from the anchor. Alt turns every key into a system key, which the grid leaves alone.
GridKeyRule GridKeyRuleFor(int virtualKey, KeyModifiers modifiers);

// The command an accelerator key sends to the grid, if any (table may be null).
std::optional<int> GridAccelerator(const AcceleratorTable* table, int virtualKey,
                                   KeyModifiers modifiers);

// The grid's selection as the rules see it: the current row, the anchor that Shift extends
// from, and the selected rows (ascending). Rows are the grid's, from 1; 0 for none.
struct GridSelection {
    int current = 0;
    int anchor = 0;
    std::vector<int> rows;

    bool operator==(const GridSelection&) const = default;
};

// The selection after a key's action moved the current row to target under rule (Default
// leaves the selection to the grid's own handling and returns before unchanged).
GridSelection SelectionAfterMove(const GridSelection& before, int target, GridSelectionRule rule);

// Where Tab in the grid sends the focus: the Load button when it is enabled, else the Unload
// button when it exists and is enabled; 0 when the focus stays in the grid.
int TabFocusTarget(bool loadEnabled, bool unloadEnabled);

enum class GridMouseAction {
    Default,      // the grid's own handling (selection, current cell)
    ToggleMarks,  // the loader dialog's toggle on the selected rows
    SortColumn,   // the rows are sorted by the clicked column (GridRows::sortByHeaderClick)
    ContextMenu,  // the context menu at the click point; the selection first as selectRow says
};

enum class GridMouseButton { Left, LeftDouble, Right };

struct GridMouseRule {
    GridMouseAction action = GridMouseAction::Default;
    // Before the action: make the clicked row the current and only selected row.
    bool selectRow = false;

    bool operator==(const GridMouseRule&) const = default;
};

// The rule for a mouse press on row (0: the header row) of a grid with rows; rowSelected says
// whether the row is among the selected rows. A click or double click on a header sorts; a
// double click on a row toggles its marks (after the grid's own handling of the click); a right
// click on a row outside the selection selects it alone before the menu shows.
GridMouseRule GridMouseRuleFor(GridMouseButton button, int row, bool rowSelected);

}  // namespace qm::ui
