#include "ui/widgets/dpi_scale.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cstdint>

namespace qm::ui {

int mulDiv(int a, int b, int c) {
    if (c == 0) {
        return -1;
    }
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    const std::int64_t half = (c > 0 ? c : -c) / 2;
    const bool negative = (product < 0) != (c < 0);
    const std::int64_t magnitude = (product < 0 ? -product : product) + half;
    const std::int64_t quotient = magnitude / (c > 0 ? c : -c);
    return static_cast<int>(negative ? -quotient : quotient);
}

DpiScale DpiScale::fromDpi(int dpi) {
    const int percent = dpi > 0 ? mulDiv(dpi, 100, 96) : 0;
    return DpiScale(percent > 0 ? percent : 100);
}

DpiScale DpiScale::primary() {
    if (QGuiApplication::instance() == nullptr) {
        return fromDpi(0);
    }
    QScreen* screen = QGuiApplication::screenAt(QPoint(1, 1));
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    return fromDpi(screen != nullptr ? static_cast<int>(screen->logicalDotsPerInchX() + 0.5) : 0);
}

int DpiScale::scale(int n, int cap) const {
    return std::min(cap, mulDiv(n, percent_, 100));
}

QPixmap DpiScale::scaled(const QPixmap& source) const {
    if (source.isNull()) {
        return source;
    }
    return source.scaled(scale(source.width()), scale(source.height()), Qt::IgnoreAspectRatio,
                         Qt::FastTransformation);
}

}  // namespace qm::ui
