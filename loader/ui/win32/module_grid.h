#pragma once
// ModuleGrid: the module grid on a report-mode ListView. It shows rows it is given (the name,
// the start-up image, the pending event) and reports what the user does with them: a key
// (offered to the accelerator table first, as the dialog's own keys), Space and the double
// click (toggle), a command of the context menu, a header click, the end of a column drag.
// Custom draw paints bold rows, the centred start-up image, the grey explanatory row across
// every column, and the white band right of the last header item.
//
// Rows are numbered from 1 (the first row under the header), columns by the grid's numbers
// (kColName, kColStartup, kColEvent are shown).
#include "ui/win32/win32.h"
// After windows.h.
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/logic/column_fractions.h"

namespace qm::ui {
class AcceleratorTable;
}

namespace qm::ui::win32 {

struct GridRow {
    std::string name;
    std::string nameTip;
    bool bold = false;      // menus loaded
    int startupImage = -1;  // StartupOption as int; -1 none
    std::string startupTip;
    std::string event;  // the pending event's label, "" when none
    bool explanatory = false;
};

// What a driver reads of a row through LVM_GETITEM's lParam (column 0).
inline constexpr LPARAM kGridRowBold = 1;
inline constexpr LPARAM kGridRowExplanatory = 2;

class ModuleGrid {
public:
    struct Handlers {
        std::function<void(int command)> command;  // accelerator or context-menu command
        std::function<void()> toggle;              // Space, double click
        std::function<void(int column)> headerClick;
    };

    // Subclasses listView (created from the template). accelerators may be null.
    ModuleGrid(HWND listView, Handlers handlers, const AcceleratorTable* accelerators);
    ~ModuleGrid();
    ModuleGrid(const ModuleGrid&) = delete;
    ModuleGrid& operator=(const ModuleGrid&) = delete;

    HWND hwnd() const { return hwnd_; }
    // The columns with their header texts (by grid column); once, before any row.
    void setHeaders(const std::string& name, const std::string& startup, const std::string& event);
    void setTabTargets(HWND load, HWND unload) {
        tabLoad_ = load;
        tabUnload_ = unload;
    }
    void setAutostartOverride(bool on) { autostartOverride_ = on; }

    int rowCount() const;
    void insertRows(int before, int count);
    void removeRow(int row);
    void setRow(int row, const GridRow& content);
    void removeAll();

    // Selected rows, ascending; the focused row when none is selected.
    std::vector<int> selectedRows() const;
    void selectRow(int row);

    ColumnFractions& fractions() { return fractions_; }
    // Sets the shown columns' widths from their fractions of the client width.
    void relayColumns();

    // The parent's WM_NOTIFY from the ListView (custom draw, header click, double click).
    LRESULT notify(const NMHDR& header, bool& handled);
    // The context menu of the resources, at screen point `at`; returns the chosen command
    // (0 none). Separate so that a test can inspect the menu it builds.
    HMENU buildContextMenu() const;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                 DWORD_PTR data);
    static LRESULT CALLBACK HeaderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR id, DWORD_PTR data);
    bool onKeyDown(WPARAM key);
    void showContextMenu(POINT screen);
    LRESULT customDraw(NMLVCUSTOMDRAW& draw);
    void drawExplanatoryRow(HDC dc, int item);
    void makeFonts();
    void makeImages();
    int clientWidth() const;

    HWND hwnd_;
    HWND header_ = nullptr;
    Handlers handlers_;
    const AcceleratorTable* accelerators_;
    HWND tabLoad_ = nullptr;
    HWND tabUnload_ = nullptr;
    bool autostartOverride_ = false;
    ColumnFractions fractions_;
    HFONT font_ = nullptr;
    HFONT bold_ = nullptr;
    HIMAGELIST images_ = nullptr;
    int imageSize_ = 16;
    std::vector<std::string> tips_;  // start-up tips by row index
    bool relaying_ = false;
};

}  // namespace qm::ui::win32
