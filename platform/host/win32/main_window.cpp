#include "main_window.h"

#include <algorithm>

#include "qmsys/text.h"
#include "win32_front_end.h"

namespace cadhost::win32 {
namespace {

constexpr UINT kShowOutput = WM_APP + 1;     // output waits in pending_
constexpr UINT kCursorChanged = WM_APP + 2;  // the wait cursor went on or off
constexpr UINT_PTR kMenuPollTimer = 1;
constexpr UINT kMenuPollMs = 300;
constexpr UINT kFirstMenuId = kFirstMenuCommandId;
// The size a new window asks for at 96 dots per inch, before it is fitted to the work area.
constexpr int kWidth = 1000;
constexpr int kHeight = 700;
// The output pane keeps this much text; the oldest half goes when it is reached.
constexpr int kOutputLimit = 512 * 1024;

struct HostItem {
    const wchar_t* label;
    const char* command;  // null: separator
};
constexpr HostItem kHostMenu[] = {
    {L"&New drawing", "NEW"},  {L"&Close drawing", "CLOSE"},    {nullptr, nullptr},
    {L"&Applications", "ARX"}, {L"&Menu groups", "MENUGROUPS"}, {nullptr, nullptr},
    {L"&Quit", "QUIT"},
};

std::wstring wide(std::string_view text) {
    const std::u16string units = qmsys::utf8ToUtf16(text);
    return std::wstring(units.begin(), units.end());
}

std::string narrow(const std::wstring& text) {
    return qmsys::utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

std::wstring textOf(HWND control) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

// An edit control shows a line break only as CR LF.
std::wstring withCrLf(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) {
            out += L'\r';
        }
        out += text[i];
    }
    return out;
}

int scaled(int pixels, UINT dpi) {
    return ::MulDiv(pixels, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
}

UINT dpiOf(HWND window) {
    const UINT dpi = ::GetDpiForWindow(window);
    return dpi != 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

ScreenRect workAreaOf(HMONITOR monitor) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!::GetMonitorInfoW(monitor, &info)) {
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &info.rcWork, 0);
    }
    return {info.rcWork.left, info.rcWork.top, info.rcWork.right - info.rcWork.left,
            info.rcWork.bottom - info.rcWork.top};
}

bool registerClass() {
    static const bool registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_HREDRAW | CS_VREDRAW;
        windowClass.lpfnWndProc = &MainWindow::windowProc;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
        windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kMainWindowClass;
        return ::RegisterClassExW(&windowClass) != 0;
    }();
    return registered;
}

}  // namespace

std::unique_ptr<MainWindow> MainWindow::create(std::string& why) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    if (!registerClass()) {
        why = "the window class cannot be registered (error " + std::to_string(::GetLastError()) +
              ")";
        return nullptr;
    }
    std::unique_ptr<MainWindow> self(new MainWindow);
    // The size is set once the window knows its monitor's scale.
    self->window_ = ::CreateWindowExW(0, kMainWindowClass, kMainWindowTitle, WS_OVERLAPPEDWINDOW,
                                      CW_USEDEFAULT, CW_USEDEFAULT, kWidth, kHeight, nullptr,
                                      nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (self->window_ == nullptr) {
        why = "the main window cannot be created (error " + std::to_string(::GetLastError()) +
              "); no display?";
        return nullptr;
    }
    ::SetWindowLongPtrW(self->window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self.get()));
    self->createControls();

    // The asked size at the monitor's scale, then fitted to its work area: at twice the scale
    // on a small screen the window would otherwise reach past the screen's edges, taking the
    // command line with it.
    RECT placed{};
    ::GetWindowRect(self->window_, &placed);
    const UINT dpi = dpiOf(self->window_);
    const ScreenRect fitted =
        fitToWorkArea({placed.left, placed.top, scaled(kWidth, dpi), scaled(kHeight, dpi)},
                      workAreaOf(::MonitorFromWindow(self->window_, MONITOR_DEFAULTTONEAREST)));
    ::SetWindowPos(self->window_, nullptr, fitted.x, fitted.y, fitted.width, fitted.height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    self->buildMenus();
    return self;
}

MainWindow::~MainWindow() {
    detach();
    if (window_ != nullptr) {
        ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        ::DestroyWindow(window_);
    }
    for (HFONT font : {uiFont_, textFont_}) {
        if (font != nullptr) {
            ::DeleteObject(font);
        }
    }
}

void MainWindow::createControls() {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    tabs_ =
        ::CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 0,
                          0, window_, reinterpret_cast<HMENU>(kDrawingTabsId), instance, nullptr);
    output_ = ::CreateWindowExW(
        WS_EX_CLIENTEDGE, L"EDIT", L"",
        WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY, 0, 0, 0,
        0, window_, reinterpret_cast<HMENU>(kOutputId), instance, nullptr);
    ::SendMessageW(output_, EM_SETLIMITTEXT, kOutputLimit * 2, 0);
    commandLine_ = ::CreateWindowExW(
        WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0,
        0, 0, window_, reinterpret_cast<HMENU>(kCommandLineId), instance, nullptr);
    ::SendMessageW(commandLine_, EM_SETCUEBANNER, TRUE,
                   reinterpret_cast<LPARAM>(L"Type a command"));
    ::SetWindowSubclass(commandLine_, &commandLineProc, 1, reinterpret_cast<DWORD_PTR>(this));
    applyFonts();
}

// The dialog font for the tabs, a fixed-pitch one for the output and the command line, both at
// the window's scale.
void MainWindow::applyFonts() {
    const UINT dpi = dpiOf(window_);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    ::SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi);
    HFONT ui = ::CreateFontIndirectW(&metrics.lfMessageFont);
    LOGFONTW fixed{};
    fixed.lfHeight = -::MulDiv(9, static_cast<int>(dpi), 72);
    fixed.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    wcscpy_s(fixed.lfFaceName, L"Consolas");
    HFONT text = ::CreateFontIndirectW(&fixed);
    ::SendMessageW(tabs_, WM_SETFONT, reinterpret_cast<WPARAM>(ui), TRUE);
    ::SendMessageW(output_, WM_SETFONT, reinterpret_cast<WPARAM>(text), TRUE);
    ::SendMessageW(commandLine_, WM_SETFONT, reinterpret_cast<WPARAM>(text), TRUE);
    for (HFONT old : {uiFont_, textFont_}) {
        if (old != nullptr) {
            ::DeleteObject(old);
        }
    }
    uiFont_ = ui;
    textFont_ = text;
}

// Tabs over four fifths of the height above the output; the command line at the bottom, one
// text line high.
void MainWindow::layout() {
    RECT client{};
    ::GetClientRect(window_, &client);
    const int width = client.right;
    const UINT dpi = dpiOf(window_);
    const int lineHeight = std::abs(::MulDiv(9, static_cast<int>(dpi), 72)) + scaled(10, dpi);
    const int commandTop = std::max(0, static_cast<int>(client.bottom) - lineHeight);
    const int outputTop = commandTop * 4 / 5;
    ::MoveWindow(tabs_, 0, 0, width, outputTop, TRUE);
    ::MoveWindow(output_, 0, outputTop, width, commandTop - outputTop, TRUE);
    ::MoveWindow(commandLine_, 0, commandTop, width, lineHeight, TRUE);
}

void MainWindow::attach(Host& host) {
    host_ = &host;
    session_ = std::make_unique<ConsoleSession>(host);
    documents_ = acDocManagerPtr();
    if (documents_ != nullptr) {
        documents_->addReactor(this);
        if (AcApDocument* current = documents_->curDocument()) {
            documentCreated(current);
            documentBecameCurrent(current);
        }
    }
    buildMenus();
    ::SetTimer(window_, kMenuPollTimer, kMenuPollMs, nullptr);
    ::SetFocus(commandLine_);
}

void MainWindow::detach() {
    if (window_ != nullptr) {
        ::KillTimer(window_, kMenuPollTimer);
    }
    if (documents_ != nullptr) {
        documents_->removeReactor(this);
        documents_ = nullptr;
    }
    session_.reset();
    host_ = nullptr;
}

bool MainWindow::execute(const std::string& line) {
    if (session_ == nullptr || host_ == nullptr) {
        return false;
    }
    append(wide("Command: " + line + "\n"));
    const bool goOn = session_->execute(line) && !host_->quitRequested();
    showPendingOutput();
    refreshMenus();
    if (!goOn) {
        // Closing from inside a menu command or the command line's key is left to the loop.
        ::PostMessageW(window_, WM_CLOSE, 0, 0);
    }
    return goOn;
}

void MainWindow::post(const std::string& text) {
    {
        std::lock_guard lock(pendingMutex_);
        pending_ += text;
    }
    if (window_ != nullptr) {
        if (::GetWindowThreadProcessId(window_, nullptr) == ::GetCurrentThreadId()) {
            showPendingOutput();
        } else {
            ::PostMessageW(window_, kShowOutput, 0, 0);
        }
    }
}

void MainWindow::showPendingOutput() {
    std::string text;
    {
        std::lock_guard lock(pendingMutex_);
        text.swap(pending_);
    }
    if (!text.empty()) {
        append(wide(text));
    }
}

void MainWindow::append(const std::wstring& text) {
    const int length = ::GetWindowTextLengthW(output_);
    if (length > kOutputLimit) {
        ::SendMessageW(output_, EM_SETSEL, 0, length / 2);
        ::SendMessageW(output_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
    }
    const int end = ::GetWindowTextLengthW(output_);
    ::SendMessageW(output_, EM_SETSEL, static_cast<WPARAM>(end), end);
    const std::wstring shown = withCrLf(text);
    ::SendMessageW(output_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(shown.c_str()));
}

void MainWindow::setWaiting(bool on) {
    waiting_ = on;
    ::PostMessageW(window_, kCursorChanged, 0, 0);
}

void MainWindow::refreshMenus() {
    if (host_ == nullptr) {
        return;
    }
    std::vector<std::string> signature;
    for (const MenuGroupInfo& group : host_->menuGroups()) {
        signature.push_back(group.name + "|" + group.menuFile);
    }
    if (signature != groupSignature_ || !menusBuilt_) {
        buildMenus();
    }
}

void MainWindow::buildMenus() {
    HMENU bar = ::CreateMenu();
    HMENU hostMenu = ::CreatePopupMenu();
    menuCommands_.clear();
    const auto addCommand = [this](HMENU menu, const std::wstring& label,
                                   const std::string& command) {
        const UINT id = kFirstMenuId + static_cast<UINT>(menuCommands_.size());
        menuCommands_.push_back(command);
        ::AppendMenuW(menu, MF_STRING, id, label.c_str());
    };
    for (const HostItem& item : kHostMenu) {
        if (item.command == nullptr) {
            ::AppendMenuW(hostMenu, MF_SEPARATOR, 0, nullptr);
        } else {
            addCommand(hostMenu, item.label, item.command);
        }
    }
    ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(hostMenu), L"&Host");

    groupSignature_.clear();
    if (host_ != nullptr) {
        for (const MenuGroupInfo& group : host_->menuGroups()) {
            groupSignature_.push_back(group.name + "|" + group.menuFile);
            for (const PopMenu& pop : group.definition.popMenus) {
                std::string title = pop.title;
                if (title.empty()) {
                    title = pop.alias.empty() ? group.name : pop.alias;
                }
                HMENU menu = ::CreatePopupMenu();
                for (const MenuItem& item : pop.items) {
                    if (item.separator) {
                        ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
                    } else if (item.command.empty()) {
                        ::AppendMenuW(menu, MF_STRING | MF_GRAYED, 0, wide(item.label).c_str());
                    } else {
                        addCommand(menu, wide(item.label), item.command);
                    }
                }
                ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(menu), wide(title).c_str());
            }
        }
    }
    HMENU old = ::GetMenu(window_);
    ::SetMenu(window_, bar);
    if (old != nullptr) {
        ::DestroyMenu(old);
    }
    ::DrawMenuBar(window_);
    menusBuilt_ = true;
}

int MainWindow::tabOf(AcApDocument* document) const {
    const auto found = std::find(tabDocuments_.begin(), tabDocuments_.end(), document);
    return found == tabDocuments_.end() ? -1 : static_cast<int>(found - tabDocuments_.begin());
}

void MainWindow::documentCreated(AcApDocument* document) {
    if (tabOf(document) >= 0) {
        return;
    }
    std::wstring name = wide(document->fileName());
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = name.data();
    const int index = static_cast<int>(tabDocuments_.size());
    ::SendMessageW(tabs_, TCM_INSERTITEMW, static_cast<WPARAM>(index),
                   reinterpret_cast<LPARAM>(&item));
    tabDocuments_.push_back(document);
}

void MainWindow::documentToBeDestroyed(AcApDocument* document) {
    const int index = tabOf(document);
    if (index >= 0) {
        ::SendMessageW(tabs_, TCM_DELETEITEM, static_cast<WPARAM>(index), 0);
        tabDocuments_.erase(tabDocuments_.begin() + index);
    }
}

void MainWindow::documentBecameCurrent(AcApDocument* document) {
    const int index = tabOf(document);
    if (index >= 0) {
        ::SendMessageW(tabs_, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
}

// Return runs the line (as WM_CHAR, which a real key and a test's message both give); Up and
// Down walk the history. True when the key was taken.
bool MainWindow::commandLineKey(UINT message, WPARAM w) {
    if (message == WM_CHAR && w == L'\r') {
        if (!::IsWindowEnabled(window_)) {
            return true;  // a modal window is up: no command runs inside it
        }
        const std::string line = narrow(textOf(commandLine_));
        history_.enter(line);
        ::SetWindowTextW(commandLine_, L"");
        execute(line);
        return true;
    }
    if (message == WM_KEYDOWN && (w == VK_UP || w == VK_DOWN)) {
        const std::optional<std::string> shown =
            w == VK_UP ? history_.older(narrow(textOf(commandLine_))) : history_.newer();
        if (shown) {
            ::SetWindowTextW(commandLine_, wide(*shown).c_str());
            ::SendMessageW(commandLine_, EM_SETSEL, shown->size(), -1);
        }
        return true;
    }
    return false;
}

LRESULT CALLBACK MainWindow::commandLineProc(HWND edit, UINT message, WPARAM w, LPARAM l,
                                             UINT_PTR /*id*/, DWORD_PTR self) {
    if (self != 0 && reinterpret_cast<MainWindow*>(self)->commandLineKey(message, w)) {
        return 0;
    }
    if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(edit, &commandLineProc, 1);
    }
    return ::DefSubclassProc(edit, message, w, l);
}

LRESULT CALLBACK MainWindow::windowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return ::DefWindowProcW(window, message, w, l);
    }
    return self->handle(window, message, w, l);
}

LRESULT MainWindow::handle(HWND window, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_SIZE:
            layout();
            return 0;
        case WM_SETFOCUS:
            ::SetFocus(commandLine_);
            return 0;
        case WM_COMMAND: {
            const UINT id = LOWORD(w);
            if (HIWORD(w) == 0 && id >= kFirstMenuId && id - kFirstMenuId < menuCommands_.size()) {
                // The list is rebuilt by the command it runs.
                const std::string command = menuCommands_[id - kFirstMenuId];
                execute(command);
                return 0;
            }
            break;
        }
        case WM_TIMER:
            if (w == kMenuPollTimer) {
                refreshMenus();
                return 0;
            }
            break;
        case kShowOutput:
            showPendingOutput();
            return 0;
        case kCursorChanged:
            // The control under the pointer sets its own cursor again at the next move.
            ::SetCursor(::LoadCursorW(nullptr, waiting_ ? IDC_WAIT : IDC_ARROW));
            return 0;
        case WM_SETCURSOR:
            if (waiting_) {
                ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
                return TRUE;
            }
            break;
        case WM_DPICHANGED: {
            const auto* suggested = reinterpret_cast<const RECT*>(l);
            applyFonts();
            ::SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                           suggested->right - suggested->left, suggested->bottom - suggested->top,
                           SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        case WM_CLOSE:
            ::DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            ::KillTimer(window, kMenuPollTimer);
            window_ = nullptr;
            ::PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return ::DefWindowProcW(window, message, w, l);
}

}  // namespace cadhost::win32
