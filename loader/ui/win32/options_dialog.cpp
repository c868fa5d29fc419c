#include "ui/win32/options_dialog.h"

#include "ui/win32/win32_text.h"

namespace qm::ui::win32 {
namespace {

constexpr UINT kRunPostedTasks = WM_APP + 0x142;

}  // namespace

OptionsDialog::OptionsDialog(LoaderContext& context, std::optional<std::string> versionText)
    : DialogWindow(kDialogOptions), presenter_(context, *this, std::move(versionText)) {}

OptionsDialog::~OptionsDialog() {
    std::lock_guard lock(tasksMutex_);
    window_ = nullptr;
}

void OptionsDialog::onInit() {
    {
        std::lock_guard lock(tasksMutex_);
        window_ = hwnd();
    }
    list_ = std::make_unique<CheckList>(control(kIdModuleList));
    // The items are as high as their check boxes need; the list's measure message came before
    // the list was known, so its height is set now.
    MEASUREITEMSTRUCT measure{};
    list_->measure(measure);
    SendMessageW(list_->hwnd(), LB_SETITEMHEIGHT, 0, static_cast<LPARAM>(measure.itemHeight));
    SetFocus(list_->hwnd());
    presenter_.start();
}

void OptionsDialog::onCommand(int id, int code, HWND) {
    if (code != BN_CLICKED) {
        return;
    }
    switch (id) {
        case kIdOk:
            presenter_.onOk();
            break;
        case kIdCancel:  // also Escape and the close box
            presenter_.onCancel();
            break;
        case kIdHelp:
            presenter_.onHelp();
            break;
        case kIdRefresh:
            presenter_.onRefresh();
            break;
        default:
            break;
    }
}

void OptionsDialog::runPostedTasks() {
    std::vector<std::function<void()>> tasks;
    {
        std::lock_guard lock(tasksMutex_);
        tasks.swap(tasks_);
    }
    for (const std::function<void()>& task : tasks) {
        task();
    }
}

INT_PTR OptionsDialog::onMessage(UINT message, WPARAM, LPARAM lParam, bool& handled) {
    handled = true;
    switch (message) {
        case kRunPostedTasks:
            runPostedTasks();
            return TRUE;
        case kDialogBusy:
            SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, presenter_.filling() ? 1 : 0);
            return TRUE;
        case WM_MEASUREITEM: {
            auto& measure = *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
            if (list_ != nullptr) {
                list_->measure(measure);
            }
            return TRUE;
        }
        case WM_DRAWITEM: {
            const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item.CtlType == ODT_LISTBOX && list_ != nullptr) {
                list_->draw(item);
                return TRUE;
            }
            break;
        }
        case WM_SETCURSOR:
            if (waitCursorShown()) {
                SetCursor(LoadCursorW(nullptr, IDC_WAIT));
                SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, TRUE);
                return TRUE;
            }
            break;
        case WM_CLOSE:
            if (!presenter_.canClose()) {
                return TRUE;  // not while the list fills
            }
            break;
        default:
            break;
    }
    handled = false;
    return FALSE;
}

// ---- OptionsDialogView ----

void OptionsDialog::enableControl(int id, bool enabled) {
    EnableWindow(control(id), enabled ? TRUE : FALSE);
}

void OptionsDialog::showControl(int id, bool shown) {
    ShowWindow(control(id), shown ? SW_SHOW : SW_HIDE);
    if (shown) {
        UpdateWindow(control(id));
    }
}

void OptionsDialog::setControlText(int id, const std::string& text) {
    SetWindowTextW(control(id), Widen(text).c_str());
}

void OptionsDialog::setWaitCursor(bool on) {
    showWaitCursor(on);
}

std::vector<OptionsCheck> OptionsDialog::listChecks() const {
    std::vector<OptionsCheck> checks;
    for (int i = 0; i < list_->count(); ++i) {
        checks.push_back({list_->key(i), list_->checked(i)});
    }
    return checks;
}

void OptionsDialog::clearList() {
    list_->clear();
}

void OptionsDialog::showItems(const std::vector<OptionsItem>& items) {
    // The list box sorts as Windows sorts a sorted list box (CompareStringW in the user's
    // locale), whatever order the items come in.
    SendMessageW(list_->hwnd(), WM_SETREDRAW, FALSE, 0);
    for (const OptionsItem& item : items) {
        list_->add(item.name, item.key, item.checked, item.enabled);
    }
    SendMessageW(list_->hwnd(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_->hwnd(), nullptr, TRUE);
}

void OptionsDialog::showListError(const std::string& text) {
    list_->addPlain(text);
}

void OptionsDialog::closeDialog(bool ok) {
    EndDialog(hwnd(), ok ? IDOK : IDCANCEL);
}

void OptionsDialog::postToUiThread(std::function<void()> task) {
    std::lock_guard lock(tasksMutex_);
    tasks_.push_back(std::move(task));
    if (window_ != nullptr) {
        PostMessageW(window_, kRunPostedTasks, 0, 0);
    }
}

}  // namespace qm::ui::win32
