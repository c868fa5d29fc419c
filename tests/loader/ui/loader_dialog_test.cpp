// The module loader dialog and the Options dialog as a user meets them: Apply with failing
// events, Cancel, the stored column widths, the product information, the Options dialog's
// locking, storing and row rebuild, and the command's first-run path.
#include <cadhost/host.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QScreen>
#include <QSizeGrip>
#include <QTest>
#include <filesystem>
#include <optional>

#include "cadhost/services.h"
#include "gui_ui_services.h"
#include "qmtest/child_process.h"
#include "qmtest/files.h"
#include "qmtest/help_viewer.h"
#include "qmtest/no_new_threads.h"
#include "qmtest/recording_ui.h"
#include "qmtest/scoped_env.h"
#include "qmtest/text.h"
#include "ui/logic/dialog_placement.h"
#include "ui/logic/resource_ids.h"
#include "ui/widgets/button_st.h"
#include "ui/widgets/checking_modules_dlg.h"
#include "ui/widgets/module_grid_model.h"
#include "ui/widgets/module_loader_command.h"
#include "ui/widgets/module_loader_dlg.h"
#include "ui/widgets/modules_grid.h"
#include "ui/widgets/my_check_list_box.h"
#include "ui_fixture.h"

namespace {

using namespace qm::ui;
using qmtest::TestModule;
using namespace uitest;
using Names = std::vector<std::string>;

class LoaderDialogTest : public uitest::UiTest {
protected:
    // Runs the Options dialog from the loader dialog; act works on it once its fill is done.
    void options(const std::function<void(CCheckingModulesDlg&)>& act) {
        QObject::connect(
            &dialog(), &QmModuleLoaderDlg::optionsDialogOpening, &dialog(),
            [&](QDialog* d) {
                auto* options = static_cast<CCheckingModulesDlg*>(d);
                // A fill that never finishes fails here, not at the test's time-out.
                endWhenOverdue(options);
                QObject::connect(
                    options, &CCheckingModulesDlg::fillFinished, options,
                    [options, act] { handleModal(options, [&] { act(*options); }); },
                    Qt::SingleShotConnection);
            },
            Qt::SingleShotConnection);
        clickButton(kIdOptions);
    }
    static int itemOf(MyCheckListBox& list, const QString& name) {
        return list.row(list.findItems(name, Qt::MatchExactly).value(0));
    }
};

// Every failure of one Apply goes into one message, a single failure too (how many are
// detailed is the report's own test), and the marks that could be carried out were.
class ApplyFailuresTest : public LoaderDialogTest, public ::testing::WithParamInterface<int> {};

TEST_P(ApplyFailuresTest, ApplyReportsItsFailuresInOneMessageAndCarriesOutTheRest) {
    const int broken = GetParam();
    std::vector<TestModule> modules{kBase, kRoads};
    std::vector<std::string> brokenNames;
    for (int i = 0; i < broken; ++i) {
        const std::string n = std::to_string(100 + i);
        modules.push_back({"QM_BROKEN" + n, "Broken " + n, "KRQM_BROKEN" + n, {}, "default", true});
        brokenNames.push_back("Broken " + n);
    }
    openWith(modules);
    grid().setFocus();
    QTest::keyClick(&grid(), Qt::Key_A, Qt::ControlModifier);  // select every row
    clickButton(kIdLoad);
    clickButton(kIdStartLoadMenuOnly);  // a start-up option for every module as well
    ASSERT_EQ(record("QM_ROADS").GetPendingEvent(), qm::kEventLoadModule);
    for (const TestModule& m : modules) {
        ASSERT_NE(storedSetting(m.key, "DemandLoad"), "True") << m.key << ": stored before Apply";
    }
    auto ui = std::make_shared<qmtest::RecordingUi>();
    host_->setUiServices(ui);
    clickButton(kIdApply);

    ASSERT_EQ(ui->shown.size(), 1u) << "one message for every failure";
    EXPECT_EQ(ui->shown[0].caption, "Quillmont");
    EXPECT_EQ(ui->shown[0].style, cadhost::MB_OK | cadhost::MB_ICONERROR);
    const std::string& out = ui->shown[0].text;
    for (const std::string& name : brokenNames) {
        EXPECT_EQ(
            qmtest::occurrences(out, "Module <" + name + "> using key QM_BROKEN" + name.substr(7) +
                                         " failed!\nProcess: Load module (menu and "
                                         "programs)\n"),
            1u)
            << out;
    }

    // The good module was loaded anyway, and every mark is gone. A broken module stays
    // started without its menus, and its row says so.
    EXPECT_EQ(record("QM_ROADS").GetMenusLoaded(), 1);
    EXPECT_EQ(dialog().rows().cellStyle(rowOf("Roads"), kColName), CellStyle::NameLoaded);
    EXPECT_EQ(record("QM_BROKEN100").GetStarted(), 1);
    EXPECT_EQ(dialog().rows().cellStyle(rowOf("Broken 100"), kColName), CellStyle::NamePlain);
    EXPECT_EQ(cell(rowOf("Broken 100"), kColMenu), "UNLOADED");
    for (int row = 1; row <= dialog().rows().rowCount(); ++row) {
        EXPECT_EQ(cell(row, kColEvent), "") << row;
    }
    EXPECT_FALSE(dialog().waitCursor());
    // The failures do not keep any module's settings from being saved.
    for (const TestModule& m : modules) {
        if (m.key != "QM_BASE") {
            EXPECT_EQ(storedSetting(m.key, "AutoStart"), "True") << m.key;
            EXPECT_EQ(storedSetting(m.key, "DemandLoad"), "True") << m.key;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Counts, ApplyFailuresTest, ::testing::Values(1, 2));

TEST_F(LoaderDialogTest, CancelDiscardsStartupOptionsButApplyKeepsThem) {
    openWith({kBase, kRoads, kRail});
    clickRow(rowOf("Roads"));
    clickButton(kIdStartLoadModule);
    EXPECT_EQ(cell(rowOf("Roads"), kColStartup), "6037");
    clickButton(kIdLoad);
    clickButton(kIdCancelButton);
    EXPECT_FALSE(record("QM_ROADS").GetAutoStart()) << "re-read from the registry";
    EXPECT_EQ(record("QM_ROADS").GetPendingEvent(), qm::kEventNone);
    EXPECT_EQ(record("QM_ROADS").GetMenusLoaded(), 0) << "the mark never ran";
    EXPECT_NE(storedSetting("QM_ROADS", "AutoStart"), "True") << "nothing was saved";

    openDialog();
    EXPECT_EQ(cell(rowOf("Roads"), kColStartup), "6051");
    clickRow(rowOf("Rail"));
    clickButton(kIdStartLoadMenuOnly);
    clickButton(kIdApply);
    clickButton(kIdCancelButton);
    openDialog();
    EXPECT_EQ(cell(rowOf("Rail"), kColStartup), "6036");
    EXPECT_EQ(storedSetting("QM_RAIL", "AutoStart"), "True");
    EXPECT_EQ(storedSetting("QM_RAIL", "DemandLoad"), "True");
}

TEST_F(LoaderDialogTest, StoredColumnFractionsAndPlacementComeBack) {
    addModules({kBase, kRoads});
    runStartup();
    DialogPersistence(QmEnGetRegistryKey(), "KRQM_MODULELOADER", true)
        .setDialogData("Size of column 1", 500);
    openDialog();
    EXPECT_EQ(grid().columnWidth(kColName), grid().clientWidth() / 2);

    grid().widthFraction(kColStartup) = 0.2;
    dialog().resize(dialog().minimumSize() + QSize(150, 80));
    const auto* grip = dialog().findChild<QSizeGrip*>();
    ASSERT_NE(grip, nullptr);
    EXPECT_TRUE(grip->isVisible());
    EXPECT_EQ(grip->geometry().bottomRight(), dialog().rect().bottomRight()) << "in the corner";
    clickButton(kIdApply);
    const QSize size = dialog().size();
    clickButton(kIdCancelButton);

    openDialog();
    EXPECT_EQ(dialog().size(), size);
    EXPECT_DOUBLE_EQ(grid().widthFraction(kColStartup), 0.2);
    EXPECT_DOUBLE_EQ(grid().widthFraction(kColName), 0.5);
    EXPECT_EQ(dialog().presenter().persistence().dialogData("Size of column 3"), 200);
}

// A stored placement comes back where it was when it fits the screen; otherwise it is brought
// wholly onto the screen and shrunk to its work area (the rule's own cases are the logic's).
TEST_F(LoaderDialogTest, StoredPlacementIsBroughtWhollyOntoTheScreen) {
    addModules({kBase, kRoads});
    runStartup();
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize size = openDialog().layout()->minimumSize() + QSize(20, 10);
    const QRect cases[] = {
        {QPoint(40, 30), size},  // fits: kept as it is
        {QPoint(30000, 20000), size},
        {work.bottomRight() - QPoint(100, 100), size},
        {QPoint(0, 0), work.size() * 3},  // shrunk to the work area
    };
    for (const QRect& stored : cases) {
        DialogPersistence(QmEnGetRegistryKey(), "KRQM_MODULELOADER", true)
            .storePlacement({stored.x(), stored.y(), stored.width(), stored.height()});
        openDialog();
        const QRect shown = dialog().geometry();
        EXPECT_EQ(shown == stored, stored.x() == 40) << stored.x();
        EXPECT_TRUE(work.contains(shown.topLeft())) << stored.x();
        EXPECT_LE(shown.width(), work.width()) << stored.x();
        EXPECT_LE(shown.height(), work.height()) << stored.x();
        if (stored.size() == size) {
            EXPECT_TRUE(work.contains(shown)) << stored.x();
        }
        clickButton(kIdCancelButton);
    }
}

TEST_F(LoaderDialogTest, ProductInformationShowsProductsJoinedByHyphens) {
    openWith({kBase, kRoads});
    EXPECT_EQ(dialog().productsText(), "") << "no file: empty texts";
    qmtest::writeFile(
        appPath().substr(0, appPath().size() - 7) + "Configuration/Default/Meshra.Version.txt",
        "Quillmont Civil 2025\nCAD 2024 and CAD 2025\n");
    openDialog();
    EXPECT_EQ(dialog().productNameText(), "Quillmont Civil 2025");
    EXPECT_EQ(dialog().productsText(), "CAD 2024 - CAD 2025");
    EXPECT_EQ(dialog().presenter().versionCaption(), "Version: " + QmEnGetCurrentVersionNumber());
}

TEST_F(LoaderDialogTest, OptionsLockModulesInUseAndOkRebuildsTheRows) {
    storeSetting("QM_TERRAIN", "AutoStart", "True");
    openWith({kBase, kRoads, kRail, kTerrain, kSurvey});
    options([&](CCheckingModulesDlg& d) {
        MyCheckListBox& list = d.list();
        // The base module is never listed; the others come alphabetically, ignoring case.
        ASSERT_EQ(list.count(), 4);
        const char* const sorted[] = {"Rail", "Roads", "survey", "Terrain"};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(list.itemText(i).toStdString(), sorted[i]);
        }
        EXPECT_EQ(d.versionText().toStdString(), dialog().presenter().versionCaption());
        const int terrain = itemOf(list, "Terrain");
        EXPECT_TRUE(list.check(terrain));
        EXPECT_FALSE(list.isItemEnabled(terrain)) << "in use: cannot be switched off";
        list.setCheck(itemOf(list, "Rail"), false);
        QTest::mouseClick(d.button(kIdOk), Qt::LeftButton);
    });
    EXPECT_EQ(gridNames(), (Names{"Roads", "Terrain", "survey"}));
    EXPECT_EQ(storedSetting("QM_RAIL", "Activated"), "False");
    EXPECT_EQ(storedSetting("QM_RAIL", "AutoStart"), "False");
    EXPECT_EQ(grid().selectedRows(), std::vector<int>{1});

    // Switched on again, Rail goes back in name order (the grid counts as sorted by name).
    options([&](CCheckingModulesDlg& d) {
        d.list().setCheck(itemOf(d.list(), "Rail"), true);
        QTest::mouseClick(d.button(kIdOk), Qt::LeftButton);
    });
    EXPECT_EQ(gridNames(), (Names{"Rail", "Roads", "Terrain", "survey"}));
    // The name order ignores letter case: "survey" comes back before "Terrain".
    for (bool on : {false, true}) {
        options([&](CCheckingModulesDlg& d) {
            d.list().setCheck(itemOf(d.list(), "survey"), on);
            QTest::mouseClick(d.button(kIdOk), Qt::LeftButton);
        });
    }
    EXPECT_EQ(gridNames(), (Names{"Rail", "Roads", "survey", "Terrain"}));
}

// With several modules selected in Options, Space or a click on the check box of a selected
// module gives every selected module the new state (a module in use keeps its check); a click
// on the check box of a module outside the selection changes that module alone.
TEST_F(LoaderDialogTest, OptionsChecksChangeEverySelectedModuleByKeyAndByMouse) {
    storeSetting("QM_TERRAIN", "AutoStart", "True");
    openWith({kBase, kRoads, kRail, kTerrain, kSurvey});
    options([&](CCheckingModulesDlg& d) {
        MyCheckListBox& list = d.list();
        ASSERT_EQ(list.count(), 4);  // Rail, Roads, survey, Terrain (in use)
        // "x" checked, "-" not; "*" selected.
        const auto checks = [&] {
            std::string text;
            for (int i = 0; i < list.count(); ++i) {
                text += list.check(i) ? 'x' : '-';
                text += list.item(i)->isSelected() ? "* " : " ";
            }
            return text;
        };
        const auto click = [&](int i, Qt::KeyboardModifiers modifiers = {}) {
            QTest::mouseClick(list.viewport(), Qt::LeftButton, modifiers,
                              list.visualItemRect(list.item(i)).center());
        };
        const auto clickCheckBox = [&](int i) {
            const QRect item = list.visualItemRect(list.item(i));
            QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                              QPoint(item.left() + 8, item.center().y()));
        };
        const auto key = [&](Qt::Key k, Qt::KeyboardModifiers modifiers = {}) {
            QTest::keyClick(&list, k, modifiers);
        };
        EXPECT_EQ(checks(), "x x x x ");

        click(0);
        click(2, Qt::ShiftModifier);
        key(Qt::Key_Space);
        EXPECT_EQ(checks(), "-* -* -* x ") << "Space, selected by mouse";
        clickCheckBox(1);
        EXPECT_EQ(checks(), "x* x* x* x ") << "a click on a selected check box";

        key(Qt::Key_Home);
        key(Qt::Key_Down, Qt::ShiftModifier);
        key(Qt::Key_Space);
        EXPECT_EQ(checks(), "-* -* x x ") << "Space, selected by keys";
        clickCheckBox(2);
        EXPECT_EQ(checks(), "- - -* x ") << "a check box outside the selection";
        clickCheckBox(3);
        click(3);
        EXPECT_EQ(checks(), "- - -* x ") << "the module in use takes no click";
        const QRect rail = list.visualItemRect(list.item(0));
        uitest::doubleClick(list.viewport(), QPointF(rail.left() + 8, rail.center().y()));
        EXPECT_EQ(checks(), "-* - - x ") << "a double click on a check box is two clicks";
        QTest::mouseClick(d.button(kIdOk), Qt::LeftButton);
    });
    for (const char* key : {"QM_RAIL", "QM_ROADS", "QM_SURVEY"}) {
        EXPECT_EQ(storedSetting(key, "Activated"), "False") << key;
    }
    EXPECT_EQ(storedSetting("QM_TERRAIN", "Activated"), "True");
    EXPECT_EQ(gridNames(), Names{"Terrain"});
}

TEST_F(LoaderDialogTest, RefreshStoresAtOnceAndCancelDoesNotUndoIt) {
    openWith({kBase, kRoads, kRail});
    int fills = 0;
    options([&](CCheckingModulesDlg& d) {
        QObject::connect(&d, &CCheckingModulesDlg::fillFinished, &d, [&] {
            ++fills;
            EXPECT_FALSE(d.list().check(itemOf(d.list(), "Roads")));
            QTest::keyClick(&d, Qt::Key_Escape);
        });
        d.list().setCheck(itemOf(d.list(), "Roads"), false);
        QTest::mouseClick(d.button(kIdRefresh), Qt::LeftButton);
        EXPECT_TRUE(d.filling());
        EXPECT_FALSE(d.button(kIdOk)->isEnabled());
        EXPECT_FALSE(d.button(kIdCancel)->isEnabled());
        EXPECT_TRUE(d.pleaseWait()->isVisible());
        QTest::keyClick(&d, Qt::Key_Escape);  // ignored while the fill runs
        EXPECT_TRUE(d.isVisible());
    });
    EXPECT_EQ(fills, 1);
    EXPECT_EQ(storedSetting("QM_ROADS", "Activated"), "False");
    EXPECT_FALSE(record("QM_ROADS").GetActivated());
    EXPECT_EQ(gridNames(), (Names{"Rail", "Roads"})) << "Cancel: the rows stay as they were";
}

// A fill that cannot run (no thread to be had) leaves the one line "Internal error. Try
// again." and the buttons usable; Refresh, once threads can start again, brings the modules.
TEST_F(LoaderDialogTest, OptionsFillThatCannotRunSaysSoAndRefreshRecovers) {
    if (!qmtest::NoNewThreads::supported()) {
        GTEST_SKIP() << "sanitizer run-times map memory of their own";
    }
    openWith({kBase, kRoads, kRail});
    std::optional<qmtest::NoNewThreads> noThreads(std::in_place);
    std::vector<std::string> afterRefresh;
    options([&](CCheckingModulesDlg& d) {
        noThreads.reset();
        ASSERT_EQ(d.list().count(), 1);
        EXPECT_EQ(d.list().itemText(0).toStdString(), "Internal error. Try again.");
        EXPECT_FALSE(d.filling());
        EXPECT_FALSE(d.pleaseWait()->isVisible());
        for (int id : {kIdRefresh, kIdOk, kIdCancel}) {
            EXPECT_TRUE(d.button(id)->isEnabled()) << id;
        }
        QObject::connect(&d, &CCheckingModulesDlg::fillFinished, &d, [&] {
            for (int i = 0; i < d.list().count(); ++i) {
                afterRefresh.push_back(d.list().itemText(i).toStdString());
            }
            QTest::keyClick(&d, Qt::Key_Escape);
        });
        QTest::mouseClick(d.button(kIdRefresh), Qt::LeftButton);
    });
    EXPECT_EQ(afterRefresh, (Names{"Rail", "Roads"}));
}

// Every button takes the size of its template rectangle, with or without a caption or an
// image. The dialog manager converts edges, not sizes, from dialog units: with the dialog
// font's base units here (7 x 13 pixels; a dialog unit is a quarter of the width, an eighth of
// the height, halves rounded up), 50 x 14 units make 87 or 88 by 22 or 23 pixels depending on
// where the button stands. Worked out by hand, e.g. Load: 405 * 7 / 4 = 708.75 -> 709 less
// 355 * 7 / 4 = 621.25 -> 621 is 88; 20 * 13 / 8 = 32.5 -> 33 less 6 * 13 / 8 = 9.75 -> 10 is 23.
TEST_F(LoaderDialogTest, ButtonsTakeTheSizeOfTheirTemplateRectangles) {
    struct Button {
        int id;
        QSize size;
    };
    const auto check = [](const auto& lookup, std::initializer_list<Button> buttons) {
        for (const Button& b : buttons) {
            EXPECT_EQ(lookup(b.id)->size(), b.size) << b.id;
        }
    };
    openWith({kBase, kRoads});
    check([&](int id) { return dialog().button(id); },
          {{kIdLoad, {88, 23}},               // 355, 6, 50, 14
           {kIdUnload, {88, 23}},             // 355, 23, 50, 14
           {kIdStartNoAction, {88, 23}},      // 355, 48, 50, 14
           {kIdStartLoadMenuOnly, {88, 23}},  // 355, 64, 50, 14
           {kIdStartLoadModule, {88, 23}},    // 355, 80, 50, 14
           {kIdOptions, {88, 22}},            // 12, 204, 50, 14
           {kIdOk, {87, 22}},                 // 193, 204, 50, 14
           {kIdApply, {88, 22}},              // 247, 204, 50, 14
           {kIdCancelButton, {87, 22}},       // 301, 204, 50, 14
           {kIdHelp, {88, 22}}});             // 356, 204, 50, 14
    options([&](CCheckingModulesDlg& d) {
        check([&](int id) { return d.button(id); }, {{kIdRefresh, {88, 22}},  // 15, 169, 50, 14
                                                     {kIdOk, {87, 21}},       // 30, 252, 50, 13
                                                     {kIdCancel, {87, 21}},   // 85, 252, 50, 13
                                                     {kIdHelp, {88, 21}}});   // 140, 252, 50, 13
        d.reject();
    });
}

// Enter presses the push button that has the focus, and otherwise the default button: OK.
TEST_F(LoaderDialogTest, EnterPressesTheFocusedButtonOtherwiseOk) {
    openWith({kBase, kRoads, kRail});
    clickRow(rowOf("Roads"));
    clickButton(kIdLoad);
    CButtonST* apply = dialog().button(kIdApply);
    apply->setFocus();
    QTest::keyClick(apply, Qt::Key_Return);
    EXPECT_EQ(record("QM_ROADS").GetMenusLoaded(), 1) << "Apply ran";
    EXPECT_TRUE(dialog().isVisible());

    // In the Options dialog: Cancel focused discards the uncheck, the list focused keeps it.
    const auto uncheckRailThenEnter = [&](int focusedButton) {
        options([&](CCheckingModulesDlg& d) {
            d.list().setCheck(itemOf(d.list(), "Rail"), false);
            QWidget* target = &d.list();
            if (focusedButton != 0) {
                target = d.button(focusedButton);
            }
            target->setFocus();
            QTest::keyClick(target, Qt::Key_Enter);
            EXPECT_FALSE(d.isVisible());
        });
    };
    uncheckRailThenEnter(kIdCancel);
    EXPECT_EQ(storedSetting("QM_RAIL", "Activated"), "True");
    uncheckRailThenEnter(0);
    EXPECT_EQ(storedSetting("QM_RAIL", "Activated"), "False");

    grid().setFocus();
    clickRow(rowOf("Roads"));
    clickButton(kIdUnload);
    grid().setFocus();
    QTest::keyClick(&grid(), Qt::Key_Return);
    EXPECT_FALSE(dialog().isVisible()) << "OK closed the dialog";
    EXPECT_EQ(dialog().result(), QDialog::Accepted);
    EXPECT_EQ(record("QM_ROADS").GetMenusLoaded(), 0) << "after applying the marks";
}

TEST_F(LoaderDialogTest, OpeningOptionsSavesUnappliedStartupOptions) {
    openWith({kBase, kRoads});
    clickRow(1);
    clickButton(kIdStartLoadMenuOnly);
    ASSERT_NE(storedSetting("QM_ROADS", "DemandLoad"), "True");
    options([](CCheckingModulesDlg& d) { d.reject(); });
    EXPECT_EQ(storedSetting("QM_ROADS", "AutoStart"), "True");
    EXPECT_EQ(storedSetting("QM_ROADS", "DemandLoad"), "True");
}

TEST_F(LoaderDialogTest, CommandWelcomesAFirstTimeUserOnceEvenWhenOptionsIsCancelled) {
    addModules({kBase, kRoads});
    runStartup();
    host_->setUiServices(std::make_shared<cadhost::gui::GuiUiServices>(nullptr));
    storeSetting("QM_BASE", "Activated", "False");
    std::vector<std::string> seen;
    uitest::ModalDriver driver([&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen.push_back(box->text().toStdString());
            box->accept();
        } else if (auto* options = qobject_cast<CCheckingModulesDlg*>(modal)) {
            seen.push_back("options");
            uitest::waitFor([options] { return !options->filling(); });
            options->reject();
        } else if (auto* loader = qobject_cast<QmModuleLoaderDlg*>(modal)) {
            seen.push_back("loader:" + std::to_string(loader->rows().rowCount()));
            EXPECT_EQ(storedSetting("QM_BASE", "Activated"), "True") << "forced before";
            loader->reject();
        }
    });
    qm::ui::RunModuleLoaderCommand(context());
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].find("Please configure modules used in your Quillmont "
                           "installation\n\nYou can safely uncheck"),
              0u)
        << seen[0];
    EXPECT_EQ(seen[1], "options");
    EXPECT_EQ(seen[2], "loader:1");

    // Every run forces the base module on again, not only the first (whose Options dialog
    // saves every setting anyway).
    seen.clear();
    storeSetting("QM_BASE", "Activated", "False");
    qm::ui::RunModuleLoaderCommand(context());
    EXPECT_EQ(takeOutput(), "");
    EXPECT_EQ(seen, (Names{"loader:1"}));
}

TEST_F(LoaderDialogTest, HelpButtonAndF1OpenTheHelpTopic) {
    addModules({kBase, kRoads});
    runStartup();
    qmtest::writeFile(appPath() + "/Help/Quillmont_Base_Help.html", "<html></html>");
    qmtest::HelpViewer viewer(appPath());
    openDialog();
    clickButton(kIdHelp);
    QTest::keyClick(&dialog(), Qt::Key_F1);
    const auto calls = viewer.waitForCalls(2);
    ASSERT_EQ(calls.size(), 2u);
    for (const auto& call : calls) {
        EXPECT_EQ(call.arguments, std::vector<std::string>{"file://" + qmtest::urlPath(appPath()) +
                                                           "/Help/Quillmont_Base_Help.html#10100"});
    }
}

// The console host has no windows, whatever display the environment names; the command says
// so in one line and opens nothing (an invisible modal dialog would hang the session). In a
// host of this process the answer is the same until a graphical front end takes over.
TEST_F(LoaderDialogTest, ConsoleHostPrintsOneLineWhateverDisplayIsNamed) {
    addModules({kBase, kRoads});
    const std::vector<std::string> displays[] = {
        {"QT_QPA_PLATFORM=", "DISPLAY=", "WAYLAND_DISPLAY="},
        {"QT_QPA_PLATFORM=offscreen", "DISPLAY=", "WAYLAND_DISPLAY="},
        {"QT_QPA_PLATFORM=offscreen", "DISPLAY=:97", "WAYLAND_DISPLAY=wayland-97"},
    };
    const std::string line =
        "The Module Loader dialog needs the GUI host (start cadhost without --console).\n";
    for (const std::vector<std::string>& display : displays) {
        qmtest::ProcessOptions options;
        options.extraEnv = userEnvironment();
        options.extraEnv.insert(options.extraEnv.end(), display.begin(), display.end());
        options.input = "KRQM_ModuleLoader_Arx\nQUIT\n";
        options.timeout = std::chrono::seconds(20);
        const qmtest::ProcessResult result =
            qmtest::runProcess({qmtest::binDir() + "/cadhost", "--console"}, options);
        EXPECT_FALSE(result.timedOut) << display[0];
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(qmtest::occurrences(result.out, line), 1u) << result.out;
        EXPECT_EQ(qmtest::occurrences(result.out, "[Quillmont]"), 0u) << "no welcome either";
    }

    runStartup();
    EXPECT_FALSE(cadhost::hasGui());
    qm::ui::RunModuleLoaderCommand(context());
    EXPECT_EQ(takeOutput(), line);
    host_->setUiServices(std::make_shared<cadhost::gui::GuiUiServices>(nullptr));
    EXPECT_TRUE(cadhost::hasGui());
}

// A console host starts the loader and answers its command without mapping any Qt library:
// the dialogs are a module of their own that only a GUI host opens.
TEST_F(LoaderDialogTest, ConsoleHostWithTheLoaderMapsNoQtLibrary) {
    addModules({kBase, kRoads});
    qmtest::ProcessOptions options;
    options.extraEnv = userEnvironment();
    qmtest::BackgroundProcess host({qmtest::binDir() + "/cadhost", "--console"}, options);
    host.writeInput("KRQM_ModuleLoader_Arx\n");
    ASSERT_TRUE(host.waitForOutput("needs the GUI host", std::chrono::seconds(20)))
        << host.output();
    const std::string maps = qmtest::readFile("/proc/" + std::to_string(host.pid()) + "/maps");
    EXPECT_NE(maps.find("/QmModuleLoader.arx"), std::string::npos) << "the loader is mapped";
    EXPECT_EQ(maps.find("/libQt6"), std::string::npos) << maps;
    EXPECT_EQ(maps.find("/QmModuleLoaderUi.so"), std::string::npos);
    host.writeInput("QUIT\n");
    EXPECT_EQ(host.wait(), 0);
}

}  // namespace
