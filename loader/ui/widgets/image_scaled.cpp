#include "ui/widgets/image_scaled.h"

#include <QApplication>
#include <QPainter>

#include "ui/widgets/dpi_scale.h"
#include "ui/widgets/resource_images.h"

namespace qm::ui {

CImageScaled::CImageScaled(QObject* parent) : QStyledItemDelegate(parent) {}

QRect CImageScaled::placeImage(const QRect& cell, QSize size, Qt::Alignment alignment) {
    constexpr int kEdge = 2;
    int x = cell.left() + (cell.width() - size.width()) / 2;
    if (alignment & Qt::AlignLeft) {
        x = cell.left() + kEdge;
    } else if (alignment & Qt::AlignRight) {
        x = cell.left() + cell.width() - kEdge - size.width();
    }
    int y = cell.top() + (cell.height() - size.height()) / 2;
    if (alignment & Qt::AlignTop) {
        y = cell.top() + kEdge;
    } else if (alignment & Qt::AlignBottom) {
        y = cell.top() + cell.height() - kEdge - size.height();
    }
    return QRect(QPoint(x, y), size);
}

void CImageScaled::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
    // The cell's background and selection look as for any cell, without its text.
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    cell.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);

    bool ok = false;
    const int id = index.data(Qt::DisplayRole).toString().toInt(&ok);
    if (!ok) {
        return;
    }
    const QPixmap bitmap = DpiScale::primary().scaled(LoadResourceBitmap(id));
    if (bitmap.isNull()) {
        return;
    }
    const QVariant align = index.data(Qt::TextAlignmentRole);
    const Qt::Alignment alignment =
        align.isValid() ? Qt::Alignment(align.toInt()) : Qt::Alignment(Qt::AlignCenter);
    painter->drawPixmap(placeImage(option.rect, bitmap.size(), alignment), bitmap);
}

}  // namespace qm::ui
