#pragma once
// CheckList: the Options dialog's check list on an owner-drawn, sorted list box
// (LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_SORT, so the list box itself sorts the texts as
// Windows sorts them: CompareStringW in the user's locale). Each item carries a module key, a
// two-state check box and whether it is enabled; a disabled item shows its check but cannot be
// toggled or selected. Several items may be selected; Space, or a click on the check box of a
// selected item, gives every selected enabled item the new state of the one toggled.
#include "ui/win32/win32.h"

#include <memory>
#include <string>
#include <vector>

namespace qm::ui::win32 {

// Messages the list answers (for whoever drives it without a mouse): wParam is the index.
inline constexpr UINT kCheckListGetCheck = WM_APP + 0x151;  // returns 1 checked, 0 not, -1 none
inline constexpr UINT kCheckListSetCheck = WM_APP + 0x152;  // lParam: 1 checked, 0 not
inline constexpr UINT kCheckListIsEnabled = WM_APP + 0x153;

class CheckList {
public:
    explicit CheckList(HWND listBox);  // subclasses it; lives as long as the list box
    ~CheckList();
    CheckList(const CheckList&) = delete;
    CheckList& operator=(const CheckList&) = delete;

    HWND hwnd() const { return hwnd_; }
    // Inserts an item at its sorted place; returns its index.
    int add(const std::string& text, const std::string& key, bool checked, bool enabled);
    // An item without key, check box or state (the fill's failure line).
    int addPlain(const std::string& text);
    int count() const;
    std::string key(int index) const;
    std::string text(int index) const;
    bool checked(int index) const;
    bool enabled(int index) const;
    void setChecked(int index, bool checked);
    void clear();

    // Parent's WM_MEASUREITEM / WM_DRAWITEM for the list.
    void measure(MEASUREITEMSTRUCT& item) const;
    void draw(const DRAWITEMSTRUCT& item) const;

private:
    struct Item {
        std::string key;
        bool checked = false;
        bool enabled = true;
        bool plain = false;
    };
    static LRESULT CALLBACK proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                 DWORD_PTR data);
    Item* item(int index) const;
    int boxSize() const;
    void toggle(int index, bool wholeSelection);
    void dropDisabledFromSelection();

    HWND hwnd_;
    std::vector<std::unique_ptr<Item>> items_;
};

}  // namespace qm::ui::win32
