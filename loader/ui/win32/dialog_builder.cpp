#include "ui/win32/dialog_builder.h"

#include <commctrl.h>

#include "ui/logic/resource_strings.h"
#include "ui/win32/win32_text.h"

namespace qm::ui::win32 {
namespace {

constexpr WORD kAtomButton = 0x0080;
constexpr WORD kAtomStatic = 0x0082;
constexpr WORD kAtomListBox = 0x0083;

}  // namespace

ControlStyle StyleOfControl(const ControlTemplate& control) {
    ControlStyle s;
    s.style = WS_CHILD | WS_VISIBLE;
    if ((control.flags & kDisabled) != 0) {
        s.style |= WS_DISABLED;
    }
    switch (control.kind) {
        case ControlKind::PushButton:
        case ControlKind::DefaultPushButton:
        case ControlKind::ImageButton:
            // Owner-drawn buttons cannot carry BS_DEFPUSHBUTTON; the default one is named to
            // the dialog manager with DM_SETDEFID instead.
            s.atom = kAtomButton;
            s.style |= BS_OWNERDRAW | WS_TABSTOP;
            break;
        case ControlKind::StaticText:
            s.atom = kAtomStatic;
            s.style |= SS_LEFT | SS_NOPREFIX;
            if ((control.flags & kCentreVertically) != 0) {
                s.style |= SS_CENTERIMAGE;
            }
            break;
        case ControlKind::GroupBox:
            // A group box paints its frame and caption, not its inside. The dialog clips its
            // children (WS_CLIPCHILDREN) and so would never paint there either: the inside
            // would keep whatever the screen had (black on a new window). A transparent child is
            // left out of that clipping.
            s.atom = kAtomButton;
            s.style |= BS_GROUPBOX;
            s.exStyle = WS_EX_TRANSPARENT;
            break;
        case ControlKind::CheckListBox:
            s.atom = kAtomListBox;
            s.style |= LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_SORT | LBS_EXTENDEDSEL |
                       LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER | WS_TABSTOP;
            break;
        case ControlKind::CustomControl:
            s.windowClass = WC_LISTVIEWW;
            s.style |= LVS_REPORT | LVS_SHOWSELALWAYS | WS_BORDER | WS_TABSTOP;
            s.exStyle = WS_EX_CLIENTEDGE;
            break;
    }
    return s;
}

DWORD DialogStyle(const DialogTemplate& t) {
    DWORD style = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN | DS_MODALFRAME | DS_SHELLFONT;
    if (t.sizingBorder) {
        style |= WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX;
    }
    return style;
}

DWORD DialogExStyle(const DialogTemplate& t) {
    DWORD exStyle = WS_EX_CONTROLPARENT;
    if (t.toolWindow) {
        exStyle |= WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_APPWINDOW;
    }
    return exStyle;
}

void BuiltTemplate::word(WORD w) {
    bytes_.push_back(static_cast<std::uint8_t>(w & 0xFF));
    bytes_.push_back(static_cast<std::uint8_t>(w >> 8));
}

void BuiltTemplate::dword(DWORD d) {
    word(static_cast<WORD>(d & 0xFFFF));
    word(static_cast<WORD>(d >> 16));
}

void BuiltTemplate::text(const std::wstring& s) {
    for (wchar_t c : s) {
        word(static_cast<WORD>(c));
    }
    word(0);
}

void BuiltTemplate::alignDword() {
    while (bytes_.size() % 4 != 0) {
        bytes_.push_back(0);
    }
}

BuiltTemplate::BuiltTemplate(const DialogTemplate& t) {
    word(1);       // dlgVer
    word(0xFFFF);  // signature: extended template
    dword(0);      // helpID
    dword(DialogExStyle(t));
    dword(DialogStyle(t));
    word(static_cast<WORD>(t.controls.size()));
    word(0);
    word(0);
    word(static_cast<WORD>(t.cx));
    word(static_cast<WORD>(t.cy));
    word(0);  // no menu
    word(0);  // the dialog class
    text(Widen(ResourceString(t.caption)));
    word(static_cast<WORD>(t.fontPoints));
    word(FW_NORMAL);
    bytes_.push_back(0);  // italic
    bytes_.push_back(DEFAULT_CHARSET);
    text(Widen(t.fontFace));

    bool first = true;
    for (const ControlTemplate& c : t.controls) {
        alignDword();
        const ControlStyle s = StyleOfControl(c);
        dword(0);  // helpID
        dword(s.exStyle);
        dword(s.style | (first ? WS_GROUP : 0));
        first = false;
        word(static_cast<WORD>(c.x));
        word(static_cast<WORD>(c.y));
        word(static_cast<WORD>(c.cx));
        word(static_cast<WORD>(c.cy));
        dword(static_cast<DWORD>(c.id));
        if (s.windowClass.empty()) {
            word(0xFFFF);
            word(s.atom);
        } else {
            text(s.windowClass);
        }
        text(c.text ? Widen(ResourceString(*c.text)) : std::wstring());
        word(0);  // no creation data
    }
}

}  // namespace qm::ui::win32
