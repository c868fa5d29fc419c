#pragma once
// Conversion of dialog units to pixels for a dialog font: horizontally a quarter, vertically
// an eighth of the font's base unit (average character width, character height).
#include <QFont>
#include <QRect>

namespace qm::ui {

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    int x(int units) const;
    int y(int units) const;
    QRect rect(int x, int y, int cx, int cy) const;
    QSize size(int cx, int cy) const { return {x(cx), y(cy)}; }
    int baseX() const { return baseX_; }
    int baseY() const { return baseY_; }

private:
    int baseX_;
    int baseY_;
};

}  // namespace qm::ui
