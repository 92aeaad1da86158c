#include "Graphics.h"

#include <QApplication>
#include <QColor>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>

namespace forms {

namespace {

QColor systemColor(int index) {
    const QPalette pal = QGuiApplication::instance() ? QGuiApplication::palette() : QPalette();
    switch (index) {
        case 1:
        case 12: return pal.color(QPalette::Dark);
        case 2:
        case 13: return pal.color(QPalette::Highlight);
        case 9:
        case 14: return pal.color(QPalette::HighlightedText);
        case 4:
        case 5: return pal.color(QPalette::Base);
        case 7:
        case 8: return pal.color(QPalette::Text);
        case 6: return pal.color(QPalette::Shadow);
        case 16: return pal.color(QPalette::Mid);
        case 17: return pal.color(QPalette::PlaceholderText);
        case 18: return pal.color(QPalette::ButtonText);
        case 20:
        case 22: return pal.color(QPalette::Light);
        case 21: return pal.color(QPalette::Shadow);
        case 23: return pal.color(QPalette::ToolTipText);
        case 24: return pal.color(QPalette::ToolTipBase);
        default: return pal.color(QPalette::Button);
    }
}

} // namespace

QColor ColorToQColor(std::int32_t color) {
    const auto u = static_cast<std::uint32_t>(color);
    if (u & 0x80000000u) return systemColor(int(u & 0xFFu));
    return QColor(int(u & 0xFF), int((u >> 8) & 0xFF), int((u >> 16) & 0xFF));
}

std::int32_t QColorToColor(const QColor &c) {
    return std::int32_t(unsigned(c.red()) | unsigned(c.green()) << 8 | unsigned(c.blue()) << 16);
}

void InstallFontSubstitutions() {
    static bool done = false;
    if (done) return;
    done = true;
    const char *sans[] = {"Arial", "MS Sans Serif", "Tahoma", "Verdana"};
    for (const char *n : sans) QFont::insertSubstitutions(n, {"Liberation Sans", "DejaVu Sans"});
    QFont::insertSubstitutions("Times New Roman", {"Liberation Serif", "DejaVu Serif"});
    const char *mono[] = {"FixedSys", "Fixedsys", "Lucida Console", "Courier New", "Courier"};
    for (const char *n : mono) QFont::insertSubstitutions(n, {"DejaVu Sans Mono", "Liberation Mono"});
}

QFont TFont::ToQFont() const {
    InstallFontSubstitutions();
    QFont f(Name);
    if (Height < 0)
        f.setPixelSize(-Height);
    else if (Height > 0)
        f.setPixelSize(Height); // cell height; close enough for the uses here
    else
        f.setPointSizeF(Size > 0 ? Size : 8);
    f.setBold(Style & fsBold);
    f.setItalic(Style & fsItalic);
    f.setUnderline(Style & fsUnderline);
    f.setStrikeOut(Style & fsStrikeOut);
    if (Pitch == fpFixed) f.setFixedPitch(true);
    return f;
}

void TCanvas::applyFont() {
    painter_->setFont(Font.ToQFont());
    painter_->setPen(ColorToQColor(Font.Color));
}

void TCanvas::TextOut(int x, int y, const QString &text) {
    if (!painter_) return;
    painter_->save();
    applyFont();
    const QFontMetrics fm = painter_->fontMetrics();
    if (Brush.Style == bsSolid)
        painter_->fillRect(QRect(x, y, fm.horizontalAdvance(text), fm.height()), ColorToQColor(Brush.Color));
    painter_->drawText(QPoint(x, y + fm.ascent()), text);
    painter_->restore();
    penPos_ = QPoint(x + fm.horizontalAdvance(text), y);
}

int TCanvas::TextWidth(const QString &text) {
    if (!painter_) return QFontMetrics(Font.ToQFont()).horizontalAdvance(text);
    painter_->save();
    applyFont();
    const int w = painter_->fontMetrics().horizontalAdvance(text);
    painter_->restore();
    return w;
}

int TCanvas::TextHeight(const QString &) {
    if (!painter_) return QFontMetrics(Font.ToQFont()).height();
    painter_->save();
    applyFont();
    const int h = painter_->fontMetrics().height();
    painter_->restore();
    return h;
}

namespace {
QPen qtPen(const TPen &p) {
    if (p.Style == psClear) return QPen(Qt::NoPen);
    static const Qt::PenStyle styles[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine,
                                          Qt::DashDotDotLine};
    QPen pen(ColorToQColor(p.Color));
    pen.setWidth(p.Width < 1 ? 1 : p.Width);
    pen.setStyle(styles[p.Style]);
    return pen;
}
} // namespace

void TCanvas::LineTo(int x, int y) {
    if (painter_) {
        painter_->save();
        painter_->setPen(qtPen(Pen));
        painter_->drawLine(penPos_, QPoint(x, y));
        painter_->restore();
    }
    penPos_ = QPoint(x, y);
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
    if (!painter_) return;
    painter_->save();
    painter_->setPen(qtPen(Pen));
    painter_->setBrush(Brush.Style == bsSolid ? QBrush(ColorToQColor(Brush.Color)) : QBrush(Qt::NoBrush));
    painter_->drawRect(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)));
    painter_->restore();
}

void TCanvas::FillRect(const QRect &rect) {
    if (!painter_ || Brush.Style == bsClear) return;
    painter_->fillRect(rect, ColorToQColor(Brush.Color));
}

} // namespace forms
