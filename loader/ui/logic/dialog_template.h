#pragma once
// Dialog templates of the module loader's resources: caption, size and controls in dialog
// units, and the font the units are measured in. Texts are string ids, so that each language's
// string table supplies them.
#include <optional>
#include <span>
#include <string_view>

#include "ui/logic/resource_ids.h"

namespace qm::ui {

enum class ControlKind {
    PushButton,
    DefaultPushButton,
    ImageButton,  // push button that shows an image and no caption
    StaticText,
    GroupBox,
    CheckListBox,   // owner-drawn fixed-height items with strings, sorted, extended selection
    CustomControl,  // a placeholder window that the dialog replaces by its own control
};

enum ControlFlags : unsigned {
    kNoFlags = 0,
    kCentreVertically = 1u << 0,  // static text centred vertically in its rectangle
    kDisabled = 1u << 1,          // created disabled (grey)
};

struct ControlTemplate {
    int id;  // -1 for a control without id
    ControlKind kind;
    std::optional<StringId> text;
    int x, y, cx, cy;  // dialog units
    unsigned flags = kNoFlags;
};

struct DialogTemplate {
    int id;
    StringId caption;
    int cx, cy;  // dialog units
    std::string_view fontFace;
    int fontPoints;
    bool sizingBorder;  // resizable, with a system menu
    bool toolWindow;    // topmost tool window with its own taskbar entry
    std::span<const ControlTemplate> controls;

    // Template `id` of the current resources; null when the module loader's resources are not
    // current or have no such template.
    static const DialogTemplate* load(int id);
    const ControlTemplate* control(int controlId) const;
};

}  // namespace qm::ui
