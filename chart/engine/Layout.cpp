#include "chart/engine/Layout.h"

#include "chart/engine/Renderer.h"
#include "chart/engine/Style.h"

#include <QFontMetrics>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <system_error>
#include <thread>
#include <vector>

namespace chart::engine {

int Layout::axisAt(int y) const {
    for (std::size_t i = 0; i < axes.size(); ++i)
        if (y >= axes[i].band.top() && y <= axes[i].band.bottom()) return static_cast<int>(i);
    return -1;
}

int Layout::axisOfSubset(int subset) const {
    for (std::size_t i = 0; i < axes.size(); ++i)
        if (subset >= axes[i].firstSubset && subset < axes[i].firstSubset + axes[i].subsetCount)
            return static_cast<int>(i);
    return 0;
}

namespace detail {

namespace {

struct AxisPlan {
    int first = 0, count = 0;
    double weight = 1;
};

std::vector<AxisPlan> axisPlans(const PropertyStore &p) {
    std::vector<AxisPlan> out;
    int subsets = p.subsets();
    int used = 0;
    for (int k = 0; k < kMaxAxes && used < subsets; ++k) {
        double n = 0;
        if (!p.elem(id::MultiAxesSubsets, k, n) || n < 1) break;
        int c = std::min(static_cast<int>(n), subsets - used);
        AxisPlan a;
        a.first = used;
        a.count = c;
        double w = 0;
        if (p.elem(id::MultiAxesProportions, k, w) && w > 0) a.weight = w;
        out.push_back(a);
        used += c;
    }
    if (out.empty()) out.push_back(AxisPlan{0, subsets, 1});
    return out;
}

bool dateTimeMode(const PropertyStore &p) { return p.integer(id::DateTimeMode) != 0; }

// Runs f(x, y) over the values of a subset with the source of each coordinate chosen
// once, not per point.
template <class F> void forEachValue(const SubsetData &d, int n, F &&f) {
    auto withY = [&](auto xAt) {
        if (d.yd)
            for (int i = 0; i < n; ++i) f(i, xAt(i), d.yd[i]);
        else if (d.yf)
            for (int i = 0; i < n; ++i) f(i, xAt(i), double(d.yf[i]));
        else
            for (int i = 0; i < n; ++i) f(i, xAt(i), 0.0);
    };
    if (d.xd)
        withY([&](int i) { return d.xd[i]; });
    else if (d.xf)
        withY([&](int i) { return double(d.xf[i]); });
    else if (d.xIndex)
        withY([](int i) { return double(i + 1); });
    else
        withY([](int) { return 0.0; });
}

// The lowest and highest of pick(x, y) over the drawn points of subsets [first, end).
// Many points are read side by side, a block of subsets a reader; the blocks are joined
// in their order, so that of equal values (0 and -0) the first is kept as read in turn.
template <class Pick> void dataRange(const PropertyStore &p, int first, int end, Pick pick, double &lo, double &hi) {
    const NullTest isNull(p);
    const int n = p.points();
    struct Part {
        double lo = INFINITY, hi = -INFINITY;
    };
    auto read = [&](int from, int to, Part &part) {
        double l = INFINITY, h = -INFINITY;
        for (int s = from; s < to; ++s)
            forEachValue(SubsetData(p, s), n, [&](int, double x, double y) {
                if (isNull(x, y)) return;
                double v = pick(x, y);
                l = std::min(l, v);
                h = std::max(h, v);
            });
        part = {l, h};
    };
    const int count = std::max(end - first, 0);
    const std::size_t total = static_cast<std::size_t>(std::max(n, 0)) * static_cast<std::size_t>(count);
    const int readers = count > 1 && total >= kParallelPoints
                            ? std::min(count, static_cast<int>(std::max(1u, std::thread::hardware_concurrency())))
                            : 1;
    std::vector<Part> parts(static_cast<std::size_t>(readers));
    auto block = [&](int w) {
        read(first + static_cast<int>(std::int64_t(count) * w / readers),
             first + static_cast<int>(std::int64_t(count) * (w + 1) / readers), parts[static_cast<std::size_t>(w)]);
    };
    std::vector<std::thread> threads;
    std::vector<int> leftOver; // readers without a thread: this one reads their block
    for (int w = 1; w < readers; ++w) {
        try {
            threads.emplace_back(block, w);
        } catch (const std::system_error &) {
            leftOver.push_back(w);
        }
    }
    block(0);
    for (int w : leftOver) block(w);
    for (std::thread &t : threads) t.join();
    lo = INFINITY;
    hi = -INFINITY;
    for (const Part &part : parts) {
        lo = std::min(lo, part.lo);
        hi = std::max(hi, part.hi);
    }
}

void dataRangeX(const PropertyStore &p, double &lo, double &hi) {
    dataRange(
        p, 0, p.subsets(), [](double x, double) { return x; }, lo, hi);
}

void dataRangeY(const PropertyStore &p, const AxisPlan &a, double &lo, double &hi) {
    dataRange(
        p, a.first, a.first + a.count, [](double, double y) { return y; }, lo, hi);
}

// A manual scale with both ends set and in order does not look at the data.
bool manualBoth(int control, double min, double max) { return control == 3 && max > min; }

void scaleRange(int control, double manualMin, double manualMax, double dataMin, double dataMax, double &outMin,
                double &outMax) {
    double amin, amax;
    autoRange(dataMin, dataMax, amin, amax);
    outMin = (control == 1 || control == 3) ? manualMin : amin;
    outMax = (control == 2 || control == 3) ? manualMax : amax;
    if (!(outMax > outMin)) {
        if (control == 3 && outMax == outMin) {
            outMax = outMin + 1;
        } else if (!(outMax > outMin)) {
            outMin = amin;
            outMax = amax;
        }
    }
}

// A scale no pixel can be worked out on (an end that is not finite, a span beyond a
// double) becomes the unit range.
void saneRange(double &lo, double &hi) {
    if (!(std::isfinite(lo) && std::isfinite(hi) && hi > lo && std::isfinite(hi - lo))) {
        lo = 0;
        hi = 1;
    }
}

} // namespace

Style styleOf(const PropertyStore &p, int w, int h) {
    Style s;
    int view = p.integer(id::ViewingStyle);
    s.mono = view == 1 || view == 2;
    s.symbols = view == 2 || (s.mono && p.integer(id::MonoWithSymbols));
    if (s.mono) {
        s.desk = fromColorRef(p.integer(id::MonoDeskColor));
        s.graphBack = fromColorRef(p.integer(id::MonoGraphBackColor));
        s.graphFore = fromColorRef(p.integer(id::MonoGraphForeColor));
        s.text = fromColorRef(p.integer(id::MonoTextColor));
        s.shadow = QColor(0x80, 0x80, 0x80);
    } else {
        s.desk = fromColorRef(p.integer(id::DeskColor));
        s.graphBack = fromColorRef(p.integer(id::GraphBackColor));
        s.graphFore = fromColorRef(p.integer(id::GraphForeColor));
        s.text = fromColorRef(p.integer(id::TextColor));
        s.shadow = fromColorRef(p.integer(id::ShadowColor));
    }
    int size = p.integer(id::FontSize);
    double div = size == 0 ? 26 : size == 2 ? 40 : 32;
    double scale = p.number(id::FontSizeGlobalCntl);
    if (!(scale > 0.1 && scale < 10)) scale = 1;
    s.basePx = std::clamp(static_cast<int>(std::min<double>(w, h * 1.6) / div * scale), 7, 40);
    return s;
}

QFont makeFont(const std::string &family, int px, bool bold, bool italic, bool underline) {
    QFont f(fromAnsi(family.empty() ? "Arial" : family));
    f.setPixelSize(std::max(px, 5));
    f.setBold(bold);
    f.setItalic(italic);
    f.setUnderline(underline);
    return f;
}

QFont labelFont(const PropertyStore &p, const Style &s, double factor) {
    return makeFont(p.string(id::LabelFont), static_cast<int>(s.basePx * factor), p.integer(id::LabelBold),
                    p.integer(id::LabelItalic), p.integer(id::LabelUnderline));
}

QString subsetLabel(const PropertyStore &p, int s) {
    std::string l;
    if (p.elemString(id::SubsetLabels, s, l) && !l.empty()) return fromAnsi(l);
    return QString("Subset %1").arg(s + 1);
}

Metrics metricsOf(const PropertyStore &p, int w, int h) {
    Metrics m;
    m.style = styleOf(p, w, h);
    const Style &s = m.style;
    m.title = makeFont(p.string(id::MainTitleFont), s.basePx * 3 / 2, p.integer(id::MainTitleBold),
                       p.integer(id::MainTitleItalic), p.integer(id::MainTitleUnderline));
    m.sub = makeFont(p.string(id::SubTitleFont), s.basePx * 6 / 5, p.integer(id::SubTitleBold),
                     p.integer(id::SubTitleItalic), p.integer(id::SubTitleUnderline));
    m.label = labelFont(p, s);
    m.numbers = labelFont(p, s, 0.9);
    m.legend = labelFont(p, s, 0.9);
    m.numbersH = QFontMetrics(m.numbers).height();
    m.labelH = QFontMetrics(m.label).height();
    return m;
}

int methodOf(const PropertyStore &p, int subset) {
    double m = 0;
    if (p.elem(id::PlottingMethods, subset, m) && m > 0) return static_cast<int>(m);
    return p.integer(id::PlottingMethod);
}

Layout layoutChart(const PropertyStore &p, int w, int h, Metrics &m) {
    Layout L;
    m = metricsOf(p, w, h);
    const Style &s = m.style;
    QFontMetrics fmT(m.title), fmS(m.sub), fmN(m.numbers), fmG(m.legend);

    L.desk = QRect(0, 0, w, h);
    int pad = std::max(4, s.basePx / 2);
    QRect inner = L.desk.adjusted(pad, pad, -pad, -pad);
    if (p.integer(id::BorderTypes) == 0) inner.adjust(0, 0, -3, -3);

    int top = inner.top();
    QString main = fromAnsi(p.string(id::MainTitle));
    if (!main.isEmpty()) {
        L.mainTitle = QRect(inner.left(), top, inner.width(), fmT.height());
        top += fmT.height();
    }
    QString sub = fromAnsi(p.string(id::SubTitle));
    if (!sub.isEmpty()) {
        L.subTitle = QRect(inner.left(), top, inner.width(), fmS.height());
        top += fmS.height();
    }
    if (top > inner.top()) top += pad / 2;

    int left = inner.left(), right = inner.right(), bottom = inner.bottom();

    // Legend.
    if (p.integer(id::ShowLegend) && p.subsets() > 0) {
        int loc = p.integer(id::LegendLocation);
        int sample = s.basePx * 2;
        int rowH = fmG.height() + 2;
        // Entries below the desk are neither shown nor hit: a column measures only the
        // entries that fit, and is as wide as the widest of them.
        const int listed =
            loc == 2 || loc == 3
                ? static_cast<int>(std::clamp<std::int64_t>((L.desk.bottom() - top) / rowH + 1, 0, p.subsets()))
                : p.subsets();
        std::vector<int> widths;
        widths.reserve(static_cast<std::size_t>(listed));
        for (int i = 0; i < listed; ++i) widths.push_back(sample + 6 + fmG.horizontalAdvance(subsetLabel(p, i)) + 12);
        if (loc == 2 || loc == 3) {
            int colW = widths.empty() ? 0 : *std::max_element(widths.begin(), widths.end());
            int x = loc == 2 ? left : right - colW;
            int y = top;
            for (int i = 0; i < listed && y <= L.desk.bottom(); ++i, y += rowH)
                L.legend.push_back({QRect(x, y, widths[i], rowH), i});
            if (loc == 2)
                left += colW + pad;
            else
                right -= colW + pad;
        } else {
            // Rows of entries centred across the chart: the first entry of each row, and
            // the width of the row.
            std::vector<std::pair<int, int>> rows{{0, 0}};
            for (int i = 0; i < p.subsets(); ++i) {
                if (rows.back().second + widths[i] > inner.width() && rows.back().first < i) rows.emplace_back(i, 0);
                rows.back().second += widths[i];
            }
            // Rows times their height: bounded by the subsets and the text height.
            std::int64_t total64 = static_cast<std::int64_t>(rows.size()) * rowH;
            int total = static_cast<int>(std::min<std::int64_t>(total64, 1 << 30));
            int y = loc == 1 ? bottom - total + 1 : top;
            for (std::size_t k = 0; k < rows.size() && y <= L.desk.bottom(); ++k, y += rowH) {
                if (y + rowH <= 0) continue;
                int end = k + 1 < rows.size() ? rows[k + 1].first : p.subsets();
                int x = inner.left() + (inner.width() - rows[k].second) / 2;
                for (int i = rows[k].first; i < end; ++i) {
                    L.legend.push_back({QRect(x, y, widths[i], rowH), i});
                    x += widths[i];
                }
            }
            if (loc == 1)
                bottom -= total + pad / 2;
            else
                top += total + pad / 2;
        }
    }

    // X axis numbers and label under the graph.
    L.dateTime = dateTimeMode(p);
    bool showX = p.integer(id::ShowXAxis) != 5 && p.integer(id::ShowXAxis) != 3;
    QString xLabel = fromAnsi(p.string(id::XAxisLabel));
    int xNumbersH = showX ? m.numbersH * (L.dateTime ? 2 : 1) + 4 : 0;
    int xLabelH = xLabel.isEmpty() ? 0 : m.labelH;
    bottom -= xNumbersH + xLabelH;

    std::vector<AxisPlan> plans = axisPlans(p);
    // Y numbers: widest of the tick texts of every axis (estimated from the range).
    int numbersW = fmN.horizontalAdvance("-0000.0") + 6;
    bool anyLabel = false;
    for (std::size_t k = 0; k < plans.size(); ++k)
        if (!p.axisString(id::YAxisLabel, static_cast<int>(k)).empty()) anyLabel = true;
    left += (anyLabel ? m.labelH + 4 : 0) + numbersW;
    right -= std::max(pad, fmN.horizontalAdvance(L.dateTime ? "00:00:00" : "00000") / 2);
    top += m.numbersH / 2;
    L.graph = QRect(QPoint(left, top), QPoint(std::max(left + 10, right), std::max(top + 10, bottom)));
    L.xNumbers = QRect(L.graph.left(), L.graph.bottom() + 2, L.graph.width(), xNumbersH);
    if (!xLabel.isEmpty()) L.xLabel = QRect(L.graph.left(), L.xNumbers.bottom() + 1, L.graph.width(), xLabelH);

    // X scale.
    ZoomState z = zoomState(p);
    double dmin = 0, dmax = 1;
    if (!manualBoth(p.integer(id::ManualScaleControlX), p.number(id::ManualMinX), p.number(id::ManualMaxX)))
        dataRangeX(p, dmin, dmax);
    double x0, x1;
    if (L.dateTime && !std::isfinite(dmin)) {
        dmin = 0;
        dmax = 1;
    }
    if (L.dateTime) {
        // Whole-step padding of a date range would be meaningless: auto keeps the data's.
        x0 = dmin, x1 = dmax;
        int c = p.integer(id::ManualScaleControlX);
        if (c == 1 || c == 3) x0 = p.number(id::ManualMinX);
        if (c == 2 || c == 3) x1 = p.number(id::ManualMaxX);
        if (!(x1 > x0)) x1 = x0 + 1.0 / 24;
    } else {
        // Bars stand on their points: half a spacing of room at each end.
        bool bars = p.integer(id::PlottingMethod) == Bar;
        for (int s = 0; s < p.subsets() && !bars; ++s) {
            double m = 0;
            bars = p.elem(id::PlottingMethods, s, m) && static_cast<int>(m) == Bar;
        }
        if (bars && std::isfinite(dmin) && dmax > dmin && p.points() > 1) {
            double half = (dmax - dmin) / (p.points() - 1) / 2;
            dmin -= half;
            dmax += half;
        }
        scaleRange(p.integer(id::ManualScaleControlX), p.number(id::ManualMinX), p.number(id::ManualMaxX), dmin, dmax,
                   x0, x1);
        // The x axis spans the data as it is; only y gets whole-step room.
        int c = p.integer(id::ManualScaleControlX);
        if (std::isfinite(dmin) && dmax > dmin) {
            if (c != 1 && c != 3) x0 = dmin;
            if (c != 2 && c != 3) x1 = dmax;
            if (!(x1 > x0)) scaleRange(c, p.number(id::ManualMinX), p.number(id::ManualMaxX), dmin, dmax, x0, x1);
        }
    }
    if (z.active && z.x1 > z.x0) {
        x0 = z.x0;
        x1 = z.x1;
    }
    saneRange(x0, x1);
    L.x = ScaleMap{x0, x1, double(L.graph.left()), double(L.graph.right())};
    if (p.integer(id::InvertedXAxis)) std::swap(L.x.p0, L.x.p1);
    L.x.log = !L.dateTime && p.integer(id::XAxisScaleControl) == 2 && x0 > 0;

    // Stacked y axes, axis 0 on top.
    double weights = 0;
    for (auto &a : plans) weights += a.weight;
    double y = L.graph.top();
    for (std::size_t k = 0; k < plans.size(); ++k) {
        AxisLayout A;
        A.firstSubset = plans[k].first;
        A.subsetCount = plans[k].count;
        double hgt = L.graph.height() * plans[k].weight / weights;
        A.band = QRect(QPoint(L.graph.left(), static_cast<int>(std::lround(y))),
                       QPoint(L.graph.right(), static_cast<int>(std::lround(y + hgt)) - 1));
        if (k + 1 == plans.size()) A.band.setBottom(L.graph.bottom());
        y += hgt;
        int ax = static_cast<int>(k);
        double lo = 0, hi = 1, y0, y1;
        if (!manualBoth(static_cast<int>(p.axisNumber(id::ManualScaleControlY, ax)), p.axisNumber(id::ManualMinY, ax),
                        p.axisNumber(id::ManualMaxY, ax)))
            dataRangeY(p, plans[k], lo, hi);
        // Bars stand on zero: an automatic scale of a bar axis takes it in.
        for (int sIdx = plans[k].first; sIdx < plans[k].first + plans[k].count; ++sIdx)
            if (methodOf(p, sIdx) == Bar && std::isfinite(lo)) {
                lo = std::min(lo, 0.0);
                hi = std::max(hi, 0.0);
                break;
            }
        scaleRange(static_cast<int>(p.axisNumber(id::ManualScaleControlY, ax)), p.axisNumber(id::ManualMinY, ax),
                   p.axisNumber(id::ManualMaxY, ax), lo, hi, y0, y1);
        if (z.active && (z.yAxis == ax || z.yAxis == -2) && z.y1 > z.y0) {
            y0 = p.axisNumber(id::ZoomMinY, ax);
            y1 = p.axisNumber(id::ZoomMaxY, ax);
            if (!(y1 > y0)) {
                y0 = z.y0;
                y1 = z.y1;
            }
        }
        saneRange(y0, y1);
        A.y = ScaleMap{y0, y1, double(A.band.bottom()), double(A.band.top())};
        if (p.axisNumber(id::InvertedYAxis, ax)) std::swap(A.y.p0, A.y.p1);
        A.y.log = p.axisNumber(id::YAxisScaleControl, ax) == 2 && y0 > 0;
        A.numbersRect = QRect(L.graph.left() - numbersW, A.band.top(), numbersW - 4, A.band.height());
        if (anyLabel) A.labelRect = QRect(A.numbersRect.left() - m.labelH - 4, A.band.top(), m.labelH, A.band.height());
        L.axes.push_back(A);
    }
    L.valid = true;
    return L;
}

} // namespace detail

using namespace detail;

ZoomState zoomState(const PropertyStore &p) {
    ZoomState z;
    z.active = p.integer(id::ZoomMode) != 0;
    z.x0 = p.number(id::ZoomMinX);
    z.x1 = p.number(id::ZoomMaxX);
    z.yAxis = p.integer(id::ZoomMinAxis);
    z.y0 = p.axisNumber(id::ZoomMinY, std::max(z.yAxis, 0));
    z.y1 = p.axisNumber(id::ZoomMaxY, std::max(z.yAxis, 0));
    return z;
}

Layout computeLayout(const PropertyStore &p, int width, int height) {
    Metrics m;
    return layoutChart(p, std::max(width, 1), std::max(height, 1), m);
}

} // namespace chart::engine
