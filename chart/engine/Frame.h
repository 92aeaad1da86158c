#pragma once
// What a picture takes from the data: each subset's runs of points in pixels, read
// from the properties once per rebuild, and the values of single points.

#include "chart/engine/Layout.h"
#include "chart/engine/PropertyStore.h"

#include <QPointF>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace chart::engine {

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
    SubsetData(const PropertyStore &p, int s) {
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
          nullX(p.number(id::NullDataValueX)),
          dateTime(p.integer(id::DateTimeMode) != 0) {}
    bool operator()(double x, double y) const {
        return !std::isfinite(x) || !std::isfinite(y) || y == nullY || y == nullYf || x == nullX ||
               (dateTime && x == 0);
    }
};

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
    struct Point {
        float x, y;
    };
    // The points of all runs, one after another: as read when the frame keeps few, in
    // single precision when it may keep many (half the memory; a run is widened back
    // when it is drawn). Those are kept in the blocks the readers wrote, not joined, so
    // that the frame never holds them twice.
    struct Block {
        std::size_t first = 0; // the index of its first point among all
        std::vector<Point> points;
    };
    std::vector<QPointF> points;
    std::vector<Block> compact;
    bool isCompact = false;
    std::vector<Run> runs;               // of all subsets, one after another
    std::vector<std::uint32_t> firstRun; // runs of subset s: firstRun[s] .. firstRun[s + 1]
    // Of a frame kept as read.
    std::span<const QPointF> pointsOf(const Run &r) const { return {points.data() + r.begin, r.size}; }
    // Of any frame; a compact run is widened into `buffer`.
    std::span<const QPointF> pointsOf(const Run &r, std::vector<QPointF> &buffer) const {
        if (!isCompact) return pointsOf(r);
        auto b = std::find_if(compact.rbegin(), compact.rend(), [&](const Block &k) { return k.first <= r.begin; });
        const Point *from = b->points.data() + (r.begin - b->first);
        buffer.resize(r.size);
        for (std::uint32_t i = 0; i < r.size; ++i) buffer[i] = QPointF(from[i].x, from[i].y);
        return buffer;
    }
    std::size_t pointCount() const {
        return !isCompact ? points.size() : compact.empty() ? 0 : compact.back().first + compact.back().points.size();
    }
};
// Subsets of more points than parallelFrom in all are read side by side: a block of
// neighbouring subsets a thread, at most a thread a core.
constexpr std::size_t kParallelPoints = 300000;
// A frame that may keep more points than this keeps them in single precision.
constexpr std::size_t kExactPoints = 2000000;
Frame buildFrame(const PropertyStore &p, int width, int height, std::size_t parallelFrom = kParallelPoints,
                 std::size_t exactUpTo = kExactPoints);

} // namespace chart::engine
