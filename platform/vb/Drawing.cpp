#include "Drawing.h"

#include "platform/forms/Graphics.h"
#include "platform/forms/Printer.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace vb {

std::int32_t QBColor(int index) {
    static const std::int32_t palette[16] = {
        0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
        0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
    };
    return index >= 0 && index < 16 ? palette[index] : 0;
}

namespace {

double dpiX() {
    if (auto *s = QGuiApplication::primaryScreen()) return s->logicalDotsPerInchX();
    return 96.0;
}
double dpiY() {
    if (auto *s = QGuiApplication::primaryScreen()) return s->logicalDotsPerInchY();
    return 96.0;
}

QColor colour(std::int32_t bgr) { return forms::ColorToQColor(bgr); }

} // namespace

FormCanvas::FormCanvas(QWidget *surface)
    : BackColor(forms::QColorToColor(surface->palette().color(QPalette::Window))), surface_(surface) {
    forms::InstallFontSubstitutions();
    Font = surface->font();
    Resized();
}

void FormCanvas::SetScaleMode(int mode) { scaleMode_ = mode == vbPixels ? vbPixels : vbTwips; }

double FormCanvas::unitsPerPixelX() const { return scaleMode_ == vbPixels ? 1.0 : 1440.0 / dpiX(); }
double FormCanvas::unitsPerPixelY() const { return scaleMode_ == vbPixels ? 1.0 : 1440.0 / dpiY(); }

double FormCanvas::ScaleWidth() const { return surface_->width() * unitsPerPixelX(); }
double FormCanvas::ScaleHeight() const { return surface_->height() * unitsPerPixelY(); }

int FormCanvas::PixelX(double x) const { return int(std::floor(x / unitsPerPixelX() + 0.5)); }
int FormCanvas::PixelY(double y) const { return int(std::floor(y / unitsPerPixelY() + 0.5)); }

void FormCanvas::touched(const QRect &pixels) { surface_->update(pixels.intersected(surface_->rect())); }

void FormCanvas::Cls() {
    image_.fill(colour(BackColor));
    CurrentX = CurrentY = 0;
    surface_->update();
}

void FormCanvas::Line(double x1, double y1, double x2, double y2) { Line(x1, y1, x2, y2, ForeColor); }

void FormCanvas::Line(double x1, double y1, double x2, double y2, std::int32_t color) {
    const QPoint a(PixelX(x1), PixelY(y1)), b(PixelX(x2), PixelY(y2));
    CurrentX = x2;
    CurrentY = y2;
    if (image_.isNull()) return;
    QPainter p(&image_);
    QPen pen(colour(color));
    pen.setWidth(std::max(1, DrawWidth));
    // Wider pens are always solid, as GDI draws them.
    if (DrawWidth <= 1 && DrawStyle == vbDot)
        pen.setStyle(Qt::DotLine);
    else if (DrawWidth <= 1 && DrawStyle == vbDash)
        pen.setStyle(Qt::DashLine);
    pen.setCapStyle(Qt::FlatCap);
    p.setPen(pen);
    if (!clip_.isNull()) p.setClipRect(clip_);
    if (a == b)
        p.drawPoint(a);
    else
        p.drawLine(a, b);
    const int grow = pen.width();
    touched(QRect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                  QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y())))
                .adjusted(-grow, -grow, grow, grow));
}

void FormCanvas::FilledBox(double x1, double y1, double x2, double y2, std::int32_t color) {
    const int ax = PixelX(x1), ay = PixelY(y1), bx = PixelX(x2), by = PixelY(y2);
    const QRect r(QPoint(std::min(ax, bx), std::min(ay, by)), QPoint(std::max(ax, bx), std::max(ay, by)));
    CurrentX = x2;
    CurrentY = y2;
    if (image_.isNull()) return;
    QPainter p(&image_);
    if (!clip_.isNull()) p.setClipRect(clip_);
    p.fillRect(r, colour(color));
    touched(r);
}

void FormCanvas::SetClip(double x1, double y1, double x2, double y2) {
    const int ax = PixelX(x1), ay = PixelY(y1), bx = PixelX(x2), by = PixelY(y2);
    clip_ = QRect(QPoint(std::min(ax, bx), std::min(ay, by)), QPoint(std::max(ax, bx), std::max(ay, by)));
}

void FormCanvas::Print(const QString &text) {
    const QFontMetricsF fm(Font, surface_);
    const QPoint at(PixelX(CurrentX), PixelY(CurrentY));
    if (!image_.isNull()) {
        QPainter p(&image_);
        p.setFont(Font);
        p.setPen(colour(ForeColor));
        if (!clip_.isNull()) p.setClipRect(clip_);
        p.drawText(QPointF(at.x(), at.y() + fm.ascent()), text);
        touched(QRect(at, QSize(int(std::ceil(fm.horizontalAdvance(text))) + 2, int(std::ceil(fm.height())) + 1)));
    }
    CurrentX = 0;
    CurrentY += fm.height() * unitsPerPixelY();
}

double FormCanvas::TextWidth(const QString &text) const {
    return QFontMetricsF(Font, surface_).horizontalAdvance(text) * unitsPerPixelX();
}

double FormCanvas::TextHeight(const QString &) const {
    return QFontMetricsF(Font, surface_).height() * unitsPerPixelY();
}

void FormCanvas::Paint(QPainter &painter, const QRect &dirty) const {
    if (!image_.isNull()) painter.drawImage(dirty, image_, dirty);
}

void FormCanvas::Resized() {
    const QSize size = surface_->size().expandedTo(QSize(1, 1));
    if (image_.size() == size) return;
    QImage next(size, QImage::Format_RGB32);
    next.fill(colour(BackColor));
    if (!image_.isNull()) {
        QPainter p(&next);
        p.drawImage(0, 0, image_);
    }
    image_ = std::move(next);
}

void PrintForm(QWidget *form) {
    if (!form) return;
    const QImage picture = form->grab().toImage();
    forms::TPrinter *printer = forms::Printer();
    printer->BeginDoc();
    if (QPainter *p = printer->Canvas()->Painter()) {
        // The size on screen, in inches, is kept on paper.
        const double scale = printer->Resolution() / dpiX();
        const QSize dpr = (QSizeF(picture.size()) / picture.devicePixelRatio()).toSize();
        p->drawImage(QRect(0, 0, int(dpr.width() * scale), int(dpr.height() * scale)), picture);
    }
    printer->EndDoc();
}

} // namespace vb
