// The module grid inside the module loader dialog, driven with mouse and keys: listing,
// marking, sorting, the context menu, accelerators, focus, column widths and the explanatory
// row. Records come from a real installation through the real start-up sequence.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QMenu>
#include <QTest>
#include <algorithm>
#include <optional>
#include <utility>

#include "ui/logic/accelerator_table.h"
#include "ui/logic/resource_ids.h"
#include "ui/widgets/button_st.h"
#include "ui/widgets/module_grid_model.h"
#include "ui/widgets/module_loader_dlg.h"
#include "ui/widgets/modules_grid.h"
#include "ui_fixture.h"

namespace {

using namespace qm::ui;
using namespace uitest;
using Names = std::vector<std::string>;

class ModuleGridTest : public uitest::UiTest {
protected:
    void SetUp() override {
        storeStartupOptions();
        openWith({kBase, kRoads, kRail, kSurvey, kTerrain});
    }

    std::string event(const std::string& name) { return cell(rowOf(name), kColEvent); }

    void clickHeader(int column) {
        QHeaderView* header = grid().horizontalHeader();
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, 5));
    }
    void key(int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        grid().setFocus();
        QTest::keyClick(&grid(), static_cast<Qt::Key>(k), modifiers);
    }
};

TEST_F(ModuleGridTest, ListsActivatedModulesInCatalogueOrderButNeverTheBaseModule) {
    EXPECT_EQ(gridNames(), (Names{"Rail", "Roads", "Terrain", "survey"}));
    EXPECT_EQ(grid().selectedRows(), std::vector<int>{1});
    // Terrain's menus are loaded: bold name with its tooltip, "LOADED" in the menu column.
    const int terrain = rowOf("Terrain");
    EXPECT_EQ(dialog().rows().cellStyle(terrain, kColName), CellStyle::NameLoaded);
    EXPECT_EQ(grid().model()->index(terrain - 1, kColName).data(Qt::ToolTipRole).toString(),
              "LOADED");
    EXPECT_EQ(cell(terrain, kColMenu), "LOADED");
    EXPECT_EQ(cell(rowOf("Roads"), kColMenu), "UNLOADED");

    // Every module switched off: an empty grid, not the row that says no module was found.
    for (const char* key : {"QM_ROADS", "QM_RAIL", "QM_TERRAIN", "QM_SURVEY"}) {
        storeSetting(key, "Activated", "False");
    }
    runStartup();
    openDialog();
    EXPECT_EQ(dialog().rows().rowCount(), 0);
    EXPECT_EQ(takeOutput(), "");
}

TEST_F(ModuleGridTest, SpaceAndDoubleClickToggleEachSelectedRowOnItsOwn) {
    clickRow(rowOf("Roads"));
    clickButton(kIdLoad);
    key(Qt::Key_Space);
    EXPECT_EQ(event("Roads"), "") << "Space clears a mark";
    key(Qt::Key_Space);
    EXPECT_EQ(event("Roads"), "Load");

    clickRow(rowOf("Roads"));
    clickRow(rowOf("Terrain"), Qt::ControlModifier);
    key(Qt::Key_Space);
    EXPECT_EQ(event("Roads"), "");
    EXPECT_EQ(event("Terrain"), "Unload");

    QTest::mouseDClick(grid().viewport(), Qt::LeftButton, {}, cellCentre(rowOf("Rail"), 1));
    EXPECT_EQ(event("Rail"), "Unload") << "Rail's menus were loaded at start-up";
}

// (The orders the header clicks give are the shared dialog cases'.) A double click is a click
// and a double click: two sorts, back where the first click left the rows.
TEST_F(ModuleGridTest, AHeaderDoubleClickSortsTwice) {
    clickHeader(kColStartup);
    // Load menu only (6036), Load module (6037), then No action (6051) by name.
    EXPECT_EQ(gridNames(), (Names{"Rail", "Terrain", "Roads", "survey"}));
    QHeaderView* header = grid().horizontalHeader();
    uitest::doubleClick(header->viewport(),
                        {header->sectionViewportPosition(kColStartup) + 10., 5.});
    EXPECT_EQ(gridNames(), (Names{"Rail", "Terrain", "Roads", "survey"}));
}

TEST_F(ModuleGridTest, RightClickSelectsOutsideTheSelectionAndKeepsItInside) {
    clickRow(1);
    clickRow(3, Qt::ShiftModifier);
    contextMenu(4, [](QMenu*) {});
    EXPECT_EQ(grid().selectedRows(), std::vector<int>{4});

    clickRow(1);
    clickRow(3, Qt::ShiftModifier);
    contextMenu(2, [](QMenu* menu) {
        QAction* loadMenuOnly = menu->actions()[4];
        EXPECT_EQ(loadMenuOnly->text(), "Load menu only\tCtrl+M");
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(loadMenuOnly).center());
    });
    EXPECT_EQ(grid().selectedRows(), (std::vector<int>{1, 2, 3}));
    for (int row : {1, 2, 3}) {
        EXPECT_EQ(cell(row, kColStartup), "6036") << row;
    }
    EXPECT_TRUE(record("QM_ROADS").GetAutoStart());
    EXPECT_TRUE(record("QM_ROADS").GetDemandLoad());
    EXPECT_EQ(cell(4, kColStartup), "6051");
}

// Shift+Tab is a Tab to the grid (Qt delivers it as Backtab, Windows as a Tab key-down).
TEST_F(ModuleGridTest, TabAndShiftTabMoveTheFocusToLoadOrElseUnload) {
    for (Qt::KeyboardModifiers modifiers : {Qt::NoModifier, Qt::ShiftModifier}) {
        const int k = modifiers == Qt::ShiftModifier ? Qt::Key_Backtab : Qt::Key_Tab;
        dialog().button(kIdLoad)->setEnabled(true);
        dialog().button(kIdUnload)->setEnabled(true);
        key(k, modifiers);
        EXPECT_TRUE(dialog().button(kIdLoad)->hasFocus()) << k;
        dialog().button(kIdLoad)->setEnabled(false);
        key(k, modifiers);
        EXPECT_TRUE(dialog().button(kIdUnload)->hasFocus()) << k;
        dialog().button(kIdUnload)->setEnabled(false);
        key(k, modifiers);
        EXPECT_TRUE(grid().hasFocus()) << k;
    }
}

// The grid is made 600 pixels wide inside, so that every width is worked out by hand: the
// columns start at 34 %, 13 % and 36 % of it, rounded down.
TEST_F(ModuleGridTest, DraggedColumnKeepsItsFractionAndTheOthersKeepTheirs) {
    const auto setClientWidth = [&](int width) {
        dialog().resize(dialog().width() + width - grid().clientWidth(), dialog().height());
        QApplication::processEvents();
        ASSERT_EQ(grid().clientWidth(), width);
    };
    setClientWidth(600);
    EXPECT_EQ(grid().columnWidth(kColName), 204);
    EXPECT_EQ(grid().columnWidth(kColStartup), 78);
    EXPECT_EQ(grid().columnWidth(kColEvent), 216);

    QHeaderView* header = grid().horizontalHeader();
    const int edge = header->sectionViewportPosition(kColName) + header->sectionSize(kColName) - 1;
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(edge, 5));
    QTest::mouseMove(header->viewport(), QPoint(edge + 60, 5));
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(edge + 60, 5));
    EXPECT_EQ(grid().columnWidth(kColName), 264);
    EXPECT_EQ(grid().columnWidth(kColStartup), 78);
    EXPECT_EQ(grid().columnWidth(kColEvent), 216);

    // 264 of 600 is 44 %: of 800, 352.
    setClientWidth(800);
    EXPECT_EQ(grid().columnWidth(kColName), 352);
    EXPECT_EQ(grid().columnWidth(kColStartup), 104);
    EXPECT_EQ(grid().columnWidth(kColEvent), 288);
}

// Ctrl+Home and Ctrl+End carry the selection with the current cell as the other moves do:
// alone they leave only the new row selected, with Shift they extend from the anchor. The
// anchor is where the last plain move or click left it, by key or by mouse.
TEST_F(ModuleGridTest, CtrlHomeAndCtrlEndMoveTheSelectionWithTheCurrentRow) {
    using Rows = std::vector<int>;
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    const Qt::KeyboardModifiers shiftCtrl = Qt::ControlModifier | Qt::ShiftModifier;
    struct Case {
        const char* label;
        int clicked;
        std::optional<std::pair<int, Qt::KeyboardModifiers>> before;  // a key pressed first
        int key;
        Qt::KeyboardModifiers modifiers;
        Rows selected;
        int current;
    };
    const Case cases[] = {
        {"Ctrl+Home", 3, {}, Qt::Key_Home, ctrl, {1}, 1},
        {"Ctrl+End", 2, {}, Qt::Key_End, ctrl, {4}, 4},
        {"Shift+Ctrl+End", 2, {}, Qt::Key_End, shiftCtrl, {2, 3, 4}, 4},
        {"Shift+Ctrl+Home", 3, {}, Qt::Key_Home, shiftCtrl, {1, 2, 3}, 1},
        // The current row is already the first or the last: the selection still collapses.
        {"Ctrl+Home after Shift+Ctrl+Home",
         4,
         {{Qt::Key_Home, shiftCtrl}},
         Qt::Key_Home,
         ctrl,
         {1},
         1},
        {"Ctrl+End after Shift+Ctrl+End", 1, {{Qt::Key_End, shiftCtrl}}, Qt::Key_End, ctrl, {4}, 4},
        {"Down, for comparison", 2, {}, Qt::Key_Down, Qt::NoModifier, {3}, 3},
    };
    for (const Case& c : cases) {
        clickRow(c.clicked);
        if (c.before) {
            key(c.before->first, c.before->second);
        }
        key(c.key, c.modifiers);
        EXPECT_EQ(grid().selectedRows(), c.selected) << c.label;
        EXPECT_EQ(grid().currentIndex().row() + 1, c.current) << c.label;
    }

    // Space then marks the row the current cell went to, not the one clicked before.
    clickRow(rowOf("Terrain"));
    key(Qt::Key_Home, ctrl);
    key(Qt::Key_Space);
    EXPECT_EQ(event("Rail"), "Unload");
    EXPECT_EQ(event("Terrain"), "") << "the row clicked before is no longer selected";

    // Ctrl+End moved the anchor: Shift with a click or a key extends from the last row.
    key(Qt::Key_End, ctrl);
    clickRow(2, Qt::ShiftModifier);
    EXPECT_EQ(grid().selectedRows(), (Rows{2, 3, 4}));
    clickRow(1);
    key(Qt::Key_End, ctrl);
    key(Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(grid().selectedRows(), (Rows{3, 4}));
}

// The grid's empty area is white: below the last row, right of the last column, and the
// header band right of the last column as well.
TEST_F(ModuleGridTest, EmptyAreaAndTheHeaderBandBesideTheColumnsAreWhite) {
    QHeaderView* header = grid().horizontalHeader();
    const int end = header->sectionViewportPosition(kColEvent) + header->sectionSize(kColEvent);
    const QImage band = header->viewport()->grab().toImage();
    const QImage body = grid().viewport()->grab().toImage();
    ASSERT_LT(end + 2, band.width()) << "the columns leave a band";
    const auto allWhite = [](const QImage& image, const QRect& area) {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                if (image.pixelColor(x, y) != QColor(Qt::white)) {
                    return false;
                }
            }
        }
        return true;
    };
    EXPECT_TRUE(allWhite(band, QRect(end, 0, band.width() - end, band.height())));
    EXPECT_FALSE(allWhite(band, QRect(end - 10, 0, 10, band.height()))) << "the header itself";
    // Each row ends with its grid line, one pixel below its cells.
    const int lastRowEnd = grid().visualRect(grid().model()->index(3, kColEvent)).bottom() + 2;
    EXPECT_TRUE(allWhite(body, QRect(end, 0, body.width() - end, lastRowEnd)));
    EXPECT_TRUE(allWhite(body, QRect(0, lastRowEnd, body.width(), body.height() - lastRowEnd)));
}

class AutostartOverrideTest : public ModuleGridTest {
protected:
    void SetUp() override {
        addModules({kBase, kRoads, kRail});
        runStartup();
        context().setAutostartOverride(true);
        openDialog();
        grid().setAccelerators(qm::ui::AcceleratorTable::load(kAcceleratorTable));
    }
};

TEST_F(AutostartOverrideTest, HidesTheButtonAndDisablesTheEntryButCtrlIStillWorks) {
    CButtonST* loadModule = dialog().button(kIdStartLoadModule);
    EXPECT_FALSE(loadModule->isVisible());
    EXPECT_FALSE(loadModule->isEnabled());
    EXPECT_TRUE(dialog().button(kIdStartLoadMenuOnly)->isEnabled());
    contextMenu(1, [](QMenu* menu) {
        QAction* loadMenuOnly = nullptr;
        QAction* loadModuleAction = nullptr;
        for (QAction* action : menu->actions()) {
            EXPECT_EQ(action->isEnabled(), action->data().toInt() != kCmdLoadModule)
                << action->text().toStdString();
            if (action->data().toInt() == kCmdLoadModule) {
                loadModuleAction = action;
            } else if (action->data().toInt() == kCmdLoadMenuOnly) {
                loadMenuOnly = action;
            }
        }
        ASSERT_NE(loadModuleAction, nullptr);
        ASSERT_NE(loadMenuOnly, nullptr);
        // Disabled, not greyed: its caption is as dark as an enabled one's and its image
        // keeps its colour.
        const QImage image = menu->grab().toImage();
        const auto darkest = [&](QAction* action) {
            const QRect row = menu->actionGeometry(action);
            int value = 255;
            for (int y = row.top(); y <= row.bottom(); ++y) {
                for (int x = row.left() + row.width() / 3; x <= row.right(); ++x) {
                    value = std::min(value, image.pixelColor(x, y).value());
                }
            }
            return value;
        };
        EXPECT_EQ(darkest(loadModuleAction), darkest(loadMenuOnly));
        const QRect row = menu->actionGeometry(loadModuleAction);
        bool green = false;
        for (int y = row.top(); y <= row.bottom(); ++y) {
            for (int x = row.left(); x < row.left() + row.width() / 3; ++x) {
                green = green || image.pixelColor(x, y).hsvSaturation() > 150;
            }
        }
        EXPECT_TRUE(green) << "the image is drawn in its own colours";
    });
    clickRow(1);
    key(Qt::Key_I, Qt::ControlModifier);
    EXPECT_EQ(cell(1, kColStartup), "6037");
    key(Qt::Key_I);
    key(Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(cell(1, kColStartup), "6037") << "no accelerator without Ctrl alone";
    EXPECT_TRUE(record("QM_RAIL").GetAutoStart());
    EXPECT_FALSE(record("QM_RAIL").GetDemandLoad());
}

class EmptyInstallationTest : public uitest::UiTest {};

TEST_F(EmptyInstallationTest, ShowsOneGreyRowAcrossTheGridAndOneMessage) {
    runStartup();
    ASSERT_TRUE(context().modules().empty());
    openDialog();
    const std::string expected = "Unable to read module loader configuration files from \"" +
                                 appPath() + "/Zadod/Modules\".";
    EXPECT_EQ(takeOutput(), "[Quillmont] " + expected + "\n");
    ASSERT_EQ(dialog().rows().rowCount(), 1);
    EXPECT_EQ(cell(1, kColName), expected);
    EXPECT_EQ(grid().columnSpan(0, kColName), kGridColumnCount - kColName);
    EXPECT_EQ(grid().model()->index(0, kColName).data(Qt::BackgroundRole).value<QColor>(),
              QColor(192, 192, 192));
    EXPECT_TRUE(dialog().button(kIdOptions)->isEnabled());
}

}  // namespace
