#include "ui/win32/dialog_window.h"

#include <commctrl.h>

#include <algorithm>
#include <tuple>

#include "ui/logic/screen_fit.h"

#include "ui/win32/dialog_builder.h"

namespace qm::ui::win32 {

HMODULE thisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&thisModule), &module);
    return module;
}

DialogWindow::~DialogWindow() = default;

void DialogWindow::showWaitCursor(bool on) {
    if (on == waitCursor_) {
        return;
    }
    waitCursor_ = on;
    if (on) {
        savedCursor_ = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    } else {
        SetCursor(savedCursor_ != nullptr ? savedCursor_ : LoadCursorW(nullptr, IDC_ARROW));
    }
}

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
    return DialogBoxIndirectParamW(thisModule(), built.get(), owner, &DialogWindow::proc,
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
    if (laying_) {
        return;  // the size a bar changed is laid out when it has been shown
    }
    laying_ = true;
    const LONG style = GetWindowLongW(hwnd_, GWL_STYLE);
    const PixelSize bars{GetSystemMetrics(SM_CXVSCROLL), GetSystemMetrics(SM_CYHSCROLL)};
    RECT client{};
    GetClientRect(hwnd_, &client);
    // The client area as it would be without the bars shown now.
    const PixelSize whole{client.right + ((style & WS_VSCROLL) != 0 ? bars.width : 0),
                          client.bottom + ((style & WS_HSCROLL) != 0 ? bars.height : 0)};
    const ClientScroll s = ScrollClient(
        whole, {static_cast<int>(startClient_.cx), static_cast<int>(startClient_.cy)}, bars);
    ShowScrollBar(hwnd_, SB_HORZ, s.horizontal ? TRUE : FALSE);
    ShowScrollBar(hwnd_, SB_VERT, s.vertical ? TRUE : FALSE);
    scroll_.x = std::clamp<LONG>(scroll_.x, 0, s.maxX());
    scroll_.y = std::clamp<LONG>(scroll_.y, 0, s.maxY());
    for (const auto& [bar, on, pos, page, layout] :
         {std::tuple{SB_HORZ, s.horizontal, scroll_.x, s.view.width, s.layout.width},
          std::tuple{SB_VERT, s.vertical, scroll_.y, s.view.height, s.layout.height}}) {
        if (on) {
            SCROLLINFO info{};
            info.cbSize = sizeof(info);
            info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
            info.nMax = layout - 1;
            info.nPage = static_cast<UINT>(page);
            info.nPos = pos;
            SetScrollInfo(hwnd_, bar, &info, TRUE);
        }
    }
    // Laid out at the template's size at least, moved by the scroll offset.
    const int dx = s.layout.width - startClient_.cx;
    const int dy = s.layout.height - startClient_.cy;
    HDWP batch = BeginDeferWindowPos(static_cast<int>(anchors_.size()));
    for (const auto& [c, a] : anchors_) {
        const int x = a.start.left + dx * a.moveX / 100 - scroll_.x;
        const int y = a.start.top + dy * a.moveY / 100 - scroll_.y;
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
    laying_ = false;
}

void DialogWindow::onScroll(int bar, int code, int thumb) {
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    if (!GetScrollInfo(hwnd_, bar, &info)) {
        return;
    }
    const int line = 16;
    const int page = static_cast<int>(info.nPage);
    int pos = info.nPos;
    switch (code) {
        case SB_LINEUP:
            pos -= line;
            break;
        case SB_LINEDOWN:
            pos += line;
            break;
        case SB_PAGEUP:
            pos -= page;
            break;
        case SB_PAGEDOWN:
            pos += page;
            break;
        case SB_THUMBTRACK:
            pos = info.nTrackPos;
            break;
        case SB_THUMBPOSITION:
            pos = thumb;
            break;
        case SB_TOP:
            pos = 0;
            break;
        case SB_BOTTOM:
            pos = info.nMax;
            break;
        default:
            return;
    }
    (bar == SB_HORZ ? scroll_.x : scroll_.y) = pos;  // applyAnchors keeps it in range
    applyAnchors();
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
        // The template's client size, which the controls' rectangles refer to: the window
        // itself is no larger than the screen, which may be smaller than the template.
        self->startClient_ = self->templatePixels();
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
        case WM_HSCROLL:
        case WM_VSCROLL:
            if (lParam == 0) {  // the dialog's own bar, not a scroll bar control's
                self->onScroll(message == WM_HSCROLL ? SB_HORZ : SB_VERT, LOWORD(wParam),
                               HIWORD(wParam));
                return TRUE;
            }
            break;
        case WM_GETMINMAXINFO:
            if (self->template_ != nullptr && self->ready_) {
                // Not smaller than the template, unless the screen cannot hold it.
                auto& info = *reinterpret_cast<MINMAXINFO*>(lParam);
                if (self->minimumFrame_.cx > 0) {
                    info.ptMinTrackSize = {self->minimumFrame_.cx, self->minimumFrame_.cy};
                    return TRUE;
                }
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
