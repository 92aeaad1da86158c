#include "Canvas.h"

#include "Runtime.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <algorithm>

namespace vb {

namespace {
double dpiX() {
    const QScreen *s = QGuiApplication::primaryScreen();
    return s ? s->logicalDotsPerInchX() : 96.0;
}
double dpiY() {
    const QScreen *s = QGuiApplication::primaryScreen();
    return s ? s->logicalDotsPerInchY() : 96.0;
}
} // namespace

QColor QBColor(int index) {
    static const QRgb colours[16] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0xC0C0C0,
                                     0x808080, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
    return QColor(colours[std::clamp(index, 0, 15)]);
}

TwipsCanvas::TwipsCanvas(QWidget *parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

double TwipsCanvas::ScaleWidth() const { return ScaleMode == vbPixels ? width() : width() * 1440.0 / dpiX(); }
double TwipsCanvas::ScaleHeight() const { return ScaleMode == vbPixels ? height() : height() * 1440.0 / dpiY(); }
double TwipsCanvas::pxX(double v) const { return ScaleMode == vbPixels ? v : v * dpiX() / 1440.0; }
double TwipsCanvas::pxY(double v) const { return ScaleMode == vbPixels ? v : v * dpiY() / 1440.0; }

void TwipsCanvas::ensurePicture() {
    const QSize s(std::max(1, width()), std::max(1, height()));
    if (picture_.size() == s) return;
    QImage next(s, QImage::Format_RGB32);
    next.fill(BackColor);
    if (!picture_.isNull()) {
        QPainter p(&next);
        p.drawImage(0, 0, picture_);
    }
    picture_.swap(next);
}

void TwipsCanvas::Cls() {
    ensurePicture();
    picture_.fill(BackColor);
    CurrentX = CurrentY = 0;
    update();
}

void TwipsCanvas::Line(double x1, double y1, double x2, double y2) { Line(x1, y1, x2, y2, ForeColor); }

void TwipsCanvas::Line(double x1, double y1, double x2, double y2, const QColor &colour) {
    ensurePicture();
    QPainter p(&picture_);
    QPen pen(colour);
    pen.setWidth(std::max(1, DrawWidth));
    pen.setStyle(DrawStyle == vbDot ? Qt::DotLine : DrawStyle == vbDash ? Qt::DashLine : Qt::SolidLine);
    pen.setCapStyle(Qt::FlatCap);
    p.setPen(pen);
    p.drawLine(QPointF(pxX(x1), pxY(y1)), QPointF(pxX(x2), pxY(y2)));
    CurrentX = x2;
    CurrentY = y2;
    update();
}

void TwipsCanvas::FillBox(double x1, double y1, double x2, double y2, const QColor &colour) {
    ensurePicture();
    QPainter p(&picture_);
    p.fillRect(QRectF(QPointF(pxX(x1), pxY(y1)), QPointF(pxX(x2), pxY(y2))).normalized(), colour);
    CurrentX = x2;
    CurrentY = y2;
    update();
}

void TwipsCanvas::Print(const QString &text) {
    ensurePicture();
    QPainter p(&picture_);
    p.setFont(font());
    p.setPen(ForeColor);
    const QFontMetricsF fm(font(), &picture_);
    p.drawText(QPointF(pxX(CurrentX), pxY(CurrentY) + fm.ascent()), text);
    CurrentX = 0;
    CurrentY += TextHeight(text);
    update();
}

double TwipsCanvas::TextWidth(const QString &text) const {
    const double px = QFontMetricsF(font()).horizontalAdvance(text);
    return ScaleMode == vbPixels ? px : px * 1440.0 / dpiX();
}

double TwipsCanvas::TextHeight(const QString &) const {
    const double px = QFontMetricsF(font()).height();
    return ScaleMode == vbPixels ? px : px * 1440.0 / dpiY();
}

void TwipsCanvas::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.fillRect(rect(), BackColor);
    p.drawImage(0, 0, picture_);
}

void TwipsCanvas::resizeEvent(QResizeEvent *e) {
    QWidget::resizeEvent(e);
    ensurePicture();
}

} // namespace vb
