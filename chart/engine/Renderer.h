#pragma once
// Draws a chart from its properties. drawFrame paints back to front: the desk and its
// border, the titles, the graph area's fill, the grid (over the data instead when
// GridInFront is set), the subsets axis by axis in their order, the axes with their
// numbers and labels, the annotations, and the legend last. The same code draws into
// the picture, an image or a printer.

#include "chart/engine/Frame.h"
#include "chart/engine/Layout.h"
#include "chart/engine/PropertyStore.h"

#include <QColor>
#include <QPointF>
#include <QString>

#include <algorithm>
#include <cmath>

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

class QPainter;

namespace chart::engine {

// Strings are held as the control hands them over: ANSI (Latin-1) bytes.
inline QString fromAnsi(const std::string &s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}
inline std::string toAnsi(const QString &s) { return s.toLatin1().toStdString(); }

// 0x00BBGGRR as the properties hold colours.
QColor fromColorRef(std::int32_t v);
std::int32_t toColorRef(const QColor &c);

// Subset colour and line type as drawn (defaults where the property was never set).
QColor subsetColor(const PropertyStore &p, int subset);
int subsetLineType(const PropertyStore &p, int subset);

// Pen of a line type: 0 thin, 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot, 5 medium,
// 6 thick, 7 medium dash, 8 medium dot (widths in pixels).
Qt::PenStyle lineTypeStyle(int type);
int lineTypeWidth(int type);

// Zoom state: when zoomed, the x range and the y range of one axis (or all) replace
// the scales.
struct ZoomState {
    bool active = false;
    double x0 = 0, x1 = 0;
    int yAxis = -1; // -1: no vertical zoom
    double y0 = 0, y1 = 0;
};
ZoomState zoomState(const PropertyStore &p);

// Asked for the text of each grid number of an axis whose CustomGridNumbers property is
// set: axis type (0 y, 2 x), axis index, value and the text the engine would draw.
using GridNumberHook = std::function<QString(int axisType, int axisIndex, double value, const QString &text)>;

// Lays out and draws the chart on `painter` sized width x height; fills `layout`.
void renderChart(const PropertyStore &p, QPainter &painter, int width, int height, Layout &layout,
                 const GridNumberHook &gridNumbers = {});

// Draws the picture of a frame (see Frame.h) with the properties other than the data.
void drawFrame(const PropertyStore &p, const Frame &frame, QPainter &painter, Layout &layout,
               const GridNumberHook &gridNumbers = {});

// Pixel coordinates are bounded by this before they become integers or reach the
// painter: far beyond any window, well inside an int and the painter's fixed point.
constexpr double kPixelLimit = 1 << 20;
inline double boundedPixel(double v) {
    if (!(v >= -kPixelLimit)) // NaN too
        return -kPixelLimit;
    return v > kPixelLimit ? kPixelLimit : v;
}

// Layout only (no drawing), as renderChart would make it.
Layout computeLayout(const PropertyStore &p, int width, int height);

} // namespace chart::engine
