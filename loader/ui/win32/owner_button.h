#pragma once
// OwnerButton: a BS_OWNERDRAW push button that draws itself as the Qt view's CButtonST does
// with its flat look off: the button face with a raised edge (sunken while pressed, a dark
// frame while it is the default), an optional image with white as its see-through colour
// (an image-only button shows no caption), the content moved by one pixel while pressed,
// image and caption embossed while disabled, the dotted focus rectangle 3 px inside the
// edge, the hover state tracked with TrackMouseEvent, and a tooltip of its own.
#include "ui/win32/win32.h"

#include <string>

namespace qm::ui::win32 {

// Messages the button answers (for whoever drives it without a mouse): its tooltip text into
// the buffer lParam of wParam characters (returns the text's length), and its image's bitmap
// number (0 for none).
inline constexpr UINT kButtonGetTooltip = WM_APP + 0x160;
inline constexpr UINT kButtonGetImage = WM_APP + 0x161;

class OwnerButton {
public:
    // Subclasses button; tooltips is the dialog's tooltip control (may be null). The object
    // lives as long as the button.
    OwnerButton(HWND button, HWND tooltips);
    ~OwnerButton();
    OwnerButton(const OwnerButton&) = delete;
    OwnerButton& operator=(const OwnerButton&) = delete;

    HWND hwnd() const { return hwnd_; }
    // Shows bitmap `id` (resources) scaled to the window's DPI, and no caption.
    void setImage(int bitmapId);
    int image() const { return imageId_; }
    void setTooltip(const std::string& utf8);
    const std::wstring& tooltip() const { return tip_; }
    bool hover() const { return hover_; }
    // Paints the button (from the parent's WM_DRAWITEM).
    void draw(const DRAWITEMSTRUCT& item) const;
    // The rectangle the focus frame is drawn on, in client coordinates.
    RECT focusRect() const;
    // Where the image goes (client coordinates) in the given state; empty when none.
    RECT imageRect(bool pressed) const;

private:
    static LRESULT CALLBACK proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                 DWORD_PTR data);
    void reloadImage();

    HWND hwnd_;
    HWND tooltips_;
    HBITMAP bitmap_ = nullptr;
    int imageId_ = 0;
    int imageSize_ = 0;
    std::wstring tip_;
    bool tipAdded_ = false;
    bool hover_ = false;
    bool default_ = false;  // the dialog's default button (BM_SETSTYLE with BS_DEFPUSHBUTTON)
};

}  // namespace qm::ui::win32
