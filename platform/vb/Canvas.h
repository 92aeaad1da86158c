#pragma once
// A drawing surface in twips (or in pixels, ScaleMode vbPixels), as a form's client
// area or a picture box of the runtime offers it: Cls, Line, a filled box, Print at CurrentX/CurrentY, TextWidth/TextHeight,
// DrawWidth, DrawStyle and ForeColor. What is drawn stays (the runtime's AutoRedraw):
// it goes into a picture that the widget shows and that Picture() returns. y grows
// downwards; ScaleWidth and ScaleHeight are the client size in the scale unit.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>

namespace vb {

constexpr int vbTwips = 1;
constexpr int vbPixels = 3;

constexpr int vbSolid = 0;
constexpr int vbDash = 1;
constexpr int vbDot = 2;

// The 16 colours of the basic palette (0 black ... 7 light grey, 8 dark grey ... 15 white).
QColor QBColor(int index);

class TwipsCanvas : public QWidget {
public:
    explicit TwipsCanvas(QWidget *parent = nullptr);

    // The unit of every coordinate and size below: vbTwips or vbPixels.
    int ScaleMode = vbTwips;
    double ScaleWidth() const;
    double ScaleHeight() const;

    QColor BackColor = Qt::white;
    QColor ForeColor = Qt::black;
    // Pixels.
    int DrawWidth = 1;
    int DrawStyle = vbSolid;
    double CurrentX = 0, CurrentY = 0;

    // Fills the surface with BackColor; CurrentX and CurrentY go back to 0.
    void Cls();
    // A line in ForeColor (or the colour given); CurrentX/CurrentY move to its end.
    void Line(double x1, double y1, double x2, double y2);
    void Line(double x1, double y1, double x2, double y2, const QColor &colour);
    // A filled box between two corners (Line ..., BF).
    void FillBox(double x1, double y1, double x2, double y2, const QColor &colour);
    // Text with its top-left corner at CurrentX/CurrentY, in ForeColor, with a clear
    // background; then CurrentX goes back to 0 and CurrentY one text line down.
    void Print(const QString &text);
    double TextWidth(const QString &text) const;
    double TextHeight(const QString &text = QStringLiteral("A")) const;

    const QImage &Picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

private:
    double pxX(double twips) const;
    double pxY(double twips) const;
    void ensurePicture();
    QImage picture_;
};

} // namespace vb
