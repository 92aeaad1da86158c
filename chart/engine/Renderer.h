#pragma once
// Draws a chart from its properties, back to front: desk, titles, legend, grid, axes,
// data, annotations. The same code draws into the picture, an image or a printer.

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
inline QString fromAnsi(const std::string &s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }
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

// Whether a y value (and its x) is drawn.
bool isNullPoint(const PropertyStore &p, double x, double y);

// X value of point `point` of `subset` (XDataII when UsingXDataII, else XData; the
// point index when neither was written).
double xValue(const PropertyStore &p, int subset, int point);
double yValue(const PropertyStore &p, int subset, int point);

// The value arrays of one subset, looked up once.
struct SubsetData {
    const double *xd = nullptr, *yd = nullptr;
    const float *xf = nullptr, *yf = nullptr;
    bool xIndex = false;
    SubsetData(const PropertyStore &p, int s)
    {
        if (p.integer(id::UsingXDataII))
            xd = p.dataDoubles(id::XDataII, s);
        else if (!(xf = p.dataSingles(id::XData, s)))
            xIndex = true;
        if (p.integer(id::UsingYDataII))
            yd = p.dataDoubles(id::YDataII, s);
        else
            yf = p.dataSingles(id::YData, s);
    }
    double x(int i) const { return xd ? xd[i] : xf ? xf[i] : xIndex ? i + 1 : 0; }
    double y(int i) const { return yd ? yd[i] : yf ? yf[i] : 0; }
};

// Null test with the properties read once.
struct NullTest {
    double nullY, nullYf, nullX;
    bool dateTime;
    explicit NullTest(const PropertyStore &p)
        : nullY(p.number(id::NullDataValueY)),
          nullYf(static_cast<float>(std::clamp(nullY, -3.0e38, 3.0e38))),
          nullX(p.number(id::NullDataValueX)), dateTime(p.integer(id::DateTimeMode) != 0) {}
    bool operator()(double x, double y) const
    {
        return !std::isfinite(x) || !std::isfinite(y) || y == nullY || y == nullYf || x == nullX ||
               (dateTime && x == 0);
    }
};


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

// What a picture takes from the data, worked out once: the layout (scales from the
// data ranges) and each subset's runs of points in pixels as they are drawn, dense runs
// already reduced to what a pixel column shows. drawFrame draws the picture from it and
// the properties other than the data, so the same picture can be drawn again later
// (into a metafile, say) from a copy of the properties without the data.
struct Frame {
    int width = 1, height = 1;
    Layout layout; // as laid out; drawFrame adds what drawing places (numbers, texts)
    struct Run {
        std::uint32_t begin = 0, size = 0; // in points
        bool dense = false;                // reduced: no symbols, no spline
    };
    std::vector<QPointF> points;        // of all runs, one after another
    std::vector<Run> runs;              // of all subsets, one after another
    std::vector<std::uint32_t> firstRun; // runs of subset s: firstRun[s] .. firstRun[s + 1]
    std::span<const QPointF> pointsOf(const Run &r) const { return {points.data() + r.begin, r.size}; }
};
// Subsets of more points than parallelFrom in all are read on threads of their own.
constexpr std::size_t kParallelPoints = 300000;
Frame buildFrame(const PropertyStore &p, int width, int height, std::size_t parallelFrom = kParallelPoints);
void drawFrame(const PropertyStore &p, const Frame &frame, QPainter &painter, Layout &layout,
               const GridNumberHook &gridNumbers = {});

// Pixel coordinates are bounded by this before they become integers or reach the
// painter: far beyond any window, well inside an int and the painter's fixed point.
constexpr double kPixelLimit = 1 << 20;
inline double boundedPixel(double v)
{
    if (!(v >= -kPixelLimit)) // NaN too
        return -kPixelLimit;
    return v > kPixelLimit ? kPixelLimit : v;
}

// Layout only (no drawing), as renderChart would make it.
Layout computeLayout(const PropertyStore &p, int width, int height);

} // namespace chart::engine
