// The shared table of dialog cases on the native Win32 view: the real dialogs module
// (QmModuleLoaderUi.dll, opened as the module loader opens it, through its one export), run
// on a thread of its own that also owns the host and the loader context, driven from the
// test's thread by window messages alone. Message boxes go to host services that record
// them and answer OK.
#include <cadhost/host.h>
#include <gtest/gtest.h>

#include "qmtest/win32.h"
// After windows.h.
#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

#include "app/startup_sequence.h"
#include "dialog_driver.h"
#include "qmtest/module_settings.h"
#include "qmtest/relocated_user.h"
#include "qmtest/temp_dir.h"
#include "qmtest/wait.h"
#include "runtime/loader_context.h"
#include "test_installation.h"
#include "ui/logic/dialogs_entry.h"
#include "ui/logic/first_run.h"
#include "ui/logic/resource_ids.h"
#include "ui/logic/startup_option.h"
#include "ui/win32/check_list.h"
#include "ui/win32/dialog_window.h"
#include "ui/win32/module_grid.h"
#include "ui/win32/owner_button.h"
#include "ui/win32/win32_text.h"

namespace uitest {
namespace {

using namespace qm::ui;
using qm::ui::win32::Narrow;
using qm::ui::win32::Widen;

constexpr auto kTimeout = std::chrono::seconds(20);
// The first window on a new virtual display waits for Wine to bring up its desktop, which on a
// loaded machine has taken over 20 s.
constexpr auto kFirstWindowTimeout = std::chrono::seconds(90);

// Host services of a GUI host that record each message box and answer it with OK.
class RecordingGui : public cadhost::UiServices {
public:
    int messageBox(AcFrameWindow*, const std::string& text, const std::string& caption,
                   unsigned style) override {
        std::lock_guard lock(mutex_);
        shown_.push_back({text, caption, style});
        return IDOK;  // the Windows macro: the host's constant of the same name and value
    }
    void setWaitCursor(bool) override {}
    bool hasGui() const override { return true; }
    std::vector<ShownMessage> shown() {
        std::lock_guard lock(mutex_);
        return shown_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        shown_.clear();
    }

private:
    std::mutex mutex_;
    std::vector<ShownMessage> shown_;
};

std::string windowText(HWND hwnd) {
    wchar_t buffer[512] = {};
    GetWindowTextW(hwnd, buffer, 512);
    return Narrow(buffer);
}

bool isDialog(HWND hwnd) {
    wchar_t name[16] = {};
    GetClassNameW(hwnd, name, 16);
    return std::wstring(name) == L"#32770";
}

class Win32Driver : public DialogDriver {
public:
    Win32Driver() {
        module_ = LoadLibraryW(L"QmModuleLoaderUi.dll");
        if (module_ != nullptr) {
            entry_ = reinterpret_cast<DialogsEntryFn>(
                reinterpret_cast<void*>(GetProcAddress(module_, kDialogsEntryName)));
        }
    }
    ~Win32Driver() override {
        if (ui_.joinable()) {
            closeAll();
            ui_.join();
        }
    }
    bool loaded() const { return entry_ != nullptr; }

    void open() override {
        ui_ = std::thread([this] {
            uiThread_ = GetCurrentThreadId();
            std::ostringstream out;
            cadhost::Host host(cadhost::HostOptions{&out, {}});
            host.setUiServices(gui_);
            qm::LoaderContext context(std::make_unique<qm::DiagnosticLog>());
            context.setBaseModuleKey("QM_BASE");
            qm::RunStartupSequence(context);
            gui_->clear();  // what the start-up showed is not the dialogs'
            started_ = true;
            entry_(context);
            finished_ = true;
        });
        ASSERT_TRUE(waitUntil(
            [this] {
                HWND d = front();
                return d != nullptr && SendMessageW(d, win32::kDialogReady, 0, 0) == 1;
            },
            kFirstWindowTimeout))
            << "no dialog came up";
        waitForFill();
    }

    bool isOpen() override { return !finished_ && front() != nullptr; }
    bool waitClosed() override {
        return waitUntil([this] { return finished_.load(); });
    }

    void press(int id) override {
        HWND d = front();
        ASSERT_NE(d, nullptr);
        HWND c = GetDlgItem(d, id);
        ASSERT_NE(c, nullptr) << id;
        PostMessageW(d, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(c));
        settle(d);
    }
    bool enabled(int id) override { return IsWindowEnabled(control(id)) != FALSE; }
    bool visible(int id) override { return IsWindowVisible(control(id)) != FALSE; }
    int focused() override {
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        if (!GetGUIThreadInfo(uiThread_, &info) || info.hwndFocus == nullptr) {
            return 0;
        }
        return GetParent(info.hwndFocus) == front() ? GetDlgCtrlID(info.hwndFocus) : 0;
    }
    std::string tooltip(int id) override {
        wchar_t buffer[512] = {};
        SendMessageW(control(id), win32::kButtonGetTooltip, 512, reinterpret_cast<LPARAM>(buffer));
        return Narrow(buffer);
    }
    std::string text(int id) override {
        if (SendMessageW(control(id), win32::kButtonGetImage, 0, 0) != 0) {
            return {};  // an image-only button shows no caption
        }
        return windowText(control(id));
    }

    void key(int vk, unsigned modifiers) override {
        HWND d = loader();
        HWND g = grid();
        ASSERT_NE(g, nullptr) << describeWindows();
        // The key state is the input queue's: shared with the dialogs' thread for the key.
        AttachThreadInput(GetCurrentThreadId(), uiThread_, TRUE);
        BYTE state[256] = {};
        GetKeyboardState(state);
        BYTE pressed[256];
        std::copy(std::begin(state), std::end(state), std::begin(pressed));
        constexpr BYTE kDown = 0x80;
        constexpr BYTE kUp = 0;
        pressed[VK_CONTROL] = (modifiers & kCtrl) != 0 ? kDown : kUp;
        pressed[VK_SHIFT] = (modifiers & kShift) != 0 ? kDown : kUp;
        pressed[VK_MENU] = (modifiers & kAlt) != 0 ? kDown : kUp;
        SetKeyboardState(pressed);
        const auto scan =
            static_cast<LPARAM>(MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC));
        PostMessageW(g, WM_KEYDOWN, static_cast<WPARAM>(vk), 1 | (scan << 16));
        PostMessageW(g, WM_KEYUP, static_cast<WPARAM>(vk), 1 | (scan << 16) | (3LL << 30));
        settle(d);
        SetKeyboardState(state);
        AttachThreadInput(GetCurrentThreadId(), uiThread_, FALSE);
    }
    void clickHeader(int gridColumn) override {
        const int shown[] = {1, 3, 7};
        int index = -1;
        for (int i = 0; i < 3; ++i) {
            index = shown[i] == gridColumn ? i : index;
        }
        ASSERT_GE(index, 0);
        NMLISTVIEW click{};
        click.hdr.hwndFrom = grid();
        click.hdr.idFrom = static_cast<UINT_PTR>(kIdGrid);
        click.hdr.code = LVN_COLUMNCLICK;
        click.iItem = -1;
        click.iSubItem = index;
        SendMessageW(loader(), WM_NOTIFY, static_cast<WPARAM>(kIdGrid),
                     reinterpret_cast<LPARAM>(&click));
    }
    std::vector<std::string> names() override {
        std::vector<std::string> out;
        const int count = ListView_GetItemCount(grid());
        for (int i = 0; i < count; ++i) {
            out.push_back(cellText(i, 0));
        }
        return out;
    }
    std::string event(int row) override { return cellText(row - 1, 2); }
    int startupImage(int row) override {
        LVITEMW item{};
        item.mask = LVIF_IMAGE;
        item.iItem = row - 1;
        item.iSubItem = 1;
        if (!ListView_GetItem(grid(), &item) || item.iImage < 0 || item.iImage > 2) {
            return 0;
        }
        return Describe(static_cast<StartupOption>(item.iImage)).bitmap;
    }
    bool bold(int row) override {
        LVITEMW item{};
        item.mask = LVIF_PARAM;
        item.iItem = row - 1;
        return ListView_GetItem(grid(), &item) && (item.lParam & win32::kGridRowBold) != 0;
    }
    std::vector<int> selection() override {
        std::vector<int> rows;
        HWND g = grid();
        int i = -1;
        while (g != nullptr && (i = ListView_GetNextItem(g, i, LVNI_SELECTED)) >= 0) {
            rows.push_back(i + 1);
        }
        return rows;
    }

    bool optionsOpen() override {
        HWND d = front();
        return d != nullptr && d != loader() && GetDlgItem(d, kIdModuleList) != nullptr;
    }
    std::vector<std::string> optionNames() override {
        std::vector<std::string> out;
        HWND list = GetDlgItem(front(), kIdModuleList);
        const auto count = SendMessageW(list, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            wchar_t buffer[256] = {};
            SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i),
                         reinterpret_cast<LPARAM>(buffer));
            out.push_back(Narrow(buffer));
        }
        return out;
    }
    std::optional<bool> check(const std::string& name) override {
        const int i = optionIndex(name);
        if (i < 0) {
            return std::nullopt;
        }
        const LRESULT state = SendMessageW(GetDlgItem(front(), kIdModuleList),
                                           win32::kCheckListGetCheck, static_cast<WPARAM>(i), 0);
        return state < 0 ? std::nullopt : std::optional<bool>(state == 1);
    }
    bool checkEnabled(const std::string& name) override {
        const int i = optionIndex(name);
        return i >= 0 && SendMessageW(GetDlgItem(front(), kIdModuleList),
                                      win32::kCheckListIsEnabled, static_cast<WPARAM>(i), 0) == 1;
    }
    void setCheck(const std::string& name, bool on) override {
        const int i = optionIndex(name);
        ASSERT_GE(i, 0) << name;
        SendMessageW(GetDlgItem(front(), kIdModuleList), win32::kCheckListSetCheck,
                     static_cast<WPARAM>(i), on ? 1 : 0);
    }
    std::vector<ShownMessage> messages() override { return gui_->shown(); }

    // Ends whatever is open with Cancel, front first, until the command has returned.
    void closeAll() {
        for (int i = 0; i < 5 && !finished_; ++i) {
            if (HWND d = front()) {
                const int cancel = d == loader() ? kIdCancelButton : kIdCancel;
                PostMessageW(d, WM_COMMAND, MAKEWPARAM(cancel, BN_CLICKED), 0);
                settle(d);
            } else if (started_) {
                waitUntil([this] { return finished_ || front() != nullptr; });
            }
        }
    }

private:
    static bool waitUntil(const std::function<bool()>& condition,
                          std::chrono::seconds timeout = kTimeout) {
        return qmtest::waitUntil(condition, timeout);
    }

    // The dialogs of the command, front first: the enabled one is in front (a modal dialog
    // disables its owner).
    HWND front() {
        HWND found = nullptr;
        if (uiThread_ == 0) {
            return nullptr;  // EnumThreadWindows would take every thread's windows
        }
        EnumThreadWindows(
            uiThread_,
            [](HWND hwnd, LPARAM data) -> BOOL {
                if (isDialog(hwnd) && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
                    *reinterpret_cast<HWND*>(data) = hwnd;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&found));
        return found;
    }
    // The dialogs' thread's windows, for a failure's message.
    std::string describeWindows() {
        std::string out = "command " + std::string(finished_ ? "returned" : "runs") + ", " +
                          std::to_string(gui_->shown().size()) + " messages; windows of thread " +
                          std::to_string(uiThread_) + ":";
        for (const ShownMessage& m : gui_->shown()) {
            out += " {" + m.text + "}";
        }
        EnumThreadWindows(
            uiThread_,
            [](HWND hwnd, LPARAM data) -> BOOL {
                wchar_t name[64] = {};
                GetClassNameW(hwnd, name, 64);
                *reinterpret_cast<std::string*>(data) +=
                    " [" + Narrow(name) + " \"" + windowText(hwnd) + "\"" +
                    (IsWindowVisible(hwnd) ? " visible" : "") +
                    (IsWindowEnabled(hwnd) ? " enabled" : "") + "]";
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&out));
        return out;
    }
    HWND loader() {
        HWND found = nullptr;
        if (uiThread_ == 0) {
            return nullptr;
        }
        EnumThreadWindows(
            uiThread_,
            [](HWND hwnd, LPARAM data) -> BOOL {
                if (isDialog(hwnd) && GetDlgItem(hwnd, kIdGrid) != nullptr) {
                    *reinterpret_cast<HWND*>(data) = hwnd;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&found));
        return found;
    }
    HWND grid() { return GetDlgItem(loader(), kIdGrid); }
    HWND control(int id) { return GetDlgItem(front(), id); }

    std::string cellText(int item, int subItem) {
        wchar_t buffer[1024] = {};
        ListView_GetItemText(grid(), item, subItem, buffer, 1024);
        return Narrow(buffer);
    }
    int optionIndex(const std::string& name) {
        const std::vector<std::string> all = optionNames();
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (all[i] == name) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    // Waits until everything posted to dialog d so far has been handled, then for a dialog
    // that came up to be ready and its fill to be done.
    void settle(HWND d) {
        const auto seq = static_cast<WPARAM>(++ping_);
        PostMessageW(d, win32::kDialogPing, seq, 0);
        waitUntil([&] {
            return !IsWindow(d) || finished_ ||
                   reinterpret_cast<WPARAM>(GetPropW(d, win32::kDialogPingProperty)) == seq;
        });
        waitUntil([this] {
            HWND f = front();
            return finished_ || (f != nullptr && SendMessageW(f, win32::kDialogReady, 0, 0) == 1);
        });
        waitForFill();
    }
    void waitForFill() {
        waitUntil([this] {
            HWND f = front();
            return f == nullptr || SendMessageW(f, win32::kDialogBusy, 0, 0) == 0;
        });
    }

    HMODULE module_ = nullptr;
    DialogsEntryFn entry_ = nullptr;
    std::shared_ptr<RecordingGui> gui_ = std::make_shared<RecordingGui>();
    std::thread ui_;
    std::atomic<DWORD> uiThread_{0};
    std::atomic<bool> started_{false};
    std::atomic<bool> finished_{false};
    std::size_t ping_ = 0;
};

class Win32DialogCases : public ::testing::TestWithParam<DialogCase> {};

TEST_P(Win32DialogCases, Run) {
    if (qmtest::runningUnderWine() && std::getenv("DISPLAY") == nullptr) {
        GTEST_SKIP() << "Wine shows windows on an X display only: scripts/wine-ctest.sh gives "
                        "the run a virtual one (Xvfb)";
    }
    const DialogCase& c = GetParam();
    const qmtest::TempDir root;
    const std::string appPath = root / "Quillmont/Program";
    const qmtest::RelocatedUser user(appPath);
    qmtest::TestInstallation install(appPath);
    for (const qmtest::TestModule& m : c.modules) {
        install.addModule(m);
    }
    for (const std::vector<std::string>& s : c.stored) {
        qmtest::storeModuleSettings(s[0], {{s[1], s[2]}});
    }
    if (!c.firstRun) {
        TestAndMarkFirstRun();
    }
    Win32Driver driver;
    ASSERT_TRUE(driver.loaded()) << "QmModuleLoaderUi.dll or its export is missing";
    driver.open();
    if (!HasFatalFailure()) {
        c.run(driver);
    }
}

INSTANTIATE_TEST_SUITE_P(Shared, Win32DialogCases, ::testing::ValuesIn(DialogCases()),
                         [](const ::testing::TestParamInfo<DialogCase>& param) {
                             return param.param.name;
                         });

}  // namespace
}  // namespace uitest
