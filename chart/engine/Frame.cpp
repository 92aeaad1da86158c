#include "chart/engine/Frame.h"

#include "chart/engine/Style.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <limits>
#include <system_error>
#include <thread>
#include <type_traits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace chart::engine {

namespace {

// What the scan of a subset needs, by value.
struct ScanParams {
    double nullY, nullYf, nullX;
    bool dateTime;
    double xlo, xhi, outLo, outHi; // the x range, and it widened by the slack
    PixelMap mx, my;
    std::size_t denseAbove;
    bool isNull(double x, double y) const {
        return !std::isfinite(x) || !std::isfinite(y) || y == nullY || y == nullYf || x == nullX ||
               (dateTime && x == 0);
    }
    // Inside the widened x range no x is non-finite; it can be null only if the null
    // x value (or the unwritten date-time 0) lies inside it too.
    bool xNullInside() const { return (nullX >= outLo && nullX <= outHi) || (dateTime && 0 >= outLo && 0 <= outHi); }
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
int scanInside(XAt xAt, YAt yAt, int k, int n, double xLo, double xHi, double yLo, double yHi, double nY, double nYf,
               double &mn, double &mx) {
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
            if constexpr (nulls) in = _mm_and_pd(in, _mm_and_pd(_mm_cmpneq_pd(y, vnY), _mm_cmpneq_pd(y, vnYf)));
            return in;
        };
        // Four points a step while all four are inside, then two, then one by one.
        for (; k + 4 <= n; k += 4) {
            __m128d x0, y0, x1, y1;
            __m128d in = _mm_and_pd(load(k, x0, y0), load(k + 2, x1, y1));
            if (_mm_movemask_pd(in) != 3) break;
            vlo = _mm_min_pd(vlo, _mm_min_pd(y0, y1));
            vhi = _mm_max_pd(vhi, _mm_max_pd(y0, y1));
        }
        for (; k + 2 <= n; k += 2) {
            __m128d x, y;
            if (_mm_movemask_pd(load(k, x, y)) != 3) break;
            vlo = _mm_min_pd(vlo, y);
            vhi = _mm_max_pd(vhi, y);
        }
        lo = std::min(_mm_cvtsd_f64(vlo), _mm_cvtsd_f64(_mm_unpackhi_pd(vlo, vlo)));
        hi = std::max(_mm_cvtsd_f64(vhi), _mm_cvtsd_f64(_mm_unpackhi_pd(vhi, vhi)));
    }
#endif
    for (; k < n; ++k) {
        double x = xAt(k), y = yAt(k);
        if (!(x > xLo && x < xHi && y >= yLo && y <= yHi)) break;
        if (nulls && (y == nY || y == nYf)) break;
        lo = std::min(lo, y);
        hi = std::max(hi, y);
    }
    mn = lo;
    mx = hi;
    return k;
}

// pixel column of x (|x| <= 1e15)
inline long long column(double x) {
    auto c = static_cast<long long>(x);
    return x < static_cast<double>(c) ? c - 1 : c;
}

// Where the reading puts the points of its runs: into the frame's own as read, or
// through a small buffer into the last block of a compact frame, as values (the
// buffer holds the index of each point) or as pixels in single precision.
// A frame kept as read that keeps more than exactUpTo stops: it is read again, compact.
struct Sink {
    Frame &f;
    std::size_t exactUpTo;
    std::atomic<bool> &tooMany;
    const SubsetData *data = nullptr; // of the subset being read
    std::vector<QPointF> buffer;
    std::vector<int> index;
    static constexpr std::size_t kChunk = 65536;
    std::vector<QPointF> &points() { return f.isCompact ? buffer : f.points; }
    // Where the index of each point goes in place of its pixels; null: none.
    std::vector<int> *indices() { return f.isCompact && f.values ? &index : nullptr; }
    std::size_t size() { return f.isCompact && f.values ? index.size() : points().size(); }
    // The run whose points begin at `start` ends; false: stop reading.
    bool endRun(std::size_t start, bool dense) {
        const std::size_t end = size();
        if (end > start) f.runs.add(static_cast<std::uint32_t>(end - start), dense);
        if (f.isCompact) {
            if (end >= kChunk) flush();
        } else if (f.points.size() > exactUpTo) {
            tooMany = true;
        }
        return !tooMany.load(std::memory_order_relaxed);
    }
    // Before the next subset is read, and at the end.
    void flush() {
        if (buffer.empty() && index.empty()) return;
        if (f.compact.empty()) f.compact.emplace_back();
        std::vector<Frame::Point> &to = f.compact.back().points;
        auto bits = [](float v) { return std::bit_cast<std::uint32_t>(v); };
        if (f.values) {
            const SubsetData &d = *data;
            for (int k : index)
                to.push_back({d.xIndex ? static_cast<std::uint32_t>(k) : bits(d.xf ? d.xf[k] : 0.0f),
                              bits(d.yf ? d.yf[k] : 0.0f)});
        } else {
            for (const QPointF &q : buffer)
                to.push_back({bits(static_cast<float>(q.x())), bits(static_cast<float>(q.y()))});
        }
        buffer.clear();
        index.clear();
    }
};

// Runs of non-null points of a subset in pixels. Points far outside the x range are
// left out but for one on each side, so that the curve still reaches the edge. A run
// of more than two points a pixel column is reduced while it is read (for each run of
// points in one column the first, the lowest, the highest and the last, in their
// order), so that a curve of a million points is never held in pixels.
template <class XAt, class YAt> void scanRuns(XAt xAt, YAt yAt, int n, const ScanParams P, Sink &sink) {
    auto skipped = [&](int i, double x) {
        if (x >= P.outLo && x <= P.outHi) return false;
        return !((x < P.xlo && i + 1 < n && xAt(i + 1) >= P.xlo) || (x > P.xhi && i > 0 && xAt(i - 1) <= P.xhi));
    };
    auto point = [&](int k) { return QPointF(P.mx(xAt(k)), P.my(yAt(k))); };
    const bool linear = P.mx.linear && P.my.linear && !P.xNullInside();
    constexpr double far = 1e15;
    std::vector<int> at; // the index of each point while the run is plain
    int i = 0;
    while (i < n) {
        std::vector<QPointF> &o = sink.points();
        std::vector<int> *ix = sink.indices();
        auto put = [&](int k) {
            if (ix)
                ix->push_back(k);
            else
                o.push_back(point(k));
        };
        const std::size_t start = sink.size();
        bool dense = false;
        at.clear();
        for (; i < n; ++i) {
            double x = xAt(i), y = yAt(i);
            if (P.isNull(x, y)) break;
            if (skipped(i, x)) continue;
            if (!ix) o.push_back(point(i));
            at.push_back(i);
            if (at.size() > P.denseAbove) {
                ++i;
                break;
            }
        }
        if (at.size() > P.denseAbove) {
            dense = true;
            if (!ix) o.resize(start);
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
                if (yLo > yHi) std::swap(yLo, yHi);
            }
            const double perPixel = linear ? 1 / P.mx.k : 0; // x per pixel column
            // Whether a null y can lie among the values the loop below takes.
            const bool nullsInside = (P.nullY >= yLo && P.nullY <= yHi) || (P.nullYf >= yLo && P.nullYf <= yHi);
            auto flush = [&] {
                put(first);
                if (count <= 2) {
                    if (count == 2) put(last);
                    return;
                }
                // The first points of the lowest and the highest value, found again
                // among the column's points (those left out as outside were not in it).
                int minAt = -1, maxAt = -1;
                for (int k = first; k <= last && (minAt < 0 || maxAt < 0); ++k) {
                    double y = yAt(k);
                    if ((y != minY && y != maxY) || skipped(k, xAt(k))) continue;
                    if (minAt < 0 && y == minY) minAt = k;
                    if (maxAt < 0 && y == maxY) maxAt = k;
                }
                int lo = falls ? maxAt : minAt, hi = falls ? minAt : maxAt; // lowest, highest pixel y
                int a = std::min(lo, hi), b = std::max(lo, hi);
                if (a != first) put(a);
                if (b != a && b != last) put(b);
                put(last);
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
                if (count > 0) flush();
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
                int to =
                    nullsInside
                        ? scanInside<true>(xAt, yAt, k, n, safeLo, safeHi, yLo, yHi, P.nullY, P.nullYf, minY, maxY)
                        : scanInside<false>(xAt, yAt, k, n, safeLo, safeHi, yLo, yHi, P.nullY, P.nullYf, minY, maxY);
                if (to > k) {
                    last = to - 1;
                    count += to - k;
                }
                return to;
            };
            for (int k : at) add(k, P.mx(xAt(k)), yAt(k));
            while (i < n) {
                i = sameColumn(i);
                if (i == n) break;
                double x = xAt(i), y = yAt(i);
                if (P.isNull(x, y)) break;
                if (!skipped(i, x)) add(i, P.mx(x), y);
                ++i;
            }
            if (count > 0) flush();
        }
        if (ix && !dense) ix->insert(ix->end(), at.begin(), at.end());
        if (!sink.endRun(start, dense)) return;
        // The null point that ended the run.
        if (i < n && P.isNull(xAt(i), yAt(i))) ++i;
    }
}

void scanSubset(const PropertyStore &p, const Layout &L, int subset, Sink &sink) {
    int axis = L.axisOfSubset(subset);
    if (axis >= static_cast<int>(L.axes.size())) return;
    NullTest nt(p);
    double xlo = std::min(L.x.v0, L.x.v1), xhi = std::max(L.x.v0, L.x.v1);
    double slack = (xhi - xlo) * 0.01;
    const ScanParams P{nt.nullY,
                       nt.nullYf,
                       nt.nullX,
                       nt.dateTime,
                       xlo,
                       xhi,
                       xlo - slack,
                       xhi + slack,
                       PixelMap(L.x),
                       PixelMap(L.axes[axis].y),
                       static_cast<std::size_t>(L.graph.width()) * 2};
    SubsetData d(p, subset);
    sink.data = &d;
    int n = p.points();
    auto withY = [&](auto xAt) {
        if (d.yd)
            scanRuns(xAt, ValuesAt<double>{d.yd}, n, P, sink);
        else if (d.yf)
            scanRuns(xAt, ValuesAt<float>{d.yf}, n, P, sink);
        else
            scanRuns(
                xAt, [](int) { return 0.0; }, n, P, sink);
    };
    if (d.xd)
        withY(ValuesAt<double>{d.xd});
    else if (d.xf)
        withY(ValuesAt<float>{d.xf});
    else if (d.xIndex)
        withY([](int i) { return double(i + 1); });
    else
        withY([](int) { return 0.0; });
    sink.flush();
    sink.data = nullptr;
}

} // namespace

// A single y value is compared in single precision too, as YData holds singles.
// A date-time of exactly 0 is a point that was never written.
bool isNullPoint(const PropertyStore &p, double x, double y) { return NullTest(p)(x, y); }

double xValue(const PropertyStore &p, int subset, int point) {
    if (subset < 0 || subset >= p.subsets() || point < 0 || point >= p.points()) return 0;
    return SubsetData(p, subset).x(point);
}

double yValue(const PropertyStore &p, int subset, int point) {
    if (subset < 0 || subset >= p.subsets() || point < 0 || point >= p.points()) return 0;
    return SubsetData(p, subset).y(point);
}

Frame buildFrame(const PropertyStore &p, int width, int height, std::size_t parallelFrom, std::size_t exactUpTo) {
    Frame f;
    f.width = std::max(width, 1);
    f.height = std::max(height, 1);
    detail::Metrics m;
    f.layout = detail::layoutChart(p, f.width, f.height, m);
    const int subsets = p.subsets();
    f.firstRun.reserve(static_cast<std::size_t>(std::max(subsets, 0)) + 1);
    const std::size_t total = static_cast<std::size_t>(std::max(p.points(), 0)) * std::max(subsets, 0);
    // What it may keep: a subset's dense runs keep at most a few points a pixel column.
    const std::size_t perSubset =
        std::min<std::size_t>(std::max(p.points(), 0), std::size_t(std::max(f.layout.graph.width(), 1)) * 5 + 8);
    f.isCompact = perSubset * std::max(subsets, 0) > exactUpTo;
    // Data in single precision are kept as values, the pixels worked out again when
    // drawn; those in double precision as pixels in single precision.
    f.values = f.isCompact && !p.integer(id::UsingXDataII) && !p.integer(id::UsingYDataII);
    if (f.values) {
        f.indexX.resize(static_cast<std::size_t>(std::max(subsets, 0)));
        for (int sIdx = 0; sIdx < subsets; ++sIdx)
            f.indexX[static_cast<std::size_t>(sIdx)] = SubsetData(p, sIdx).xIndex;
    }
    // Read as it is, the frame keeps more than it may: it is read again, compact.
    std::atomic<bool> tooMany = false;
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
            // Room for every point it may keep, so that it never grows by copying; what
            // is never written is never given memory.
            const std::size_t room = static_cast<std::size_t>(to - from) * static_cast<std::size_t>(p.points());
            part.runs.isCompact = f.isCompact;
            if (f.isCompact)
                part.runs.compact.emplace_back().points.reserve(room);
            else
                part.runs.points.reserve(room);
            part.runs.runs.reserve(room);
            part.runs.values = f.values;
            // Each part may keep its share of the points as read.
            Sink sink{part.runs, exactUpTo / static_cast<std::size_t>(readers), tooMany};
            for (int sIdx = from; sIdx < to && !tooMany; ++sIdx) {
                part.firstRun.push_back(static_cast<std::uint32_t>(part.runs.runs.size()));
                scanSubset(p, f.layout, sIdx, sink);
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
        for (int w : leftOver) read(w);
        for (std::thread &t : threads) t.join();
        if (tooMany) return buildFrame(p, width, height, parallelFrom, 0);
        std::size_t points = 0, runs = 0;
        for (const Part &part : parts) {
            points += part.runs.pointCount();
            runs += part.runs.runs.size();
        }
        if (!f.isCompact) f.points.reserve(points);
        f.runs.reserve(runs);
        for (Part &part : parts) {
            const auto runOffset = static_cast<std::uint32_t>(f.runs.size());
            for (std::uint32_t first : part.firstRun) f.firstRun.push_back(first + runOffset);
            const auto offset = static_cast<std::uint32_t>(f.pointCount());
            f.points.insert(f.points.end(), part.runs.points.begin(), part.runs.points.end());
            for (Frame::Block &b : part.runs.compact) {
                b.first = offset;
                f.compact.push_back(std::move(b));
            }
            f.runs.append(part.runs.runs);
            part = Part{};
        }
    } else {
        if (f.isCompact)
            f.compact.emplace_back().points.reserve(total);
        else
            f.points.reserve(total);
        f.runs.reserve(total);
        Sink sink{f, exactUpTo, tooMany};
        for (int sIdx = 0; sIdx < subsets && !tooMany; ++sIdx) {
            f.firstRun.push_back(static_cast<std::uint32_t>(f.runs.size()));
            scanSubset(p, f.layout, sIdx, sink);
        }
        if (tooMany) return buildFrame(p, width, height, parallelFrom, 0);
    }
    f.firstRun.push_back(static_cast<std::uint32_t>(f.runs.size()));
    return f;
}

} // namespace chart::engine
