#include "ui/widgets/modules_grid.h"

#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <algorithm>
#include <set>

#include "ui/logic/accelerator_table.h"
#include "ui/logic/menu_template.h"
#include "ui/logic/resource_strings.h"
#include "ui/logic/startup_option.h"
#include "ui/widgets/dpi_scale.h"
#include "ui/widgets/image_scaled.h"
#include "ui/widgets/module_grid_model.h"
#include "ui/widgets/resource_images.h"

namespace qm::ui {
namespace {

// Windows virtual-key code of a Qt key, for the keys the accelerator table and the grid's rules
// name; 0 for others.
int virtualKey(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        return 'A' + (key - Qt::Key_A);
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
        return 0x70 + (key - Qt::Key_F1);
    }
    switch (key) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:  // Shift+Tab: on Windows a Tab key-down with Shift held
            return kVkTab;
        case Qt::Key_Space:
            return kVkSpace;
        case Qt::Key_Home:
            return kVkHome;
        case Qt::Key_End:
            return kVkEnd;
        default:
            return 0;
    }
}

KeyModifiers modifiersOf(const QInputEvent& event) {
    const Qt::KeyboardModifiers mods = event.modifiers();
    return {mods.testFlag(Qt::ControlModifier), mods.testFlag(Qt::ShiftModifier),
            mods.testFlag(Qt::AltModifier)};
}

GridKeyRule ruleOf(const QKeyEvent& key) {
    return GridKeyRuleFor(virtualKey(key.key()), modifiersOf(key));
}

// The grid's column header. Right of the last column it is white like the rest of the grid's
// empty area, where the header would show its own face.
class GridHeader : public QHeaderView {
public:
    using QHeaderView::QHeaderView;

protected:
    void paintEvent(QPaintEvent* event) override {
        QHeaderView::paintEvent(event);
        const int end = length() - offset();
        const QRect band(end, 0, viewport()->width() - end, viewport()->height());
        const QRect dirty = band.intersected(event->rect());
        if (!dirty.isEmpty()) {
            QPainter(viewport()).fillRect(dirty, Qt::white);
        }
    }
};

}  // namespace

QmModulesGrid::QmModulesGrid(QWidget* parent) : QTableView(parent) {
    setHorizontalHeader(new GridHeader(Qt::Horizontal, this));
}

QmModulesGrid::~QmModulesGrid() = default;

int QmModulesGrid::rowHeightPixels() {
    return DpiScale::primary().scale(kGridRowHeight);
}

void QmModulesGrid::initialise(ModuleGridModel* model, ColumnFractions* fractions) {
    model_ = model;
    fractions_ = fractions;
    setModel(model);
    setFont(QFont(QStringLiteral("Arial"), 9));

    imageCell_ = new CImageScaled(this);
    setItemDelegateForColumn(kColStartup, imageCell_);

    // Cells are read-only and black on white; the selection keeps black text.
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::Text, Qt::black);
    pal.setColor(QPalette::Highlight, QColor(204, 228, 247));
    pal.setColor(QPalette::HighlightedText, Qt::black);
    pal.setColor(QPalette::Inactive, QPalette::Highlight, QColor(217, 217, 217));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::black);
    setPalette(pal);

    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(rowHeightPixels());
    for (int column = 0; column < kGridColumnCount; ++column) {
        setColumnHidden(column, !IsShownGridColumn(column));
    }

    QHeaderView* header = horizontalHeader();
    header->setStretchLastSection(false);
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setMinimumSectionSize(0);
    // A header click sorts; it never selects the column.
    disconnect(header, SIGNAL(sectionPressed(int)), this, SLOT(selectColumn(int)));
    disconnect(header, SIGNAL(sectionEntered(int)), this, SLOT(_q_selectColumn(int)));
    connect(header, &QHeaderView::sectionClicked, this, &QmModulesGrid::onHeaderClicked);
    connect(header, &QHeaderView::sectionDoubleClicked, this, &QmModulesGrid::onHeaderClicked);
    connect(header, &QHeaderView::sectionResized, this, &QmModulesGrid::onSectionResized);
    header->viewport()->installEventFilter(this);

    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setTabKeyNavigation(false);
    setContextMenuPolicy(Qt::PreventContextMenu);
    setWordWrap(false);

    connect(model_, &QAbstractItemModel::rowsInserted, this, &QmModulesGrid::updateSpans);
    connect(model_, &QAbstractItemModel::rowsRemoved, this, &QmModulesGrid::updateSpans);
    connect(model_, &QAbstractItemModel::modelReset, this, &QmModulesGrid::updateSpans);
    connect(model_, &QAbstractItemModel::dataChanged, this, &QmModulesGrid::updateSpans);

    layoutReady_ = true;
    relayColumns();
}

void QmModulesGrid::updateSpans() {
    // The explanatory row is only ever the grid's single row.
    const GridRows& rows = model_->rows();
    const bool wanted = rows.rowCount() == 1 && rows.isExplanatoryRow(1);
    if (wanted == hasSpan_) {
        return;
    }
    clearSpans();
    if (wanted) {
        setSpan(0, kColName, 1, kGridColumnCount - kColName);
    }
    hasSpan_ = wanted;
}

std::vector<int> QmModulesGrid::selectedRows() const {
    std::set<int> rows;
    if (selectionModel() != nullptr) {
        for (const QItemSelectionRange& range : selectionModel()->selection()) {
            for (int row = range.top(); row <= range.bottom(); ++row) {
                rows.insert(row + 1);
            }
        }
    }
    if (rows.empty() && currentIndex().isValid()) {
        rows.insert(currentIndex().row() + 1);
    }
    return {rows.begin(), rows.end()};
}

void QmModulesGrid::selectRow(int row) {
    if (model_ == nullptr || row < 1 || row > model_->rows().rowCount()) {
        return;
    }
    const QModelIndex index = model_->index(row - 1, kColName);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    selectionModel()->select(index,
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
}

int QmModulesGrid::clientWidth() const {
    return viewport()->width();
}

void QmModulesGrid::relayColumns() {
    if (!layoutReady_) {
        return;
    }
    relaying_ = true;
    const int width = clientWidth();
    for (int column : kShownGridColumns) {
        setColumnWidth(column, ColumnFractions::width(fractions_->fraction(column), width));
    }
    relaying_ = false;
}

void QmModulesGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    relayColumns();
}

void QmModulesGrid::onSectionResized(int column, int, int) {
    if (!relaying_ && headerPressed_) {
        draggedColumn_ = column;
    }
}

bool QmModulesGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == horizontalHeader()->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            headerPressed_ = true;
            draggedColumn_ = -1;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            headerPressed_ = false;
            if (draggedColumn_ >= 0 && clientWidth() > 0) {
                // The end of a user's drag: the new width becomes the column's fraction and
                // the other columns keep theirs.
                fractions_->fraction(draggedColumn_) =
                    static_cast<double>(columnWidth(draggedColumn_)) / clientWidth();
                draggedColumn_ = -1;
                relayColumns();
            }
        }
    }
    return QTableView::eventFilter(watched, event);
}

void QmModulesGrid::onHeaderClicked(int column) {
    if (model_ == nullptr) {
        return;
    }
    if (model_->rows().sortByHeaderClick(column) && model_->rows().rowCount() > 0) {
        selectRow(1);
    }
}

void QmModulesGrid::setTabTargets(QWidget* load, QWidget* unload) {
    tabLoad_ = load;
    tabUnload_ = unload;
}

void QmModulesGrid::offerToAccelerators(int virtualKey, KeyModifiers modifiers) {
    if (std::optional<int> command = GridAccelerator(accelerators_, virtualKey, modifiers)) {
        emit commandRequested(*command);
    }
}

bool QmModulesGrid::moveByRule(const QKeyEvent& key, const GridKeyRule& rule) {
    if (rule.selection != GridSelectionRule::Collapse) {
        return false;  // Qt's own move, extending as selectionCommand() says
    }
    const QModelIndex target =
        moveCursor(rule.action == GridKeyAction::FirstRow ? MoveHome : MoveEnd, key.modifiers());
    if (!target.isValid()) {
        return true;
    }
    const GridSelection before{currentIndex().row() + 1, 0, selectedRows()};
    const GridSelection after = SelectionAfterMove(before, target.row() + 1, rule.selection);
    if (after == before) {
        return true;
    }
    // The view's own setCurrentIndex() makes the new current cell the anchor as well.
    forcedCommand_ = QItemSelectionModel::ClearAndSelect;
    setCurrentIndex(target);
    forcedCommand_.reset();
    scrollTo(target);
    return true;
}

bool QmModulesGrid::event(QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        // Accelerators see every key first; the key then goes its normal way regardless.
        offerToAccelerators(virtualKey(key->key()), modifiersOf(*key));
        const GridKeyRule rule = ruleOf(*key);
        switch (rule.action) {
            case GridKeyAction::FocusButtons: {
                const int target = TabFocusTarget(tabLoad_ != nullptr && tabLoad_->isEnabled(),
                                                  tabUnload_ != nullptr && tabUnload_->isEnabled());
                QWidget* button = target == kIdLoad     ? tabLoad_
                                  : target == kIdUnload ? tabUnload_
                                                        : nullptr;
                if (button != nullptr) {
                    button->setFocus(Qt::TabFocusReason);
                }
                return true;
            }
            case GridKeyAction::ToggleMarks:
                emit toggleRequested();
                return true;
            case GridKeyAction::FirstRow:
            case GridKeyAction::LastRow:
                if (moveByRule(*key, rule)) {
                    return true;
                }
                break;
            case GridKeyAction::Default:
                break;
        }
    } else if (event->type() == QEvent::ShortcutOverride) {
        // The grid's own keys must reach it even where a dialog defines shortcuts.
        auto* key = static_cast<QKeyEvent*>(event);
        if (ruleOf(*key).action == GridKeyAction::ToggleMarks) {
            event->accept();
            return true;
        }
    }
    return QTableView::event(event);
}

QItemSelectionModel::SelectionFlags QmModulesGrid::selectionCommand(const QModelIndex& index,
                                                                    const QEvent* event) const {
    if (event == nullptr && forcedCommand_) {
        return *forcedCommand_;
    }
    if (event != nullptr && event->type() == QEvent::KeyPress) {
        // Qt leaves the selection behind on Shift+Ctrl+Home and Shift+Ctrl+End; the rules
        // extend it from the anchor to the new current cell.
        if (ruleOf(*static_cast<const QKeyEvent*>(event)).selection == GridSelectionRule::Extend) {
            return QItemSelectionModel::SelectCurrent;
        }
    }
    return QTableView::selectionCommand(index, event);
}

void QmModulesGrid::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::RightButton) {
        QTableView::mousePressEvent(event);
        return;
    }
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid()) {
        const std::vector<int> rows = selectedRows();
        const int row = index.row() + 1;
        const bool selected = std::find(rows.begin(), rows.end(), row) != rows.end();
        if (GridMouseRuleFor(GridMouseButton::Right, row, selected).selectRow) {
            selectRow(row);
        }
    }
    event->accept();
}

void QmModulesGrid::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::RightButton) {
        QTableView::mouseReleaseEvent(event);
        return;
    }
    if (indexAt(event->position().toPoint()).isValid()) {
        showContextMenu(event->position().toPoint());
    }
    event->accept();
}

void QmModulesGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableView::mouseDoubleClickEvent(event);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index.isValid() &&
        GridMouseRuleFor(GridMouseButton::LeftDouble, index.row() + 1, false).action ==
            GridMouseAction::ToggleMarks) {
        emit toggleRequested();
    }
}

QMenu* QmModulesGrid::createContextMenu() {
    const MenuTemplate* menuTemplate = MenuTemplate::load(kMenuGridContext);
    if (menuTemplate == nullptr) {
        return nullptr;
    }
    auto* menu = new QMenu(this);
    const QSize checkSize(style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this),
                          style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, this));
    for (const MenuItemTemplate& item : menuTemplate->items()) {
        if (item.command == 0) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(QString::fromStdString(ResourceString(*item.text)));
        action->setData(item.command);
        if (std::optional<StartupOption> option = StartupOptionForCommand(item.command)) {
            // The same image stands for the checked and the unchecked entry.
            const QPixmap image =
                LoadResourceBitmap(Describe(*option).bitmap)
                    .scaled(checkSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            // ... and a disabled entry keeps it unchanged (see below).
            QIcon icon;
            for (QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled}) {
                icon.addPixmap(image, mode, QIcon::On);
                icon.addPixmap(image, mode, QIcon::Off);
            }
            action->setIcon(icon);
            action->setIconVisibleInMenu(true);
            if (*option == StartupOption::LoadModule && autostartOverride_) {
                action->setEnabled(false);
            }
        }
    }
    // Under the autostart override "Load module" cannot be chosen but is not greyed either:
    // disabled entries are drawn in the colours of enabled ones. Nothing else in this menu is
    // ever disabled.
    QPalette palette = menu->palette();
    for (QPalette::ColorRole role :
         {QPalette::Text, QPalette::WindowText, QPalette::ButtonText, QPalette::Light}) {
        palette.setColor(QPalette::Disabled, role, palette.color(QPalette::Active, role));
    }
    menu->setPalette(palette);
    return menu;
}

void QmModulesGrid::showContextMenu(const QPoint& position) {
    QMenu* menu = createContextMenu();
    if (menu == nullptr) {
        return;
    }
    if (!menu->isEmpty()) {
        QAction* chosen = menu->exec(viewport()->mapToGlobal(position));
        if (chosen != nullptr) {
            emit commandRequested(chosen->data().toInt());
        }
    }
    delete menu;
}

}  // namespace qm::ui
