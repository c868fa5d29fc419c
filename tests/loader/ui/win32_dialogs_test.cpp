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

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <tuple>

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
#include "ui/logic/grid_rows.h"
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
    int messageBox(AcFrameWindow* owner, const std::string& text, const std::string& caption,
                   unsigned style) override {
        std::lock_guard lock(mutex_);
        shown_.push_back({text, caption, style});
        owners_.push_back(reinterpret_cast<HWND>(owner));
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
        owners_.clear();
    }
    // The owner window of each message box shown, in the order of shown().
    std::vector<HWND> owners() {
        std::lock_guard lock(mutex_);
        return owners_;
    }

private:
    std::mutex mutex_;
    std::vector<ShownMessage> shown_;
    std::vector<HWND> owners_;
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
            {
                std::lock_guard lock(mutex_);
                done_ = true;
            }
            wake_.notify_all();
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
            // The command, then again for each reopen() until the driver goes.
            for (;;) {
                entry_(context);
                std::unique_lock lock(mutex_);
                finished_ = true;
                wake_.wait(lock, [this] { return again_ || done_; });
                if (!again_) {
                    break;
                }
                again_ = false;
            }
        });
        waitReady();
    }
    void reopen() override {
        {
            std::lock_guard lock(mutex_);
            ASSERT_TRUE(finished_) << "the command still runs";
            finished_ = false;
            again_ = true;
        }
        wake_.notify_all();
        waitReady();
    }
    void waitReady() {
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
        HWND g = grid();
        ASSERT_NE(g, nullptr) << describeWindows();
        postKey(loader(), g, vk, modifiers);
    }
    void optionsKey(int vk, unsigned modifiers) override {
        HWND d = front();
        HWND list = GetDlgItem(d, kIdModuleList);
        ASSERT_NE(list, nullptr) << describeWindows();
        postKey(d, list, vk, modifiers);
    }
    // Posts a key-down and key-up to window target of dialog d with the modifiers held.
    void postKey(HWND d, HWND target, int vk, unsigned modifiers) {
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
        PostMessageW(target, WM_KEYDOWN, static_cast<WPARAM>(vk), 1 | (scan << 16));
        PostMessageW(target, WM_KEYUP, static_cast<WPARAM>(vk), 1 | (scan << 16) | (3LL << 30));
        settle(d);
        SetKeyboardState(state);
        AttachThreadInput(GetCurrentThreadId(), uiThread_, FALSE);
    }
    // The ListView's column of a grid column; -1 for one not shown.
    static int shownIndex(int gridColumn) {
        for (int i = 0; i < static_cast<int>(std::size(kShownGridColumns)); ++i) {
            if (kShownGridColumns[i] == gridColumn) {
                return i;
            }
        }
        return -1;
    }
    void clickHeader(int gridColumn) override {
        const int index = shownIndex(gridColumn);
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
    bool loaderOpen() override {
        HWND d = loader();
        return d != nullptr && IsWindowVisible(d) != FALSE;
    }

    // For the cases of this view alone.
    HWND frontDialog() { return front(); }
    HWND loaderDialog() { return loader(); }
    HWND gridWindow() { return grid(); }
    std::vector<HWND> messageOwners() { return gui_->owners(); }
    // Moves the focus as the dialog manager does (which also moves the default button).
    void focusControl(int id) {
        HWND d = front();
        PostMessageW(d, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(d, id)), TRUE);
        settle(d);
    }

    std::optional<ScreenBox> controlBox(int id) override {
        RECT r{};
        if (HWND c = control(id); c == nullptr || !GetWindowRect(c, &r)) {
            return std::nullopt;
        }
        return ScreenBox{r.left, r.top, r.right - r.left, r.bottom - r.top};
    }
    ScreenBox visibleBox() override {
        HWND d = front();
        RECT client{};
        GetClientRect(d, &client);  // without the scroll bars
        MapWindowPoints(d, nullptr, reinterpret_cast<POINT*>(&client), 2);
        MONITORINFO info{};
        info.cbSize = sizeof(info);
        GetMonitorInfoW(MonitorFromWindow(d, MONITOR_DEFAULTTONEAREST), &info);
        RECT seen{};
        IntersectRect(&seen, &client, &info.rcWork);
        return {seen.left, seen.top, seen.right - seen.left, seen.bottom - seen.top};
    }
    void scroll(int dx, int dy) override {
        HWND d = front();
        const LONG style = GetWindowLongW(d, GWL_STYLE);
        for (const auto& [bar, flag, message, by] :
             {std::tuple{SB_HORZ, WS_HSCROLL, UINT{WM_HSCROLL}, dx},
              std::tuple{SB_VERT, WS_VSCROLL, UINT{WM_VSCROLL}, dy}}) {
            SCROLLINFO info{};
            info.cbSize = sizeof(info);
            info.fMask = SIF_ALL;
            if (by == 0 || (style & static_cast<LONG>(flag)) == 0 ||
                !GetScrollInfo(d, bar, &info)) {
                continue;
            }
            const int last = info.nMax - static_cast<int>(info.nPage) + 1;
            const int pos = std::clamp(info.nPos + by, info.nMin, std::max(info.nMin, last));
            SendMessageW(d, message, MAKEWPARAM(SB_THUMBPOSITION, pos), 0);
        }
        settle(d);
    }

    void keyToFront(int vk) override {
        HWND d = front();
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        ASSERT_TRUE(GetGUIThreadInfo(uiThread_, &info) && info.hwndFocus != nullptr);
        const auto scan =
            static_cast<LPARAM>(MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC));
        PostMessageW(info.hwndFocus, WM_KEYDOWN, static_cast<WPARAM>(vk), 1 | (scan << 16));
        PostMessageW(info.hwndFocus, WM_KEYUP, static_cast<WPARAM>(vk),
                     1 | (scan << 16) | (3LL << 30));
        settle(d);
    }
    bool chooseFromMenu(int row, int command) override {
        HWND d = loader();
        HWND g = grid();
        RECT cell{};
        cell.left = LVIR_LABEL;
        if (g == nullptr || !SendMessageW(g, LVM_GETITEMRECT, static_cast<WPARAM>(row - 1),
                                          reinterpret_cast<LPARAM>(&cell))) {
            return false;
        }
        const POINT at{(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
        PostMessageW(g, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(at.x, at.y));
        // The menu's own loop runs on the dialogs' thread: it takes keys from that thread's queue.
        HWND menu = nullptr;
        waitUntil([&] {
            EnumThreadWindows(
                uiThread_,
                [](HWND hwnd, LPARAM data) -> BOOL {
                    wchar_t name[16] = {};
                    GetClassNameW(hwnd, name, 16);
                    if (std::wstring(name) == L"#32768" && IsWindowVisible(hwnd)) {
                        *reinterpret_cast<HWND*>(data) = hwnd;
                        return FALSE;
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&menu));
            return menu != nullptr;
        });
        if (menu == nullptr) {
            return false;
        }
        const auto items = reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0));
        // Down moves over the items that are not separators, the first press to the first.
        int downs = 0;
        bool found = false;
        for (int i = 0; items != nullptr && i < GetMenuItemCount(items) && !found; ++i) {
            const UINT state = GetMenuState(items, static_cast<UINT>(i), MF_BYPOSITION);
            if ((state & MF_SEPARATOR) != 0) {
                continue;
            }
            ++downs;
            found = GetMenuItemID(items, i) == static_cast<UINT>(command) &&
                    (state & (MF_DISABLED | MF_GRAYED)) == 0;
        }
        const auto key = [&](WPARAM vk) {
            PostMessageW(menu, WM_KEYDOWN, vk, 1);
            PostMessageW(menu, WM_KEYUP, vk, 1 | (3LL << 30));
        };
        if (found) {
            for (int i = 0; i < downs; ++i) {
                key(VK_DOWN);
            }
            key(VK_RETURN);
        } else {
            key(VK_ESCAPE);
        }
        waitUntil([&] { return !IsWindowVisible(menu); });
        settle(d);
        return found;
    }
    ScreenBox dialogBox() override {
        RECT r{};
        GetWindowRect(loader(), &r);
        return {r.left, r.top, r.right - r.left, r.bottom - r.top};
    }
    void placeDialog(const ScreenBox& b) override {
        HWND d = loader();
        SetWindowPos(d, nullptr, b.left, b.top, b.width, b.height, SWP_NOZORDER | SWP_NOACTIVATE);
        settle(d);
    }
    int columnWidth(int gridColumn) override {
        const int index = shownIndex(gridColumn);
        return index < 0 ? -1 : ListView_GetColumnWidth(grid(), index);
    }
    void dragColumn(int gridColumn, int width) override {
        // What the header tells the list at the end of the user's drag.
        const int index = shownIndex(gridColumn);
        ASSERT_GE(index, 0) << gridColumn;
        HWND g = grid();
        HDITEMW item{};
        item.mask = HDI_WIDTH;
        item.cxy = width;
        NMHEADERW end{};
        end.hdr.hwndFrom = ListView_GetHeader(g);
        end.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(end.hdr.hwndFrom));
        end.hdr.code = HDN_ENDTRACKW;
        end.iItem = index;
        end.iButton = 0;
        end.pitem = &item;
        SendMessageW(g, WM_NOTIFY, end.hdr.idFrom, reinterpret_cast<LPARAM>(&end));
        settle(loader());
    }

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
    // reopen() and the driver's end, to the dialogs' thread once the command has returned.
    std::mutex mutex_;
    std::condition_variable wake_;
    bool again_ = false;
    bool done_ = false;
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
    if (c.beforeStartup) {
        c.beforeStartup();
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

// ---- Cases of this view alone: what the shared driver cannot see (the custom draw's styles,
// the owner-drawn buttons' painting and styles, the windows that own others), through the
// same messages Windows sends the dialogs.

// A 32-bit memory bitmap to draw into, as the dialogs get the DCs they paint into.
class Canvas {
public:
    Canvas(int width, int height) : dc_(CreateCompatibleDC(nullptr)) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        SelectObject(dc_, GetStockObject(SYSTEM_FONT));
    }
    ~Canvas() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    HDC dc() const { return dc_; }
    // Pixels of colour c in the rectangle.
    int count(const RECT& r, COLORREF c) const {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) {
                n += GetPixel(dc_, x, y) == c ? 1 : 0;
            }
        }
        return n;
    }

private:
    HDC dc_;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

// What the grid's custom draw answers for one cell (subItem -1: the item's pre-paint).
struct DrawnCell {
    LRESULT result;
    COLORREF text;
    COLORREF back;
    LONG weight;
    UINT state;
};

DrawnCell drawCell(Win32Driver& d, int row, int subItem) {
    const Canvas canvas(200, 40);
    NMLVCUSTOMDRAW draw{};
    draw.nmcd.hdr.hwndFrom = d.gridWindow();
    draw.nmcd.hdr.idFrom = static_cast<UINT_PTR>(kIdGrid);
    draw.nmcd.hdr.code = static_cast<UINT>(NM_CUSTOMDRAW);
    draw.nmcd.dwDrawStage = subItem < 0 ? CDDS_ITEMPREPAINT : (CDDS_ITEMPREPAINT | CDDS_SUBITEM);
    draw.nmcd.hdc = canvas.dc();
    draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(row - 1);
    draw.nmcd.uItemState = CDIS_SELECTED | CDIS_FOCUS;
    draw.iSubItem = std::max(subItem, 0);
    const LRESULT result = SendMessageW(d.loaderDialog(), WM_NOTIFY, static_cast<WPARAM>(kIdGrid),
                                        reinterpret_cast<LPARAM>(&draw));
    LOGFONTW font{};
    GetObjectW(GetCurrentObject(canvas.dc(), OBJ_FONT), sizeof(font), &font);
    return {result, draw.clrText, draw.clrTextBk, font.lfWeight, draw.nmcd.uItemState};
}

// Paints button id of the front dialog as the dialog manager asks it to, in state.
void drawButton(Win32Driver& d, int id, UINT state, const Canvas& canvas, const RECT& client) {
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.CtlID = static_cast<UINT>(id);
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = state;
    item.hwndItem = GetDlgItem(d.frontDialog(), id);
    item.hDC = canvas.dc();
    item.rcItem = client;
    SendMessageW(d.frontDialog(), WM_DRAWITEM, static_cast<WPARAM>(id),
                 reinterpret_cast<LPARAM>(&item));
}

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

std::vector<DialogCase> Win32Cases() {
    const qmtest::TestModule base{"QM_BASE", "Base", "KRQM_BASE", {}};
    const qmtest::TestModule roads{"QM_ROADS", "Roads", "KRQM_ROADS", {}};
    const qmtest::TestModule rail{"QM_RAIL", "Rail", "KRQM_RAIL", {}};
    const qmtest::TestModule survey{"QM_SURVEY", "survey", "KRQM_SURVEY", {}};
    const qmtest::TestModule terrain{"QM_TERRAIN", "Terrain", "KRQM_TERRAIN", {}};
    std::vector<DialogCase> cases;
    cases.push_back({"CustomDrawBoldForLoadedAndMarkedLightBlueSelectionGreyWithoutFocus",
                     {base, roads, rail},
                     {{"QM_RAIL", "AutoStart", "True"}},
                     false,
                     [](DialogDriver& driver) {
                         auto& d = static_cast<Win32Driver&>(driver);
                         ASSERT_EQ(d.names(), (std::vector<std::string>{"Rail", "Roads"}));
                         EXPECT_EQ(drawCell(d, 1, -1).result, CDRF_NOTIFYSUBITEMDRAW);
                         const DrawnCell loaded = drawCell(d, 1, 0);
                         EXPECT_EQ(loaded.result, CDRF_NEWFONT);
                         EXPECT_EQ(loaded.weight, FW_BOLD);
                         EXPECT_EQ(loaded.text, kBlack);
                         EXPECT_EQ(loaded.back, RGB(204, 228, 247)) << "selected, the grid focused";
                         EXPECT_EQ(loaded.state & (CDIS_SELECTED | CDIS_FOCUS), 0u)
                             << "else the ListView paints its own selection over the colours";
                         const DrawnCell plain = drawCell(d, 2, 0);
                         EXPECT_EQ(plain.weight, FW_NORMAL);
                         EXPECT_EQ(plain.back, kWhite);
                         EXPECT_EQ(drawCell(d, 1, 1).result, CDRF_SKIPDEFAULT)
                             << "the image drawn centred";
                         d.key(kVkDown, kNoModifiers);
                         d.key('L', kCtrl);
                         ASSERT_EQ(d.event(2), "Load");
                         EXPECT_EQ(drawCell(d, 2, 2).weight, FW_BOLD) << "a mark is bold";
                         d.focusControl(kIdLoad);
                         EXPECT_EQ(drawCell(d, 2, 0).back, RGB(217, 217, 217))
                             << "the grid not focused";
                     }});
    cases.push_back({"TheErrorBoxIsOwnedByTheLoaderAndTheExplanatoryRowPaintedWhole",
                     {},
                     {},
                     false,
                     [](DialogDriver& driver) {
                         auto& d = static_cast<Win32Driver&>(driver);
                         const std::vector<HWND> owners = d.messageOwners();
                         ASSERT_EQ(owners.size(), 1u);
                         EXPECT_EQ(owners[0], d.loaderDialog());
                         EXPECT_EQ(drawCell(d, 1, -1).result, CDRF_SKIPDEFAULT);
                     }});
    cases.push_back({"ButtonsStayOwnerDrawnAsTheDefaultMovesOptionsOwnedByTheLoader",
                     {base, roads},
                     {},
                     false,
                     [](DialogDriver& driver) {
                         auto& d = static_cast<Win32Driver&>(driver);
                         d.focusControl(kIdLoad);
                         ASSERT_EQ(d.focused(), kIdLoad);
                         HWND loader = d.loaderDialog();
                         for (int id : {kIdLoad, kIdUnload, kIdOk, kIdApply, kIdCancelButton,
                                        kIdOptions, kIdStartNoAction}) {
                             EXPECT_EQ(
                                 GetWindowLongW(GetDlgItem(loader, id), GWL_STYLE) & BS_TYPEMASK,
                                 BS_OWNERDRAW)
                                 << id;
                         }
                         EXPECT_NE(SendMessageW(GetDlgItem(loader, kIdLoad), WM_GETDLGCODE, 0, 0) &
                                       DLGC_DEFPUSHBUTTON,
                                   0)
                             << "the focused push button is the default";
                         d.press(kIdOptions);
                         ASSERT_TRUE(d.optionsOpen());
                         EXPECT_EQ(GetWindow(d.frontDialog(), GW_OWNER), loader);
                     }});
    cases.push_back({"OwnerDrawnButtonFocusRectangle3PixelsInsideDisabledCaptionEmbossed",
                     {base, roads},
                     {},
                     false,
                     [](DialogDriver& driver) {
                         auto& d = static_cast<Win32Driver&>(driver);
                         RECT client{};
                         GetClientRect(GetDlgItem(d.frontDialog(), kIdApply), &client);
                         ASSERT_GT(client.bottom, 12);
                         const COLORREF face = GetSysColor(COLOR_BTNFACE);
                         {
                             const Canvas canvas(client.right, client.bottom);
                             drawButton(d, kIdApply, ODS_FOCUS, canvas, client);
                             // The fourth pixel column, beside the centred caption.
                             const RECT column3{3, 6, 4, client.bottom - 6};
                             EXPECT_LT(canvas.count(column3, face), client.bottom - 12)
                                 << "the dotted focus rectangle 3 pixels inside";
                         }
                         const Canvas canvas(client.right, client.bottom);
                         drawButton(d, kIdApply, ODS_DISABLED, canvas, client);
                         const RECT inside{3, 3, client.right - 3, client.bottom - 3};
                         EXPECT_GT(canvas.count(inside, GetSysColor(COLOR_BTNHIGHLIGHT)), 0)
                             << "the caption's highlight, one pixel down and right";
                         EXPECT_EQ(canvas.count(inside, kBlack), 0) << "no enabled caption";
                     }});
    cases.push_back({"SpaceInOptionsGivesTheFocusedCheckToTheSelectionNotToModulesInUse",
                     {base, roads, rail, survey, terrain},
                     {{"QM_RAIL", "AutoStart", "True"}},
                     false,
                     // The Qt view's list passes this only now and then offscreen (Space at times
                     // changes no check there), so it is not yet a case of the shared table.
                     [](DialogDriver& d) {
                         d.press(kIdOptions);
                         ASSERT_TRUE(d.optionsOpen());
                         ASSERT_EQ(d.optionNames(), (std::vector<std::string>{
                                                        "Rail", "Roads", "survey", "Terrain"}));
                         d.optionsKey(kVkEnd);
                         d.optionsKey(kVkUp, kShift);
                         d.optionsKey(kVkSpace);
                         EXPECT_EQ(d.check("survey"), false);
                         EXPECT_EQ(d.check("Terrain"), false) << "selected with survey";
                         EXPECT_EQ(d.check("Roads"), true) << "not selected";
                         d.optionsKey(kVkHome);
                         d.optionsKey(kVkSpace);
                         EXPECT_EQ(d.check("Rail"), true) << "in use";
                     }});

    return cases;
}

INSTANTIATE_TEST_SUITE_P(Shared, Win32DialogCases, ::testing::ValuesIn(DialogCases()),
                         [](const ::testing::TestParamInfo<DialogCase>& param) {
                             return param.param.name;
                         });
INSTANTIATE_TEST_SUITE_P(Win32, Win32DialogCases, ::testing::ValuesIn(Win32Cases()),
                         [](const ::testing::TestParamInfo<DialogCase>& param) {
                             return param.param.name;
                         });
// Only when QM_VIEW_DUMP is set (scripts/compare_hosts.sh).
INSTANTIATE_TEST_SUITE_P(ViewDump, Win32DialogCases, ::testing::ValuesIn(ViewScripts()),
                         [](const ::testing::TestParamInfo<DialogCase>& param) {
                             return param.param.name;
                         });

}  // namespace
}  // namespace uitest
