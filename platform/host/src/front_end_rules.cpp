#include "cadhost/front_end_rules.h"

#include <algorithm>

namespace cadhost {

void CommandHistory::enter(const std::string& line) {
    const bool blank = line.find_first_not_of(" \t") == std::string::npos;
    if (!blank && (lines_.empty() || lines_.back() != line)) {
        lines_.push_back(line);
    }
    position_ = lines_.size();
    draft_.clear();
}

std::optional<std::string> CommandHistory::older(const std::string& editing) {
    if (position_ == 0) {
        return std::nullopt;
    }
    if (position_ == lines_.size()) {
        draft_ = editing;
    }
    return lines_[--position_];
}

std::optional<std::string> CommandHistory::newer() {
    if (position_ >= lines_.size()) {
        return std::nullopt;
    }
    ++position_;
    return position_ == lines_.size() ? draft_ : lines_[position_];
}

namespace {

// One axis: the extent kept within the area's, then the start moved inside.
void fitAxis(int& start, int& extent, int areaStart, int areaExtent, int minExtent) {
    extent = std::max(std::min(extent, areaExtent), minExtent);
    if (extent >= areaExtent) {
        start = areaStart;
        return;
    }
    start = std::clamp(start, areaStart, areaStart + areaExtent - extent);
}

}  // namespace

ScreenRect fitToWorkArea(const ScreenRect& wanted, const ScreenRect& workArea, int minWidth,
                         int minHeight) {
    ScreenRect fitted = wanted;
    fitAxis(fitted.x, fitted.width, workArea.x, workArea.width, minWidth);
    fitAxis(fitted.y, fitted.height, workArea.y, workArea.height, minHeight);
    return fitted;
}

}  // namespace cadhost
