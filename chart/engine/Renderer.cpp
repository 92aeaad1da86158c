#include "chart/engine/Renderer.h"
#include "chart/engine/Clip.h"
#include "chart/engine/Style.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>

#include <algorithm>
#include <cmath>
#include <limits>
#include <system_error>
#include <thread>
#include <type_traits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace chart::engine {

using namespace detail;

QColor fromColorRef(std::int32_t v)
{
    auto u = static_cast<std::uint32_t>(v);
    return QColor(u & 0xFF, (u >> 8) & 0xFF, (u >> 16) & 0xFF);
}

std::int32_t toColorRef(const QColor &c)
{
    return static_cast<std::int32_t>(c.red() | (c.green() << 8) | (c.blue() << 16));
}

namespace {

const std::int32_t kPalette[] = {0xFF0000, 0x0000FF, 0x008000, 0xFF00FF, 0x008080,
                                 0x800000, 0x000080, 0x808000, 0x800080, 0x00C0C0};

QPen gridPen(const PropertyStore &p, const QColor &c)
{
    QPen pen(c, 0);
    switch (p.integer(id::GridStyle)) {
    case 1: pen.setWidth(2); break;
    case 2: pen.setStyle(Qt::DotLine); break;
    case 3: pen.setStyle(Qt::DashLine); break;
    case 4: pen.setDashPattern({1, 3}); break;
    default: break;
    }
    return pen;
}

// Tick values and texts of the x axis.
void xTicks(const PropertyStore &p, const Layout &L, const QFontMetrics &fm, std::vector<double> &vals,
            std::vector<QString> &texts, std::vector<QString> &dates)
{
    double x0 = std::min(L.x.v0, L.x.v1), x1 = std::max(L.x.v0, L.x.v1);
    if (L.dateTime) {
        bool secs = p.integer(id::DateTimeShowSeconds);
        DateTimeTicks t = dateTimeTicks(x0, x1, L.graph.width(), fm.horizontalAdvance("00:00:00") + 16, secs);
        QString lastDate;
        for (std::size_t i = 0; i < t.values.size(); ++i) {
            vals.push_back(t.values[i]);
            texts.push_back(t.labels[i]);
            QString d = t.step < 1 ? dateTimeDate(t.values[i]) : QString();
            dates.push_back(d != lastDate ? d : QString());
            lastDate = d;
        }
        return;
    }
    double step = p.integer(id::ManualXAxisTicknLine) && p.number(id::ManualXAxisLine) > 0
                      ? p.number(id::ManualXAxisLine)
                      : niceStep(x0, x1, std::max(2, L.graph.width() / (fm.horizontalAdvance("00000.0") + 12)));
    for (double v : ticks(x0, x1, step)) {
        vals.push_back(v);
        texts.push_back(formatNumber(v, step, 0));
        dates.push_back({});
    }
}

void fillRegion(QPainter &g, const QRegion &r, const QColor &c)
{
    for (const QRect &rc : r)
        g.fillRect(rc, c);
}

// The desk; the graph area is left to its own fill, which comes next.
void drawDesk(const PropertyStore &p, QPainter &g, const Layout &L, const Style &s)
{
    int border = p.integer(id::BorderTypes);
    QRect r = L.desk.adjusted(0, 0, -1, -1);
    QRegion graph(L.graph);
    if (border == 0) {
        // drop shadow: the desk stands on a shadow offset down and right, on white
        QRect desk = r.adjusted(0, 0, -3, -3), shadow = r.adjusted(3, 3, 0, 0);
        fillRegion(g, QRegion(L.desk) - QRegion(shadow) - QRegion(desk) - graph, QColor(0xFF, 0xFF, 0xFF));
        fillRegion(g, QRegion(shadow) - QRegion(desk) - graph, s.shadow);
        fillRegion(g, QRegion(desk) - graph, s.desk);
        g.setPen(QPen(s.text, 0));
        g.drawRect(desk);
        return;
    }
    fillRegion(g, QRegion(L.desk) - graph, s.desk);
    switch (border) {
    case 1:
        g.setPen(QPen(s.text, 0));
        g.drawRect(r);
        break;
    case 3:
        g.setPen(QPen(s.desk.darker(160), 0));
        g.drawLine(r.topLeft(), r.topRight());
        g.drawLine(r.topLeft(), r.bottomLeft());
        g.setPen(QPen(s.desk.lighter(160), 0));
        g.drawLine(r.bottomLeft(), r.bottomRight());
        g.drawLine(r.topRight(), r.bottomRight());
        break;
    default:
        break;
    }
}

void drawTitles(const PropertyStore &p, QPainter &g, const Layout &L, const Metrics &m)
{
    g.setPen(m.style.text);
    if (!L.mainTitle.isEmpty()) {
        g.setFont(m.title);
        g.drawText(L.mainTitle, Qt::AlignHCenter | Qt::AlignVCenter, fromAnsi(p.string(id::MainTitle)));
    }
    if (!L.subTitle.isEmpty()) {
        g.setFont(m.sub);
        g.drawText(L.subTitle, Qt::AlignHCenter | Qt::AlignVCenter, fromAnsi(p.string(id::SubTitle)));
    }
}

std::vector<double> yTickValues(const PropertyStore &p, const AxisLayout &A, int ax, int numbersH, double &step)
{
    double y0 = std::min(A.y.v0, A.y.v1), y1 = std::max(A.y.v0, A.y.v1);
    if (p.axisNumber(id::ManualYAxisTicknLine, ax) && p.axisNumber(id::ManualYAxisLine, ax) > 0)
        step = p.axisNumber(id::ManualYAxisLine, ax);
    else
        // Numbers at least 1.7 text heights apart.
        step = niceStepAtLeast((y1 - y0) * 1.7 * std::max(numbersH, 1) / std::max(A.band.height(), 1));
    return ticks(y0, y1, step);
}

void drawGrid(const PropertyStore &p, QPainter &g, const Layout &L, const Metrics &m,
              const std::vector<double> &xVals)
{
    int control = p.integer(id::GridLineControl);
    g.setPen(gridPen(p, m.style.graphFore));
    if (control == 0 || control == 1) {
        for (std::size_t k = 0; k < L.axes.size(); ++k) {
            const AxisLayout &A = L.axes[k];
            double step;
            for (double v : yTickValues(p, A, static_cast<int>(k), m.numbersH, step)) {
                double py = A.y.toPixel(v);
                if (py > A.band.top() + 0.5 && py < A.band.bottom() - 0.5)
                    g.drawLine(QPointF(L.graph.left(), py), QPointF(L.graph.right(), py));
            }
        }
    }
    if (control == 0 || control == 2) {
        for (double v : xVals) {
            double px = L.x.toPixel(v);
            if (px > L.graph.left() + 0.5 && px < L.graph.right() - 0.5)
                g.drawLine(QPointF(px, L.graph.top()), QPointF(px, L.graph.bottom()));
        }
    }
}

void drawAxes(const PropertyStore &p, QPainter &g, Layout &L, const Metrics &m,
              const std::vector<double> &xVals, std::vector<QString> xTexts,
              const std::vector<QString> &xDates, const GridNumberHook &hook)
{
    const Style &s = m.style;
    // Frame of the graph area.
    g.setPen(QPen(s.graphFore, 0));
    g.setBrush(Qt::NoBrush);
    g.drawRect(L.graph);

    // Separators between stacked axes.
    int sep = p.integer(id::MultiAxesSeparators);
    if (sep > 0 && L.axes.size() > 1) {
        int wdt = sep == 1 ? 1 : sep == 2 ? 2 : 3;
        g.setPen(QPen(s.graphFore, wdt));
        for (std::size_t k = 1; k < L.axes.size(); ++k) {
            int y = L.axes[k].band.top();
            g.drawLine(L.graph.left(), y, L.graph.right(), y);
        }
    }

    int tick = std::max(3, s.basePx / 3);
    g.setFont(m.numbers);
    for (std::size_t k = 0; k < L.axes.size(); ++k) {
        const AxisLayout &A = L.axes[k];
        int ax = static_cast<int>(k);
        if (p.axisNumber(id::ShowYAxis, ax) == 5)
            continue;
        QColor c = p.axisHas(id::YAxisColor, ax)
                       ? fromColorRef(static_cast<std::int32_t>(p.axisNumber(id::YAxisColor, ax)))
                       : s.text;
        if (s.mono)
            c = s.text;
        g.setPen(QPen(c, 0));
        g.drawLine(L.graph.left(), A.band.top(), L.graph.left(), A.band.bottom());
        double step;
        std::vector<double> vals = yTickValues(p, A, ax, m.numbersH, step);
        int tickMode = static_cast<int>(p.axisNumber(id::ShowTickMarkY, ax));
        for (double v : vals) {
            double py = A.y.toPixel(v);
            if (tickMode != 2) {
                int dir = tickMode == 1 ? -1 : 1;
                g.drawLine(QPointF(L.graph.left(), py), QPointF(L.graph.left() + dir * tick, py));
            }
            if (p.axisNumber(id::ShowYAxis, ax) != 3) {
                QRectF r(A.numbersRect.left(), py - m.numbersH / 2.0, A.numbersRect.width(), m.numbersH);
                // Stacked axes: a number at the edge of its band stays on its own side of
                // the separator.
                double lo = A.band.top() - (k == 0 ? m.numbersH / 2.0 : 0.0);
                double hi = A.band.bottom() + 1 - (k + 1 == L.axes.size() ? m.numbersH / 2.0 : m.numbersH);
                if (hi >= lo)
                    r.moveTop(std::clamp(r.top(), lo, hi));
                QString text = formatNumber(v, step, 0);
                if (hook && p.axisNumber(3160 /*CustomGridNumbersY*/, ax))
                    text = hook(0, ax, v, text);
                g.drawText(r, Qt::AlignRight | Qt::AlignVCenter, text);
                int tw = QFontMetrics(m.numbers).horizontalAdvance(text);
                L.yGridNumbers.push_back({QRectF(r.right() - tw, r.top(), tw, r.height()).toAlignedRect(), ax, v});
            }
        }
        QString label = fromAnsi(p.axisString(id::YAxisLabel, ax));
        if (!label.isEmpty() && !A.labelRect.isEmpty()) {
            g.save();
            QFont lf = m.label;
            // A label longer than its axis is set smaller until it fits.
            int room = A.band.height() - 4;
            for (int px = lf.pixelSize(); px > 6 && QFontMetrics(lf).horizontalAdvance(label) > room; --px)
                lf.setPixelSize(px - 1);
            g.setFont(lf);
            QRect lr = A.labelRect;
            g.translate(lr.center());
            g.rotate(-90);
            QRect rot(-lr.height() / 2, -lr.width() / 2, lr.height(), lr.width());
            g.drawText(rot, Qt::AlignCenter, label);
            g.restore();
        }
    }

    // X axis.
    g.setPen(QPen(s.text, 0));
    g.setFont(m.numbers);
    if (hook && p.integer(3163 /*CustomGridNumbersX*/))
        for (std::size_t i = 0; i < xVals.size(); ++i)
            xTexts[i] = hook(2, 0, xVals[i], xTexts[i]);
    if (!L.xNumbers.isEmpty()) {
        QFontMetrics fm(m.numbers);
        for (std::size_t i = 0; i < xVals.size(); ++i) {
            double px = L.x.toPixel(xVals[i]);
            if (p.integer(id::ShowTickMarkX) != 2)
                g.drawLine(QPointF(px, L.graph.bottom()), QPointF(px, L.graph.bottom() - tick));
            int tw = fm.horizontalAdvance(xTexts[i]);
            QRectF r(px - tw / 2.0 - 2, L.xNumbers.top() + 2, tw + 4, m.numbersH);
            g.drawText(r, Qt::AlignCenter, xTexts[i]);
            L.xGridNumbers.push_back({r.toAlignedRect(), 0, xVals[i]});
            if (!xDates[i].isEmpty()) {
                int dw = fm.horizontalAdvance(xDates[i]);
                g.drawText(QRectF(px - dw / 2.0 - 2, r.bottom(), dw + 4, m.numbersH), Qt::AlignCenter, xDates[i]);
            }
        }
    }
    if (!L.xLabel.isEmpty()) {
        g.setFont(m.label);
        g.drawText(L.xLabel, Qt::AlignCenter, fromAnsi(p.string(id::XAxisLabel)));
    }
}

QPen subsetPen(const PropertyStore &p, const Style &s, int subset)
{
    int type = subsetLineType(p, subset);
    QColor c = s.mono ? s.text : subsetColor(p, subset);
    if (s.mono)
        type = subset % 5; // told apart by dashes when there is no colour
    QPen pen(c, lineTypeWidth(type), lineTypeStyle(type), Qt::FlatCap, Qt::MiterJoin);
    if (pen.width() <= 1)
        pen.setWidth(0);
    return pen;
}

void drawSymbol(QPainter &g, const QPointF &c, int type, double r, const QColor &col)
{
    bool solid = type % 2 == 1;
    g.setBrush(solid ? QBrush(col) : Qt::NoBrush);
    switch ((type / 2) % 5) {
    case 0: g.drawLine(QPointF(c.x() - r, c.y()), QPointF(c.x() + r, c.y()));
            g.drawLine(QPointF(c.x(), c.y() - r), QPointF(c.x(), c.y() + r)); break;
    case 1: g.drawEllipse(c, r, r); break;
    case 2: g.drawRect(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r)); break;
    case 3: { QPointF d[4] = {{c.x(), c.y() - r}, {c.x() + r, c.y()}, {c.x(), c.y() + r}, {c.x() - r, c.y()}};
              g.drawPolygon(d, 4); break; }
    default: { QPointF t[3] = {{c.x(), c.y() - r}, {c.x() + r, c.y() + r}, {c.x() - r, c.y() + r}};
               g.drawPolygon(t, 3); break; }
    }
    g.setBrush(Qt::NoBrush);
}

// Draws a polyline: a thin pen in one call, a wide one in runs of 64 points (a wide
// polyline costs far more than the same points in short pieces).
void drawCurve(QPainter &g, std::span<const QPointF> pts)
{
    if (pts.size() < 2)
        return;
    if (g.pen().width() <= 1) {
        g.drawPolyline(pts.data(), static_cast<int>(pts.size()));
        return;
    }
    for (auto [start, n] : splitRuns(static_cast<int>(pts.size()), 64))
        g.drawPolyline(pts.data() + start, n);
}

std::vector<QPointF> splinePoints(std::span<const QPointF> pts)
{
    if (pts.size() < 3)
        return std::vector<QPointF>(pts.begin(), pts.end());
    std::vector<QPointF> out;
    out.reserve(pts.size() * 8);
    for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
        QPointF p0 = pts[i == 0 ? 0 : i - 1], p1 = pts[i], p2 = pts[i + 1],
                p3 = pts[std::min(i + 2, pts.size() - 1)];
        for (int k = 0; k < 8; ++k) {
            double t = k / 8.0, t2 = t * t, t3 = t2 * t;
            out.push_back(0.5 * ((2 * p1) + (-p0 + p2) * t + (2 * p0 - 5 * p1 + 4 * p2 - p3) * t2 +
                                 (-p0 + 3 * p1 - 3 * p2 + p3) * t3));
        }
    }
    out.push_back(pts.back());
    return out;
}

bool drawsLine(int method)
{
    return method == Line || method == PointsLine || method == Spline || method == PointsSpline ||
           method == Step || method == Area || method == Ribbon || method == PointsBFL;
}

bool drawsSymbols(const PropertyStore &p, const Style &s, int method)
{
    return method == Point || method == PointsLine || method == PointsSpline || method == PointsBFL ||
           method == PointsBFC || method == Bubble || p.integer(id::MarkDataPoints) || s.symbols;
}

int symbolType(const PropertyStore &p, int subset)
{
    double ptype = 0;
    return p.elem(id::SubsetPointTypes, subset, ptype) ? static_cast<int>(ptype) : subset * 2 + 1;
}

double symbolRadius(const PropertyStore &p)
{
    int size = p.integer(id::PointSize);
    return size == 2 ? 5 : size == 1 ? 3.5 : size == 3 ? 1.5 : 2.5;
}

// Value-to-pixel map of a scale with its factor worked out once, held by value so that
// a loop keeps it in registers.
struct PixelMap {
    ScaleMap m;
    double a, k;
    bool linear;
    explicit PixelMap(const ScaleMap &s)
        : m(s), a(s.v0), k(s.v1 == s.v0 ? 0 : (s.p1 - s.p0) / (s.v1 - s.v0)), linear(!s.log && k != 0) {}
    double operator()(double v) const
    {
        // Far beyond the window but still finite, so that a line towards a point far
        // off the scale keeps its direction.
        constexpr double far = 1e15;
        double px = linear ? m.p0 + (v - a) * k : m.toPixel(v);
        if (!(px >= -far))
            return -far;
        return px > far ? far : px;
    }
};

// What the scan of a subset needs, by value.
struct ScanParams {
    double nullY, nullYf, nullX;
    bool dateTime;
    double xlo, xhi, outLo, outHi; // the x range, and it widened by the slack
    PixelMap mx, my;
    std::size_t denseAbove;
    bool isNull(double x, double y) const
    {
        return !std::isfinite(x) || !std::isfinite(y) || y == nullY || y == nullYf || x == nullX ||
               (dateTime && x == 0);
    }
    // Inside the widened x range no x is non-finite; it can be null only if the null
    // x value (or the unwritten date-time 0) lies inside it too.
    bool xNullInside() const
    {
        return (nullX >= outLo && nullX <= outHi) || (dateTime && 0 >= outLo && 0 <= outHi);
    }
};

// The values of a data array, read as doubles.
template <class T> struct ValuesAt {
    const T *v;
    double operator()(int i) const { return double(v[i]); }
};

// For the points from k on that lie inside [xLo, xHi] in x and [yLo, yHi] in y and are
// not nullY or nullYf in y (with `nulls`), the lowest and highest y go into mn and mx;
// returns the first point that is not one of them. Two points at a time where the
// arrays allow it: this is the loop a curve of a million points spends its time in.
template <bool nulls, class XAt, class YAt>
int scanInside(XAt xAt, YAt yAt, int k, int n, double xLo, double xHi, double yLo, double yHi, double nY,
               double nYf, double &mn, double &mx)
{
    double lo = mn, hi = mx;
#ifdef __SSE2__
    constexpr bool doubleX = std::is_same_v<XAt, ValuesAt<double>>;
    constexpr bool floatY = std::is_same_v<YAt, ValuesAt<float>>, doubleY = std::is_same_v<YAt, ValuesAt<double>>;
    if constexpr (doubleX && (floatY || doubleY)) {
        const __m128d vxLo = _mm_set1_pd(xLo), vxHi = _mm_set1_pd(xHi), vyLo = _mm_set1_pd(yLo),
                      vyHi = _mm_set1_pd(yHi), vnY = _mm_set1_pd(nY), vnYf = _mm_set1_pd(nYf);
        __m128d vlo = _mm_set1_pd(lo), vhi = _mm_set1_pd(hi);
        auto load = [&](int at, __m128d &x, __m128d &y) {
            x = _mm_loadu_pd(xAt.v + at);
            if constexpr (floatY)
                y = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(yAt.v + at))));
            else
                y = _mm_loadu_pd(yAt.v + at);
            __m128d in = _mm_and_pd(_mm_and_pd(_mm_cmpgt_pd(x, vxLo), _mm_cmplt_pd(x, vxHi)),
                                    _mm_and_pd(_mm_cmpge_pd(y, vyLo), _mm_cmple_pd(y, vyHi)));
            if constexpr (nulls)
                in = _mm_and_pd(in, _mm_and_pd(_mm_cmpneq_pd(y, vnY), _mm_cmpneq_pd(y, vnYf)));
            return in;
        };
        // Four points a step while all four are inside, then two, then one by one.
        for (; k + 4 <= n; k += 4) {
            __m128d x0, y0, x1, y1;
            __m128d in = _mm_and_pd(load(k, x0, y0), load(k + 2, x1, y1));
            if (_mm_movemask_pd(in) != 3)
                break;
            vlo = _mm_min_pd(vlo, _mm_min_pd(y0, y1));
            vhi = _mm_max_pd(vhi, _mm_max_pd(y0, y1));
        }
        for (; k + 2 <= n; k += 2) {
            __m128d x, y;
            if (_mm_movemask_pd(load(k, x, y)) != 3)
                break;
            vlo = _mm_min_pd(vlo, y);
            vhi = _mm_max_pd(vhi, y);
        }
        lo = std::min(_mm_cvtsd_f64(vlo), _mm_cvtsd_f64(_mm_unpackhi_pd(vlo, vlo)));
        hi = std::max(_mm_cvtsd_f64(vhi), _mm_cvtsd_f64(_mm_unpackhi_pd(vhi, vhi)));
    }
#endif
    for (; k < n; ++k) {
        double x = xAt(k), y = yAt(k);
        if (!(x > xLo && x < xHi && y >= yLo && y <= yHi))
            break;
        if (nulls && (y == nY || y == nYf))
            break;
        lo = std::min(lo, y);
        hi = std::max(hi, y);
    }
    mn = lo;
    mx = hi;
    return k;
}

// pixel column of x (|x| <= 1e15)
inline long long column(double x)
{
    auto c = static_cast<long long>(x);
    return x < static_cast<double>(c) ? c - 1 : c;
}

// Runs of non-null points of a subset in pixels. Points far outside the x range are
// left out but for one on each side, so that the curve still reaches the edge. A run
// of more than two points a pixel column is reduced as decimate() does while it is
// read (for each run of points in one column the first, the lowest, the highest and
// the last, in their order), so that a curve of a million points is never held in
// pixels.
template <class XAt, class YAt>
void scanRuns(XAt xAt, YAt yAt, int n, const ScanParams P, Frame &out)
{
    auto skipped = [&](int i, double x) {
        if (x >= P.outLo && x <= P.outHi)
            return false;
        return !((x < P.xlo && i + 1 < n && xAt(i + 1) >= P.xlo) || (x > P.xhi && i > 0 && xAt(i - 1) <= P.xhi));
    };
    auto point = [&](int k) { return QPointF(P.mx(xAt(k)), P.my(yAt(k))); };
    const bool linear = P.mx.linear && P.my.linear && !P.xNullInside();
    constexpr double far = 1e15;
    std::vector<QPointF> &o = out.points;
    std::vector<int> at; // the index of each point while the run is plain
    int i = 0;
    while (i < n) {
        Frame::Run run;
        run.begin = static_cast<std::uint32_t>(o.size());
        at.clear();
        for (; i < n; ++i) {
            double x = xAt(i), y = yAt(i);
            if (P.isNull(x, y))
                break;
            if (skipped(i, x))
                continue;
            o.push_back(point(i));
            at.push_back(i);
            if (at.size() > P.denseAbove) {
                ++i;
                break;
            }
        }
        if (at.size() > P.denseAbove) {
            run.dense = true;
            std::vector<QPointF> held(o.begin() + run.begin, o.end());
            o.resize(run.begin);
            // The column being read: its first and last point by index, its lowest and
            // highest value, and the x values that surely fall into it, worked out once
            // a column with room for rounding, so that most points need no pixel x.
            long long col = 0, count = 0;
            int first = 0, last = 0;
            double minY = 0, maxY = 0, safeLo = INFINITY, safeHi = -INFINITY;
            // Pixel y falls as the value rises unless the axis is inverted.
            const bool falls = P.my.k < 0 || !P.my.linear;
            // Values whose pixel y is not bounded, and so keep their order in pixels.
            double yLo = INFINITY, yHi = -INFINITY;
            if (linear) {
                double v0 = P.my.a + (-far - P.my.m.p0) / P.my.k, v1 = P.my.a + (far - P.my.m.p0) / P.my.k;
                yLo = std::min(v0, v1) * (1 - 1e-9);
                yHi = std::max(v0, v1) * (1 - 1e-9);
                if (yLo > yHi)
                    std::swap(yLo, yHi);
            }
            const double perPixel = linear ? 1 / P.mx.k : 0; // x per pixel column
            // Whether a null y can lie among the values the loop below takes.
            const bool nullsInside = (P.nullY >= yLo && P.nullY <= yHi) || (P.nullYf >= yLo && P.nullYf <= yHi);
            auto flush = [&] {
                o.push_back(point(first));
                if (count <= 2) {
                    if (count == 2)
                        o.push_back(point(last));
                    return;
                }
                // The first points of the lowest and the highest value, found again
                // among the column's points (those left out as outside were not in it).
                int minAt = -1, maxAt = -1;
                for (int k = first; k <= last && (minAt < 0 || maxAt < 0); ++k) {
                    double y = yAt(k);
                    if ((y != minY && y != maxY) || skipped(k, xAt(k)))
                        continue;
                    if (minAt < 0 && y == minY)
                        minAt = k;
                    if (maxAt < 0 && y == maxY)
                        maxAt = k;
                }
                int lo = falls ? maxAt : minAt, hi = falls ? minAt : maxAt; // lowest, highest pixel y
                int a = std::min(lo, hi), b = std::max(lo, hi);
                if (a != first)
                    o.push_back(point(a));
                if (b != a && b != last)
                    o.push_back(point(b));
                o.push_back(point(last));
            };
            auto add = [&](int k, double px, double y) {
                long long c = column(px);
                if (count > 0 && c == col) {
                    minY = std::min(minY, y);
                    maxY = std::max(maxY, y);
                    last = k;
                    ++count;
                    return;
                }
                if (count > 0)
                    flush();
                col = c;
                first = last = k;
                minY = maxY = y;
                count = 1;
                if (linear) {
                    const PixelMap &m = P.mx;
                    double b0 = m.a + (double(c) - m.m.p0) * perPixel, b1 = b0 + perPixel;
                    double margin = 16 * std::numeric_limits<double>::epsilon() *
                                    (std::abs(b0) + std::abs(b1) + std::abs(m.a) +
                                     (std::abs(double(c)) + 1 + std::abs(m.m.p0)) * std::abs(perPixel));
                    safeLo = std::max(std::min(b0, b1) + margin, P.outLo);
                    safeHi = std::min(std::max(b0, b1) - margin, P.outHi);
                }
            };
            // The points that surely fall into the column being read; returns the first
            // other point.
            auto sameColumn = [&](int k) {
                int to = nullsInside ? scanInside<true>(xAt, yAt, k, n, safeLo, safeHi, yLo, yHi, P.nullY, P.nullYf, minY, maxY)
                                     : scanInside<false>(xAt, yAt, k, n, safeLo, safeHi, yLo, yHi, P.nullY, P.nullYf, minY, maxY);
                if (to > k) {
                    last = to - 1;
                    count += to - k;
                }
                return to;
            };
            for (std::size_t j = 0; j < held.size(); ++j)
                add(at[j], held[j].x(), yAt(at[j]));
            while (i < n) {
                i = sameColumn(i);
                if (i == n)
                    break;
                double x = xAt(i), y = yAt(i);
                if (P.isNull(x, y))
                    break;
                if (!skipped(i, x))
                    add(i, P.mx(x), y);
                ++i;
            }
            if (count > 0)
                flush();
        }
        run.size = static_cast<std::uint32_t>(o.size() - run.begin);
        if (run.size > 0)
            out.runs.push_back(run);
        // The null point that ended the run.
        if (i < n && P.isNull(xAt(i), yAt(i)))
            ++i;
    }
}

void subsetRuns(const PropertyStore &p, const Layout &L, int subset, Frame &out)
{
    int axis = L.axisOfSubset(subset);
    if (axis >= static_cast<int>(L.axes.size()))
        return;
    NullTest nt(p);
    double xlo = std::min(L.x.v0, L.x.v1), xhi = std::max(L.x.v0, L.x.v1);
    double slack = (xhi - xlo) * 0.01;
    const ScanParams P{nt.nullY, nt.nullYf, nt.nullX, nt.dateTime, xlo, xhi, xlo - slack, xhi + slack,
                       PixelMap(L.x), PixelMap(L.axes[axis].y),
                       static_cast<std::size_t>(L.graph.width()) * 2};
    SubsetData d(p, subset);
    int n = p.points();
    auto withY = [&](auto xAt) {
        if (d.yd)
            scanRuns(xAt, ValuesAt<double>{d.yd}, n, P, out);
        else if (d.yf)
            scanRuns(xAt, ValuesAt<float>{d.yf}, n, P, out);
        else
            scanRuns(xAt, [](int) { return 0.0; }, n, P, out);
    };
    if (d.xd)
        withY(ValuesAt<double>{d.xd});
    else if (d.xf)
        withY(ValuesAt<float>{d.xf});
    else if (d.xIndex)
        withY([](int i) { return double(i + 1); });
    else
        withY([](int) { return 0.0; });
}

// Drawing keeps to the band it is clipped to and this much around it: whatever lies
// further out is cut off in floating point before it reaches the painter.
constexpr double kGuard = 4096;

// Where the bars (or sticks) of a subset stand in each point's slot: its place among
// the subsets of its axis drawn the same way, and how many they are.
struct BarSlot {
    int index = 0, count = 0;
};

std::vector<BarSlot> barSlots(const PropertyStore &p, const Layout &L)
{
    std::vector<BarSlot> places(static_cast<std::size_t>(std::max(p.subsets(), 0)));
    std::vector<int> counts(L.axes.size() * 2, 0);
    for (int k = 0; k < p.subsets(); ++k) {
        int m = methodOf(p, k), a = L.axisOfSubset(k);
        if ((m == Bar || m == Stick) && a < static_cast<int>(L.axes.size()))
            places[k].index = counts[a * 2 + (m == Bar)]++;
    }
    for (int k = 0; k < p.subsets(); ++k) {
        int m = methodOf(p, k), a = L.axisOfSubset(k);
        if ((m == Bar || m == Stick) && a < static_cast<int>(L.axes.size()))
            places[k].count = counts[a * 2 + (m == Bar)];
    }
    return places;
}

// Draws into the band of its axis, which the caller has set as the clip.
void drawSubset(const PropertyStore &p, QPainter &g, const AxisLayout &A, const Layout &L, const Style &s,
                int subset, const Frame &f, BarSlot slot)
{
    if (f.firstRun[subset] == f.firstRun[subset + 1])
        return; // nothing of it is drawn
    int method = methodOf(p, subset);
    bool lines = drawsLine(method);
    bool symbols = drawsSymbols(p, s, method);
    QPen pen = subsetPen(p, s, subset);
    QColor col = pen.color();
    double base = boundedPixel(A.y.toPixel(std::clamp(0.0, std::min(A.y.v0, A.y.v1), std::max(A.y.v0, A.y.v1))));
    QRectF guard = QRectF(A.band).adjusted(-kGuard, -kGuard, kGuard, kGuard);
    auto curve = [&](std::span<const QPointF> pts) {
        clipPolyline(pts, guard, [&](std::span<const QPointF> piece) { drawCurve(g, piece); });
    };

    for (std::uint32_t r = f.firstRun[subset]; r < f.firstRun[subset + 1]; ++r) {
        std::span<const QPointF> pts = f.pointsOf(f.runs[r]);
        bool dense = f.runs[r].dense;
        if (method == Area || method == Ribbon) {
            QPolygonF poly;
            poly << QPointF(pts.front().x(), base);
            for (auto &q : pts)
                poly << q;
            poly << QPointF(pts.back().x(), base);
            QColor fill = col;
            fill.setAlpha(s.mono ? 60 : 110);
            g.setPen(Qt::NoPen);
            g.setBrush(fill);
            g.drawPolygon(clipPolygon(poly, guard));
            g.setBrush(Qt::NoBrush);
        }
        g.setPen(pen);
        if (lines) {
            if (method == Step) {
                std::vector<QPointF> st;
                st.reserve(pts.size() * 2);
                for (std::size_t i = 0; i < pts.size(); ++i) {
                    if (i > 0)
                        st.emplace_back(pts[i].x(), pts[i - 1].y());
                    st.push_back(pts[i]);
                }
                curve(st);
            } else if ((method == Spline || method == PointsSpline) && !dense) {
                curve(splinePoints(pts));
            } else {
                curve(pts);
            }
            // A point between two gaps (or the first sample) has no line: show it.
            if (pts.size() == 1 && !symbols && inside(guard, pts.front())) {
                double r = std::max(2.5, pen.widthF());
                g.setPen(QPen(col, 0));
                g.setBrush(col);
                g.drawEllipse(pts.front(), r, r);
                g.setBrush(Qt::NoBrush);
                g.setPen(pen);
            }
        }
        if (method == Stick || method == Bar) {
            // The slot of a point is the spacing of the points, also in a short run
            // between gaps.
            double spacing = pts.size() > 1 ? std::abs(pts.back().x() - pts.front().x()) / (pts.size() - 1)
                                            : L.graph.width() / std::max(1.0, double(p.points()));
            double bw = p.number(id::BarWidth);
            double wdt = std::max(1.0, spacing * (bw > 0 && bw <= 1 ? bw : 0.6));
            double each = wdt / std::max(slot.count, 1), offset = -wdt / 2 + slot.index * each;
            for (auto &q : pts) {
                if (method == Stick) {
                    double sx = slot.count > 1 ? q.x() + offset + each / 2 : q.x();
                    if (sx < guard.left() || sx > guard.right())
                        continue;
                    QPointF from(sx, std::clamp(base, guard.top(), guard.bottom()));
                    QPointF to(sx, std::clamp(q.y(), guard.top(), guard.bottom()));
                    g.drawLine(from, to);
                } else {
                    QRectF r(QPointF(q.x() + offset, std::min(q.y(), base)),
                             QPointF(q.x() + offset + each, std::max(q.y(), base)));
                    if (!clampRect(r, guard))
                        continue;
                    g.fillRect(r, col);
                    g.setPen(QPen(s.graphFore, 0));
                    g.drawRect(r);
                    g.setPen(pen);
                }
            }
        }
        if (symbols && !dense) {
            int type = symbolType(p, subset);
            double r = symbolRadius(p);
            g.setPen(QPen(col, 0));
            for (auto &q : pts)
                if (inside(guard, q))
                    drawSymbol(g, q, type, r, col);
        }
    }
}

struct AnnotText {
    QString text;
    QColor color;
};

void drawAnnotations(const PropertyStore &p, QPainter &g, Layout &L, const Metrics &m)
{
    if (!p.integer(id::ShowAnnotations))
        return;
    const Style &s = m.style;
    auto lineFont = [&](int sizeId) {
        double pct = p.number(sizeId);
        if (!(pct > 0))
            pct = 100;
        return labelFont(p, s, 0.9 * std::clamp(pct, 10.0, 400.0) / 100.0);
    };
    g.save();
    g.setClipRect(L.graph.adjusted(0, 0, 1, 1));
    if (p.integer(id::ShowVertLineAnnotations)) {
        QFont f = lineFont(id::LineAnnotationTextSize);
        QFontMetrics fm(f);
        g.setFont(f);
        for (int i = 0; i < p.elemCount(id::VertLineAnnotation); ++i) {
            double x = 0, type = 0, colour = 0;
            if (!p.elem(id::VertLineAnnotation, i, x))
                continue;
            p.elem(id::VertLineAnnotationType, i, type);
            bool hasColour = p.elem(id::VertLineAnnotationColor, i, colour);
            QColor c = s.mono || !hasColour ? s.text : fromColorRef(static_cast<std::int32_t>(colour));
            double px = L.x.toPixel(x);
            if (!(px >= L.graph.left() && px <= L.graph.right()))
                continue;
            g.setPen(QPen(c, std::max(0, lineTypeWidth(static_cast<int>(type)) > 1 ? lineTypeWidth(static_cast<int>(type)) : 0),
                          lineTypeStyle(static_cast<int>(type))));
            g.drawLine(QPointF(px, L.graph.top()), QPointF(px, L.graph.bottom()));
            std::string text;
            if (p.elemString(id::VertLineAnnotationText, i, text) && !text.empty()) {
                QString t = fromAnsi(text);
                int tw = fm.horizontalAdvance(t) + 6;
                // Text beside the line at the top, on the side with room.
                double tx = px + tw + 2 < L.graph.right() ? px + 3 : px - tw - 1;
                tx = std::max<double>(tx, L.graph.left() + 1); // a long text keeps inside the graph
                QRectF r(tx, L.graph.top() + 2, tw, fm.height());
                g.fillRect(r, s.graphBack);
                g.setPen(c);
                g.drawText(r, Qt::AlignCenter, t);
                L.vertLineTexts.push_back({r.toRect(), i});
            }
        }
    }
    if (p.integer(id::ShowHorzLineAnnotations)) {
        QFont f = lineFont(id::LineAnnotationTextSize);
        QFontMetrics fm(f);
        g.setFont(f);
        for (int i = 0; i < p.elemCount(id::HorzLineAnnotation); ++i) {
            double y = 0, type = 0, colour = 0, axis = 0;
            if (!p.elem(id::HorzLineAnnotation, i, y))
                continue;
            p.elem(id::HorzLineAnnotationType, i, type);
            p.elem(id::HorzLineAnnotationAxis, i, axis);
            bool hasColour = p.elem(id::HorzLineAnnotationColor, i, colour);
            int a = std::clamp(static_cast<int>(axis), 0, static_cast<int>(L.axes.size()) - 1);
            QColor c = s.mono || !hasColour ? s.text : fromColorRef(static_cast<std::int32_t>(colour));
            // A value far off the scale puts the line and its text far outside, not
            // beyond what a coordinate can hold.
            double py = boundedPixel(L.axes[a].y.toPixel(y));
            g.setPen(QPen(c, lineTypeWidth(static_cast<int>(type)) > 1 ? lineTypeWidth(static_cast<int>(type)) : 0,
                          lineTypeStyle(static_cast<int>(type))));
            g.drawLine(QPointF(L.graph.left(), py), QPointF(L.graph.right(), py));
            std::string text;
            if (p.elemString(id::HorzLineAnnotationText, i, text) && !text.empty()) {
                QString t = fromAnsi(text);
                QRectF r(L.graph.left() + 3, py - fm.height() - 1, fm.horizontalAdvance(t) + 4, fm.height());
                g.setPen(c);
                g.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, t);
                L.horzLineTexts.push_back({r.toRect(), i});
            }
        }
    }
    if (p.integer(id::ShowGraphAnnotations)) {
        QFont f = lineFont(id::GraphAnnotationTextSize);
        QFontMetrics fm(f);
        g.setFont(f);
        int count = std::max(p.elemCount(id::GraphAnnotationX), p.elemCount(id::GraphAnnotationY));
        for (int i = 0; i < count; ++i) {
            double x = 0, y = 0, type = 0, colour = 0, axis = 0;
            if (!p.elem(id::GraphAnnotationX, i, x) || !p.elem(id::GraphAnnotationY, i, y))
                continue;
            p.elem(id::GraphAnnotationType, i, type);
            p.elem(id::GraphAnnotationAxis, i, axis);
            bool hasColour = p.elem(id::GraphAnnotationColor, i, colour);
            int a = std::clamp(static_cast<int>(axis), 0, static_cast<int>(L.axes.size()) - 1);
            QColor c = s.mono || !hasColour ? s.text : fromColorRef(static_cast<std::int32_t>(colour));
            QPointF at(boundedPixel(L.x.toPixel(x)), boundedPixel(L.axes[a].y.toPixel(y)));
            g.setPen(QPen(c, 0));
            if (type >= 0)
                drawSymbol(g, at, static_cast<int>(type), 3, c);
            std::string text;
            QRect r(at.toPoint() - QPoint(4, 4), QSize(8, 8));
            if (p.elemString(id::GraphAnnotationText, i, text) && !text.empty()) {
                QString t = fromAnsi(text);
                QRectF tr(at.x() + 5, at.y() - fm.height() / 2.0, fm.horizontalAdvance(t) + 4, fm.height());
                g.drawText(tr, Qt::AlignLeft | Qt::AlignVCenter, t);
                r = r.united(tr.toRect());
            }
            L.graphAnnots.push_back({r, i});
        }
    }
    g.restore();
}

void drawLegend(const PropertyStore &p, QPainter &g, const Layout &L, const Metrics &m)
{
    if (L.legend.empty())
        return;
    g.setFont(m.legend);
    int sample = m.style.basePx * 2;
    for (auto &[r, subset] : L.legend) {
        // The sample looks like the subset: its line, bar or area colour, its symbol.
        QPen pen = subsetPen(p, m.style, subset);
        int method = methodOf(p, subset);
        int cy = r.center().y();
        if (method == Bar || method == Area || method == Ribbon) {
            QRect box(r.left() + 2, cy - r.height() / 4, sample - 2, std::max(2, r.height() / 2));
            g.fillRect(box, pen.color());
            g.setPen(QPen(m.style.graphFore, 0));
            g.drawRect(box);
        } else if (drawsLine(method) || method == Stick) {
            g.setPen(pen);
            g.drawLine(r.left() + 2, cy, r.left() + sample, cy);
        }
        if (drawsSymbols(p, m.style, method)) {
            g.setPen(QPen(pen.color(), 0));
            drawSymbol(g, QPointF(r.left() + 2 + sample / 2.0, cy), symbolType(p, subset), symbolRadius(p), pen.color());
            g.setBrush(Qt::NoBrush);
        }
        g.setPen(m.style.text);
        g.drawText(QRect(r.left() + sample + 6, r.top(), r.width() - sample - 6, r.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, subsetLabel(p, subset));
    }
}

} // namespace

QColor subsetColor(const PropertyStore &p, int subset)
{
    double v = 0;
    if (p.elem(id::SubsetColors, subset, v))
        return fromColorRef(static_cast<std::int32_t>(v));
    return fromColorRef(kPalette[static_cast<std::size_t>(std::max(subset, 0)) % std::size(kPalette)]);
}

int subsetLineType(const PropertyStore &p, int subset)
{
    double v = 0;
    return p.elem(id::SubsetLineTypes, subset, v) ? static_cast<int>(v) : 0;
}

Qt::PenStyle lineTypeStyle(int type)
{
    switch (type) {
    case 1: case 7: return Qt::DashLine;
    case 2: case 8: return Qt::DotLine;
    case 3: return Qt::DashDotLine;
    case 4: return Qt::DashDotDotLine;
    default: return Qt::SolidLine;
    }
}

int lineTypeWidth(int type)
{
    switch (type) {
    case 5: case 7: case 8: return 2;
    case 6: return 3;
    default: return 1;
    }
}

// A single y value is compared in single precision too, as YData holds singles.
// A date-time of exactly 0 is a point that was never written.
bool isNullPoint(const PropertyStore &p, double x, double y) { return NullTest(p)(x, y); }

double xValue(const PropertyStore &p, int subset, int point)
{
    if (subset < 0 || subset >= p.subsets() || point < 0 || point >= p.points())
        return 0;
    return SubsetData(p, subset).x(point);
}

double yValue(const PropertyStore &p, int subset, int point)
{
    if (subset < 0 || subset >= p.subsets() || point < 0 || point >= p.points())
        return 0;
    return SubsetData(p, subset).y(point);
}

Frame buildFrame(const PropertyStore &p, int width, int height, std::size_t parallelFrom)
{
    Frame f;
    f.width = std::max(width, 1);
    f.height = std::max(height, 1);
    Metrics m;
    f.layout = layoutChart(p, f.width, f.height, m);
    const int subsets = p.subsets();
    f.firstRun.reserve(static_cast<std::size_t>(std::max(subsets, 0)) + 1);
    const std::size_t total = static_cast<std::size_t>(std::max(p.points(), 0)) * std::max(subsets, 0);
    if (subsets > 1 && total >= parallelFrom) {
        // Many points: the subsets are read side by side, at most a reader a core, each
        // reader a block of neighbouring subsets into a part of its own; the parts are
        // joined in their order. The reading only looks at the properties.
        const int readers = std::min(subsets, static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
        struct Part {
            Frame runs;                          // points and runs of its subsets
            std::vector<std::uint32_t> firstRun; // as Frame::firstRun, within the part
        };
        std::vector<Part> parts(static_cast<std::size_t>(readers));
        auto read = [&](int w) {
            Part &part = parts[static_cast<std::size_t>(w)];
            const int from = static_cast<int>(std::int64_t(subsets) * w / readers),
                      to = static_cast<int>(std::int64_t(subsets) * (w + 1) / readers);
            part.firstRun.reserve(static_cast<std::size_t>(to - from));
            for (int sIdx = from; sIdx < to; ++sIdx) {
                part.firstRun.push_back(static_cast<std::uint32_t>(part.runs.runs.size()));
                subsetRuns(p, f.layout, sIdx, part.runs);
            }
        };
        std::vector<std::thread> threads;
        std::vector<int> leftOver; // readers without a thread: this one does their part
        for (int w = 1; w < readers; ++w) {
            try {
                threads.emplace_back(read, w);
            } catch (const std::system_error &) {
                leftOver.push_back(w);
            }
        }
        read(0);
        for (int w : leftOver)
            read(w);
        for (std::thread &t : threads)
            t.join();
        std::size_t points = 0, runs = 0;
        for (const Part &part : parts) {
            points += part.runs.points.size();
            runs += part.runs.runs.size();
        }
        f.points.reserve(points);
        f.runs.reserve(runs);
        for (Part &part : parts) {
            const auto runOffset = static_cast<std::uint32_t>(f.runs.size());
            for (std::uint32_t first : part.firstRun)
                f.firstRun.push_back(first + runOffset);
            const auto offset = static_cast<std::uint32_t>(f.points.size());
            f.points.insert(f.points.end(), part.runs.points.begin(), part.runs.points.end());
            for (Frame::Run r : part.runs.runs) {
                r.begin += offset;
                f.runs.push_back(r);
            }
            part = Part{};
        }
    } else {
        for (int sIdx = 0; sIdx < subsets; ++sIdx) {
            f.firstRun.push_back(static_cast<std::uint32_t>(f.runs.size()));
            subsetRuns(p, f.layout, sIdx, f);
        }
    }
    f.firstRun.push_back(static_cast<std::uint32_t>(f.runs.size()));
    return f;
}

void drawFrame(const PropertyStore &p, const Frame &f, QPainter &g, Layout &L, const GridNumberHook &gridNumbers)
{
    Metrics m = metricsOf(p, f.width, f.height);
    L = f.layout;
    const Style &s = m.style;
    g.save();
    g.setRenderHint(QPainter::Antialiasing, false);
    g.setRenderHint(QPainter::TextAntialiasing, true);
    drawDesk(p, g, L, s);
    drawTitles(p, g, L, m);
    g.fillRect(L.graph, s.graphBack);

    std::vector<double> xVals;
    std::vector<QString> xTexts, xDates;
    xTicks(p, L, QFontMetrics(m.numbers), xVals, xTexts, xDates);
    bool gridFront = p.integer(id::GridInFront);
    if (!gridFront)
        drawGrid(p, g, L, m, xVals);
    std::vector<BarSlot> places = barSlots(p, L);
    const int drawn = std::min(p.subsets(), static_cast<int>(f.firstRun.size()) - 1);
    for (const AxisLayout &A : L.axes) {
        g.save();
        g.setClipRect(A.band.adjusted(0, 0, 1, 1));
        for (int sIdx = A.firstSubset; sIdx < std::min(A.firstSubset + A.subsetCount, drawn); ++sIdx)
            drawSubset(p, g, A, L, s, sIdx, f, places[sIdx]);
        g.restore();
    }
    // Subsets past those the axes were given are drawn against the first axis.
    if (!L.axes.empty()) {
        const AxisLayout &A = L.axes.front();
        g.save();
        g.setClipRect(A.band.adjusted(0, 0, 1, 1));
        for (int sIdx = L.axes.back().firstSubset + L.axes.back().subsetCount; sIdx < drawn; ++sIdx)
            drawSubset(p, g, A, L, s, sIdx, f, places[sIdx]);
        g.restore();
    }
    if (gridFront)
        drawGrid(p, g, L, m, xVals);
    drawAxes(p, g, L, m, xVals, xTexts, xDates, gridNumbers);
    drawAnnotations(p, g, L, m);
    drawLegend(p, g, L, m);
    g.restore();
}

void renderChart(const PropertyStore &p, QPainter &g, int width, int height, Layout &L,
                 const GridNumberHook &gridNumbers)
{
    drawFrame(p, buildFrame(p, width, height), g, L, gridNumbers);
}

} // namespace chart::engine
