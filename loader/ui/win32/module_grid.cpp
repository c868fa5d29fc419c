#include "ui/win32/module_grid.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdlib>

#include "ui/logic/accelerator_table.h"
#include "ui/logic/menu_template.h"
#include "ui/logic/resource_strings.h"
#include "ui/logic/startup_option.h"
#include "ui/win32/resource_images.h"
#include "ui/win32/win32_text.h"

namespace qm::ui::win32 {
namespace {

constexpr UINT_PTR kSubclassId = 0x514D47;  // "QMG"
constexpr int kImagePoints = 16;
constexpr int kStartupSubItem = 1;
constexpr int kShownCount = static_cast<int>(std::size(kShownGridColumns));
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kExplanatoryGrey = RGB(192, 192, 192);
constexpr COLORREF kSelection = RGB(204, 228, 247);
constexpr COLORREF kSelectionInactive = RGB(217, 217, 217);
constexpr COLORREF kMenuLoadedGreen = RGB(0, 200, 50);
constexpr COLORREF kMenuUnloadedRed = RGB(255, 0, 0);
constexpr StartupOption kOptions[] = {StartupOption::NoAction, StartupOption::LoadMenuOnly,
                                      StartupOption::LoadModule};

int Dpi(HWND hwnd) {
    const UINT dpi = GetDpiForWindow(hwnd);
    return dpi == 0 ? USER_DEFAULT_SCREEN_DPI : static_cast<int>(dpi);
}

bool Held(int key) {
    return (GetKeyState(key) & 0x8000) != 0;
}

// The image list index of a start-up cell's bitmap number; -1 for none.
int ImageIndexOf(const std::string& bitmapNumber) {
    const int bitmap = std::atoi(bitmapNumber.c_str());
    for (std::size_t i = 0; i < std::size(kOptions); ++i) {
        if (Describe(kOptions[i]).bitmap == bitmap) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

COLORREF TextColourOf(CellStyle style) {
    if (style == CellStyle::MenuLoaded) {
        return kMenuLoadedGreen;
    }
    return style == CellStyle::MenuUnloaded ? kMenuUnloadedRed : kBlack;
}

}  // namespace

ModuleGrid::ModuleGrid(HWND listView, const GridRows& rows, ColumnFractions& fractions,
                       Handlers handlers, const AcceleratorTable* accelerators)
    : hwnd_(listView),
      rows_(rows),
      fractions_(fractions),
      handlers_(std::move(handlers)),
      accelerators_(accelerators) {
    ListView_SetExtendedListViewStyle(
        hwnd_, LVS_EX_FULLROWSELECT | LVS_EX_SUBITEMIMAGES | LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP);
    header_ = ListView_GetHeader(hwnd_);
    makeFonts();
    makeImages();
    SetWindowSubclass(hwnd_, &ModuleGrid::proc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    if (header_ != nullptr) {
        SetWindowSubclass(header_, &ModuleGrid::headerProc, kSubclassId, 0);
    }
}

ModuleGrid::~ModuleGrid() {
    if (IsWindow(hwnd_)) {
        RemoveWindowSubclass(hwnd_, &ModuleGrid::proc, kSubclassId);
    }
    if (header_ != nullptr && IsWindow(header_)) {
        RemoveWindowSubclass(header_, &ModuleGrid::headerProc, kSubclassId);
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
    // Arial 9 pt in the two weights the cell styles use.
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
    const int imageSize = MulDiv(kImagePoints, Dpi(hwnd_), USER_DEFAULT_SCREEN_DPI);
    // The small image list sets the rows' height: an image as high as a row, the bitmap
    // centred in it on white.
    const int rowHeight = MulDiv(kGridRowHeight, Dpi(hwnd_), USER_DEFAULT_SCREEN_DPI);
    images_ = ImageList_Create(imageSize, rowHeight, ILC_COLOR32 | ILC_MASK, 3, 0);
    HDC screen = GetDC(nullptr);
    for (StartupOption option : kOptions) {
        HBITMAP image = LoadResourceBitmapScaled(Describe(option).bitmap, imageSize);
        HDC to = CreateCompatibleDC(screen);
        HDC from = CreateCompatibleDC(screen);
        HBITMAP cell = CreateCompatibleBitmap(screen, imageSize, rowHeight);
        HGDIOBJ oldTo = SelectObject(to, cell);
        HGDIOBJ oldFrom = SelectObject(from, image);
        RECT all{0, 0, imageSize, rowHeight};
        FillRect(to, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        BitBlt(to, 0, (rowHeight - imageSize) / 2, imageSize, imageSize, from, 0, 0, SRCCOPY);
        SelectObject(to, oldTo);
        SelectObject(from, oldFrom);
        DeleteDC(to);
        DeleteDC(from);
        ImageList_AddMasked(images_, cell, kWhite);
        DeleteObject(cell);
        DeleteObject(image);
    }
    ReleaseDC(nullptr, screen);
    ListView_SetImageList(hwnd_, images_, LVSIL_SMALL);
}

void ModuleGrid::createColumns() {
    for (int i = 0; i < kShownCount; ++i) {
        const int column = kShownGridColumns[i];
        std::wstring text = Widen(rows_.headerText(column));
        LVCOLUMNW c{};
        c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        c.fmt = column == kColStartup ? LVCFMT_CENTER : LVCFMT_LEFT;
        c.cx = 0;
        c.pszText = text.data();
        c.iSubItem = i;
        ListView_InsertColumn(hwnd_, i, &c);
    }
    relayColumns();
}

void ModuleGrid::showRow(int row) {
    const int index = row - 1;
    std::wstring name = Widen(rows_.cellValue(row, kColName));
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = index;
    item.pszText = name.data();
    item.lParam = (CellFontWeight(rows_.cellStyle(row, kColName)) >= 700 ? kGridRowBold : 0) |
                  (rows_.isExplanatoryRow(row) ? kGridRowExplanatory : 0);
    ListView_SetItem(hwnd_, &item);

    LVITEMW startup{};
    startup.mask = LVIF_IMAGE | LVIF_TEXT;
    startup.iItem = index;
    startup.iSubItem = kStartupSubItem;
    startup.iImage = rows_.cellStyle(row, kColStartup) == CellStyle::Startup
                         ? ImageIndexOf(rows_.cellValue(row, kColStartup))
                         : I_IMAGENONE;
    startup.pszText = const_cast<wchar_t*>(L"");
    ListView_SetItem(hwnd_, &startup);

    std::wstring event =
        Widen(rows_.isExplanatoryRow(row) ? std::string() : rows_.cellValue(row, kColEvent));
    ListView_SetItemText(hwnd_, index, 2, event.data());
}

void ModuleGrid::rowsInserted(int first, int count) {
    for (int i = 0; i < count; ++i) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = first - 1 + i;
        item.pszText = const_cast<wchar_t*>(L"");
        ListView_InsertItem(hwnd_, &item);
        showRow(first + i);
    }
}

void ModuleGrid::rowRemoved(int row) {
    ListView_DeleteItem(hwnd_, row - 1);
}

void ModuleGrid::rowsReset() {
    ListView_DeleteAllItems(hwnd_);
    rowsInserted(1, rows_.rowCount());
}

void ModuleGrid::rowChanged(int row) {
    if (row >= 1 && row <= ListView_GetItemCount(hwnd_)) {
        showRow(row);
    }
}

void ModuleGrid::rowsSorted(std::span<const int> newRowOf) {
    // The selection and the current row go with their rows.
    std::vector<int> selected;
    int index = -1;
    while ((index = ListView_GetNextItem(hwnd_, index, LVNI_SELECTED)) >= 0) {
        selected.push_back(newRowOf[static_cast<std::size_t>(index)]);
    }
    const int focused = ListView_GetNextItem(hwnd_, -1, LVNI_FOCUSED);
    SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
    ListView_SetItemState(hwnd_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (int row = 1; row <= rows_.rowCount(); ++row) {
        showRow(row);
    }
    for (int row : selected) {
        ListView_SetItemState(hwnd_, row - 1, LVIS_SELECTED, LVIS_SELECTED);
    }
    if (focused >= 0) {
        const int row = newRowOf[static_cast<std::size_t>(focused)];
        ListView_SetItemState(hwnd_, row - 1, LVIS_FOCUSED, LVIS_FOCUSED);
    }
    SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd_, nullptr, FALSE);
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
    if (row < 1 || row > ListView_GetItemCount(hwnd_)) {
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
    for (int i = 0; i < kShownCount; ++i) {
        ListView_SetColumnWidth(
            hwnd_, i, ColumnFractions::width(fractions_.fraction(kShownGridColumns[i]), width));
    }
    relaying_ = false;
}

void ModuleGrid::moveTo(int target, GridSelectionRule rule) {
    GridSelection before;
    before.current = ListView_GetNextItem(hwnd_, -1, LVNI_FOCUSED) + 1;
    before.anchor = ListView_GetSelectionMark(hwnd_) + 1;
    int index = -1;
    while ((index = ListView_GetNextItem(hwnd_, index, LVNI_SELECTED)) >= 0) {
        before.rows.push_back(index + 1);
    }
    const GridSelection after = SelectionAfterMove(before, target, rule);
    ListView_SetItemState(hwnd_, -1, 0, LVIS_SELECTED);
    for (int row : after.rows) {
        ListView_SetItemState(hwnd_, row - 1, LVIS_SELECTED, LVIS_SELECTED);
    }
    if (after.current >= 1) {
        ListView_SetItemState(hwnd_, after.current - 1, LVIS_FOCUSED, LVIS_FOCUSED);
        ListView_EnsureVisible(hwnd_, after.current - 1, FALSE);
    }
    if (after.anchor >= 1) {
        ListView_SetSelectionMark(hwnd_, after.anchor - 1);
    }
}

bool ModuleGrid::onKeyDown(int key) {
    const KeyModifiers modifiers{Held(VK_CONTROL), Held(VK_SHIFT), Held(VK_MENU)};
    // Every key is offered to the accelerators first; it then goes on to the rules regardless.
    if (std::optional<int> command = GridAccelerator(accelerators_, key, modifiers)) {
        if (handlers_.command) {
            handlers_.command(*command);
        }
    }
    const GridKeyRule rule = GridKeyRuleFor(key, modifiers);
    const int count = ListView_GetItemCount(hwnd_);
    switch (rule.action) {
        case GridKeyAction::FocusButtons: {
            const HWND dialog = GetParent(hwnd_);
            const int target = TabFocusTarget(tabLoad_ != nullptr && IsWindowEnabled(tabLoad_),
                                              tabUnload_ != nullptr && IsWindowEnabled(tabUnload_));
            if (target != 0) {
                SetFocus(GetDlgItem(dialog, target));
            }
            break;
        }
        case GridKeyAction::ToggleMarks:
            if (handlers_.toggle) {
                handlers_.toggle();
            }
            break;
        case GridKeyAction::FirstRow:
        case GridKeyAction::LastRow:
            if (count > 0) {
                moveTo(rule.action == GridKeyAction::FirstRow ? 1 : count, rule.selection);
            }
            break;
        case GridKeyAction::Default:
            break;
    }
    return rule.consumed;
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
        // "Load module" not offered: it cannot be chosen, but it is not greyed either.
        if (StartupOptionForCommand(item.command) == StartupOption::LoadModule &&
            !loadModuleOffered_) {
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
    const std::wstring text = Widen(rows_.cellValue(item + 1, kColName));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kBlack);
    HGDIOBJ old = SelectObject(dc, font_);
    row.left += 4;
    DrawTextW(dc, text.c_str(), -1, &row,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(dc, old);
}

LRESULT ModuleGrid::customDraw(NMLVCUSTOMDRAW& draw) {
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT: {
            const int item = static_cast<int>(draw.nmcd.dwItemSpec);
            if (rows_.isExplanatoryRow(item + 1)) {
                drawExplanatoryRow(draw.nmcd.hdc, item);
                return CDRF_SKIPDEFAULT;
            }
            return CDRF_NOTIFYSUBITEMDRAW;
        }
        case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
            const int item = static_cast<int>(draw.nmcd.dwItemSpec);
            const int column = kShownGridColumns[std::clamp(draw.iSubItem, 0, kShownCount - 1)];
            const CellStyle style = rows_.cellStyle(item + 1, column);
            const bool selected = ListView_GetItemState(hwnd_, item, LVIS_SELECTED) != 0;
            // Black text on white; the selection keeps the text's colour on light blue (grey
            // while the grid has no focus).
            const COLORREF back =
                selected ? (GetFocus() == hwnd_ ? kSelection : kSelectionInactive) : kWhite;
            if (column == kColStartup) {
                // The image centred in its cell, on the row's background.
                RECT cell{};
                ListView_GetSubItemRect(hwnd_, item, kStartupSubItem, LVIR_BOUNDS, &cell);
                HBRUSH brush = CreateSolidBrush(back);
                FillRect(draw.nmcd.hdc, &cell, brush);
                DeleteObject(brush);
                const int image = ImageIndexOf(rows_.cellValue(item + 1, kColStartup));
                if (image >= 0) {
                    int w = 0;
                    int h = 0;
                    ImageList_GetIconSize(images_, &w, &h);
                    ImageList_Draw(images_, image, draw.nmcd.hdc,
                                   cell.left + (cell.right - cell.left - w) / 2,
                                   cell.top + (cell.bottom - cell.top - h) / 2, ILD_TRANSPARENT);
                }
                return CDRF_SKIPDEFAULT;
            }
            draw.clrText = TextColourOf(style);
            draw.clrTextBk = back;
            SelectObject(draw.nmcd.hdc, CellFontWeight(style) >= 700 ? bold_ : font_);
            // The ListView paints its own selection colours unless told the item is not
            // selected.
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
            const GridMouseRule rule = GridMouseRuleFor(GridMouseButton::Left, 0, false);
            if (rule.action == GridMouseAction::SortColumn && click.iSubItem >= 0 &&
                click.iSubItem < kShownCount && handlers_.headerClick) {
                handlers_.headerClick(kShownGridColumns[click.iSubItem]);
            }
            handled = true;
            return 0;
        }
        case NM_DBLCLK: {
            const auto& activate = reinterpret_cast<const NMITEMACTIVATE&>(header);
            if (activate.iItem >= 0) {
                const GridMouseRule rule = GridMouseRuleFor(
                    GridMouseButton::LeftDouble, activate.iItem + 1,
                    ListView_GetItemState(hwnd_, activate.iItem, LVIS_SELECTED) != 0);
                if (rule.action == GridMouseAction::ToggleMarks && handlers_.toggle) {
                    handlers_.toggle();
                }
            }
            handled = true;
            return 0;
        }
        case LVN_GETINFOTIPW: {
            auto& tip = *reinterpret_cast<NMLVGETINFOTIPW*>(const_cast<NMHDR*>(&header));
            const int row = tip.iItem + 1;
            const std::string& nameTip = rows_.cell(row, kColName).tip;
            const std::wstring text =
                Widen(nameTip.empty() ? rows_.cell(row, kColStartup).tip : nameTip);
            lstrcpynW(tip.pszText, text.c_str(), tip.cchTextMax);
            handled = true;
            return 0;
        }
        default:
            return 0;
    }
}

LRESULT CALLBACK ModuleGrid::proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR data) {
    auto* self = reinterpret_cast<ModuleGrid*>(data);
    switch (message) {
        case WM_GETDLGCODE:
            // Tab, Space and the arrows are the grid's; Enter and Escape stay the dialog's.
            return DefSubclassProc(hwnd, message, wParam, lParam) | DLGC_WANTTAB | DLGC_WANTARROWS |
                   DLGC_WANTCHARS;
        case WM_KEYDOWN:
            if (self->onKeyDown(static_cast<int>(wParam))) {
                return 0;
            }
            break;
        case WM_CHAR:
            // Space and Ctrl+letter (the accelerators) never start the ListView's incremental
            // search.
            if (wParam == L' ' || wParam < 0x20) {
                return 0;
            }
            break;
        case WM_RBUTTONDOWN: {
            LVHITTESTINFO hit{};
            hit.pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            const int item = ListView_HitTest(hwnd, &hit);
            SetFocus(hwnd);
            if (item < 0) {
                return 0;
            }
            const bool selected = ListView_GetItemState(hwnd, item, LVIS_SELECTED) != 0;
            const GridMouseRule rule = GridMouseRuleFor(GridMouseButton::Right, item + 1, selected);
            if (rule.selectRow) {
                self->selectRow(item + 1);
            }
            if (rule.action == GridMouseAction::ContextMenu) {
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
                // The end of a user's drag: the new width becomes the column's fraction, and
                // the other columns keep theirs.
                const auto& track = *reinterpret_cast<const NMHEADERW*>(lParam);
                const int width = self->clientWidth();
                if (track.iItem >= 0 && track.iItem < kShownCount && width > 0 &&
                    track.pitem != nullptr && (track.pitem->mask & HDI_WIDTH) != 0) {
                    self->fractions_.fraction(kShownGridColumns[track.iItem]) =
                        static_cast<double>(track.pitem->cxy) / width;
                    self->relayColumns();
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

LRESULT CALLBACK ModuleGrid::headerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
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
