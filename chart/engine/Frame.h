#pragma once
// What a picture takes from the data: each subset's runs of points in pixels, read
// from the properties once per rebuild, and the values of single points.

#include "chart/engine/Layout.h"
#include "chart/engine/PropertyStore.h"

#include <QPointF>

#include <algorithm>
#include <bit>
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

// Value-to-pixel map of a scale with its factor worked out once, held by value so that
// a loop keeps it in registers.
struct PixelMap {
    ScaleMap m;
    double a, k;
    bool linear;
    explicit PixelMap(const ScaleMap &s)
        : m(s), a(s.v0), k(s.v1 == s.v0 ? 0 : (s.p1 - s.p0) / (s.v1 - s.v0)), linear(!s.log && k != 0) {}
    double operator()(double v) const {
        // Far beyond the window but still finite, so that a line towards a point far
        // off the scale keeps its direction.
        constexpr double far = 1e15;
        double px = linear ? m.p0 + (v - a) * k : m.toPixel(v);
        if (!(px >= -far)) return -far;
        return px > far ? far : px;
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
    // The runs of all subsets, one after another, kept as where each run's points end
    // (a run starts where the one before it ends) and a bit for whether it is dense: a
    // curve cut by nulls into runs of a point or two has nearly as many runs as points.
    class Runs {
    public:
        std::size_t size() const { return ends_.size(); }
        bool empty() const { return ends_.empty(); }
        Run operator[](std::size_t r) const {
            const std::uint32_t b = r == 0 ? 0 : ends_[r - 1];
            return {b, ends_[r] - b, static_cast<bool>(dense_[r])};
        }
        // Where the points of the next run begin.
        std::uint32_t end() const { return ends_.empty() ? 0 : ends_.back(); }
        void add(std::uint32_t size, bool dense) {
            ends_.push_back(end() + size);
            dense_.push_back(dense);
        }
        void reserve(std::size_t n) {
            ends_.reserve(n);
            dense_.reserve(n);
        }
        // The runs of `more`, whose points follow these runs' points.
        void append(const Runs &more) {
            const std::uint32_t at = end();
            for (std::uint32_t e : more.ends_) ends_.push_back(at + e);
            dense_.insert(dense_.end(), more.dense_.begin(), more.dense_.end());
        }

    private:
        std::vector<std::uint32_t> ends_;
        std::vector<bool> dense_;
    };
    // A point of a compact frame: the bits of two singles, or of a point index for x.
    struct Point {
        std::uint32_t x, y;
    };
    // The points of all runs, one after another: as read when the frame keeps few,
    // compact when it may keep many or, read, turns out to keep many (half the memory).
    // A compact point holds the values it was read from where the data are singles
    // (the point index where there is no x), so that a run widened back when it is
    // drawn has the very pixels it was read with; with data in double precision, its
    // pixels in single precision. Those are kept in the blocks the readers wrote, not
    // joined, so that the frame never holds them twice.
    struct Block {
        std::size_t first = 0; // the index of its first point among all
        std::vector<Point> points;
    };
    std::vector<QPointF> points;
    std::vector<Block> compact;
    bool isCompact = false;
    bool values = false;      // compact points hold values, not pixels
    std::vector<bool> indexX; // of a frame of values: subset s has no x (a point's is its index)
    Runs runs;
    std::vector<std::uint32_t> firstRun; // runs of subset s: firstRun[s] .. firstRun[s + 1]
    // Of a frame kept as read.
    std::span<const QPointF> pointsOf(const Run &r) const { return {points.data() + r.begin, r.size}; }
    // Of any frame, a run of subset s; a compact run is widened into `buffer`.
    std::span<const QPointF> pointsOf(const Run &r, std::vector<QPointF> &buffer, int s) const {
        if (!isCompact) return pointsOf(r);
        auto b = std::find_if(compact.rbegin(), compact.rend(), [&](const Block &k) { return k.first <= r.begin; });
        const Point *from = b->points.data() + (r.begin - b->first);
        buffer.resize(r.size);
        auto single = [](std::uint32_t bits) { return std::bit_cast<float>(bits); };
        if (!values) {
            for (std::uint32_t i = 0; i < r.size; ++i) buffer[i] = QPointF(single(from[i].x), single(from[i].y));
            return buffer;
        }
        const PixelMap mx(layout.x), my(layout.axes[static_cast<std::size_t>(layout.axisOfSubset(s))].y);
        if (indexX[static_cast<std::size_t>(s)])
            for (std::uint32_t i = 0; i < r.size; ++i)
                buffer[i] = QPointF(mx(double(from[i].x) + 1), my(single(from[i].y)));
        else
            for (std::uint32_t i = 0; i < r.size; ++i)
                buffer[i] = QPointF(mx(single(from[i].x)), my(single(from[i].y)));
        return buffer;
    }
    std::size_t pointCount() const {
        return !isCompact ? points.size() : compact.empty() ? 0 : compact.back().first + compact.back().points.size();
    }
};
// Subsets of more points than parallelFrom in all are read side by side: a block of
// neighbouring subsets a thread, at most a thread a core.
constexpr std::size_t kParallelPoints = 300000;
// A frame that may keep more points than this, or keeps more once read (curves cut by
// nulls into runs too short to reduce), keeps them compact.
constexpr std::size_t kExactPoints = 2000000;
Frame buildFrame(const PropertyStore &p, int width, int height, std::size_t parallelFrom = kParallelPoints,
                 std::size_t exactUpTo = kExactPoints);

} // namespace chart::engine
