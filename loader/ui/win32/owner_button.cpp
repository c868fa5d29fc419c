#include "ui/win32/owner_button.h"

#include <commctrl.h>

#include "ui/win32/resource_images.h"
#include "ui/win32/win32_text.h"

namespace qm::ui::win32 {
namespace {

constexpr UINT_PTR kSubclassId = 0x514D42;  // "QMB"
constexpr int kFocusInset = 3;
constexpr int kImagePoints = 16;
constexpr COLORREF kSeeThrough = RGB(255, 255, 255);

int DpiOf(HWND hwnd) {
    const UINT dpi = GetDpiForWindow(hwnd);
    return dpi == 0 ? USER_DEFAULT_SCREEN_DPI : static_cast<int>(dpi);
}

}  // namespace

OwnerButton::OwnerButton(HWND button, HWND tooltips) : hwnd_(button), tooltips_(tooltips) {
    SetWindowSubclass(hwnd_, &OwnerButton::proc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

OwnerButton::~OwnerButton() {
    if (IsWindow(hwnd_)) {
        RemoveWindowSubclass(hwnd_, &OwnerButton::proc, kSubclassId);
    }
    if (bitmap_ != nullptr) {
        DeleteObject(bitmap_);
    }
}

void OwnerButton::reloadImage() {
    if (bitmap_ != nullptr) {
        DeleteObject(bitmap_);
        bitmap_ = nullptr;
    }
    if (imageId_ != 0) {
        imageSize_ = MulDiv(kImagePoints, DpiOf(hwnd_), USER_DEFAULT_SCREEN_DPI);
        bitmap_ = LoadResourceBitmapScaled(imageId_, imageSize_);
    }
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void OwnerButton::setImage(int bitmapId) {
    imageId_ = bitmapId;
    reloadImage();
}

void OwnerButton::setTooltip(const std::string& utf8) {
    if (utf8.empty()) {
        return;  // an empty text leaves the tooltip as it was
    }
    tip_ = Widen(utf8);
    if (tooltips_ == nullptr) {
        return;
    }
    TTTOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = GetParent(hwnd_);
    info.uId = reinterpret_cast<UINT_PTR>(hwnd_);
    info.lpszText = tip_.data();
    SendMessageW(tooltips_, tipAdded_ ? TTM_UPDATETIPTEXTW : TTM_ADDTOOLW, 0,
                 reinterpret_cast<LPARAM>(&info));
    tipAdded_ = true;
}

RECT OwnerButton::focusRect() const {
    RECT r{};
    GetClientRect(hwnd_, &r);
    InflateRect(&r, -kFocusInset, -kFocusInset);
    return r;
}

RECT OwnerButton::imageRect(bool pressed) const {
    RECT r{};
    if (bitmap_ == nullptr) {
        return r;
    }
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int offset = pressed ? 1 : 0;
    r.left = (client.right - imageSize_) / 2 + offset;
    r.top = (client.bottom - imageSize_) / 2 + offset;
    r.right = r.left + imageSize_;
    r.bottom = r.top + imageSize_;
    return r;
}

void OwnerButton::draw(const DRAWITEMSTRUCT& item) const {
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    const bool focused = (item.itemState & ODS_FOCUS) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    const bool isDefault =
        (GetWindowLongW(hwnd_, GWL_STYLE) & BS_DEFPUSHBUTTON) != 0 || (focused && imageId_ == 0);

    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    if (isDefault) {
        FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&r, -1, -1);
    }
    if (pressed) {
        FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW));
    } else {
        DrawEdge(dc, &r, EDGE_RAISED, BF_RECT);
    }

    if (bitmap_ != nullptr) {
        const RECT at = imageRect(pressed);
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, bitmap_);
        if (disabled) {
            // Embossed: the shape in the highlight colour, one pixel down and right, under
            // the shape in the shadow colour.
            DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(bitmap_), 0, at.left, at.top,
                       imageSize_, imageSize_, DST_BITMAP | DSS_DISABLED);
        } else {
            TransparentBlt(dc, at.left, at.top, imageSize_, imageSize_, memory, 0, 0, imageSize_,
                           imageSize_, kSeeThrough);
        }
        SelectObject(memory, old);
        DeleteDC(memory);
    } else {
        wchar_t caption[256] = {};
        GetWindowTextW(hwnd_, caption, 256);
        RECT text = r;
        if (pressed) {
            OffsetRect(&text, 1, 1);
        }
        SetBkMode(dc, TRANSPARENT);
        HGDIOBJ oldFont =
            SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(hwnd_, WM_GETFONT, 0, 0)));
        if (disabled) {
            RECT measure = text;
            DrawTextW(dc, caption, -1, &measure, DT_CALCRECT | DT_SINGLELINE);
            const int w = measure.right - measure.left;
            const int h = measure.bottom - measure.top;
            DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(caption), 0,
                       text.left + (text.right - text.left - w) / 2,
                       text.top + (text.bottom - text.top - h) / 2, w, h,
                       DST_PREFIXTEXT | DSS_DISABLED);
        } else {
            SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
            DrawTextW(dc, caption, -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        }
        SelectObject(dc, oldFont);
    }
    if (focused && (item.itemState & ODS_NOFOCUSRECT) == 0) {
        RECT f = focusRect();
        DrawFocusRect(dc, &f);
    }
}

LRESULT CALLBACK OwnerButton::proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                   DWORD_PTR data) {
    auto* self = reinterpret_cast<OwnerButton*>(data);
    switch (message) {
        case kButtonGetTooltip:
            if (wParam > 0 && lParam != 0) {
                lstrcpynW(reinterpret_cast<wchar_t*>(lParam), self->tip_.c_str(),
                          static_cast<int>(wParam));
            }
            return static_cast<LRESULT>(self->tip_.size());
        case kButtonGetImage:
            return self->imageId_;
        case WM_GETDLGCODE:
            // A push button to the dialog manager, so that Enter presses the focused button
            // and the default moves with the focus, although owner-drawn.
            return DLGC_BUTTON | (self->default_ ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
        case BM_SETSTYLE:
            // The dialog manager makes a button the default by its style; the button stays
            // owner-drawn and draws the default frame itself.
            self->default_ = (wParam & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
            wParam = (wParam & ~static_cast<WPARAM>(BS_TYPEMASK)) | BS_OWNERDRAW;
            InvalidateRect(hwnd, nullptr, FALSE);
            break;
        case WM_MOUSEMOVE:
            if (!self->hover_) {
                self->hover_ = true;
                TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd, 0};
                TrackMouseEvent(&track);
                InvalidateRect(hwnd, nullptr, FALSE);
            }
            break;
        case WM_MOUSELEAVE:
        case WM_KILLFOCUS:
            if (self->hover_) {
                self->hover_ = false;
                InvalidateRect(hwnd, nullptr, FALSE);
            }
            break;
        case WM_LBUTTONDBLCLK:
            // A quick second click is a second click, not a double click.
            message = WM_LBUTTONDOWN;
            break;
        case WM_DPICHANGED_AFTERPARENT:
            self->reloadImage();
            break;
        default:
            break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace qm::ui::win32
