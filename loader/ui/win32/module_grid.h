#pragma once
// ModuleGrid: the module grid on a report-mode ListView, a mirror of the presenter's rows
// (GridRows, whose changes it hears as their listener). It shows the visible columns (name,
// start-up image, event), and carries out the grid's input rules (grid_input.h) for keys and
// mouse, reporting to the dialog what is the dialog's: an accelerator or context-menu command,
// the toggle, a header click. Custom draw paints each cell in its prepared style (bold, the
// centred start-up image, the grey explanatory row across every column) and the white band
// right of the last header item.
#include "ui/win32/win32.h"
// After windows.h.
#include <commctrl.h>

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "ui/logic/column_fractions.h"
#include "ui/logic/grid_input.h"
#include "ui/logic/grid_rows.h"

namespace qm::ui {
class AcceleratorTable;
}

namespace qm::ui::win32 {

// What a driver reads of a row through LVM_GETITEM's lParam (column 0).
inline constexpr LPARAM kGridRowBold = 1;
inline constexpr LPARAM kGridRowExplanatory = 2;

class ModuleGrid : public GridRowsListener {
public:
    struct Handlers {
        std::function<void(int command)> command;  // accelerator or context-menu command
        std::function<void()> toggle;              // Space, double click
        std::function<void(int column)> headerClick;
    };

    // Subclasses listView (created from the template). rows and fractions outlive the grid;
    // accelerators may be null.
    ModuleGrid(HWND listView, const GridRows& rows, ColumnFractions& fractions, Handlers handlers,
               const AcceleratorTable* accelerators);
    ~ModuleGrid() override;
    ModuleGrid(const ModuleGrid&) = delete;
    ModuleGrid& operator=(const ModuleGrid&) = delete;

    HWND hwnd() const { return hwnd_; }
    // The visible columns with the rows' header texts; once, before any row.
    void createColumns();
    void setTabTargets(HWND load, HWND unload) {
        tabLoad_ = load;
        tabUnload_ = unload;
    }
    // Whether the context menu offers "Load module" (LoaderDialogPresenter::offersLoadModule).
    void setLoadModuleOffered(bool offered) { loadModuleOffered_ = offered; }

    // Selected rows, ascending; the focused row when none is selected.
    std::vector<int> selectedRows() const;
    void selectRow(int row);
    // Sets the shown columns' widths from their fractions of the client width.
    void relayColumns();

    // The parent's WM_NOTIFY from the ListView (custom draw, header click, double click).
    LRESULT notify(const NMHDR& header, bool& handled);
    // The grid's context menu from the resources (the caller destroys it).
    HMENU buildContextMenu() const;

    // GridRowsListener: the ListView follows the rows.
    void rowsInserted(int first, int count) override;
    void rowRemoved(int row) override;
    void rowsReset() override;
    void rowChanged(int row) override;
    void rowsSorted(std::span<const int> newRowOf) override;

private:
    static LRESULT CALLBACK proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                 DWORD_PTR data);
    static LRESULT CALLBACK headerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR id, DWORD_PTR data);
    bool onKeyDown(int key);
    void moveTo(int target, GridSelectionRule rule);
    void showContextMenu(POINT screen);
    LRESULT customDraw(NMLVCUSTOMDRAW& draw);
    void drawExplanatoryRow(HDC dc, int item);
    void showRow(int row);
    void makeFonts();
    void makeImages();
    int clientWidth() const;

    HWND hwnd_;
    HWND header_ = nullptr;
    const GridRows& rows_;
    ColumnFractions& fractions_;
    Handlers handlers_;
    const AcceleratorTable* accelerators_;
    HWND tabLoad_ = nullptr;
    HWND tabUnload_ = nullptr;
    bool loadModuleOffered_ = true;
    HFONT font_ = nullptr;
    HFONT bold_ = nullptr;
    HIMAGELIST images_ = nullptr;
    bool relaying_ = false;
};

}  // namespace qm::ui::win32
