#include "ui/win32/dialog_window.h"

#include <commctrl.h>

#include "ui/win32/dialog_builder.h"

namespace qm::ui::win32 {
namespace {

// The dialogs module itself, which owns the dialogs' windows.
HINSTANCE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

}  // namespace

DialogWindow::~DialogWindow() = default;

OwnerButton* DialogWindow::button(int id) const {
    auto it = buttons_.find(id);
    return it == buttons_.end() ? nullptr : it->second.get();
}

INT_PTR DialogWindow::runModal(HWND owner) {
    template_ = DialogTemplate::load(templateId_);
    if (template_ == nullptr) {
        return -1;
    }
    const BuiltTemplate built(*template_);
    return DialogBoxIndirectParamW(ThisModule(), built.get(), owner, &DialogWindow::proc,
                                   reinterpret_cast<LPARAM>(this));
}

SIZE DialogWindow::templatePixels() const {
    RECT r{0, 0, template_->cx, template_->cy};
    MapDialogRect(hwnd_, &r);
    return {r.right, r.bottom};
}

void DialogWindow::anchor(HWND c, int moveXPct, int moveYPct, int sizeXPct, int sizeYPct) {
    if (c == nullptr) {
        return;
    }
    RECT r{};
    GetWindowRect(c, &r);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
    anchors_[c] = {r, moveXPct, moveYPct, sizeXPct, sizeYPct};
}

void DialogWindow::applyAnchors() {
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int dx = client.right - startClient_.cx;
    const int dy = client.bottom - startClient_.cy;
    HDWP batch = BeginDeferWindowPos(static_cast<int>(anchors_.size()));
    for (const auto& [c, a] : anchors_) {
        const int x = a.start.left + dx * a.moveX / 100;
        const int y = a.start.top + dy * a.moveY / 100;
        const int w = a.start.right - a.start.left + dx * a.sizeX / 100;
        const int h = a.start.bottom - a.start.top + dy * a.sizeY / 100;
        if (batch != nullptr) {
            batch = DeferWindowPos(batch, c, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    if (batch != nullptr) {
        EndDeferWindowPos(batch);
    }
    InvalidateRect(hwnd_, nullptr, TRUE);
}

INT_PTR DialogWindow::onMessage(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return FALSE;
}

INT_PTR CALLBACK DialogWindow::proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<DialogWindow*>(lParam);
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        self->hwnd_ = hwnd;
        self->tooltips_ =
            CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                            WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, hwnd, nullptr, nullptr, nullptr);
        for (const ControlTemplate& c : self->template_->controls) {
            const bool isButton = c.kind == ControlKind::PushButton ||
                                  c.kind == ControlKind::DefaultPushButton ||
                                  c.kind == ControlKind::ImageButton;
            if (isButton) {
                self->buttons_[c.id] =
                    std::make_unique<OwnerButton>(GetDlgItem(hwnd, c.id), self->tooltips_);
            }
            if (c.kind == ControlKind::DefaultPushButton) {
                SendMessageW(hwnd, DM_SETDEFID, static_cast<WPARAM>(c.id), 0);
            }
        }
        RECT client{};
        GetClientRect(hwnd, &client);
        self->startClient_ = {client.right, client.bottom};
        self->onInit();
        self->ready_ = true;
        return FALSE;  // onInit set the focus
    }
    auto* self = reinterpret_cast<DialogWindow*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (self == nullptr) {
        return FALSE;
    }
    switch (message) {
        case kDialogReady:
            SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, self->ready_ ? 1 : 0);
            return TRUE;
        case kDialogPing:
            SetPropW(hwnd, kDialogPingProperty, reinterpret_cast<HANDLE>(wParam));
            return TRUE;
        case WM_DESTROY:
            RemovePropW(hwnd, kDialogPingProperty);
            break;
        case WM_DRAWITEM: {
            const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (OwnerButton* b = self->button(static_cast<int>(item.CtlID));
                b != nullptr && item.CtlType == ODT_BUTTON) {
                b->draw(item);
                return TRUE;
            }
            break;
        }
        case WM_COMMAND:
            self->onCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
            return TRUE;
        case WM_SIZE:
            if (wParam != SIZE_MINIMIZED && !self->anchors_.empty()) {
                self->applyAnchors();
            }
            break;
        case WM_GETMINMAXINFO:
            if (self->template_ != nullptr && self->ready_) {
                // Not smaller than the template.
                auto& info = *reinterpret_cast<MINMAXINFO*>(lParam);
                RECT r{0, 0, self->template_->cx, self->template_->cy};
                MapDialogRect(hwnd, &r);
                AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)), FALSE,
                                   static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE)));
                info.ptMinTrackSize = {r.right - r.left, r.bottom - r.top};
                return TRUE;
            }
            break;
        case WM_DPICHANGED: {
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(hwnd, nullptr, suggested->left, suggested->top,
                         suggested->right - suggested->left, suggested->bottom - suggested->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            break;
        }
        default:
            break;
    }
    bool handled = false;
    const INT_PTR result = self->onMessage(message, wParam, lParam, handled);
    return handled ? result : FALSE;
}

}  // namespace qm::ui::win32
