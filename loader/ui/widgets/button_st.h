#pragma once
// CButtonST: a push button (or check box) that draws itself: per-state background and text
// colours, an optional image with a transparent colour, embossed image and caption while
// disabled, content moved by the pressed offset while pressed, a flat look that raises under
// the mouse, an optional focus rectangle and its own tooltip.
#include <QColor>
#include <QPixmap>
#include <QPushButton>
#include <QString>
#include <array>

#include "ui/logic/resource_ids.h"

namespace qm::ui {

class CButtonST : public QPushButton {
    Q_OBJECT

public:
    enum class Kind { PushButton, CheckBox };
    // Where the image goes relative to the caption.
    enum class Alignment { ImageLeft, ImageAbove, ImageRight };
    // How the image for the not-pressed state is obtained when none is given.
    enum class OutImage { None, Darker, Grey };
    enum ColourIndex { BackIn, ForeIn, BackOut, ForeOut, BackFocus, ForeFocus, ColourCount };

    static constexpr int kMaxTipWidth = 400;

    explicit CButtonST(QWidget* parent = nullptr, Kind kind = Kind::PushButton);
    ~CButtonST() override;

    Kind kind() const { return kind_; }

    // Frees earlier images, then takes bitmap `id` from the resources scaled to the primary
    // screen's DPI, with `transparent` as its see-through colour; outId (0 = none) is the
    // image for the not-pressed state. False, leaving the button without an image, when the
    // bitmap cannot be loaded or its mask cannot be built.
    bool setBitmaps(int id, QColor transparent, int outId = 0, QColor outTransparent = {});
    bool setBitmaps(const QPixmap& in, QColor transparent, const QPixmap& out = {},
                    QColor outTransparent = {});
    // Builds the not-pressed image from the pressed one (after setBitmaps without one).
    void deriveOutImage(OutImage how);
    bool hasImage() const { return !imageIn_.isNull(); }
    QSize imageSize() const { return imageIn_.size(); }

    // Loads string `id`; a non-empty text becomes the tooltip (activated or not); an empty or
    // missing one leaves the tooltip as it was.
    void setTooltipText(StringId id, bool activate = true);
    void setTooltipText(const QString& text, bool activate = true);
    void activateTooltip(bool active);
    QString tooltipText() const { return tipText_; }
    bool tooltipActive() const { return tipActive_; }

    void setFlatLook(bool flat, bool repaint = true);
    bool flatLook() const { return flat_; }
    void setDrawBorder(bool on) {
        drawBorder_ = on;
        update();
    }
    void setDrawFlatFocus(bool on) {
        drawFlatFocus_ = on;
        update();
    }
    void setEmbossDisabledImage(bool on) {
        embossDisabled_ = on;
        update();
    }
    void setAlignment(Alignment alignment) {
        alignment_ = alignment;
        update();
    }
    void setPressedOffset(QPoint offset) {
        pressedOffset_ = offset;
        update();
    }
    void setColour(ColourIndex index, QColor colour);
    QColor colour(ColourIndex index) const { return colours_[index]; }
    // Button face for the backgrounds, button text for the texts.
    void setDefaultColours(bool repaint = true);

    bool mouseOver() const { return mouseOver_; }
    // Where the image and the caption block go in the current state (pressed or not); public
    // so that a test can tell where content is drawn without decoding pixels.
    QRect imageRect(bool pressed) const;
    QRect captionRect(bool pressed) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool pressedState() const;
    void clearMouseOver();
    void freeImages();
    void drawBackgroundAndBorder(QPainter& painter, bool pressed, bool focused) const;
    void drawImage(QPainter& painter, bool pressed) const;
    void drawCaption(QPainter& painter, bool pressed, bool focused) const;
    void layoutContent(bool pressed, QRect* image, QRect* caption) const;

    Kind kind_;
    bool flat_ = true;
    bool drawBorder_ = true;
    bool drawFlatFocus_ = false;
    bool embossDisabled_ = true;
    bool mouseOver_ = false;
    Alignment alignment_ = Alignment::ImageLeft;
    int marginX_ = 3;
    int marginY_ = 3;
    QPoint pressedOffset_{1, 1};
    std::array<QColor, ColourCount> colours_;
    QPixmap imageIn_;   // with its mask applied
    QPixmap imageOut_;  // null: imageIn_ in every state
    QString tipText_;
    bool tipActive_ = false;
};

}  // namespace qm::ui
