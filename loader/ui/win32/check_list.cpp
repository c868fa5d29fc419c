#include "ui/win32/check_list.h"

#include <commctrl.h>
#include <windowsx.h>

#include "ui/win32/win32_text.h"

namespace qm::ui::win32 {
namespace {

constexpr UINT_PTR kSubclassId = 0x514D43;  // "QMC"
constexpr int kBoxPoints = 13;

}  // namespace

CheckList::CheckList(HWND listBox) : hwnd_(listBox) {
    SetWindowSubclass(hwnd_, &CheckList::proc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

CheckList::~CheckList() {
    if (IsWindow(hwnd_)) {
        RemoveWindowSubclass(hwnd_, &CheckList::proc, kSubclassId);
    }
}

int CheckList::boxSize() const {
    const UINT dpi = GetDpiForWindow(hwnd_);
    return MulDiv(kBoxPoints, dpi == 0 ? USER_DEFAULT_SCREEN_DPI : static_cast<int>(dpi),
                  USER_DEFAULT_SCREEN_DPI);
}

CheckList::Item* CheckList::item(int index) const {
    const LRESULT data = SendMessageW(hwnd_, LB_GETITEMDATA, static_cast<WPARAM>(index), 0);
    return data == LB_ERR ? nullptr : reinterpret_cast<Item*>(data);
}

int CheckList::add(const std::string& text, const std::string& key, bool checked, bool enabled) {
    const std::wstring wide = Widen(text);
    const auto index = static_cast<int>(
        SendMessageW(hwnd_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str())));
    if (index < 0) {
        return index;
    }
    items_.push_back(std::make_unique<Item>(Item{key, checked, enabled, false}));
    SendMessageW(hwnd_, LB_SETITEMDATA, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(items_.back().get()));
    return index;
}

int CheckList::addPlain(const std::string& text) {
    const int index = add(text, {}, false, false);
    if (Item* i = item(index)) {
        i->plain = true;
    }
    return index;
}

int CheckList::count() const {
    return static_cast<int>(SendMessageW(hwnd_, LB_GETCOUNT, 0, 0));
}

std::string CheckList::key(int index) const {
    const Item* i = item(index);
    return i != nullptr ? i->key : std::string();
}

std::string CheckList::text(int index) const {
    const auto length = SendMessageW(hwnd_, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR) {
        return {};
    }
    std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(hwnd_, LB_GETTEXT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(buffer.data()));
    buffer.resize(static_cast<std::size_t>(length));
    return Narrow(buffer);
}

bool CheckList::checked(int index) const {
    const Item* i = item(index);
    return i != nullptr && i->checked;
}

bool CheckList::enabled(int index) const {
    const Item* i = item(index);
    return i != nullptr && i->enabled;
}

void CheckList::setChecked(int index, bool on) {
    if (Item* i = item(index)) {
        i->checked = on;
        RECT r{};
        SendMessageW(hwnd_, LB_GETITEMRECT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&r));
        InvalidateRect(hwnd_, &r, FALSE);
    }
}

void CheckList::clear() {
    SendMessageW(hwnd_, LB_RESETCONTENT, 0, 0);
    items_.clear();
}

void CheckList::toggle(int index, bool wholeSelection) {
    Item* toggled = item(index);
    if (toggled == nullptr || !toggled->enabled || toggled->plain) {
        return;
    }
    const bool state = !toggled->checked;
    setChecked(index, state);
    const bool selected = SendMessageW(hwnd_, LB_GETSEL, static_cast<WPARAM>(index), 0) > 0;
    if (!selected && !wholeSelection) {
        return;
    }
    for (int i = 0; i < count(); ++i) {
        if (i != index && SendMessageW(hwnd_, LB_GETSEL, static_cast<WPARAM>(i), 0) > 0 &&
            enabled(i)) {
            setChecked(i, state);
        }
    }
}

void CheckList::dropDisabledFromSelection() {
    for (int i = 0; i < count(); ++i) {
        if (!enabled(i) && SendMessageW(hwnd_, LB_GETSEL, static_cast<WPARAM>(i), 0) > 0) {
            SendMessageW(hwnd_, LB_SETSEL, FALSE, i);
        }
    }
}

void CheckList::measure(MEASUREITEMSTRUCT& m) const {
    m.itemHeight = static_cast<UINT>(boxSize() + 4);
}

void CheckList::draw(const DRAWITEMSTRUCT& d) const {
    if (d.itemID == static_cast<UINT>(-1)) {
        return;
    }
    const int index = static_cast<int>(d.itemID);
    const Item* i = item(index);
    const bool selected = (d.itemState & ODS_SELECTED) != 0;
    HDC dc = d.hDC;
    RECT r = d.rcItem;
    FillRect(dc, &r, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    int textLeft = r.left + 2;
    if (i != nullptr && !i->plain) {
        const int size = boxSize();
        RECT box{r.left + 2, r.top + (r.bottom - r.top - size) / 2, 0, 0};
        box.right = box.left + size;
        box.bottom = box.top + size;
        UINT state = DFCS_BUTTONCHECK | DFCS_FLAT;
        if (i->checked) {
            state |= DFCS_CHECKED;
        }
        if (!i->enabled) {
            state |= DFCS_INACTIVE;
        }
        DrawFrameControl(dc, &box, DFC_BUTTON, state);
        textLeft = box.right + 4;
    }
    const std::wstring label = Widen(text(index));
    RECT textRect{textLeft, r.top, r.right, r.bottom};
    SetBkMode(dc, TRANSPARENT);
    const bool grey = i != nullptr && !i->enabled && !i->plain;
    SetTextColor(dc, GetSysColor(grey       ? COLOR_GRAYTEXT
                                 : selected ? COLOR_HIGHLIGHTTEXT
                                            : COLOR_WINDOWTEXT));
    DrawTextW(dc, label.c_str(), -1, &textRect, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if ((d.itemState & ODS_FOCUS) != 0) {
        DrawFocusRect(dc, &r);
    }
}

LRESULT CALLBACK CheckList::proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR data) {
    auto* self = reinterpret_cast<CheckList*>(data);
    const int index = static_cast<int>(wParam);
    switch (message) {
        case kCheckListGetCheck:
            return self->item(index) == nullptr ? -1 : (self->checked(index) ? 1 : 0);
        case kCheckListSetCheck:
            self->setChecked(index, lParam != 0);
            return 0;
        case kCheckListIsEnabled:
            return self->enabled(index) ? 1 : 0;
        case WM_KEYDOWN:
            if (wParam == VK_SPACE) {
                const auto caret = static_cast<int>(SendMessageW(hwnd, LB_GETCARETINDEX, 0, 0));
                self->toggle(caret, true);
                return 0;
            }
            break;
        case WM_CHAR:
            if (wParam == L' ') {
                return 0;
            }
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            const LRESULT hit = SendMessageW(hwnd, LB_ITEMFROMPOINT, 0, MAKELPARAM(at.x, at.y));
            const int hitIndex = LOWORD(hit);
            if (HIWORD(hit) == 0 && at.x < self->boxSize() + 4) {
                self->toggle(hitIndex, false);
                SetFocus(hwnd);
                return 0;
            }
            if (HIWORD(hit) == 0 && !self->enabled(hitIndex)) {
                SetFocus(hwnd);
                return 0;  // a disabled item cannot be selected
            }
            break;
        }
        default:
            break;
    }
    const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
    if (message == WM_KEYDOWN || message == WM_LBUTTONUP || message == WM_MOUSEMOVE) {
        self->dropDisabledFromSelection();
    }
    return result;
}

}  // namespace qm::ui::win32
