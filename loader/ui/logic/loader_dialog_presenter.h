#pragma once
// The module loader dialog's behaviour, apart from any toolkit. The presenter owns the grid's
// rows (GridRows), its column fractions and the dialog's persistence, and decides everything
// the dialog does: which buttons are enabled, what Load, Unload, the toggle and the start-up
// options do to the selected rows' records, Apply (carrying out the marked events in catalogue
// order and reporting failures in one message), OK, Cancel, and the rows' rebuild after the
// Options dialog. A view (Qt widgets on Linux, native controls on Windows) builds the controls
// from dialog template 6000, passes each user action to the matching on...() call, and carries
// out the requests of LoaderDialogView. Everything runs on the view's UI thread.
//
// A view's life with its presenter:
//   1. construct the presenter (while the module loader's resources are current) with the view;
//      show presenter.rows() in the grid (GridRows::setListener) and lay out the visible
//      columns at presenter.fractions() of the grid's client width;
//   2. create the controls, then call initialise() once, before the dialog first shows;
//   3. route commands: Load -> onLoad(), Unload -> onUnload(), start-up buttons ->
//      onStartupOptionButton(), the grid's commands (context menu, accelerators) ->
//      onGridCommand(), Space and double click (see grid_input.h) -> onToggle(), Apply ->
//      onApply(), OK -> onOk(), Cancel, Escape and the close box -> onCancel(), Help and F1 ->
//      onHelp(), Options... -> onOptions(); a header click -> rows().sortByHeaderClick() and,
//      when it sorted and rows exist, selectGridRow(1); the end of a user's column drag ->
//      fractions().fraction(column) = width / client width, then re-lay the columns;
//   4. onOk() and onCancel() end in closeDialog(); the view then ends its modal loop.
#include <string>
#include <unordered_map>
#include <vector>

#include "runtime/module_list.h"
#include "ui/logic/apply_report.h"
#include "ui/logic/column_fractions.h"
#include "ui/logic/dialog_placement.h"
#include "ui/logic/event_marking.h"
#include "ui/logic/grid_rows.h"
#include "ui/logic/resource_ids.h"
#include "ui/logic/screen_fit.h"
#include "ui/logic/startup_option.h"

namespace qm {
class LoaderContext;
}

namespace qm::ui {

// What the presenter asks of a view of the loader dialog. Control ids are those of dialog
// template 6000 (resource_ids.h); texts are UTF-8.
class LoaderDialogView {
public:
    virtual ~LoaderDialogView() = default;

    virtual void enableControl(int id, bool enabled) = 0;
    // Hides a control for the rest of the dialog's life.
    virtual void hideControl(int id) = 0;
    // The text of a static (the product statics 6107 and 6108).
    virtual void setControlText(int id, const std::string& text) = 0;
    // An image button's image: bitmap resource `bitmap`, white (255, 255, 255) transparent.
    virtual void setButtonImage(int id, int bitmap) = 0;
    // A button's tooltip: resource string `text`; an empty string leaves the tooltip as it is.
    virtual void setButtonTooltip(int id, StringId text) = 0;
    // A message box owned by the dialog with an OK button, the error icon and the caption
    // "Quillmont"; returns when the user has closed it.
    virtual void showError(const std::string& text) = 0;
    // The wait cursor over the application, on or off (not nested: the presenter pairs the
    // calls, also when what it waits for throws).
    virtual void setWaitCursor(bool on) = 0;

    // The screens the dialog can be on, the primary first (see screen_fit.h).
    virtual std::vector<Screen> screens() const = 0;
    // The template's size as placements measure it in this view (the frame on Windows).
    virtual PixelSize templateSize() const = 0;
    // Applies the placement, once during initialise(): the stored one, or without one the
    // template's size and no position (the view keeps its own position then, on the screen),
    // fitted to screens() by FitDialogToScreens. The view takes that size exactly, lets the user
    // shrink the dialog to fit.minimum and no further, and scrolls its client area wherever it
    // is smaller than the template (ScrollClient).
    virtual void applyPlacement(const DialogFit& fit) = 0;
    // The dialog's current normal (not maximised) frame rectangle and whether it is maximised.
    virtual DialogPlacement currentPlacement() const = 0;

    // The grid's rows touched by any selected range, ascending; the current cell's row when
    // nothing is selected; empty when there is no current cell either.
    virtual std::vector<int> selectedGridRows() const = 0;
    // Makes row the current row (in the name column) and the only selected row.
    virtual void selectGridRow(int row) = 0;
    // Lays the visible columns out at the presenter's fractions of the grid's client width.
    virtual void relayGridColumns() = 0;

    // Runs the Options dialog (options_dialog_presenter.h) modally without an owner, its
    // version line showing versionText; true when it ended with OK.
    virtual bool runOptionsDialog(const std::string& versionText) = 0;
    // Ends the modal dialog: with OK (true) or Cancel.
    virtual void closeDialog(bool ok) = 0;
};

class LoaderDialogPresenter {
public:
    // The module buttons that are disabled while the dialog works (initialisation, Apply, the
    // rebuild after Options): Load, Unload, the three start-up options, OK and Apply. Cancel,
    // Help and Options stay enabled throughout.
    static constexpr int kActionButtons[] = {
        kIdLoad, kIdUnload, kIdStartNoAction, kIdStartLoadMenuOnly, kIdStartLoadModule,
        kIdOk,   kIdApply};

    // Both outlive the presenter. Loads the grid's texts from the current resources and sets
    // up the persistence of dialog "KRQM_MODULELOADER" under the product registry key.
    LoaderDialogPresenter(LoaderContext& context, LoaderDialogView& view);

    GridRows& rows() { return rows_; }
    const GridRows& rows() const { return rows_; }
    ColumnFractions& fractions() { return fractions_; }
    DialogPersistence& persistence() { return persistence_; }

    // The dialog's initialisation: stored placement, product statics, the no-modules message
    // (shown at once when there are no modules), button images and tooltips, the autostart
    // override, stored column widths, the version caption, the product information, and the
    // rows, with row 1 selected. The view's own set-up (icons, layout, the grid's look) comes
    // before; the focus goes to the grid after.
    void initialise();

    void onLoad();
    void onUnload();
    void onToggle();
    // A start-up option button: the option on the selected rows; the button's tooltip again.
    void onStartupOptionButton(StartupOption option);
    // A command of the grid's context menu or accelerator table (kCmdLoad, ...).
    void onGridCommand(int command);
    void onApply();
    void onOk();
    void onCancel();
    void onHelp();
    void onOptions();

    // "Version: <version number>", built by initialise().
    const std::string& versionCaption() const { return versionCaption_; }
    // The message for an installation without module definitions, built by initialise().
    const std::string& noModulesMessage() const { return noModulesMessage_; }
    const std::string& productName() const { return productName_; }
    const std::string& products() const { return products_; }

    // The record a row shows: the first record, in catalogue order, whose display name equals
    // the row's name cell exactly. None for rows below 1 or above the number of records.
    ModuleRecord* recordOfRow(int row);
    // Whether the "Load module" start-up option is offered by its button and the grid's context
    // menu (not under the autostart override; its accelerator Ctrl+I works regardless). The
    // view disables, without greying, the menu entry when it is not.
    bool offersLoadModule() const;
    // Listed in the grid: activated, and not the base module.
    bool isListed(const ModuleRecord& record) const;
    int listedCount() const;

private:
    void setActionButtonsEnabled(bool enabled);
    void fillGrid();
    void finishList();
    void markEvents(MarkMode mode);
    void applyStartupOption(StartupOption option);
    ApplyReport executeEvents();
    void storeColumnWidths();
    void refreshAndSave();
    void cancelMarks();
    void rebuildAfterOptions(int listedBefore);
    void storePlacement();

    LoaderContext& context_;
    LoaderDialogView& view_;
    GridRows rows_;
    ColumnFractions fractions_;
    DialogPersistence persistence_;
    std::string versionCaption_;
    std::string noModulesMessage_;
    std::string productName_;
    std::string products_;
    // Display name -> index of the first record of that name. The list's length and names do
    // not change while the host runs; the index is rebuilt should the length differ.
    std::unordered_map<std::string, std::size_t> byName_;
    std::size_t indexedCount_ = 0;
};

}  // namespace qm::ui
