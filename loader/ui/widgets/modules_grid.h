#pragma once
// QmModulesGrid: the module loader's table of modules on Qt's table view. It shows the model's
// visible columns (name, start-up image, event) at the presenter's fractions of its width, keeps
// its empty area white, and carries out the grid's input rules (grid_input.h): header clicks
// sort the rows, and commands (the context menu's and the accelerator keys') and the toggle of
// the marked event (Space, double click) go to the dialog as requests.
#include <QTableView>
#include <optional>
#include <vector>

#include "ui/logic/column_fractions.h"
#include "ui/logic/grid_input.h"

class QMenu;

namespace qm::ui {

class AcceleratorTable;
class CImageScaled;
class ModuleGridModel;

class QmModulesGrid : public QTableView {
    Q_OBJECT

public:
    explicit QmModulesGrid(QWidget* parent = nullptr);
    ~QmModulesGrid() override;

    // Sets up the grid on model and fractions (which the caller keeps alive): image cells,
    // hidden columns, header, selection rules, row height; afterwards column widths follow the
    // fractions.
    void initialise(ModuleGridModel* model, ColumnFractions* fractions);
    bool layoutReady() const { return layoutReady_; }
    ModuleGridModel* gridModel() const { return model_; }

    // Rows touched by any selected range, ascending; the current cell's row when nothing is
    // selected; empty when there is no current cell either. Grid rows (1-based).
    std::vector<int> selectedRows() const;
    // Makes row the current row (in the name column) and the only selected row.
    void selectRow(int row);

    // The fraction of column (created as 0.0 when it has none).
    double& widthFraction(int column) { return fractions_->fraction(column); }
    // Applies the fractions to the visible columns (only once initialised).
    void relayColumns();
    int clientWidth() const;

    // Row height: 22 pixels at 100 %, scaled to the screen's DPI.
    static int rowHeightPixels();

    // Key-down messages are offered to this table first (null: none).
    void setAccelerators(const AcceleratorTable* table) { accelerators_ = table; }
    // With the override set the context menu's "Load module" entry is disabled.
    void setAutostartOverride(bool on) { autostartOverride_ = on; }
    // Tab moves the focus to the first of these that is enabled.
    void setTabTargets(QWidget* load, QWidget* unload);

    // Builds the context menu (menu 6009 of the current resources with its images); null when
    // the resources have no such menu. The caller owns it.
    QMenu* createContextMenu();

signals:
    // A command of the context menu or an accelerator key (kCmdLoad, ...).
    void commandRequested(int command);
    // Space or a double click on a row: toggle the marks of the selected rows.
    void toggleRequested();

protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(
        const QModelIndex& index, const QEvent* event = nullptr) const override;

private:
    void onHeaderClicked(int column);
    void onSectionResized(int column, int oldSize, int newSize);
    void updateSpans();
    void offerToAccelerators(int virtualKey, KeyModifiers modifiers);
    // Carries out a key rule that moves the current row; false when the grid's own handling
    // does it.
    bool moveByRule(const QKeyEvent& key, const GridKeyRule& rule);
    void showContextMenu(const QPoint& position);

    ModuleGridModel* model_ = nullptr;
    CImageScaled* imageCell_ = nullptr;
    ColumnFractions* fractions_ = nullptr;
    // The selection command of the next setCurrentIndex() (set while a rule moves the row).
    std::optional<QItemSelectionModel::SelectionFlags> forcedCommand_;
    const AcceleratorTable* accelerators_ = nullptr;
    QWidget* tabLoad_ = nullptr;
    QWidget* tabUnload_ = nullptr;
    bool layoutReady_ = false;
    bool autostartOverride_ = false;
    bool relaying_ = false;
    bool headerPressed_ = false;
    int draggedColumn_ = -1;
    bool hasSpan_ = false;
};

}  // namespace qm::ui
