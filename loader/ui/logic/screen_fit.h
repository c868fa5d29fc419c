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

struct PixelSize {
    int width = 0;
    int height = 0;

    bool operator==(const PixelSize&) const = default;
};

// A dialog that is never made smaller than its template on a screen that can hold it.
struct DialogFit {
    DialogPlacement placement;
    // The smallest the user may make the dialog: the template's size, or less where the work
    // area is smaller (a large scale factor on a small screen).
    PixelSize minimum;

    bool operator==(const DialogFit&) const = default;
};

// The placement grown to the template's size `minimum`, then fitted to the screens as
// FitToScreens fits it. Where the work area is smaller than the template, the dialog takes the
// work area in that direction and scrolls its client area (ScrollClient) so that every control
// stays reachable; a dialog wider than the screen would leave its right-hand buttons off it.
DialogFit FitDialogToScreens(const DialogPlacement& placement, PixelSize minimum,
                             std::span<const Screen> screens);

// The scroll bars of a dialog's client area that is smaller than its template, as a Windows
// window with WS_HSCROLL and WS_VSCROLL shows them: a bar appears in a direction where the
// template does not fit, and the room one bar takes can make the other necessary.
struct ClientScroll {
    bool horizontal = false;
    bool vertical = false;
    PixelSize view;    // the client area without the bars: what the user sees of the controls
    PixelSize layout;  // the size the controls are laid out at: the view, never below the template
    // The largest scroll offsets: layout minus view.
    int maxX() const { return layout.width - view.width; }
    int maxY() const { return layout.height - view.height; }

    bool operator==(const ClientScroll&) const = default;
};

// client: the whole client area (bars included); content: the template's client size; bars: the
// width of a vertical bar and the height of a horizontal one.
ClientScroll ScrollClient(PixelSize client, PixelSize content, PixelSize bars);

}  // namespace qm::ui
