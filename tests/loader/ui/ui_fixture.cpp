#include "ui_fixture.h"

#include <cadhost/host.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "app/startup_sequence.h"
#include "environment/registry_layout.h"
#include "module_records.h"
#include "qmtest/files.h"
#include "qmtest/module_settings.h"
#include "ui/widgets/button_st.h"
#include "ui/widgets/module_grid_model.h"
#include "ui/widgets/module_loader_dlg.h"
#include "ui/widgets/modules_grid.h"

// Under ThreadSanitizer: Qt itself is not instrumented, so the threads of its own pool (image
// conversion of the backing store) and its futex-based locks look racy wherever Qt copies or
// allocates through an intercepted call. Calls made from inside the Qt libraries are ignored;
// every access of the module loader's own code (its worker is a plain std::thread handing its
// result over under a std::mutex) stays checked.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Widgets.so.6\n"
           "called_from_lib:libQt6Test.so.6\n";
}

namespace uitest {
namespace {

// The program's one QApplication, offscreen, made before the first test runs. Its one screen
// is 1280 x 1024 at 96 dpi (Qt's offscreen default is 800 x 600, too small for the loader
// dialog's template, so that a placement fitted to the screen could not hold it), or the
// screen file that QM_TEST_SCREEN names in tests/loader/ui/data.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        const char* screen = std::getenv("QM_TEST_SCREEN");
        const std::string platform =
            "offscreen:configfile=" + qmtest::sourceDir() + "/tests/loader/ui/data/" +
            (screen != nullptr && *screen != '\0' ? screen : "offscreen_screen.json");
        ::setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
        // The dialogs' sizes follow their fonts: one known font, whatever the machine maps
        // "MS Shell Dlg" or Arial to.
        const std::string fonts = qmtest::sourceDir() + "/tests/loader/ui/data/fonts.conf";
        ::setenv("FONTCONFIG_FILE", fonts.c_str(), 1);
        static int argc = 1;
        static char name[] = "qm_ui_test";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const kQt =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

UiTest::UiTest() : appPath_(root_ / "Quillmont/Program"), user_(appPath_), install_(appPath_) {
    resources_.Activate(nullptr);
    host_ = std::make_unique<cadhost::Host>(cadhost::HostOptions{&out_, {}});
}

UiTest::~UiTest() {
    dialog_.reset();
    context_.reset();
    host_.reset();
}

void UiTest::addModules(const std::vector<qmtest::TestModule>& modules) {
    for (const qmtest::TestModule& m : modules) {
        install_.addModule(m);
    }
}

qm::LoaderContext& UiTest::runStartup() {
    dialog_.reset();
    context_ = std::make_unique<qm::LoaderContext>(std::make_unique<qm::DiagnosticLog>());
    context_->setBaseModuleKey("QM_BASE");  // as the application's initialisation does
    qm::RunStartupSequence(*context_);
    takeOutput();
    return *context_;
}

std::string UiTest::takeOutput() {
    std::string text = out_.str();
    out_.str("");
    return text;
}

qm::ui::QmModuleLoaderDlg& UiTest::openDialog() {
    dialog_ = std::make_unique<qm::ui::QmModuleLoaderDlg>(nullptr, *context_);
    dialog_->show();
    dialog_->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(dialog_.get()));
    return *dialog_;
}

void UiTest::openWith(const std::vector<qmtest::TestModule>& modules) {
    addModules(modules);
    runStartup();
    openDialog();
}

qm::ui::QmModulesGrid& UiTest::grid() {
    return dialog_->grid();
}

std::vector<std::string> UiTest::gridNames() {
    std::vector<std::string> names;
    for (int row = 1; row <= dialog_->rows().rowCount(); ++row) {
        names.push_back(cell(row, qm::ui::kColName));
    }
    return names;
}

std::string UiTest::cell(int row, int column) {
    return dialog_->rows().cellValue(row, column);
}

int UiTest::rowOf(const std::string& name) {
    const std::vector<std::string> names = gridNames();
    auto it = std::find(names.begin(), names.end(), name);
    return it == names.end() ? 0 : static_cast<int>(it - names.begin()) + 1;
}

QPoint UiTest::cellCentre(int row, int column) {
    return grid().visualRect(grid().model()->index(row - 1, column)).center();
}

void UiTest::clickRow(int row, Qt::KeyboardModifiers modifiers) {
    QTest::mouseClick(grid().viewport(), Qt::LeftButton, modifiers,
                      cellCentre(row, qm::ui::kColName));
}

void UiTest::clickButton(int id) {
    qm::ui::CButtonST* b = dialog_->button(id);
    ASSERT_NE(b, nullptr);
    QTest::mouseClick(b, Qt::LeftButton);
}

void UiTest::contextMenu(int row, const std::function<void(QMenu*)>& inspect) {
    bool shown = false;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        shown = true;
        inspect(menu);
        if (menu->isVisible()) {
            menu->close();
        }
    });
    const QPoint at = cellCentre(row, qm::ui::kColName);
    QTest::mousePress(grid().viewport(), Qt::RightButton, {}, at);
    QTest::mouseRelease(grid().viewport(), Qt::RightButton, {}, at);
    EXPECT_TRUE(shown);
}

qm::ModuleRecord& UiTest::record(const std::string& key) {
    return qmtest::recordOf(*context_, key);
}

std::string UiTest::storedSetting(const std::string& key, const std::string& value) {
    return qmtest::storedModuleSetting(key, value).value_or("");
}

void UiTest::storeSetting(const std::string& key, const std::string& value,
                          const std::string& text) {
    qmtest::storeModuleSettings(key, {{value, text}});
}

void UiTest::writeProductInformation() {
    qmtest::writeFile(
        appPath_.substr(0, appPath_.size() - 7) + "Configuration/Default/Meshra.Version.txt",
        qmtest::readFile(qmtest::sampleDir() + "/../Configuration/Default/Meshra.Version.txt"));
}

void UiTest::storeStartupOptions() {
    storeSetting("QM_TERRAIN", "AutoStart", "True");
    storeSetting("QM_RAIL", "AutoStart", "True");
    storeSetting("QM_RAIL", "DemandLoad", "True");
}

namespace {

// Ends a modal widget still shown, past any override of reject().
void endModal(QWidget* modal) {
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
        dialog->done(QDialog::Rejected);
    } else {
        modal->close();
    }
}

}  // namespace

void endWhenOverdue(QWidget* modal, std::chrono::milliseconds deadline) {
    // The timer belongs to the widget: a widget destroyed in time takes its timer with it, and
    // one that is hidden in time stops it.
    auto* timer = new QTimer(modal);
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, modal, [modal, timer, deadline] {
        timer->deleteLater();
        if (modal->isVisible()) {
            ADD_FAILURE() << modal->metaObject()->className() << " still open after "
                          << deadline.count() << " ms";
            endModal(modal);
        }
    });
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
        QObject::connect(dialog, &QDialog::finished, timer, &QObject::deleteLater);
    }
    timer->start(deadline);
}

void handleModal(QWidget* modal, const std::function<void()>& handler) {
    const QPointer<QWidget> guarded(modal);
    endWhenOverdue(modal);
    handler();
    if (::testing::Test::HasFatalFailure() && guarded && guarded->isVisible()) {
        endModal(guarded.data());
    }
}

ModalDriver::ModalDriver(std::function<void(QWidget*)> handler)
    : handler_(std::move(handler)), timer_(std::make_unique<QTimer>()) {
    timer_->setInterval(10);
    QObject::connect(timer_.get(), &QTimer::timeout, [this] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal != last_.data() && modal->isVisible()) {
            last_ = modal;
            handleModal(modal, [&] { handler_(modal); });
        } else if (modal == nullptr) {
            last_ = nullptr;
        }
    });
    timer_->start();
}

ModalDriver::~ModalDriver() = default;

bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qWait(5);
    }
    return true;
}

QString screenshotPath(const QString& name) {
    const QString folder = QString::fromStdString(qmtest::binDir()) + "/../screenshots";
    QDir().mkpath(folder);
    return QDir(folder).absoluteFilePath(name);
}

void doubleClick(QWidget* widget, QPointF at) {
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                              QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
        const bool down = type != QEvent::MouseButtonRelease;
        QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton,
                          down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    }
}

}  // namespace uitest
