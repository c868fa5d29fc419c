#pragma once
// The module loader dialog on Win32: a view of LoaderDialogPresenter. It builds the dialog
// from template 6000, mirrors the presenter's rows in the module grid, passes each command to
// the presenter, and carries out what the presenter asks (enabling, images, tooltips,
// messages, the wait cursor, placement, the Options dialog, closing). It decides nothing.
#include <memory>
#include <string>
#include <vector>

#include "ui/logic/loader_dialog_presenter.h"
#include "ui/win32/dialog_window.h"
#include "ui/win32/module_grid.h"

namespace qm {
class LoaderContext;
}

namespace qm::ui {
class AcceleratorTable;
}

namespace qm::ui::win32 {

class LoaderDialog : public DialogWindow, public LoaderDialogView {
public:
    // The module loader's resources must be current (the presenter loads its texts).
    LoaderDialog(LoaderContext& context, const AcceleratorTable* accelerators);
    ~LoaderDialog() override;

    // IDOK or IDCANCEL; -1 when the dialog cannot be made.
    INT_PTR run(HWND owner) { return runModal(owner); }

    // LoaderDialogView
    void enableControl(int id, bool enabled) override;
    void hideControl(int id) override;
    void setControlText(int id, const std::string& text) override;
    void setButtonImage(int id, int bitmap) override;
    void setButtonTooltip(int id, StringId text) override;
    void showError(const std::string& text) override;
    void setWaitCursor(bool on) override;
    std::vector<Screen> screens() const override;
    PixelSize templateSize() const override;
    void applyPlacement(const DialogFit& fit) override;
    DialogPlacement currentPlacement() const override;
    std::vector<int> selectedGridRows() const override;
    void selectGridRow(int row) override;
    void relayGridColumns() override;
    bool runOptionsDialog(const std::string& versionText) override;
    void closeDialog(bool ok) override;

private:
    void onInit() override;
    void onCommand(int id, int code, HWND control) override;
    INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void setAnchors();
    void onHeaderClick(int column);

    LoaderContext& context_;
    const AcceleratorTable* accelerators_;
    LoaderDialogPresenter presenter_;
    std::unique_ptr<ModuleGrid> grid_;
    HICON iconLarge_ = nullptr;
    HICON iconSmall_ = nullptr;
};

}  // namespace qm::ui::win32
