#pragma once
// An in-memory extended dialog template (DLGTEMPLATEEX) built from one of the logic's
// templates, texts from the current string table: what the dialog manager creates a dialog
// from. Every push button is owner-drawn (OwnerButton paints it); the custom control is the
// module grid (a report-mode ListView); the check list is an owner-drawn, sorted list box.
#include "ui/win32/win32.h"

#include <cstdint>
#include <string>
#include <vector>

#include "ui/logic/dialog_template.h"

namespace qm::ui::win32 {

// The window class and styles one control of a template is created with.
struct ControlStyle {
    std::wstring windowClass;  // empty: the predefined class `atom`
    WORD atom = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
};
ControlStyle StyleOfControl(const ControlTemplate& control);

// The dialog's own styles.
DWORD DialogStyle(const DialogTemplate& t);
DWORD DialogExStyle(const DialogTemplate& t);

class BuiltTemplate {
public:
    explicit BuiltTemplate(const DialogTemplate& t);
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data()); }
    std::size_t size() const { return bytes_.size(); }

private:
    void word(WORD w);
    void dword(DWORD d);
    void text(const std::wstring& s);  // with its terminating zero
    void alignDword();
    std::vector<std::uint8_t> bytes_;
};

}  // namespace qm::ui::win32
