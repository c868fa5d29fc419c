#pragma once
// A layout that keeps controls where a dialog template put them and, when the dialog is
// resized, moves and stretches each by a percentage of the change in size (the way the host's
// dialog base anchors controls). Controls without an anchor stay where they are. Made smaller
// than the base size (only on a screen that cannot hold it), it lays the controls out at the
// base size and scrolls them with scroll bars along the dialog's edges, as a Windows window
// with WS_HSCROLL and WS_VSCROLL does (ui/logic/screen_fit.h).
#include <QLayout>
#include <QList>
#include <QPointer>
#include <QRect>

class QScrollBar;

namespace qm::ui {

class AnchorLayout : public QLayout {
    Q_OBJECT

public:
    // baseSize: the dialog's client size that the controls' rectangles refer to.
    explicit AnchorLayout(QSize baseSize, QWidget* parent = nullptr);
    ~AnchorLayout() override;

    // Adds a widget at rect (client coordinates at the base size).
    void addWidget(QWidget* widget, const QRect& rect);
    // Percentages of the change in width and height by which the widget moves or grows.
    void moveControlXY(QWidget* widget, int percentX, int percentY);
    void stretchControlXY(QWidget* widget, int percentX, int percentY);
    // Replaces a widget by another in the same place with the same anchors.
    void replaceControl(QWidget* from, QWidget* to);
    QRect baseRect(const QWidget* widget) const;
    QSize baseSize() const { return baseSize_; }
    // The smallest the dialog may be made: the base size unless set smaller.
    void setMinimumClient(QSize size);
    // The dialog's scroll bars while shown (null otherwise): Qt::Horizontal or Qt::Vertical.
    QScrollBar* scrollBar(Qt::Orientation orientation) const;

    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override { return static_cast<int>(items_.size()); }
    QSize sizeHint() const override { return baseSize_; }
    QSize minimumSize() const override { return minimum_; }
    void setGeometry(const QRect& rect) override;

private:
    struct Anchored {
        QLayoutItem* item;
        QRect base;
        int moveX = 0, moveY = 0, stretchX = 0, stretchY = 0;
    };
    Anchored* find(const QWidget* widget);
    const Anchored* find(const QWidget* widget) const;

    QScrollBar* bar(Qt::Orientation orientation);

    QSize baseSize_;
    QSize minimum_;
    QList<Anchored> items_;
    QPointer<QScrollBar> horizontal_;
    QPointer<QScrollBar> vertical_;
};

}  // namespace qm::ui
