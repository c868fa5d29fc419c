#pragma once
// CImageScaled: the image cell of the module grid. The cell's value is the resource number of
// a bitmap; the cell shows that bitmap scaled to the screen's DPI, placed by the cell's
// alignment, and no text.
#include <QStyledItemDelegate>

namespace qm::ui {

class CImageScaled : public QStyledItemDelegate {
    Q_OBJECT

public:
    // The cell-type number under which the grid registers this control.
    static constexpr int kCellType = 101;

    explicit CImageScaled(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // Where an image of `size` goes in `cell` for `alignment`: 2 pixels from the left or right
    // edge, or centred with an odd remainder going to the right-hand gap; the same vertically.
    static QRect placeImage(const QRect& cell, QSize size, Qt::Alignment alignment);
};

}  // namespace qm::ui
