#include "ui/win32/module_grid.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

#include "ui/logic/accelerator_table.h"
#include "ui/logic/menu_template.h"
#include "ui/logic/resource_strings.h"
#include "ui/logic/startup_option.h"
#include "ui/win32/resource_images.h"
#include "ui/win32/win32_text.h"

namespace qm::ui::win32 {
namespace {

constexpr UINT_PTR kSubclassId = 0x514D47;  // "QMG"
constexpr int kRowPoints = 22;
constexpr int kImagePoints = 16;
// Grid columns (kColName 1, kColStartup 3, kColEvent 7) by ListView column.
constexpr int kShown[] = {1, 3, 7};
constexpr int kStartupSubItem = 1;
constexpr COLORREF kExplanatoryGrey = RGB(192, 192, 192);
constexpr COLORREF kSelection = RGB(204, 228, 247);
constexpr COLORREF kSelectionInactive = RGB(217, 217, 217);

int Dpi(HWND hwnd) {
    const UINT dpi = GetDpiForWindow(hwnd);
    return dpi == 0 ? USER_DEFAULT_SCREEN_DPI : static_cast<int>(dpi);
}

bool Held(int key) {
    return (GetKeyState(key) & 0x8000) != 0;
}

}  // namespace

ModuleGrid::ModuleGrid(HWND listView, Handlers handlers, const AcceleratorTable* accelerators)
    : hwnd_(listView), handlers_(std::move(handlers)), accelerators_(accelerators) {
    ListView_SetExtendedListViewStyle(
        hwnd_, LVS_EX_FULLROWSELECT | LVS_EX_SUBITEMIMAGES | LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP);
    header_ = ListView_GetHeader(hwnd_);
    makeFonts();
    makeImages();
    SetWindowSubclass(hwnd_, &ModuleGrid::Proc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    if (header_ != nullptr) {
        SetWindowSubclass(header_, &ModuleGrid::HeaderProc, kSubclassId, 0);
    }
}

ModuleGrid::~ModuleGrid() {
    if (IsWindow(hwnd_)) {
        RemoveWindowSubclass(hwnd_, &ModuleGrid::Proc, kSubclassId);
    }
    if (header_ != nullptr && IsWindow(header_)) {
        RemoveWindowSubclass(header_, &ModuleGrid::HeaderProc, kSubclassId);
    }
    for (HFONT f : {font_, bold_}) {
        if (f != nullptr) {
            DeleteObject(f);
        }
    }
    if (images_ != nullptr) {
        ImageList_Destroy(images_);
    }
}

void ModuleGrid::makeFonts() {
    for (HFONT f : {font_, bold_}) {
        if (f != nullptr) {
            DeleteObject(f);
        }
    }
    // Arial 9 pt, as the Qt view's grid.
    const int height = -MulDiv(9, Dpi(hwnd_), 72);
    font_ = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0,
                        CLEARTYPE_QUALITY, 0, L"Arial");
    bold_ = CreateFontW(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0,
                        CLEARTYPE_QUALITY, 0, L"Arial");
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
}

void ModuleGrid::makeImages() {
    if (images_ != nullptr) {
        ImageList_Destroy(images_);
    }
    imageSize_ = MulDiv(kImagePoints, Dpi(hwnd_), USER_DEFAULT_SCREEN_DPI);
    // The small image list also sets the row height: the rows are 22 points high.
    const int rowHeight = MulDiv(kRowPoints, Dpi(hwnd_), USER_DEFAULT_SCREEN_DPI);
    images_ = ImageList_Create(imageSize_, rowHeight, ILC_COLOR32 | ILC_MASK, 3, 0);
    for (StartupOption option :
         {StartupOption::NoAction, StartupOption::LoadMenuOnly, StartupOption::LoadModule}) {
        HBITMAP image = LoadResourceBitmapScaled(Describe(option).bitmap, imageSize_);
        // Centred vertically in a row-high cell, white around it.
        HDC screen = GetDC(nullptr);
        HDC to = CreateCompatibleDC(screen);
        HDC from = CreateCompatibleDC(screen);
        HBITMAP cell = CreateCompatibleBitmap(screen, imageSize_, rowHeight);
        HGDIOBJ oldTo = SelectObject(to, cell);
        HGDIOBJ oldFrom = SelectObject(from, image);
        RECT all{0, 0, imageSize_, rowHeight};
        FillRect(to, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        BitBlt(to, 0, (rowHeight - imageSize_) / 2, imageSize_, imageSize_, from, 0, 0, SRCCOPY);
        SelectObject(to, oldTo);
        SelectObject(from, oldFrom);
        DeleteDC(to);
        DeleteDC(from);
        ReleaseDC(nullptr, screen);
        ImageList_AddMasked(images_, cell, RGB(255, 255, 255));
        DeleteObject(cell);
        DeleteObject(image);
    }
    ListView_SetImageList(hwnd_, images_, LVSIL_SMALL);
}

void ModuleGrid::setHeaders(const std::string& name, const std::string& startup,
                            const std::string& event) {
    const std::string* texts[] = {&name, &startup, &event};
    for (int i = 0; i < 3; ++i) {
        std::wstring text = Widen(*texts[i]);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        column.fmt = i == kStartupSubItem ? LVCFMT_CENTER : LVCFMT_LEFT;
        column.cx = 50;
        column.pszText = text.data();
        column.iSubItem = i;
        ListView_InsertColumn(hwnd_, i, &column);
    }
    relayColumns();
}

int ModuleGrid::rowCount() const {
    return ListView_GetItemCount(hwnd_);
}

void ModuleGrid::insertRows(int before, int count) {
    before = std::clamp(before, 1, rowCount() + 1);
    for (int i = 0; i < count; ++i) {
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = before - 1 + i;
        item.pszText = const_cast<wchar_t*>(L"");
        ListView_InsertItem(hwnd_, &item);
    }
    tips_.insert(tips_.begin() + (before - 1), static_cast<std::size_t>(count), std::string());
}

void ModuleGrid::removeRow(int row) {
    if (row >= 1 && row <= rowCount()) {
        ListView_DeleteItem(hwnd_, row - 1);
        tips_.erase(tips_.begin() + (row - 1));
    }
}

void ModuleGrid::removeAll() {
    ListView_DeleteAllItems(hwnd_);
    tips_.clear();
}

void ModuleGrid::setRow(int row, const GridRow& content) {
    if (row < 1 || row > rowCount()) {
        return;
    }
    const int index = row - 1;
    std::wstring name = Widen(content.name);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = index;
    item.pszText = name.data();
    item.lParam =
        (content.bold ? kGridRowBold : 0) | (content.explanatory ? kGridRowExplanatory : 0);
    ListView_SetItem(hwnd_, &item);

    LVITEMW startup{};
    startup.mask = LVIF_IMAGE | LVIF_TEXT;
    startup.iItem = index;
    startup.iSubItem = kStartupSubItem;
    startup.iImage = content.explanatory ? I_IMAGENONE : content.startupImage;
    startup.pszText = const_cast<wchar_t*>(L"");
    ListView_SetItem(hwnd_, &startup);

    std::wstring event = Widen(content.explanatory ? std::string() : content.event);
    ListView_SetItemText(hwnd_, index, 2, event.data());
    tips_[static_cast<std::size_t>(index)] = content.startupTip;
}

std::vector<int> ModuleGrid::selectedRows() const {
    std::vector<int> rows;
    int index = -1;
    while ((index = ListView_GetNextItem(hwnd_, index, LVNI_SELECTED)) >= 0) {
        rows.push_back(index + 1);
    }
    if (rows.empty()) {
        const int focused = ListView_GetNextItem(hwnd_, -1, LVNI_FOCUSED);
        if (focused >= 0) {
            rows.push_back(focused + 1);
        }
    }
    return rows;
}

void ModuleGrid::selectRow(int row) {
    if (row < 1 || row > rowCount()) {
        return;
    }
    ListView_SetItemState(hwnd_, -1, 0, LVIS_SELECTED);
    ListView_SetItemState(hwnd_, row - 1, LVIS_SELECTED | LVIS_FOCUSED,
                          LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetSelectionMark(hwnd_, row - 1);
    ListView_EnsureVisible(hwnd_, row - 1, FALSE);
}

int ModuleGrid::clientWidth() const {
    RECT r{};
    GetClientRect(hwnd_, &r);
    return r.right - r.left;
}

void ModuleGrid::relayColumns() {
    relaying_ = true;
    const int width = clientWidth();
    for (int i = 0; i < 3; ++i) {
        ListView_SetColumnWidth(hwnd_, i,
                                ColumnFractions::width(fractions_.fraction(kShown[i]), width));
    }
    relaying_ = false;
}

bool ModuleGrid::onKeyDown(WPARAM key) {
    const bool control = Held(VK_CONTROL);
    const bool shift = Held(VK_SHIFT);
    // Accelerators see every key first; the key then goes its normal way regardless.
    if (accelerators_ != nullptr && handlers_.command) {
        if (std::optional<int> command =
                accelerators_->translate(static_cast<int>(key), control, shift, Held(VK_MENU))) {
            handlers_.command(*command);
        }
    }
    switch (key) {
        case VK_TAB:
            if (tabLoad_ != nullptr && IsWindowEnabled(tabLoad_)) {
                SetFocus(tabLoad_);
            } else if (tabUnload_ != nullptr && IsWindowEnabled(tabUnload_)) {
                SetFocus(tabUnload_);
            }
            return true;
        case VK_SPACE:
            if (handlers_.toggle) {
                handlers_.toggle();
            }
            return true;
        case VK_HOME:
        case VK_END: {
            if (!control || rowCount() == 0) {
                return false;
            }
            // With Ctrl, Home and End jump to the first and the last row, and the selection
            // follows: collapsed there, or with Shift extended from the anchor.
            const int target = key == VK_HOME ? 0 : rowCount() - 1;
            if (shift) {
                const int anchor = std::max(0, ListView_GetSelectionMark(hwnd_));
                ListView_SetItemState(hwnd_, -1, 0, LVIS_SELECTED);
                for (int i = std::min(anchor, target); i <= std::max(anchor, target); ++i) {
                    ListView_SetItemState(hwnd_, i, LVIS_SELECTED, LVIS_SELECTED);
                }
                ListView_SetItemState(hwnd_, target, LVIS_FOCUSED, LVIS_FOCUSED);
                ListView_EnsureVisible(hwnd_, target, FALSE);
            } else {
                selectRow(target + 1);
            }
            return true;
        }
        default:
            return false;
    }
}

HMENU ModuleGrid::buildContextMenu() const {
    const MenuTemplate* menuTemplate = MenuTemplate::load(kMenuGridContext);
    if (menuTemplate == nullptr) {
        return nullptr;
    }
    HMENU menu = CreatePopupMenu();
    for (const MenuItemTemplate& item : menuTemplate->items()) {
        if (item.command == 0) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        const std::wstring text = Widen(ResourceString(*item.text));
        UINT flags = MF_STRING;
        const std::optional<StartupOption> option = StartupOptionForCommand(item.command);
        // Under the autostart override "Load module" cannot be chosen, but it is not greyed.
        if (option == StartupOption::LoadModule && autostartOverride_) {
            flags |= MF_DISABLED;
        }
        AppendMenuW(menu, flags, static_cast<UINT_PTR>(item.command), text.c_str());
    }
    return menu;
}

void ModuleGrid::showContextMenu(POINT screen) {
    HMENU menu = buildContextMenu();
    if (menu == nullptr) {
        return;
    }
    const int command = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y, 0,
                                       hwnd_, nullptr);
    DestroyMenu(menu);
    if (command != 0 && handlers_.command) {
        handlers_.command(command);
    }
}

void ModuleGrid::drawExplanatoryRow(HDC dc, int item) {
    RECT row{};
    ListView_GetItemRect(hwnd_, item, &row, LVIR_BOUNDS);
    HBRUSH grey = CreateSolidBrush(kExplanatoryGrey);
    FillRect(dc, &row, grey);
    DeleteObject(grey);
    wchar_t text[1024] = {};
    ListView_GetItemText(hwnd_, item, 0, text, 1024);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    HGDIOBJ old = SelectObject(dc, font_);
    row.left += 4;
    DrawTextW(dc, text, -1, &row,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(dc, old);
}

LRESULT ModuleGrid::customDraw(NMLVCUSTOMDRAW& draw) {
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT: {
            const int item = static_cast<int>(draw.nmcd.dwItemSpec);
            if ((draw.nmcd.lItemlParam & kGridRowExplanatory) != 0) {
                drawExplanatoryRow(draw.nmcd.hdc, item);
                return CDRF_SKIPDEFAULT;
            }
            return CDRF_NOTIFYSUBITEMDRAW;
        }
        case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
            const int item = static_cast<int>(draw.nmcd.dwItemSpec);
            const bool selected = ListView_GetItemState(hwnd_, item, LVIS_SELECTED) != 0;
            const bool focused = GetFocus() == hwnd_;
            // Black text on white; the selection keeps black text on a light blue (grey
            // while the grid has no focus).
            draw.clrText = RGB(0, 0, 0);
            draw.clrTextBk =
                selected ? (focused ? kSelection : kSelectionInactive) : RGB(255, 255, 255);
            // Rows whose menus are loaded are bold; so is every event label.
            const bool bold = draw.iSubItem == 2 || (draw.nmcd.lItemlParam & kGridRowBold) != 0;
            SelectObject(draw.nmcd.hdc, bold && draw.iSubItem != kStartupSubItem ? bold_ : font_);
            if (draw.iSubItem == kStartupSubItem) {
                // The image centred in its cell, on the row's background.
                RECT cell{};
                ListView_GetSubItemRect(hwnd_, item, kStartupSubItem, LVIR_BOUNDS, &cell);
                HBRUSH back = CreateSolidBrush(draw.clrTextBk);
                FillRect(draw.nmcd.hdc, &cell, back);
                DeleteObject(back);
                LVITEMW info{};
                info.mask = LVIF_IMAGE;
                info.iItem = item;
                info.iSubItem = kStartupSubItem;
                ListView_GetItem(hwnd_, &info);
                if (info.iImage >= 0) {
                    int w = 0;
                    int h = 0;
                    ImageList_GetIconSize(images_, &w, &h);
                    ImageList_Draw(images_, info.iImage, draw.nmcd.hdc,
                                   cell.left + (cell.right - cell.left - w) / 2,
                                   cell.top + (cell.bottom - cell.top - h) / 2, ILD_TRANSPARENT);
                }
                return CDRF_SKIPDEFAULT;
            }
            // ListView paints the selection itself unless told the item is not selected.
            draw.nmcd.uItemState &= ~static_cast<UINT>(CDIS_SELECTED | CDIS_FOCUS);
            return CDRF_NEWFONT;
        }
        default:
            return CDRF_DODEFAULT;
    }
}

LRESULT ModuleGrid::notify(const NMHDR& header, bool& handled) {
    handled = false;
    if (header.hwndFrom != hwnd_) {
        return 0;
    }
    switch (header.code) {
        case NM_CUSTOMDRAW:
            handled = true;
            return customDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(const_cast<NMHDR*>(&header)));
        case LVN_COLUMNCLICK: {
            const auto& click = reinterpret_cast<const NMLISTVIEW&>(header);
            if (click.iSubItem >= 0 && click.iSubItem < 3 && handlers_.headerClick) {
                handlers_.headerClick(kShown[click.iSubItem]);
            }
            handled = true;
            return 0;
        }
        case NM_DBLCLK: {
            const auto& activate = reinterpret_cast<const NMITEMACTIVATE&>(header);
            if (activate.iItem >= 0 && handlers_.toggle) {
                handlers_.toggle();
            }
            handled = true;
            return 0;
        }
        case LVN_GETINFOTIPW: {
            auto& tip = *reinterpret_cast<NMLVGETINFOTIPW*>(const_cast<NMHDR*>(&header));
            if (tip.iItem >= 0 && static_cast<std::size_t>(tip.iItem) < tips_.size()) {
                const std::wstring text = Widen(tips_[static_cast<std::size_t>(tip.iItem)]);
                lstrcpynW(tip.pszText, text.c_str(), tip.cchTextMax);
            }
            handled = true;
            return 0;
        }
        default:
            return 0;
    }
}

LRESULT CALLBACK ModuleGrid::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR data) {
    auto* self = reinterpret_cast<ModuleGrid*>(data);
    switch (message) {
        case WM_GETDLGCODE:
            // Tab, Space and the arrows are the grid's; Enter and Escape stay the dialog's.
            return DefSubclassProc(hwnd, message, wParam, lParam) | DLGC_WANTTAB | DLGC_WANTARROWS |
                   DLGC_WANTCHARS;
        case WM_KEYDOWN:
            if (self->onKeyDown(wParam)) {
                return 0;
            }
            break;
        case WM_CHAR:
            // Space toggles (above), and Ctrl+letter belongs to the accelerators: neither
            // starts the ListView's incremental search.
            if (wParam == L' ' || wParam < 0x20) {
                return 0;
            }
            break;
        case WM_RBUTTONDOWN: {
            LVHITTESTINFO hit{};
            hit.pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            const int item = ListView_HitTest(hwnd, &hit);
            SetFocus(hwnd);
            if (item >= 0) {
                const std::vector<int> rows = self->selectedRows();
                if (std::find(rows.begin(), rows.end(), item + 1) == rows.end()) {
                    self->selectRow(item + 1);
                }
                POINT screen = hit.pt;
                ClientToScreen(hwnd, &screen);
                self->showContextMenu(screen);
            }
            return 0;
        }
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->hwndFrom == self->header_ &&
                (header->code == HDN_ENDTRACKW || header->code == HDN_ENDTRACKA)) {
                const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
                // The end of a user's drag: the new width becomes the column's fraction and
                // the other columns keep theirs.
                const auto& track = *reinterpret_cast<const NMHEADERW*>(lParam);
                const int width = self->clientWidth();
                if (track.iItem >= 0 && track.iItem < 3 && width > 0 && track.pitem != nullptr &&
                    (track.pitem->mask & HDI_WIDTH) != 0) {
                    self->fractions_.fraction(kShown[track.iItem]) =
                        static_cast<double>(track.pitem->cxy) / width;
                    PostMessageW(hwnd, WM_SIZE, 0, 0);
                }
                return result;
            }
            break;
        }
        case WM_SIZE:
            if (!self->relaying_) {
                const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
                self->relayColumns();
                return result;
            }
            break;
        case WM_DPICHANGED_AFTERPARENT:
            self->makeFonts();
            self->makeImages();
            self->relayColumns();
            break;
        default:
            break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK ModuleGrid::HeaderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR, DWORD_PTR) {
    if (message != WM_PAINT) {
        return DefSubclassProc(hwnd, message, wParam, lParam);
    }
    const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
    // Right of the last column the header is white like the rest of the grid's empty area,
    // where it would show its own face.
    const int count = Header_GetItemCount(hwnd);
    RECT last{};
    if (count > 0 && Header_GetItemRect(hwnd, count - 1, &last)) {
        RECT client{};
        GetClientRect(hwnd, &client);
        if (last.right < client.right) {
            HDC dc = GetDC(hwnd);
            RECT band{last.right, client.top, client.right, client.bottom};
            FillRect(dc, &band, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            ReleaseDC(hwnd, dc);
        }
    }
    return result;
}

}  // namespace qm::ui::win32
