#include "chart/engine/Renderer.h"
#include "chart/engine/Clip.h"
#include "chart/engine/Style.h"

#include <QFontMetrics>
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cmath>

namespace chart::engine {

using namespace detail;

QColor fromColorRef(std::int32_t v) {
    auto u = static_cast<std::uint32_t>(v);
    return QColor(u & 0xFF, (u >> 8) & 0xFF, (u >> 16) & 0xFF);
}

std::int32_t toColorRef(const QColor &c) {
    return static_cast<std::int32_t>(c.red() | (c.green() << 8) | (c.blue() << 16));
}

namespace {

const std::int32_t kPalette[] = {0xFF0000, 0x0000FF, 0x008000, 0xFF00FF, 0x008080,
                                 0x800000, 0x000080, 0x808000, 0x800080, 0x00C0C0};

QPen gridPen(const PropertyStore &p, const QColor &c) {
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
            std::vector<QString> &texts, std::vector<QString> &dates) {
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

void fillRegion(QPainter &g, const QRegion &r, const QColor &c) {
    for (const QRect &rc : r) g.fillRect(rc, c);
}

// The desk; the graph area is left to its own fill, which comes next.
void drawDesk(const PropertyStore &p, QPainter &g, const Layout &L, const Style &s) {
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
        default: break;
    }
}

void drawTitles(const PropertyStore &p, QPainter &g, const Layout &L, const Metrics &m) {
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

std::vector<double> yTickValues(const PropertyStore &p, const AxisLayout &A, int ax, int numbersH, double &step) {
    double y0 = std::min(A.y.v0, A.y.v1), y1 = std::max(A.y.v0, A.y.v1);
    if (p.axisNumber(id::ManualYAxisTicknLine, ax) && p.axisNumber(id::ManualYAxisLine, ax) > 0)
        step = p.axisNumber(id::ManualYAxisLine, ax);
    else
        // Numbers at least 1.7 text heights apart.
        step = niceStepAtLeast((y1 - y0) * 1.7 * std::max(numbersH, 1) / std::max(A.band.height(), 1));
    return ticks(y0, y1, step);
}

void drawGrid(const PropertyStore &p, QPainter &g, const Layout &L, const Metrics &m,
              const std::vector<double> &xVals) {
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

void drawAxes(const PropertyStore &p, QPainter &g, Layout &L, const Metrics &m, const std::vector<double> &xVals,
              std::vector<QString> xTexts, const std::vector<QString> &xDates, const GridNumberHook &hook) {
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
        if (p.axisNumber(id::ShowYAxis, ax) == 5) continue;
        QColor c = p.axisHas(id::YAxisColor, ax)
                       ? fromColorRef(static_cast<std::int32_t>(p.axisNumber(id::YAxisColor, ax)))
                       : s.text;
        if (s.mono) c = s.text;
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
                if (hi >= lo) r.moveTop(std::clamp(r.top(), lo, hi));
                QString text = formatNumber(v, step, 0);
                if (hook && p.axisNumber(3160 /*CustomGridNumbersY*/, ax)) text = hook(0, ax, v, text);
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
        for (std::size_t i = 0; i < xVals.size(); ++i) xTexts[i] = hook(2, 0, xVals[i], xTexts[i]);
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

QPen subsetPen(const PropertyStore &p, const Style &s, int subset) {
    int type = subsetLineType(p, subset);
    QColor c = s.mono ? s.text : subsetColor(p, subset);
    if (s.mono) type = subset % 5; // told apart by dashes when there is no colour
    QPen pen(c, lineTypeWidth(type), lineTypeStyle(type), Qt::FlatCap, Qt::MiterJoin);
    if (pen.width() <= 1) pen.setWidth(0);
    return pen;
}

// The outline of a symbol, with the pen and brush as set.
void drawSymbolShape(QPainter &g, const QPointF &c, int type, double r) {
    switch ((type / 2) % 5) {
        case 0:
            g.drawLine(QPointF(c.x() - r, c.y()), QPointF(c.x() + r, c.y()));
            g.drawLine(QPointF(c.x(), c.y() - r), QPointF(c.x(), c.y() + r));
            break;
        case 1: g.drawEllipse(c, r, r); break;
        case 2: g.drawRect(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r)); break;
        case 3: {
            QPointF d[4] = {{c.x(), c.y() - r}, {c.x() + r, c.y()}, {c.x(), c.y() + r}, {c.x() - r, c.y()}};
            g.drawPolygon(d, 4);
            break;
        }
        default: {
            QPointF t[3] = {{c.x(), c.y() - r}, {c.x() + r, c.y() + r}, {c.x() - r, c.y() + r}};
            g.drawPolygon(t, 3);
            break;
        }
    }
}

void drawSymbol(QPainter &g, const QPointF &c, int type, double r, const QColor &col) {
    g.setBrush(type % 2 == 1 ? QBrush(col) : Qt::NoBrush);
    drawSymbolShape(g, c, type, r);
    g.setBrush(Qt::NoBrush);
}

// Draws a polyline: a thin pen in one call, a wide one in runs of 64 points (a wide
// polyline costs far more than the same points in short pieces).
void drawCurve(QPainter &g, std::span<const QPointF> pts) {
    if (pts.size() < 2) return;
    if (g.pen().width() <= 1) {
        g.drawPolyline(pts.data(), static_cast<int>(pts.size()));
        return;
    }
    for (auto [start, n] : splitRuns(static_cast<int>(pts.size()), 64)) g.drawPolyline(pts.data() + start, n);
}

std::vector<QPointF> splinePoints(std::span<const QPointF> pts) {
    if (pts.size() < 3) return std::vector<QPointF>(pts.begin(), pts.end());
    std::vector<QPointF> out;
    out.reserve(pts.size() * 8);
    for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
        QPointF p0 = pts[i == 0 ? 0 : i - 1], p1 = pts[i], p2 = pts[i + 1], p3 = pts[std::min(i + 2, pts.size() - 1)];
        for (int k = 0; k < 8; ++k) {
            double t = k / 8.0, t2 = t * t, t3 = t2 * t;
            out.push_back(0.5 * ((2 * p1) + (-p0 + p2) * t + (2 * p0 - 5 * p1 + 4 * p2 - p3) * t2 +
                                 (-p0 + 3 * p1 - 3 * p2 + p3) * t3));
        }
    }
    out.push_back(pts.back());
    return out;
}

bool drawsLine(int method) {
    return method == Line || method == PointsLine || method == Spline || method == PointsSpline || method == Step ||
           method == Area || method == Ribbon || method == PointsBFL;
}

bool drawsSymbols(const PropertyStore &p, const Style &s, int method) {
    return method == Point || method == PointsLine || method == PointsSpline || method == PointsBFL ||
           method == PointsBFC || method == Bubble || p.integer(id::MarkDataPoints) || s.symbols;
}

int symbolType(const PropertyStore &p, int subset) {
    double ptype = 0;
    return p.elem(id::SubsetPointTypes, subset, ptype) ? static_cast<int>(ptype) : subset * 2 + 1;
}

double symbolRadius(const PropertyStore &p) {
    int size = p.integer(id::PointSize);
    return size == 2 ? 5 : size == 1 ? 3.5 : size == 3 ? 1.5 : 2.5;
}

// Drawing keeps to the band it is clipped to and this much around it: whatever lies
// further out is cut off in floating point before it reaches the painter.
constexpr double kGuard = 4096;

// Where the bars (or sticks) of a subset stand in each point's slot: its place among
// the subsets of its axis drawn the same way, and how many they are.
struct BarSlot {
    int index = 0, count = 0;
};

std::vector<BarSlot> barSlots(const PropertyStore &p, const Layout &L) {
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
void drawSubset(const PropertyStore &p, QPainter &g, const AxisLayout &A, const Layout &L, const Style &s, int subset,
                const Frame &f, BarSlot slot) {
    if (f.firstRun[subset] == f.firstRun[subset + 1]) return; // nothing of it is drawn
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

    const int type = symbolType(p, subset);
    const double radius = symbolRadius(p), dotRadius = std::max(2.5, pen.widthF());
    // A run of one point of a curve without symbols is a dot and nothing else; a run
    // that is not dense of a subset of symbols without lines, or of one point, is its
    // symbols and nothing else. Curves cut by nulls into runs of a point or a few are
    // that many of them: those of runs one after another are drawn with the pen and
    // brush set once. The others find the pen and brush as each run leaves them.
    const bool filled = method != Area && method != Ribbon && method != Bar && method != Stick;
    enum class Tools { Run, Dot, Symbol } tools = Tools::Run;
    auto use = [&](Tools t) {
        if (tools == t) return;
        if (t == Tools::Run) {
            g.setBrush(Qt::NoBrush);
            g.setPen(pen);
        } else {
            g.setPen(QPen(col, 0));
            g.setBrush(t == Tools::Dot || type % 2 == 1 ? QBrush(col) : QBrush(Qt::NoBrush));
        }
        tools = t;
    };
    std::vector<QPointF> widened;
    for (std::uint32_t r = f.firstRun[subset]; r < f.firstRun[subset + 1]; ++r) {
        const Frame::Run run = f.runs[r];
        std::span<const QPointF> pts = f.pointsOf(run, widened, subset);
        if (filled && pts.size() == 1 && lines && !symbols) {
            if (inside(guard, pts.front())) {
                use(Tools::Dot);
                g.drawEllipse(pts.front(), dotRadius, dotRadius);
            }
            continue;
        }
        if (filled && (!lines || pts.size() == 1) && symbols) {
            if (!run.dense) {
                use(Tools::Symbol);
                for (auto &q : pts)
                    if (inside(guard, q)) drawSymbolShape(g, q, type, radius);
            }
            continue;
        }
        use(Tools::Run);
        bool dense = run.dense;
        if (method == Area || method == Ribbon) {
            QPolygonF poly;
            poly << QPointF(pts.front().x(), base);
            for (auto &q : pts) poly << q;
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
                    if (i > 0) st.emplace_back(pts[i].x(), pts[i - 1].y());
                    st.push_back(pts[i]);
                }
                curve(st);
            } else if ((method == Spline || method == PointsSpline) && !dense) {
                curve(splinePoints(pts));
            } else {
                curve(pts);
            }
            // A point between two gaps (or the first sample) has no line: show it.
            if (pts.size() == 1 && !symbols && inside(guard, pts.front())) { // of an area
                g.setPen(QPen(col, 0));
                g.setBrush(col);
                g.drawEllipse(pts.front(), dotRadius, dotRadius);
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
            // A bar's outline in the graph's colour; a stick, or the fill, needs no other.
            if (method == Bar) g.setPen(QPen(s.graphFore, 0));
            for (auto &q : pts) {
                if (method == Stick) {
                    double sx = slot.count > 1 ? q.x() + offset + each / 2 : q.x();
                    if (sx < guard.left() || sx > guard.right()) continue;
                    QPointF from(sx, std::clamp(base, guard.top(), guard.bottom()));
                    QPointF to(sx, std::clamp(q.y(), guard.top(), guard.bottom()));
                    g.drawLine(from, to);
                } else {
                    QRectF r(QPointF(q.x() + offset, std::min(q.y(), base)),
                             QPointF(q.x() + offset + each, std::max(q.y(), base)));
                    if (!clampRect(r, guard)) continue;
                    g.fillRect(r, col);
                    g.drawRect(r);
                }
            }
            g.setPen(pen);
        }
        if (symbols && !dense) {
            g.setPen(QPen(col, 0));
            // The brush is set once for all of them: setting it costs more than a symbol.
            g.setBrush(type % 2 == 1 ? QBrush(col) : Qt::NoBrush);
            for (auto &q : pts)
                if (inside(guard, q)) drawSymbolShape(g, q, type, radius);
            g.setBrush(Qt::NoBrush);
        }
    }
    use(Tools::Run);
}

struct AnnotText {
    QString text;
    QColor color;
};

void drawAnnotations(const PropertyStore &p, QPainter &g, Layout &L, const Metrics &m) {
    if (!p.integer(id::ShowAnnotations)) return;
    const Style &s = m.style;
    auto lineFont = [&](int sizeId) {
        double pct = p.number(sizeId);
        if (!(pct > 0)) pct = 100;
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
            if (!p.elem(id::VertLineAnnotation, i, x)) continue;
            p.elem(id::VertLineAnnotationType, i, type);
            bool hasColour = p.elem(id::VertLineAnnotationColor, i, colour);
            QColor c = s.mono || !hasColour ? s.text : fromColorRef(static_cast<std::int32_t>(colour));
            double px = L.x.toPixel(x);
            if (!(px >= L.graph.left() && px <= L.graph.right())) continue;
            g.setPen(QPen(
                c, std::max(0, lineTypeWidth(static_cast<int>(type)) > 1 ? lineTypeWidth(static_cast<int>(type)) : 0),
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
            if (!p.elem(id::HorzLineAnnotation, i, y)) continue;
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
            if (!p.elem(id::GraphAnnotationX, i, x) || !p.elem(id::GraphAnnotationY, i, y)) continue;
            p.elem(id::GraphAnnotationType, i, type);
            p.elem(id::GraphAnnotationAxis, i, axis);
            bool hasColour = p.elem(id::GraphAnnotationColor, i, colour);
            int a = std::clamp(static_cast<int>(axis), 0, static_cast<int>(L.axes.size()) - 1);
            QColor c = s.mono || !hasColour ? s.text : fromColorRef(static_cast<std::int32_t>(colour));
            QPointF at(boundedPixel(L.x.toPixel(x)), boundedPixel(L.axes[a].y.toPixel(y)));
            g.setPen(QPen(c, 0));
            if (type >= 0) drawSymbol(g, at, static_cast<int>(type), 3, c);
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

void drawLegend(const PropertyStore &p, QPainter &g, const Layout &L, const Metrics &m) {
    if (L.legend.empty()) return;
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
            drawSymbol(g, QPointF(r.left() + 2 + sample / 2.0, cy), symbolType(p, subset), symbolRadius(p),
                       pen.color());
            g.setBrush(Qt::NoBrush);
        }
        g.setPen(m.style.text);
        g.drawText(QRect(r.left() + sample + 6, r.top(), r.width() - sample - 6, r.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, subsetLabel(p, subset));
    }
}

} // namespace

QColor subsetColor(const PropertyStore &p, int subset) {
    double v = 0;
    if (p.elem(id::SubsetColors, subset, v)) return fromColorRef(static_cast<std::int32_t>(v));
    return fromColorRef(kPalette[static_cast<std::size_t>(std::max(subset, 0)) % std::size(kPalette)]);
}

int subsetLineType(const PropertyStore &p, int subset) {
    double v = 0;
    return p.elem(id::SubsetLineTypes, subset, v) ? static_cast<int>(v) : 0;
}

Qt::PenStyle lineTypeStyle(int type) {
    switch (type) {
        case 1:
        case 7: return Qt::DashLine;
        case 2:
        case 8: return Qt::DotLine;
        case 3: return Qt::DashDotLine;
        case 4: return Qt::DashDotDotLine;
        default: return Qt::SolidLine;
    }
}

int lineTypeWidth(int type) {
    switch (type) {
        case 5:
        case 7:
        case 8: return 2;
        case 6: return 3;
        default: return 1;
    }
}

void drawFrame(const PropertyStore &p, const Frame &f, QPainter &g, Layout &L, const GridNumberHook &gridNumbers) {
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
    if (!gridFront) drawGrid(p, g, L, m, xVals);
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
    if (gridFront) drawGrid(p, g, L, m, xVals);
    drawAxes(p, g, L, m, xVals, xTexts, xDates, gridNumbers);
    drawAnnotations(p, g, L, m);
    drawLegend(p, g, L, m);
    g.restore();
}

void renderChart(const PropertyStore &p, QPainter &g, int width, int height, Layout &L,
                 const GridNumberHook &gridNumbers) {
    drawFrame(p, buildFrame(p, width, height), g, L, gridNumbers);
}

} // namespace chart::engine
