#include "ui/widgets/anchor_layout.h"

#include <QWidget>
#include <QWidgetItem>

namespace qm::ui {

AnchorLayout::AnchorLayout(QSize baseSize, QWidget* parent) : QLayout(parent), baseSize_(baseSize) {
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

void AnchorLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    const int dx = rect.width() - baseSize_.width();
    const int dy = rect.height() - baseSize_.height();
    for (const Anchored& a : items_) {
        QRect r = a.base.translated(rect.topLeft());
        r.translate(dx * a.moveX / 100, dy * a.moveY / 100);
        r.setSize(r.size() + QSize(dx * a.stretchX / 100, dy * a.stretchY / 100));
        a.item->setGeometry(r);
    }
}

}  // namespace qm::ui
