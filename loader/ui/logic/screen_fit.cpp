#include "ui/logic/screen_fit.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace qm::ui {
namespace {

// Lengths and areas in 64 bits: a stored placement may hold any 32-bit values.
std::int64_t overlap(std::int64_t a, std::int64_t aLength, std::int64_t b, std::int64_t bLength) {
    return std::max<std::int64_t>(0, std::min(a + aLength, b + bLength) - std::max(a, b));
}

// Distance from the span [a, a + aLength) to the span [b, b + bLength); 0 where they overlap.
std::int64_t gap(std::int64_t a, std::int64_t aLength, std::int64_t b, std::int64_t bLength) {
    if (a + aLength <= b) {
        return b - (a + aLength);
    }
    if (b + bLength <= a) {
        return a - (b + bLength);
    }
    return 0;
}

// The start that moves [start, start + length) the least into [area, area + areaLength);
// length is no larger than areaLength.
int clampInto(int start, int length, int area, int areaLength) {
    const std::int64_t last = static_cast<std::int64_t>(area) + areaLength - length;
    return static_cast<int>(std::clamp<std::int64_t>(start, area, last));
}

const Screen& screenFor(const DialogPlacement& p, std::span<const Screen> screens) {
    const Screen* best = &screens.front();
    std::int64_t bestArea = -1;
    for (const Screen& s : screens) {
        const std::int64_t area = overlap(p.left, p.width, s.bounds.left, s.bounds.width) *
                                  overlap(p.top, p.height, s.bounds.top, s.bounds.height);
        if (area > bestArea) {
            best = &s;
            bestArea = area;
        }
    }
    if (bestArea > 0) {
        return *best;
    }
    std::int64_t nearest = std::numeric_limits<std::int64_t>::max();
    for (const Screen& s : screens) {
        const std::int64_t dx = gap(p.left, p.width, s.bounds.left, s.bounds.width);
        const std::int64_t dy = gap(p.top, p.height, s.bounds.top, s.bounds.height);
        const std::int64_t distance = dx * dx + dy * dy;
        if (distance < nearest) {
            best = &s;
            nearest = distance;
        }
    }
    return *best;
}

const ScreenRect& workAreaFor(const DialogPlacement& p, std::span<const Screen> screens) {
    return (p.hasPosition ? screenFor(p, screens) : screens.front()).workArea;
}

}  // namespace

DialogPlacement FitToScreens(const DialogPlacement& placement, std::span<const Screen> screens) {
    if (screens.empty()) {
        return placement;
    }
    DialogPlacement fitted = placement;
    const ScreenRect& work = workAreaFor(placement, screens);
    fitted.width = std::clamp(placement.width, 0, std::max(work.width, 0));
    fitted.height = std::clamp(placement.height, 0, std::max(work.height, 0));
    if (placement.hasPosition) {
        fitted.left = clampInto(placement.left, fitted.width, work.left, work.width);
        fitted.top = clampInto(placement.top, fitted.height, work.top, work.height);
    }
    return fitted;
}

DialogFit FitDialogToScreens(const DialogPlacement& placement, PixelSize minimum,
                             std::span<const Screen> screens) {
    DialogPlacement grown = placement;
    grown.width = std::max(placement.width, minimum.width);
    grown.height = std::max(placement.height, minimum.height);
    if (screens.empty()) {
        return {grown, minimum};
    }
    const ScreenRect& work = workAreaFor(grown, screens);
    return {FitToScreens(grown, screens),
            {std::clamp(minimum.width, 0, std::max(work.width, 0)),
             std::clamp(minimum.height, 0, std::max(work.height, 0))}};
}

ClientScroll ScrollClient(PixelSize client, PixelSize content, PixelSize bars) {
    ClientScroll s;
    s.horizontal = client.width < content.width;
    s.vertical = client.height < content.height;
    // One bar takes room from the other direction; twice settles it.
    for (int pass = 0; pass < 2; ++pass) {
        s.vertical =
            s.vertical || client.height - (s.horizontal ? bars.height : 0) < content.height;
        s.horizontal = s.horizontal || client.width - (s.vertical ? bars.width : 0) < content.width;
    }
    s.view = {std::max(0, client.width - (s.vertical ? bars.width : 0)),
              std::max(0, client.height - (s.horizontal ? bars.height : 0))};
    s.layout = {std::max(s.view.width, content.width), std::max(s.view.height, content.height)};
    return s;
}

}  // namespace qm::ui
