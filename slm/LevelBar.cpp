#include "LevelBar.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace slm {

namespace {
constexpr int kBorder = 2;
constexpr int kInnerHeight = 18;
const QColor frameColour(0x1e, 0x21, 0x24);
const QColor emptyColour(0xd9, 0xe2, 0xcc);
} // namespace

LevelBar::LevelBar(QWidget *parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(kInnerHeight + 2 * kBorder);
}

void LevelBar::setRange(int minimum, int maximum) {
    if (maximum < minimum) maximum = minimum;
    if (minimum == min_ && maximum == max_) return;
    min_ = minimum;
    max_ = maximum;
    value_ = std::clamp(value_, min_, max_);
    refresh();
}

void LevelBar::setValue(int value) {
    value = std::clamp(value, min_, max_);
    if (value == value_) return;
    value_ = value;
    refresh();
}

int LevelBar::filledWidth(int innerWidth) const {
    if (max_ <= min_ || innerWidth <= 0) return 0;
    return int((long long)(value_ - min_) * innerWidth / (max_ - min_));
}

void LevelBar::refresh() {
    const int fill = filledWidth(width() - 2 * kBorder);
    if (fill == paintedFill_) return;
    // The colours stretch over the filled part: all of it is painted again.
    paintedFill_ = fill;
    update();
}

QSize LevelBar::sizeHint() const { return {160, kInnerHeight + 2 * kBorder}; }
QSize LevelBar::minimumSizeHint() const { return {2 * kBorder + 8, kInnerHeight + 2 * kBorder}; }

void LevelBar::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF outer = QRectF(rect()).adjusted(kBorder / 2.0, kBorder / 2.0, -kBorder / 2.0, -kBorder / 2.0);
    QPainterPath frame;
    frame.addRoundedRect(outer, 3, 3);
    p.fillPath(frame, emptyColour);
    const QRect inner = rect().adjusted(kBorder, kBorder, -kBorder, -kBorder);
    paintedFill_ = filledWidth(inner.width());
    if (paintedFill_ > 0) {
        const QRect filled(inner.left(), inner.top(), paintedFill_, inner.height());
        // The colours run across the filled part, green to red.
        QLinearGradient g(filled.topLeft(), filled.topRight());
        g.setColorAt(0, QColor(0x2f, 0x7d, 0x32));
        g.setColorAt(0.7, QColor(0xc9, 0xb5, 0x2b));
        g.setColorAt(1, QColor(0xc0, 0x39, 0x2b));
        p.setRenderHint(QPainter::Antialiasing, false);
        p.fillRect(filled, g);
        p.setRenderHint(QPainter::Antialiasing);
    }
    p.setPen(QPen(frameColour, kBorder));
    p.drawPath(frame);
}

} // namespace slm
