#include "ui/widgets/button_st.h"

#include <QBitmap>
#include <QEnterEvent>
#include <QFocusEvent>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

#include "ui/logic/resource_strings.h"
#include "ui/widgets/dpi_scale.h"
#include "ui/widgets/resource_images.h"

namespace qm::ui {
namespace {

constexpr int kTextFlags = Qt::AlignCenter | Qt::TextWordWrap;

// The image with every pixel of `transparent` made see-through; null when no mask results.
QPixmap withMask(const QPixmap& source, QColor transparent) {
    if (source.isNull()) {
        return {};
    }
    QPixmap out = source;
    if (transparent.isValid()) {
        const QBitmap mask = source.createMaskFromColor(transparent, Qt::MaskInColor);
        if (mask.isNull()) {
            return {};
        }
        out.setMask(mask);
    }
    return out;
}

// A one-colour copy of the image's visible pixels, for the embossed disabled look.
QPixmap silhouette(const QPixmap& image, QColor colour) {
    QPixmap out(image.size());
    out.fill(Qt::transparent);
    QPainter painter(&out);
    painter.drawPixmap(0, 0, image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(out.rect(), colour);
    return out;
}

void draw3dRect(QPainter& painter, const QRect& r, QColor topLeft, QColor bottomRight) {
    painter.setPen(topLeft);
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(bottomRight);
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
}

// Keyboard focus as the system draws it, whatever the widget style would: a dotted outline of
// r (every other pixel) that inverts what lies under it, so that it shows on any background.
void drawFocusRect(QPainter& painter, const QRect& r) {
    if (r.width() < 3 || r.height() < 3) {
        return;  // a button too small to have an inside
    }
    painter.save();
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QBrush(Qt::white, Qt::Dense4Pattern));
    painter.setBrushOrigin(r.topLeft());
    painter.drawRect(QRect(r.left(), r.top(), r.width(), 1));
    painter.drawRect(QRect(r.left(), r.bottom(), r.width(), 1));
    painter.drawRect(QRect(r.left(), r.top() + 1, 1, r.height() - 2));
    painter.drawRect(QRect(r.right(), r.top() + 1, 1, r.height() - 2));
    painter.restore();
}

QString tipMarkup(const QString& text, const QFont& font) {
    if (QFontMetrics(font).horizontalAdvance(text) <= CButtonST::kMaxTipWidth) {
        return text;
    }
    // Rich text wraps; a fixed-width table keeps the lines at the maximum tip width.
    return QStringLiteral("<table width=\"%1\"><tr><td>%2</td></tr></table>")
        .arg(CButtonST::kMaxTipWidth)
        .arg(text.toHtmlEscaped());
}

}  // namespace

CButtonST::CButtonST(QWidget* parent, Kind kind) : QPushButton(parent), kind_(kind) {
    setCheckable(kind == Kind::CheckBox);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    setDefaultColours(false);
}

CButtonST::~CButtonST() = default;

void CButtonST::freeImages() {
    imageIn_ = QPixmap();
    imageOut_ = QPixmap();
}

bool CButtonST::setBitmaps(int id, QColor transparent, int outId, QColor outTransparent) {
    const DpiScale dpi = DpiScale::primary();
    QPixmap in = dpi.scaled(LoadResourceBitmap(id));
    QPixmap out = outId != 0 ? dpi.scaled(LoadResourceBitmap(outId)) : QPixmap();
    return setBitmaps(in, transparent, out, outTransparent);
}

bool CButtonST::setBitmaps(const QPixmap& in, QColor transparent, const QPixmap& out,
                           QColor outTransparent) {
    freeImages();
    if (in.isNull()) {
        update();
        return false;
    }
    imageIn_ = withMask(in, transparent);
    if (!out.isNull()) {
        imageOut_ = withMask(out, outTransparent);
        if (imageOut_.isNull()) {
            freeImages();
        }
    }
    update();
    return !imageIn_.isNull();
}

void CButtonST::deriveOutImage(OutImage how) {
    if (imageIn_.isNull() || how == OutImage::None) {
        imageOut_ = QPixmap();
        update();
        return;
    }
    QImage image = imageIn_.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            if (qAlpha(p) == 0) {
                continue;
            }
            if (how == OutImage::Darker) {
                line[x] = qRgba(qRed(p) * 3 / 4, qGreen(p) * 3 / 4, qBlue(p) * 3 / 4, qAlpha(p));
            } else {
                const int grey =
                    static_cast<int>(0.299 * qRed(p) + 0.587 * qGreen(p) + 0.114 * qBlue(p));
                line[x] = qRgba(grey, grey, grey, qAlpha(p));
            }
        }
    }
    imageOut_ = QPixmap::fromImage(image);
    update();
}

void CButtonST::setTooltipText(StringId id, bool activate) {
    std::optional<std::string> text = LoadResourceString(id);
    if (text) {
        setTooltipText(QString::fromStdString(*text), activate);
    }
}

void CButtonST::setTooltipText(const QString& text, bool activate) {
    if (text.isEmpty()) {
        return;
    }
    tipText_ = text;
    tipActive_ = activate;
}

void CButtonST::activateTooltip(bool active) {
    tipActive_ = active;
    if (!active) {
        QToolTip::hideText();
    }
}

void CButtonST::setFlatLook(bool flat, bool repaint) {
    flat_ = flat;
    if (repaint) {
        update();
    }
}

void CButtonST::setColour(ColourIndex index, QColor colour) {
    colours_[index] = colour;
    update();
}

void CButtonST::setDefaultColours(bool repaint) {
    const QPalette& pal = palette();
    for (ColourIndex back : {BackIn, BackOut, BackFocus}) {
        colours_[back] = pal.color(QPalette::Button);
    }
    for (ColourIndex fore : {ForeIn, ForeOut, ForeFocus}) {
        colours_[fore] = pal.color(QPalette::ButtonText);
    }
    if (repaint) {
        update();
    }
}

bool CButtonST::pressedState() const {
    return isDown() || (kind_ == Kind::CheckBox && isChecked());
}

void CButtonST::layoutContent(bool pressed, QRect* image, QRect* caption) const {
    const QRect client = rect();
    const QSize size = imageIn_.size();
    const bool hasText = !text().isEmpty();
    QRect img;
    QRect area = client;
    if (!imageIn_.isNull()) {
        if (!hasText) {
            img = QRect(QPoint(client.left() + (client.width() - size.width()) / 2,
                               client.top() + (client.height() - size.height()) / 2),
                        size);
        } else if (alignment_ == Alignment::ImageAbove) {
            img = QRect(QPoint(client.left() + (client.width() - size.width()) / 2,
                               client.top() + marginY_),
                        size);
            area.setTop(img.bottom() + 1);
        } else if (alignment_ == Alignment::ImageRight) {
            img = QRect(QPoint(client.right() - marginX_ - size.width() + 1,
                               client.top() + (client.height() - size.height()) / 2),
                        size);
            area.setRight(img.left() - 1);
        } else {
            img = QRect(QPoint(client.left() + marginX_,
                               client.top() + (client.height() - size.height()) / 2),
                        size);
            area.setLeft(img.right() + 1);
        }
    }
    QRect text;
    if (hasText) {
        // The caption is measured as a word-wrapped block and centred in what is left.
        const QRect block = fontMetrics().boundingRect(area, kTextFlags, this->text());
        text = QRect(QPoint(area.left() + (area.width() - block.width()) / 2,
                            area.top() + (area.height() - block.height()) / 2),
                     block.size());
    }
    if (pressed && kind_ == Kind::PushButton) {
        img.translate(pressedOffset_);
        text.translate(pressedOffset_);
    }
    if (image != nullptr) {
        *image = img;
    }
    if (caption != nullptr) {
        *caption = text;
    }
}

QRect CButtonST::imageRect(bool pressed) const {
    QRect r;
    layoutContent(pressed, &r, nullptr);
    return r;
}

QRect CButtonST::captionRect(bool pressed) const {
    QRect r;
    layoutContent(pressed, nullptr, &r);
    return r;
}

void CButtonST::drawBackgroundAndBorder(QPainter& painter, bool pressed, bool focused) const {
    const QPalette& pal = palette();
    QRect area = rect();
    if (!flat_ && (focused || isDefault())) {
        painter.setPen(Qt::black);
        painter.drawRect(area.adjusted(0, 0, -1, -1));
        area.adjust(1, 1, -1, -1);
    }
    const QColor back = (pressed || mouseOver_) ? colours_[BackIn]
                        : focused               ? colours_[BackFocus]
                                                : colours_[BackOut];
    painter.fillRect(area, back);

    // The lines go on the outermost pixels of the area (drawRect with a one-pixel pen covers
    // one pixel more to the right and below than the rectangle it is given).
    if (pressed) {
        if (!flat_) {
            painter.setPen(pal.color(QPalette::Dark));
            painter.drawRect(area.adjusted(0, 0, -1, -1));
        } else if (drawBorder_) {
            draw3dRect(painter, area, pal.color(QPalette::Dark), pal.color(QPalette::Light));
        }
        return;
    }
    if (!flat_) {
        // The classic raised border: two lines on each side.
        draw3dRect(painter, area, pal.color(QPalette::Light), pal.color(QPalette::Shadow));
        draw3dRect(painter, area.adjusted(1, 1, -1, -1), pal.color(QPalette::Midlight),
                   pal.color(QPalette::Dark));
    } else if (mouseOver_ && drawBorder_) {
        draw3dRect(painter, area, pal.color(QPalette::Light), pal.color(QPalette::Dark));
    }
}

void CButtonST::drawImage(QPainter& painter, bool pressed) const {
    if (imageIn_.isNull()) {
        return;
    }
    const QRect target = imageRect(pressed);
    if (!isEnabled()) {
        if (embossDisabled_) {
            const QPalette& pal = palette();
            painter.drawPixmap(target.topLeft() + QPoint(1, 1),
                               silhouette(imageIn_, pal.color(QPalette::Light)));
            painter.drawPixmap(target.topLeft(), silhouette(imageIn_, pal.color(QPalette::Dark)));
        } else {
            painter.drawPixmap(target.topLeft(), imageIn_);
        }
        return;
    }
    const bool useOut = !imageOut_.isNull() && !pressed && !mouseOver_;
    painter.drawPixmap(target.topLeft(), useOut ? imageOut_ : imageIn_);
}

void CButtonST::drawCaption(QPainter& painter, bool pressed, bool focused) const {
    if (text().isEmpty()) {
        return;
    }
    const QRect target = captionRect(pressed);
    const QPalette& pal = palette();
    painter.setFont(font());
    if (!isEnabled()) {
        painter.setPen(pal.color(QPalette::Light));
        painter.drawText(target.translated(1, 1), kTextFlags, text());
        painter.setPen(pal.color(QPalette::Dark));
        painter.drawText(target, kTextFlags, text());
        return;
    }
    const QColor fore = (pressed || mouseOver_) ? colours_[ForeIn]
                        : focused               ? colours_[ForeFocus]
                                                : colours_[ForeOut];
    painter.setPen(fore);
    painter.drawText(target, kTextFlags, text());
}

void CButtonST::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setBackgroundMode(Qt::TransparentMode);
    const bool pressed = pressedState();
    const bool focused = hasFocus();
    drawBackgroundAndBorder(painter, pressed, focused);
    drawImage(painter, pressed);
    drawCaption(painter, pressed, focused);
    if (focused && (!flat_ || drawFlatFocus_)) {
        drawFocusRect(painter, rect().adjusted(3, 3, -3, -3));
    }
}

bool CButtonST::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (tipActive_ && !tipText_.isEmpty()) {
            QToolTip::showText(help->globalPos(), tipMarkup(tipText_, QToolTip::font()), this,
                               rect());
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QPushButton::event(event);
}

void CButtonST::enterEvent(QEnterEvent* event) {
    if (flat_ && isEnabled() && !mouseOver_) {
        mouseOver_ = true;
        update();
    }
    QPushButton::enterEvent(event);
}

void CButtonST::leaveEvent(QEvent* event) {
    clearMouseOver();
    QPushButton::leaveEvent(event);
}

void CButtonST::focusOutEvent(QFocusEvent* event) {
    clearMouseOver();
    QPushButton::focusOutEvent(event);
}

void CButtonST::clearMouseOver() {
    if (mouseOver_) {
        mouseOver_ = false;
        update();
    }
}

void CButtonST::changeEvent(QEvent* event) {
    switch (event->type()) {
        case QEvent::EnabledChange:
        case QEvent::ActivationChange:
            clearMouseOver();
            break;
        case QEvent::PaletteChange:
            setDefaultColours();
            break;
        default:
            break;
    }
    QPushButton::changeEvent(event);
}

QSize CButtonST::sizeHint() const {
    QSize hint = QPushButton::sizeHint();
    if (!imageIn_.isNull()) {
        hint = hint.expandedTo(imageIn_.size() + QSize(2 * marginX_ + 4, 2 * marginY_ + 4));
    }
    return hint;
}

}  // namespace qm::ui
