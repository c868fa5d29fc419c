// The shared table of dialog cases on the Qt view (offscreen): the module loader's command runs
// on the GUI thread, in its own modal loops, while the case runs on a thread of its own and
// reaches the widgets only through calls queued to the GUI thread, which every modal loop
// serves. Message boxes go to host services that record them and answer OK.
#include <cadhost/host.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QTest>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <type_traits>

#include "dialog_driver.h"
#include "qmtest/module_settings.h"
#include "qmtest/wait.h"
#include "ui/logic/first_run.h"
#include "ui/logic/grid_rows.h"
#include "ui/logic/resource_ids.h"
#include "ui/widgets/button_st.h"
#include "ui/widgets/checking_modules_dlg.h"
#include "ui/widgets/module_loader_command.h"
#include "ui/widgets/module_loader_dlg.h"
#include "ui/widgets/modules_grid.h"
#include "ui/widgets/my_check_list_box.h"
#include "ui_fixture.h"

namespace uitest {
namespace {

using namespace qm::ui;

// Host services of a GUI host that record each message box and answer it with OK.
class RecordingGui : public cadhost::UiServices {
public:
    int messageBox(AcFrameWindow*, const std::string& text, const std::string& caption,
                   unsigned style) override {
        std::lock_guard lock(mutex_);
        shown_.push_back({text, caption, style});
        return cadhost::IDOK;
    }
    void setWaitCursor(bool) override {}
    bool hasGui() const override { return true; }
    std::vector<ShownMessage> shown() {
        std::lock_guard lock(mutex_);
        return shown_;
    }

private:
    std::mutex mutex_;
    std::vector<ShownMessage> shown_;
};

Qt::Key QtKeyOf(int vk) {
    if (vk >= 'A' && vk <= 'Z') {
        return static_cast<Qt::Key>(Qt::Key_A + (vk - 'A'));
    }
    switch (vk) {
        case kVkTab:
            return Qt::Key_Tab;
        case kVkSpace:
            return Qt::Key_Space;
        case kVkEnd:
            return Qt::Key_End;
        case kVkHome:
            return Qt::Key_Home;
        case kVkDown:
            return Qt::Key_Down;
        default:
            return Qt::Key_unknown;
    }
}

// Runs f on the GUI thread and returns its result; every modal loop there serves the call.
template <class F>
std::invoke_result_t<F> onGui(F f) {
    std::invoke_result_t<F> result{};
    QMetaObject::invokeMethod(
        qApp, [&] { result = f(); }, Qt::BlockingQueuedConnection);
    return result;
}

bool waitUntil(const std::function<bool()>& condition) {
    return qmtest::waitUntil(condition, std::chrono::seconds(20));
}

class QtDriver : public DialogDriver {
public:
    explicit QtDriver(std::shared_ptr<RecordingGui> gui) : gui_(std::move(gui)) {}

    void open() override {
        ASSERT_TRUE(waitUntil([this] { return onGui([this] { return ready(); }); }))
            << "no dialog came up";
    }
    bool isOpen() override {
        return !finished_ && onGui([] { return QApplication::activeModalWidget() != nullptr; });
    }
    bool waitClosed() override {
        return waitUntil([this] { return finished_.load(); });
    }
    void setFinished() { finished_ = true; }

    void press(int id) override {
        // Queued without waiting: the press may open a modal dialog of its own.
        QMetaObject::invokeMethod(
            qApp,
            [this, id] {
                if (CButtonST* b = buttonOf(front(), id)) {
                    QTest::mouseClick(b, Qt::LeftButton);
                }
            },
            Qt::QueuedConnection);
        settle();
    }
    bool enabled(int id) override {
        return onGui([this, id] {
            QWidget* w = controlOf(front(), id);
            return w != nullptr && w->isEnabled();
        });
    }
    bool visible(int id) override {
        return onGui([this, id] {
            QWidget* w = controlOf(front(), id);
            return w != nullptr && w->isVisible();
        });
    }
    int focused() override {
        return onGui([this] {
            QWidget* f = QApplication::focusWidget();
            QWidget* d = front();
            if (f == nullptr || d == nullptr) {
                return 0;
            }
            for (QWidget* w = f; w != nullptr && w != d; w = w->parentWidget()) {
                const QString name = w->objectName();
                if (name.startsWith(QStringLiteral("control"))) {
                    return name.mid(7).toInt();
                }
            }
            return 0;
        });
    }
    std::string tooltip(int id) override {
        return onGui([this, id] {
            CButtonST* b = buttonOf(front(), id);
            return b != nullptr ? b->tooltipText().toStdString() : std::string();
        });
    }
    std::string text(int id) override {
        return onGui([this, id] {
            QWidget* w = controlOf(front(), id);
            if (auto* b = qobject_cast<QAbstractButton*>(w)) {
                return b->text().toStdString();
            }
            auto* label = qobject_cast<QLabel*>(w);
            return label != nullptr ? label->text().toStdString() : std::string();
        });
    }

    void key(int vk, unsigned modifiers) override {
        onGui([this, vk, modifiers] {
            Qt::KeyboardModifiers mods;
            mods.setFlag(Qt::ControlModifier, (modifiers & kCtrl) != 0);
            mods.setFlag(Qt::ShiftModifier, (modifiers & kShift) != 0);
            mods.setFlag(Qt::AltModifier, (modifiers & kAlt) != 0);
            QTest::keyClick(&loader()->grid(), QtKeyOf(vk), mods);
            return 0;
        });
    }
    void clickHeader(int gridColumn) override {
        onGui([this, gridColumn] {
            QHeaderView* header = loader()->grid().horizontalHeader();
            const QPoint at(
                header->sectionViewportPosition(gridColumn) + header->sectionSize(gridColumn) / 2,
                header->height() / 2);
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
            return 0;
        });
    }
    std::vector<std::string> names() override {
        return onGui([this] {
            std::vector<std::string> out;
            const GridRows& rows = loader()->rows();
            for (int row = 1; row <= rows.rowCount(); ++row) {
                out.push_back(rows.cellValue(row, kColName));
            }
            return out;
        });
    }
    std::string event(int row) override {
        return onGui([this, row] { return loader()->rows().cellValue(row, kColEvent); });
    }
    int startupImage(int row) override {
        return onGui([this, row] {
            const GridRows& rows = loader()->rows();
            return rows.cellStyle(row, kColStartup) == CellStyle::Startup
                       ? std::atoi(rows.cellValue(row, kColStartup).c_str())
                       : 0;
        });
    }
    bool bold(int row) override {
        return onGui([this, row] {
            return CellFontWeight(loader()->rows().cellStyle(row, kColName)) >= 700;
        });
    }
    std::vector<int> selection() override {
        return onGui([this] { return loader()->grid().selectedRows(); });
    }

    bool optionsOpen() override {
        return onGui([this] { return options() != nullptr; });
    }
    std::vector<std::string> optionNames() override {
        return onGui([this] {
            std::vector<std::string> out;
            if (CCheckingModulesDlg* d = options()) {
                for (int i = 0; i < d->list().count(); ++i) {
                    out.push_back(d->list().itemText(i).toStdString());
                }
            }
            return out;
        });
    }
    std::optional<bool> check(const std::string& name) override {
        return onGui([this, name]() -> std::optional<bool> {
            const int i = optionIndex(name);
            return i < 0 ? std::nullopt : std::optional<bool>(options()->list().check(i));
        });
    }
    bool checkEnabled(const std::string& name) override {
        return onGui([this, name] {
            const int i = optionIndex(name);
            return i >= 0 && options()->list().isItemEnabled(i);
        });
    }
    void setCheck(const std::string& name, bool on) override {
        const bool done = onGui([this, name, on] {
            const int i = optionIndex(name);
            if (i >= 0) {
                options()->list().setCheck(i, on);
            }
            return i >= 0;
        });
        ASSERT_TRUE(done) << name;
    }
    std::vector<ShownMessage> messages() override { return gui_->shown(); }

    // Ends whatever is open with Escape's reject, front first, until the command returned.
    void closeAll() {
        for (int i = 0; i < 5 && !finished_; ++i) {
            QMetaObject::invokeMethod(
                qApp,
                [] {
                    if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                        d->reject();
                    }
                },
                Qt::QueuedConnection);
            waitUntil([this] { return finished_ || onGui([this] { return ready(); }); });
        }
    }

private:
    // The modal dialog in front; the command's dialogs are all modal.
    static QWidget* front() { return QApplication::activeModalWidget(); }
    static QmModuleLoaderDlg* loader() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* d = qobject_cast<QmModuleLoaderDlg*>(w); d != nullptr && d->isVisible()) {
                return d;
            }
        }
        return nullptr;
    }
    static CCheckingModulesDlg* options() { return qobject_cast<CCheckingModulesDlg*>(front()); }
    static CButtonST* buttonOf(QWidget* dialog, int id) {
        if (auto* d = qobject_cast<QmModuleLoaderDlg*>(dialog)) {
            return d->button(id);
        }
        if (auto* d = qobject_cast<CCheckingModulesDlg*>(dialog)) {
            return d->button(id);
        }
        return nullptr;
    }
    static QWidget* controlOf(QWidget* dialog, int id) {
        return dialog != nullptr ? dialog->findChild<QWidget*>(QStringLiteral("control%1").arg(id))
                                 : nullptr;
    }
    int optionIndex(const std::string& name) {
        CCheckingModulesDlg* d = options();
        if (d == nullptr) {
            return -1;
        }
        for (int i = 0; i < d->list().count(); ++i) {
            if (d->list().itemText(i).toStdString() == name) {
                return i;
            }
        }
        return -1;
    }
    // A dialog is in front, shown, and not filling.
    static bool ready() {
        QWidget* f = front();
        if (f == nullptr || !f->isVisible()) {
            return false;
        }
        auto* d = qobject_cast<CCheckingModulesDlg*>(f);
        return d == nullptr || !d->filling();
    }
    // Waits until everything queued so far has run, then for the front dialog to be ready.
    void settle() {
        onGui([] { return 0; });
        waitUntil([this] { return finished_ || onGui([] { return ready(); }); });
    }

    std::shared_ptr<RecordingGui> gui_;
    std::atomic<bool> finished_{false};
};

class QtDialogCases : public UiTest, public ::testing::WithParamInterface<DialogCase> {};

TEST_P(QtDialogCases, Run) {
    const DialogCase& c = GetParam();
    addModules(c.modules);
    for (const std::vector<std::string>& s : c.stored) {
        storeSetting(s[0], s[1], s[2]);
    }
    if (!c.firstRun) {
        TestAndMarkFirstRun();
    }
    runStartup();
    auto gui = std::make_shared<RecordingGui>();
    host_->setUiServices(gui);
    QtDriver driver(gui);
    std::atomic<bool> acted{false};
    std::thread actor([&] {
        driver.open();
        if (!HasFatalFailure()) {
            c.run(driver);
        }
        driver.closeAll();
        acted = true;
    });
    RunModuleLoaderCommand(context());
    driver.setFinished();
    // The case may still be checking or waiting: its calls to the GUI thread run here.
    while (!acted) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    actor.join();
}

INSTANTIATE_TEST_SUITE_P(Shared, QtDialogCases, ::testing::ValuesIn(DialogCases()),
                         [](const ::testing::TestParamInfo<DialogCase>& param) {
                             return param.param.name;
                         });

}  // namespace
}  // namespace uitest
