#pragma once
// Where a restored window goes: wholly onto the screen that holds most of it, and no larger
// than that screen's work area, as Windows places a restored window placement. Pixels are the
// view's screen coordinates; the view supplies its screens.
#include <span>

#include "ui/logic/dialog_placement.h"

namespace qm::ui {

struct ScreenRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    bool operator==(const ScreenRect&) const = default;
};

struct Screen {
    ScreenRect bounds;
    ScreenRect workArea;  // the bounds without task bars and docks
};

// The placement fitted to screens: its size shrunk to the work area of the screen that holds
// most of it (by area; without any overlap, the screen nearest to it, the first of equals),
// then moved the least so that it lies wholly inside that work area. A placement without a
// position keeps none and is only shrunk, to the first screen's work area. Without screens the
// placement stays as it is.
DialogPlacement FitToScreens(const DialogPlacement& placement, std::span<const Screen> screens);

}  // namespace qm::ui
