#pragma once
// The module loader dialog on Win32: the module grid, Load and Unload, the three start-up
// option buttons, Options..., OK, Apply, Cancel and Help, the product information under the
// grid, its placement and column widths kept in the user's registry.
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "ui/logic/event_marking.h"
#include "ui/logic/grid_sort_state.h"
#include "ui/logic/startup_option.h"
#include "ui/win32/dialog_placement.h"
#include "ui/win32/dialog_window.h"
#include "ui/win32/module_grid.h"

namespace qm {
class LoaderContext;
class ModuleRecord;
}  // namespace qm

namespace qm::ui {
class AcceleratorTable;
}

namespace qm::ui::win32 {

class LoaderDialog : public DialogWindow {
public:
    LoaderDialog(LoaderContext& context, const AcceleratorTable* accelerators);
    ~LoaderDialog() override;

    INT_PTR run(HWND owner) { return runModal(owner); }

private:
    // The cells a row shows, as the sort compares them.
    struct RowCells {
        std::string name;
        std::string startup;  // the image's bitmap number
        std::string event;
        bool explanatory = false;
    };

    void onInit() override;
    void onCommand(int id, int code, HWND control) override;
    INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

    void setActionButtonsEnabled(bool enabled);
    void setAnchors();
    void showError(const std::string& text);

    // Rows and records.
    ModuleRecord* recordOfRow(int row);
    bool isListed(const ModuleRecord& record) const;
    int listedCount() const;
    void insertRows(int before, int count);
    void removeRow(int row);
    void fillRow(int row, const ModuleRecord& record);
    void setStartupCell(int row, StartupOption option);
    void showExplanatoryRow();
    void fillGrid();
    void finishList();
    void sortRows(int column, bool descending);
    int insertionRow(const std::string& name, bool sortedByName) const;
    int findRowByName(const std::string& name) const;

    // Actions.
    void markEvents(MarkMode mode);
    void applyStartupOption(StartupOption option, bool fromButton);
    void onGridCommand(int command);
    void onHeaderClick(int column);
    void onApply();
    void onOk();
    void onCancel();
    void onOptions();
    void storeColumnWidths();

    LoaderContext& context_;
    const AcceleratorTable* accelerators_;
    DialogPlacement placement_;
    std::unique_ptr<ModuleGrid> grid_;
    std::vector<RowCells> rows_;
    GridSortState sortState_;
    std::unordered_map<std::string, std::size_t> byName_;
    std::size_t indexedCount_ = 0;
    std::string noModulesMessage_;
    std::string versionCaption_;
    HICON iconLarge_ = nullptr;
    HICON iconSmall_ = nullptr;
    int busyDepth_ = 0;
};

}  // namespace qm::ui::win32
