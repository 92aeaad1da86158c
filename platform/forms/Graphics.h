#pragma once
// Canvas, font, pen and brush of the class library over a QPainter: what the
// printouts and the painting code draw with. Coordinates are device pixels.
// Font names of the design map onto the installed fonts ("Arial", "MS Sans Serif" ->
// Liberation Sans, "Times New Roman" -> Liberation Serif, "FixedSys", "Courier New",
// "Lucida Console" -> DejaVu Sans Mono / Liberation Mono) through Qt's substitutions,
// installed on first use.

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QString>

#include <cstdint>

class QPainter;
class QColor;

namespace forms {

enum TColor : std::int32_t;

// 0x00BBGGRR <-> QColor. System colours (0x80000000 | index) map to the palette.
QColor ColorToQColor(std::int32_t color);
std::int32_t QColorToColor(const QColor &color);

enum TFontPitch { fpDefault, fpVariable, fpFixed };
enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;

struct TFont {
    QString Name = QStringLiteral("MS Sans Serif");
    // Points; Height (negative: character height in pixels of the device) wins when set.
    int Size = 8;
    int Height = 0;
    TFontStyles Style = 0;
    TFontPitch Pitch = fpDefault;
    std::int32_t Color = 0;

    void SetSize(int points) {
        Size = points;
        Height = 0;
    }
    void SetHeight(int h) { Height = h; }
    // The QFont to paint with (a Height is in pixels of the painted device).
    QFont ToQFont() const;
};

// Installs the font-name substitutions (idempotent; TFont::ToQFont calls it).
void InstallFontSubstitutions();

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear };
struct TPen {
    std::int32_t Color = 0;
    int Width = 1;
    TPenStyle Style = psSolid;
};

enum TBrushStyle { bsSolid, bsClear };
struct TBrush {
    std::int32_t Color = 0xFFFFFF;
    TBrushStyle Style = bsSolid;
};

class TCanvas {
public:
    explicit TCanvas(QPainter *painter = nullptr) : painter_(painter) {}

    // Drawing calls without a painter do nothing (a canvas before BeginDoc).
    QPainter *Painter() const { return painter_; }
    void SetPainter(QPainter *painter) { painter_ = painter; }

    TFont Font;
    TPen Pen;
    TBrush Brush;

    // Text with its top-left corner at (x, y); the background is left as it is when
    // the brush is clear, else filled with the brush colour.
    void TextOut(int x, int y, const QString &text);
    int TextWidth(const QString &text);
    int TextHeight(const QString &text);
    void MoveTo(int x, int y) { penPos_ = QPoint(x, y); }
    void LineTo(int x, int y);
    // Outline with the pen, filled with the brush; right and bottom are exclusive.
    void Rectangle(int left, int top, int right, int bottom);
    void FillRect(const QRect &rect);
    QPoint PenPos() const { return penPos_; }

private:
    void applyFont();
    QPainter *painter_ = nullptr;
    QPoint penPos_;
};

} // namespace forms
