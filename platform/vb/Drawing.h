#pragma once
// The drawing methods of a form as the forms runtime gives them with AutoRedraw on:
// Cls, Line (with B and BF), Print at CurrentX/CurrentY, TextWidth/TextHeight, in the
// form's scale unit. Everything is drawn into a backing image that the form paints
// from, so a picture stays on screen when the window is covered and uncovered or the
// screen is locked; only Cls or drawing over it changes it. PrintForm prints a form.

#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>

#include <cstdint>

class QPainter;
class QWidget;

namespace vb {

// ScaleMode values.
constexpr int vbTwips = 1;
constexpr int vbPixels = 3;
// DrawStyle values.
constexpr int vbSolid = 0;
constexpr int vbDash = 1;
constexpr int vbDot = 2;

// Colour `index` (0-15) of the 16-colour basic palette, as 0x00BBGGRR; 7 is light
// grey, 15 white. Other indexes give black.
std::int32_t QBColor(int index);

class FormCanvas {
public:
    // `surface` is the widget whose client area the canvas covers; it must call
    // Paint() from its paintEvent and Resized() from its resizeEvent.
    explicit FormCanvas(QWidget *surface);

    int ScaleMode() const { return scaleMode_; }
    void SetScaleMode(int mode);
    // The client area in scale units.
    double ScaleWidth() const;
    double ScaleHeight() const;

    std::int32_t ForeColor = 0;
    std::int32_t BackColor;  // the surface's window colour at construction
    int DrawWidth = 1;       // pixels, whatever the scale unit
    int DrawStyle = vbSolid; // only width-1 lines are dotted or dashed, as on Windows
    QFont Font;
    double CurrentX = 0, CurrentY = 0;

    // Fills the picture with BackColor; CurrentX and CurrentY go back to 0.
    void Cls();
    // Line (x1, y1)-(x2, y2) in ForeColor or the given colour; CurrentX/Y end at (x2, y2).
    void Line(double x1, double y1, double x2, double y2);
    void Line(double x1, double y1, double x2, double y2, std::int32_t color);
    // Line (x1, y1)-(x2, y2), color, BF: a box filled with the colour, both corners
    // included.
    void FilledBox(double x1, double y1, double x2, double y2, std::int32_t color);
    // Text in ForeColor with its top-left corner at CurrentX, CurrentY (the background
    // shows through); then CurrentX = 0 and CurrentY moves down by one line.
    void Print(const QString &text);
    double TextWidth(const QString &text) const;
    double TextHeight(const QString &text) const;
    // While set, drawing changes only the pixels of this box (scale units, both corners
    // included, as FilledBox fills them).
    void SetClip(double x1, double y1, double x2, double y2);
    void ClearClip() { clip_ = QRect(); }

    // The pixel of a position in scale units.
    int PixelX(double x) const;
    int PixelY(double y) const;
    // The picture as drawn so far (device-independent pixels of the surface).
    const QImage &Image() const { return image_; }

    // Paints the picture into the surface (from its paintEvent).
    void Paint(QPainter &painter, const QRect &dirty) const;
    // Follows the surface's new size; what fits of the old picture is kept, new area
    // takes BackColor.
    void Resized();

private:
    double unitsPerPixelX() const;
    double unitsPerPixelY() const;
    void touched(const QRect &pixels);

    QWidget *surface_;
    int scaleMode_ = vbTwips;
    QImage image_;
    QRect clip_;
};

// PrintForm: the form's client area as it shows on screen (its picture and visible
// controls), printed at its size on screen at the top-left of one page through the
// printer layer. Raises forms::EPrinter when the job cannot be started.
void PrintForm(QWidget *form);

} // namespace vb
