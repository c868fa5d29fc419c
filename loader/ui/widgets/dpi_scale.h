#pragma once
// Scaling of pixel sizes and bitmaps to the display's resolution. The percentage is the
// effective horizontal DPI x 100 / 96, rounded. Qt already maps device-independent pixels to
// the device, so the effective DPI is the screen's logical DPI: 96 (100 %) under Qt's own
// high-DPI scaling, and e.g. 144 (150 %) where a platform reports a larger logical DPI.
#include <QPixmap>
#include <climits>

namespace qm::ui {

class DpiScale {
public:
    // The scale of the primary screen (the one at the point 1, 1); 100 % when there is no
    // screen or its DPI cannot be obtained.
    static DpiScale primary();
    // The scale for an effective DPI; a DPI of 0 or less means unknown and gives 100 %.
    static DpiScale fromDpi(int dpi);

    int percent() const { return percent_; }
    // The smaller of cap and n x percent / 100, rounded half away from zero.
    int scale(int n, int cap = INT_MAX) const;
    // A new pixmap of the scaled size into which source is stretched (a plain copy).
    QPixmap scaled(const QPixmap& source) const;

private:
    explicit DpiScale(int percent) : percent_(percent) {}
    int percent_;
};

// Windows' MulDiv: a x b / c with a 64-bit intermediate, rounded half away from zero.
int mulDiv(int a, int b, int c);

}  // namespace qm::ui
