#include "ui/widgets/anchor_layout.h"

#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QWidget>
#include <QWidgetItem>
#include <tuple>

#include "ui/logic/screen_fit.h"

namespace qm::ui {

AnchorLayout::AnchorLayout(QSize baseSize, QWidget* parent)
    : QLayout(parent), baseSize_(baseSize), minimum_(baseSize) {
    setContentsMargins(0, 0, 0, 0);
    setSizeConstraint(QLayout::SetMinimumSize);
}

AnchorLayout::~AnchorLayout() {
    for (Anchored& anchored : items_) {
        delete anchored.item;
    }
}

void AnchorLayout::addWidget(QWidget* widget, const QRect& rect) {
    addChildWidget(widget);
    items_.append(Anchored{new QWidgetItem(widget), rect});
    invalidate();
}

void AnchorLayout::addItem(QLayoutItem* item) {
    items_.append(Anchored{item, QRect()});
}

QLayoutItem* AnchorLayout::itemAt(int index) const {
    return index >= 0 && index < items_.size() ? items_[index].item : nullptr;
}

QLayoutItem* AnchorLayout::takeAt(int index) {
    if (index < 0 || index >= items_.size()) {
        return nullptr;
    }
    return items_.takeAt(index).item;
}

AnchorLayout::Anchored* AnchorLayout::find(const QWidget* widget) {
    for (Anchored& anchored : items_) {
        if (anchored.item->widget() == widget) {
            return &anchored;
        }
    }
    return nullptr;
}

const AnchorLayout::Anchored* AnchorLayout::find(const QWidget* widget) const {
    return const_cast<AnchorLayout*>(this)->find(widget);
}

void AnchorLayout::moveControlXY(QWidget* widget, int percentX, int percentY) {
    if (Anchored* anchored = find(widget)) {
        anchored->moveX = percentX;
        anchored->moveY = percentY;
        invalidate();
    }
}

void AnchorLayout::stretchControlXY(QWidget* widget, int percentX, int percentY) {
    if (Anchored* anchored = find(widget)) {
        anchored->stretchX = percentX;
        anchored->stretchY = percentY;
        invalidate();
    }
}

void AnchorLayout::replaceControl(QWidget* from, QWidget* to) {
    Anchored* anchored = find(from);
    if (anchored == nullptr) {
        return;
    }
    addChildWidget(to);
    delete anchored->item;
    anchored->item = new QWidgetItem(to);
    invalidate();
}

QRect AnchorLayout::baseRect(const QWidget* widget) const {
    const Anchored* anchored = find(widget);
    return anchored != nullptr ? anchored->base : QRect();
}

void AnchorLayout::setMinimumClient(QSize size) {
    minimum_ = size.boundedTo(baseSize_);
    invalidate();
}

QScrollBar* AnchorLayout::scrollBar(Qt::Orientation orientation) const {
    QScrollBar* b = orientation == Qt::Horizontal ? horizontal_.data() : vertical_.data();
    return b != nullptr && !b->isHidden() ? b : nullptr;
}

QScrollBar* AnchorLayout::bar(Qt::Orientation orientation) {
    QPointer<QScrollBar>& b = orientation == Qt::Horizontal ? horizontal_ : vertical_;
    if (b == nullptr && parentWidget() != nullptr) {
        b = new QScrollBar(orientation, parentWidget());
        // As a window's own scroll bars: the mouse works them, the focus never goes there.
        b->setFocusPolicy(Qt::NoFocus);
        b->hide();
        connect(b, &QScrollBar::valueChanged, this, [this] { setGeometry(geometry()); });
    }
    return b;
}

void AnchorLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    const int barWidth = parentWidget() != nullptr
                             ? parentWidget()->style()->pixelMetric(QStyle::PM_ScrollBarExtent)
                             : 0;
    const int barHeight = barWidth;
    const ClientScroll s =
        ScrollClient({rect.width(), rect.height()}, {baseSize_.width(), baseSize_.height()},
                     {barWidth, barHeight});
    QPoint offset;
    for (const auto& [orientation, on, max, page] :
         {std::tuple{Qt::Horizontal, s.horizontal, s.maxX(), s.view.width},
          std::tuple{Qt::Vertical, s.vertical, s.maxY(), s.view.height}}) {
        QScrollBar* b =
            on ? bar(orientation)
               : (orientation == Qt::Horizontal ? horizontal_.data() : vertical_.data());
        if (b == nullptr) {
            continue;
        }
        if (!on) {
            b->hide();
            continue;
        }
        const QSignalBlocker quiet(b);
        b->setRange(0, max);
        b->setPageStep(page);
        b->setSingleStep(16);
        if (orientation == Qt::Horizontal) {
            b->setGeometry(rect.left(), rect.top() + s.view.height, s.view.width, barHeight);
            offset.setX(b->value());
        } else {
            b->setGeometry(rect.left() + s.view.width, rect.top(), barWidth, s.view.height);
            offset.setY(b->value());
        }
        b->show();
        b->raise();
    }
    // Laid out at the base size at least, moved by the scroll offset.
    const int dx = s.layout.width - baseSize_.width();
    const int dy = s.layout.height - baseSize_.height();
    for (const Anchored& a : items_) {
        QRect r = a.base.translated(rect.topLeft() - offset);
        r.translate(dx * a.moveX / 100, dy * a.moveY / 100);
        r.setSize(r.size() + QSize(dx * a.stretchX / 100, dy * a.stretchY / 100));
        // A widget item keeps its widget inside the layout's rectangle: one scrolled out of
        // it must keep its size.
        if (QWidget* w = a.item->widget()) {
            w->setGeometry(r);
        } else {
            a.item->setGeometry(r);
        }
    }
}

}  // namespace qm::ui
