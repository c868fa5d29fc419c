// The CAD host's graphical front end in this process, offscreen: the menu bar follows the
// loaded menu groups, menu items and the command line run commands, drawings get tabs, message
// boxes are real dialogs (also when asked from another thread), and the module loader's command
// opens its dialog over the main window. With QMTEST_SCREENSHOTS set (scripts/screenshots.sh)
// it also renders the main window to a PNG file.
#include <cadhost/host.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include <QAbstractButton>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <functional>
#include <optional>
#include <thread>

#include "app/crash_guard.h"
#include "command_line.h"
#include "drawing_tabs.h"
#include "gui_ui_services.h"
#include "main_window.h"
#include "output_stream.h"
#include "qmtest/child_process.h"
#include "qmtest/file_size_limit.h"
#include "qmtest/files.h"
#include "qmtest/scoped_env.h"
#include "qmtest/text.h"
#include "qmtest/wait.h"
#include "ui/widgets/module_loader_dlg.h"
#include "ui_fixture.h"

namespace {

using cadhost::gui::MainWindow;

class GuiHostTest : public uitest::UiTest {
protected:
    void SetUp() override {
        host_.reset();  // the fixture's console host gives way to the GUI's
        QObject::connect(&output_, &cadhost::gui::OutputStream::text, &window_,
                         &MainWindow::appendOutput);
        host_ = std::make_unique<cadhost::Host>(cadhost::HostOptions{&output_.stream(), {}});
        services_ = std::make_shared<cadhost::gui::GuiUiServices>(&window_);
        host_->setUiServices(services_);
        host_->setFrame(reinterpret_cast<AcFrameWindow*>(static_cast<QWidget*>(&window_)));
        window_.attach(*host_);
        window_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
    }
    void TearDown() override {
        host_->quit();
        window_.detach();
        host_.reset();
    }
    void type(const QString& line) {
        window_.commandLine().setText(line);
        QTest::keyClick(&window_.commandLine(), Qt::Key_Return);
    }
    QString output() const { return window_.output().toPlainText(); }
    QAction* menuItem(const QString& menuTitle, const QString& label) {
        for (QAction* top : window_.menuBar()->actions()) {
            if (top->menu() != nullptr && top->text() == menuTitle) {
                for (QAction* item : top->menu()->actions()) {
                    if (item->text() == label) {
                        return item;
                    }
                }
            }
        }
        return nullptr;
    }

    // Loads the module loader from arx into the host, with a base menu that starts its
    // command, and returns that menu item (null when the menu did not load).
    QAction* loadModuleLoader(const std::string& arx) {
        // Without a base module the loader brings its own base menu.
        addModules({{"QM_ROADS", "Roads", "KRQM_ROADS", {}}});
        writeProductInformation();
        qmtest::writeFile(appPath() + "/Base/Menus/KRQM_Base_Menu_enu.mnu",
                          "***MENUGROUP=KRQM_MODULELOADER\n***POP1\n**LOADER\n[Quillmont]\n"
                          "[Module Loader]^C^CKRQM_ModuleLoader_Arx\n");
        type(QString::fromStdString("ARXLOAD " + arx));
        type("NEW");
        return menuItem("Quillmont", "Module Loader");
    }

    MainWindow window_;
    cadhost::gui::OutputStream output_;
    std::shared_ptr<cadhost::gui::GuiUiServices> services_;
};

TEST_F(GuiHostTest, MenuBarFollowsTheLoadedMenuGroups) {
    const std::string menu = appPath() + "/Survey.mnu";
    qmtest::writeFile(menu,
                      "***MENUGROUP=KRQM_SURVEY\n***POP1\n**SURVEY\n[Survey]\n[Groups]MENUGROUPS\n"
                      "[--]\n[Points]^C^CSURVEY_POINTS\n***POP2\n[Stations]\n[New]NEW\n");
    EXPECT_EQ(window_.menuTitles(), QStringList{"&Host"});
    type(QString::fromStdString("MENULOAD " + menu));
    EXPECT_EQ(window_.menuTitles(), (QStringList{"&Host", "Survey", "Stations"}));

    QAction* groups = menuItem("Survey", "Groups");
    ASSERT_NE(groups, nullptr);
    groups->trigger();
    EXPECT_TRUE(output().contains("Command: MENUGROUPS"));
    EXPECT_TRUE(output().contains(QString::fromStdString("KRQM_SURVEY\t" + menu)));

    type("MENUUNLOAD KRQM_SURVEY");
    EXPECT_EQ(window_.menuTitles(), QStringList{"&Host"});

    // Groups loaded behind the front end's back show up at the next poll.
    std::shared_ptr<cadhost::IAcadMenuGroups> collection;
    ASSERT_EQ(host_->automation().get_MenuGroups(collection), cadhost::S_OK);
    std::shared_ptr<cadhost::IAcadMenuGroup> group;
    ASSERT_EQ(collection->Load(menu, false, group), cadhost::S_OK);
    EXPECT_TRUE(uitest::waitFor([&] { return window_.menuTitles().size() == 3; }));
}

TEST_F(GuiHostTest, DrawingsGetTabsAndTheCommandLineKeepsAHistory) {
    type("NEW");
    type("NEW");
    EXPECT_EQ(window_.drawings().titles(), (QStringList{"Drawing1.dwg", "Drawing2.dwg"}));
    EXPECT_EQ(window_.drawings().currentIndex(), 1);
    type("CLOSE");
    EXPECT_EQ(window_.drawings().titles(), QStringList{"Drawing1.dwg"});
    type("NOSUCHCOMMAND");
    EXPECT_TRUE(output().contains("Unknown command \"NOSUCHCOMMAND\""));

    cadhost::gui::CommandLine& line = window_.commandLine();
    line.setText("draft");
    QTest::keyClick(&line, Qt::Key_Up);
    EXPECT_EQ(line.text(), "NOSUCHCOMMAND");
    QTest::keyClick(&line, Qt::Key_Up);
    EXPECT_EQ(line.text(), "CLOSE");
    QTest::keyClick(&line, Qt::Key_Down);
    QTest::keyClick(&line, Qt::Key_Down);
    EXPECT_EQ(line.text(), "draft");
}

TEST_F(GuiHostTest, MessageBoxesAreDialogsOwnedByTheMainWindowFromAnyThread) {
    QWidget* owner = nullptr;
    QString text;
    uitest::ModalDriver driver([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        owner = box->parentWidget();
        text = box->text();
        box->button(QMessageBox::No)->click();
    });
    std::atomic<int> answer{0};
    std::thread worker([&] {
        answer = cadhost::messageBox(nullptr, "Replace it?", "Quillmont",
                                     cadhost::MB_YESNO | cadhost::MB_ICONQUESTION);
    });
    EXPECT_TRUE(uitest::waitFor([&] { return answer != 0; }));
    worker.join();
    EXPECT_EQ(answer, cadhost::IDNO);
    EXPECT_EQ(owner, &window_);
    EXPECT_EQ(text, "Replace it?");
}

// The start-up's messages carry the icon that fits them: an error when no module could be
// read, a warning for a module left out because it took the host down last time, and a
// warning for settings that cannot be saved.
TEST_F(GuiHostTest, StartUpMessagesCarryTheirIcons) {
    std::vector<std::pair<std::string, QMessageBox::Icon>> shown;
    uitest::ModalDriver driver([&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            shown.emplace_back(box->text().toStdString(), box->icon());
            box->accept();
        }
    });
    struct Case {
        const char* label;
        std::function<void()> arrange;
        const char* text;  // how the one message begins
        QMessageBox::Icon icon;
    };
    const std::string qmreg = qmtest::binDir() + "/qmreg";
    const std::string saved = appPath() + "/saved.reg";
    std::optional<qmtest::ScopedEnv> registry;
    std::optional<qmtest::FileSizeLimit> fullDisk;
    const Case cases[] = {
        {"EmptyCatalogue", [] {}, "Unable to read module loader configuration files",
         QMessageBox::Critical},
        {"ModuleThatTookTheHostDown",
         [&] {
             addModules({uitest::kBase, uitest::kRoads});
             storeSetting("QM_ROADS", "AutoStart", "True");
             // A host that died while Roads's applications started.
             ASSERT_EQ(
                 qmtest::runProcess({qmtest::binDir() + "/qm_guard_child",
                                     qm::CrashGuard::defaultFolder(), "begin", "QM_ROADS", "Roads"})
                     .exitCode,
                 0);
         },
         "The module \"Roads\" was not started", QMessageBox::Warning},
        {"StoreThatCanOnlyBeRead",
         [&] {
             // The same store moved where no connection of this process has it open, on a
             // disk that is full.
             ASSERT_EQ(qmtest::runProcess({qmreg, "export", "HKCU\\SOFTWARE", saved}).exitCode, 0);
             registry.emplace("QM_REGISTRY_DIR", appPath() + "/registry-on-full-disk");
             ASSERT_EQ(qmtest::runProcess({qmreg, "import", saved}).exitCode, 0);
             ASSERT_EQ(qmtest::runProcess({qmreg, "add", "HKLM\\SOFTWARE"}).exitCode, 0);
             fullDisk.emplace(16 * 1024);
         },
         "Module settings cannot be saved", QMessageBox::Warning},
    };
    for (const Case& c : cases) {
        shown.clear();
        c.arrange();
        runStartup();
        ASSERT_EQ(shown.size(), 1u) << c.label;
        EXPECT_EQ(shown[0].first.rfind(c.text, 0), 0u) << c.label << ": " << shown[0].first;
        EXPECT_EQ(shown[0].second, c.icon) << c.label;
    }
    fullDisk.reset();
}

TEST_F(GuiHostTest, ModuleLoaderCommandOpensItsDialogOverTheMainWindow) {
    QAction* loader = loadModuleLoader(qmtest::binDir() + "/QmModuleLoader.arx");
    ASSERT_NE(loader, nullptr) << window_.menuTitles().join(", ").toStdString() << "\n"
                               << output().toStdString();
    std::vector<std::string> seen;
    uitest::ModalDriver driver([&](QWidget* modal) {
        seen.push_back(modal->metaObject()->className());
        // Pictures for a person, when scripts/screenshots.sh asks for them; not on every run.
        if (seen.size() == 3 && std::getenv("QMTEST_SCREENSHOTS") != nullptr) {
            modal->grab().save(uitest::screenshotPath("gui_host_with_loader.png"));
            window_.grab().save(uitest::screenshotPath("gui_host.png"));
        }
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            box->accept();
        } else if (modal->metaObject()->className() == QByteArray("qm::ui::CCheckingModulesDlg")) {
            // The dialog comes from the loader's library, so it is known by name. Its buttons
            // stay disabled and Cancel is ignored while its list fills; a fill that never ends
            // fails the test, and the driver then ends the dialog past its Cancel.
            auto* options = static_cast<QDialog*>(modal);
            const auto buttons = options->findChildren<QPushButton*>();
            ASSERT_TRUE(uitest::waitFor(
                [&] {
                    return std::all_of(buttons.begin(), buttons.end(),
                                       [](QPushButton* b) { return b->isEnabled(); });
                },
                20000))
                << "the Options list did not fill";
            options->reject();
        } else {
            static_cast<QDialog*>(modal)->reject();
        }
    });
    loader->trigger();
    // First run: the welcome message, the Options dialog, then the module loader dialog.
    EXPECT_EQ(seen, (std::vector<std::string>{"QMessageBox", "qm::ui::CCheckingModulesDlg",
                                              "qm::ui::QmModuleLoaderDlg"}));
}

// The dialogs live in a module beside the loader's ARX; a loader without it still starts, and
// its command tells the user in a message box that the dialogs cannot be loaded, writes the
// reason to the diagnostic log, nothing to the command line, and opens nothing else.
TEST_F(GuiHostTest, ModuleLoaderWithoutItsDialogsModuleSaysSoInAMessageBox) {
    qmtest::TempDir alone;
    const std::string arx = alone.path() + "/QmModuleLoader.arx";
    std::filesystem::copy_file(qmtest::binDir() + "/QmModuleLoader.arx", arx);
    const std::string log = alone.path() + "/qm.log";
    qmtest::ScopedEnv logEnv("QM_LOG", log);
    QAction* loader = loadModuleLoader(arx);
    ASSERT_NE(loader, nullptr) << output().toStdString();
    struct Shown {
        QString caption;
        QString text;
        QMessageBox::Icon icon;
    };
    std::vector<Shown> shown;
    int others = 0;
    uitest::ModalDriver driver([&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            shown.push_back({box->windowTitle(), box->text(), box->icon()});
            box->accept();
        } else {
            ++others;
            static_cast<QDialog*>(modal)->reject();
        }
    });
    // A failed open is tried again: each run says so once.
    for (std::size_t run = 1; run <= 2; ++run) {
        loader->trigger();
        ASSERT_EQ(shown.size(), run);
        EXPECT_EQ(shown.back().caption, "Quillmont");
        EXPECT_EQ(shown.back().text, "The Module Loader dialogs cannot be loaded.");
        EXPECT_EQ(shown.back().icon, QMessageBox::Critical);
    }
    EXPECT_EQ(others, 0);
    EXPECT_FALSE(output().contains("cannot be loaded")) << output().toStdString();
    const std::string written = qmtest::readFile(log);
    EXPECT_EQ(qmtest::occurrences(written, "dialogs: "), 2u) << written;
    EXPECT_EQ(qmtest::occurrences(written, "QmModuleLoaderUi.so"), 2u) << written;
}

}  // namespace
