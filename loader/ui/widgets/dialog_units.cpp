#include "ui/widgets/dialog_units.h"

#include <QFontMetrics>

#include "ui/widgets/dpi_scale.h"

namespace qm::ui {

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseX_ = (width / 26 + 1) / 2;
    baseY_ = metrics.height();
}

int DialogUnits::x(int units) const {
    return mulDiv(units, baseX_, 4);
}
int DialogUnits::y(int units) const {
    return mulDiv(units, baseY_, 8);
}

QRect DialogUnits::rect(int x0, int y0, int cx, int cy) const {
    // Edges are converted, not sizes, so that adjacent controls stay adjacent.
    const int left = x(x0);
    const int top = y(y0);
    return QRect(left, top, x(x0 + cx) - left, y(y0 + cy) - top);
}

}  // namespace qm::ui
