#pragma once
// Rules that every graphical front end of the host follows, whatever its toolkit: the command
// line's history, and how a window is fitted to the screen's work area.
#include <optional>
#include <string>
#include <vector>

namespace cadhost {

// The lines typed into the command line, walked with Up and Down. A blank line, or the same
// line twice in a row, is kept once at most; the walk starts below the newest line after each
// entry, and the line being edited when the walk began comes back at its bottom.
class CommandHistory {
public:
    void enter(const std::string& line);
    // The line before the one shown (editing: the command line's text now), or nothing at the
    // oldest.
    std::optional<std::string> older(const std::string& editing);
    // The line after the one shown, the draft below the newest, or nothing at the draft.
    std::optional<std::string> newer();
    const std::vector<std::string>& lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
    std::size_t position_ = 0;  // lines_.size() while editing a new line
    std::string draft_;
};

// A rectangle on the screen, in the toolkit's pixels.
struct ScreenRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const ScreenRect&) const = default;
};

// Where a window goes that wants `wanted`: no larger than the work area, moved the least that
// brings it wholly inside, as Windows places a restored window. A window never shrinks below
// its minimum: one that cannot fit then starts at the area's top left corner, and its content
// scrolls.
ScreenRect fitToWorkArea(const ScreenRect& wanted, const ScreenRect& workArea, int minWidth = 0,
                         int minHeight = 0);

}  // namespace cadhost
