#include "ui/win32/loader_dialog.h"

#include "runtime/loader_context.h"
#include "ui/logic/resource_strings.h"
#include "ui/logic/startup_option.h"
#include "ui/win32/host_bridge.h"
#include "ui/win32/options_dialog.h"
#include "ui/win32/resource_images.h"
#include "ui/win32/win32_text.h"

namespace qm::ui::win32 {

LoaderDialog::LoaderDialog(LoaderContext& context, const AcceleratorTable* accelerators)
    : DialogWindow(kDialogModuleLoader),
      context_(context),
      accelerators_(accelerators),
      presenter_(context, *this) {}

LoaderDialog::~LoaderDialog() {
    presenter_.rows().setListener(nullptr);
    for (HICON icon : {iconLarge_, iconSmall_}) {
        if (icon != nullptr) {
            DestroyIcon(icon);
        }
    }
    setWaitCursor(false);
}

void LoaderDialog::setAnchors() {
    anchor(grid_->hwnd(), 0, 0, 100, 100);
    for (int id :
         {kIdLoad, kIdUnload, kIdStartNoAction, kIdStartLoadMenuOnly, kIdStartLoadModule}) {
        anchor(control(id), 100, 0, 0, 0);
    }
    for (int id : {kIdOk, kIdApply, kIdCancelButton, kIdHelp}) {
        anchor(control(id), 100, 100, 0, 0);
    }
    anchor(control(kIdOptions), 0, 100, 0, 0);
    for (int id : {kIdProductName, kIdProducts}) {
        anchor(control(id), 0, 100, 100, 0);
    }
}

void LoaderDialog::onInit() {
    ModuleGrid::Handlers handlers;
    handlers.command = [this](int command) { presenter_.onGridCommand(command); };
    handlers.toggle = [this] { presenter_.onToggle(); };
    handlers.headerClick = [this](int column) { onHeaderClick(column); };
    grid_ =
        std::make_unique<ModuleGrid>(control(kIdGrid), presenter_.rows(), presenter_.fractions(),
                                     std::move(handlers), accelerators_);
    presenter_.rows().setListener(grid_.get());
    grid_->setTabTargets(control(kIdLoad), control(kIdUnload));
    grid_->setLoadModuleOffered(presenter_.offersLoadModule());
    grid_->createColumns();

    iconLarge_ = LoadResourceIcon(kIconLarge);
    iconSmall_ = LoadResourceIcon(kIconSmall);
    SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(iconLarge_));
    SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(iconSmall_));
    setAnchors();

    presenter_.initialise();
    SetFocus(grid_->hwnd());
}

void LoaderDialog::onHeaderClick(int column) {
    if (presenter_.rows().sortByHeaderClick(column) && presenter_.rows().rowCount() > 0) {
        selectGridRow(1);
    }
}

void LoaderDialog::onCommand(int id, int code, HWND) {
    if (code != BN_CLICKED) {
        return;
    }
    switch (id) {
        case kIdLoad:
            presenter_.onLoad();
            break;
        case kIdUnload:
            presenter_.onUnload();
            break;
        case kIdStartNoAction:
        case kIdStartLoadMenuOnly:
        case kIdStartLoadModule:
            presenter_.onStartupOptionButton(*StartupOptionForButton(id));
            break;
        case kIdOk:
            presenter_.onOk();
            break;
        case kIdApply:
            presenter_.onApply();
            break;
        case kIdCancel:  // Escape and the close box
        case kIdCancelButton:
            presenter_.onCancel();
            break;
        case kIdHelp:
            presenter_.onHelp();
            break;
        case kIdOptions:
            presenter_.onOptions();
            break;
        default:
            break;
    }
}

INT_PTR LoaderDialog::onMessage(UINT message, WPARAM, LPARAM lParam, bool& handled) {
    handled = false;
    switch (message) {
        case WM_NOTIFY: {
            bool done = false;
            const LRESULT result =
                grid_ ? grid_->notify(*reinterpret_cast<const NMHDR*>(lParam), done) : 0;
            if (done) {
                SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, result);
                handled = true;
                return TRUE;
            }
            return FALSE;
        }
        case WM_HELP:  // F1
            presenter_.onHelp();
            handled = true;
            return TRUE;
        case WM_SETCURSOR:
            if (waitCursorShown()) {
                SetCursor(LoadCursorW(nullptr, IDC_WAIT));
                SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, TRUE);
                handled = true;
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

// ---- LoaderDialogView ----

void LoaderDialog::enableControl(int id, bool enabled) {
    EnableWindow(control(id), enabled ? TRUE : FALSE);
}

void LoaderDialog::hideControl(int id) {
    ShowWindow(control(id), SW_HIDE);
}

void LoaderDialog::setControlText(int id, const std::string& text) {
    SetWindowTextW(control(id), Widen(text).c_str());
}

void LoaderDialog::setButtonImage(int id, int bitmap) {
    if (OwnerButton* b = button(id)) {
        b->setImage(bitmap);
    }
}

void LoaderDialog::setButtonTooltip(int id, StringId text) {
    if (OwnerButton* b = button(id)) {
        b->setTooltip(ResourceString(text));
    }
}

void LoaderDialog::showError(const std::string& text) {
    ShowHostMessage(hwnd(), text, MessageKind::Error);
}

void LoaderDialog::setWaitCursor(bool on) {
    showWaitCursor(on);
}

PixelSize LoaderDialog::templateSize() const {
    RECT r{0, 0, dialogTemplate()->cx, dialogTemplate()->cy};
    MapDialogRect(hwnd(), &r);
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongW(hwnd(), GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(hwnd(), GWL_EXSTYLE)));
    return {r.right - r.left, r.bottom - r.top};
}

std::vector<Screen> LoaderDialog::screens() const {
    std::vector<Screen> out;
    EnumDisplayMonitors(
        nullptr, nullptr,
        [](HMONITOR monitor, HDC, LPRECT, LPARAM data) -> BOOL {
            MONITORINFO info{};
            info.cbSize = sizeof(info);
            if (GetMonitorInfoW(monitor, &info)) {
                auto rect = [](const RECT& r) {
                    return ScreenRect{r.left, r.top, r.right - r.left, r.bottom - r.top};
                };
                auto& screens = *reinterpret_cast<std::vector<Screen>*>(data);
                const Screen screen{rect(info.rcMonitor), rect(info.rcWork)};
                // The primary screen first.
                if ((info.dwFlags & MONITORINFOF_PRIMARY) != 0) {
                    screens.insert(screens.begin(), screen);
                } else {
                    screens.push_back(screen);
                }
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&out));
    return out;
}

void LoaderDialog::applyPlacement(const DialogFit& fit) {
    // Already fitted to the screens by the presenter: the size is final, and the client area
    // scrolls where it is below the template's.
    const DialogPlacement& placement = fit.placement;
    setMinimumFrame({fit.minimum.width, fit.minimum.height});
    RECT now{};
    GetWindowRect(hwnd(), &now);
    const int x = placement.hasPosition ? placement.left : now.left;
    const int y = placement.hasPosition ? placement.top : now.top;
    SetWindowPos(hwnd(), nullptr, x, y, placement.width, placement.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (!placement.hasPosition) {
        // Where the dialog manager put it, but wholly on the screen at the fitted size.
        SendMessageW(hwnd(), DM_REPOSITION, 0, 0);
    }
    if (placement.maximized) {
        ShowWindow(hwnd(), SW_MAXIMIZE);
    }
}

DialogPlacement LoaderDialog::currentPlacement() const {
    WINDOWPLACEMENT wp{};
    wp.length = sizeof(wp);
    GetWindowPlacement(hwnd(), &wp);
    // The normal rectangle also while maximised.
    const RECT& r = wp.rcNormalPosition;
    DialogPlacement placement;
    placement.left = r.left;
    placement.top = r.top;
    placement.width = r.right - r.left;
    placement.height = r.bottom - r.top;
    placement.maximized = wp.showCmd == SW_SHOWMAXIMIZED;
    return placement;
}

std::vector<int> LoaderDialog::selectedGridRows() const {
    return grid_ ? grid_->selectedRows() : std::vector<int>{};
}

void LoaderDialog::selectGridRow(int row) {
    if (grid_) {
        grid_->selectRow(row);
    }
}

void LoaderDialog::relayGridColumns() {
    if (grid_) {
        grid_->relayColumns();
    }
}

bool LoaderDialog::runOptionsDialog(const std::string& versionText) {
    // Modal to the loader dialog, as a dialog without an owner of its own is modal to the
    // application's active window.
    OptionsDialog options(context_, versionText);
    return options.run(hwnd()) == IDOK;
}

void LoaderDialog::closeDialog(bool ok) {
    EndDialog(hwnd(), ok ? IDOK : IDCANCEL);
}

}  // namespace qm::ui::win32
