// Chart frames beside QCustomPlot, the chart library a user would pick instead.
//
// The case is the real-time chart of the humidity program at its fullest and beyond:
// 3 subsets of date-time x and single y on two stacked axes (subset 0 on the top one),
// 800 x 600, dotted grid, legend, axis labels, manual scales. A frame of ours is what
// the chart control does for one update: the rebuild (#24) and then its buffered paint
// (memory DC and bitmap, #71, the metafile played into it, the copy onto the window's
// image, #2). A frame of the peer is replot() and its paint into the same kind of image.
// The three are run interleaved frame by frame in one process; the table gives the
// median of each and the spread (10th to 90th percentile), and the ratio of the medians.
//
// After the table, Google Benchmark runs the state block round trip; pass
// --no-frames to skip the table, --frames=N to change the number of frames, --case=K
// to run only row K of the table (from 0), and
// --images=DIR to keep the last frame of each case as PNG files for a look.

#include "chart/ChartEngineApi.h"
#include "chart/engine/Gdi.h"
#include "ChartFrame.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>
#include "PeerChart.h"

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 800, kHeight = 600;
constexpr double kT0 = 46000.4, kStep = 1.0 / 86400; // days; one point a second
using peer::kLimits;
const auto &kLabels = peer::kNames;
const auto &kColors = peer::kColours;

float value(int subset, int i) {
    switch (subset) {
        case 0: return static_cast<float>(55 + 20 * std::sin(i / 50.0) + (i % 7));
        case 1: return static_cast<float>(22 + 5 * std::cos(i / 80.0));
        default: return static_cast<float>(30 + 10 * std::sin(i / 130.0));
    }
}

// Line type 0: the 1-pixel pen; 5: the 2-pixel pen.
HWND ourChart(int points, int lineType) {
    RECT r{0, 0, kWidth, kHeight};
    HWND h = chart::ceCreate(chart::kNewObject, 0, &r, nullptr, 100);
    chart::ceSetInt(h, 2155, 1); // PrepareImages, as the humidity program sets it
    chart::ceSetInt(h, 2115, 3);
    chart::ceSetInt(h, 2120, points);
    chart::ceSetInt(h, 3018, 1);
    chart::ceSetInt(h, 3016, 1);
    chart::ceSetString(h, 3000, "Time");
    double null = 9999.0;
    chart::ceSetMem(h, 3268, &null, 0);
    for (int s = 0; s < 3; ++s) {
        chart::ceSetElem(h, 2125, s, kLabels[s]);
        std::int32_t lt = lineType;
        chart::ceSetElem(h, 3271, s, &lt);
        std::int32_t c = kColors[s].red() | kColors[s].green() << 8 | kColors[s].blue() << 16;
        chart::ceSetElem(h, 2190, s, &c);
    }
    std::int32_t one = 1, two = 2;
    chart::ceSetElem(h, 3001, 0, &one);
    chart::ceSetElem(h, 3001, 1, &two);
    chart::ceSetInt(h, 3046, 3);
    chart::ceSetInt(h, 3032, 2);
    double minX = kT0, maxX = kT0 + (points - 1) * kStep;
    chart::ceSetInt(h, 3615, 3);
    chart::ceSetMem(h, 3620, &minX, 0);
    chart::ceSetMem(h, 3625, &maxX, 0);
    for (int a = 0; a < 2; ++a) {
        chart::ceSetInt(h, 3006, a);
        chart::ceSetString(h, 3005, a ? "TEMPERATURE" : "HUMIDITY");
        chart::ceSetInt(h, 3050, 3);
        chart::ceSetMem(h, 3055, &kLimits[a][0], 0);
        chart::ceSetMem(h, 3060, &kLimits[a][1], 0);
    }
    chart::ceSetInt(h, 3006, 0);
    for (int i = 0; i < points; ++i) {
        double x = kT0 + i * kStep;
        for (int s = 0; s < 3; ++s) {
            float y = value(s, i);
            chart::ceSetElem2(h, 3013, s, i, &x);
            chart::ceSetElem2(h, 2140, s, i, &y);
        }
    }
    chart::ceReinitialize(h);
    chart::ceResetImage(h, 0, 0);
    return h;
}

void ourFrame(HWND h, QImage &window) { chartbench::paintFrame(h, window, kWidth, kHeight); }

// The same chart in QCustomPlot, over the same time span and data.
std::unique_ptr<QCustomPlot> peerChart(int points, int penWidth, bool antialiased) {
    auto plot = std::make_unique<QCustomPlot>();
    const auto graphs = peer::setUpChart(*plot, kWidth, kHeight, penWidth, antialiased);
    auto key = [](double days) { return (days - 25569.0) * 86400.0; };
    QVector<double> keys(points);
    for (int i = 0; i < points; ++i) keys[i] = key(kT0 + i * kStep);
    for (int s = 0; s < 3; ++s) {
        graphs[s]->keyAxis()->setRange(key(kT0), key(kT0 + (points - 1) * kStep));
        QVector<double> values(points);
        for (int i = 0; i < points; ++i) values[i] = value(s, i);
        graphs[s]->setData(keys, values, true);
    }
    plot->show();
    plot->replot();
    return plot;
}

void peerFrame(QCustomPlot &plot, QImage &window) {
    plot.replot(QCustomPlot::rpQueuedRefresh);
    plot.render(&window);
}

struct Series {
    std::vector<double> ms;
    double quantile(double q) {
        std::sort(ms.begin(), ms.end());
        return ms[static_cast<std::size_t>(q * (ms.size() - 1) + 0.5)];
    }
};

template <class F> double timed(F f) {
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e6;
}

void frameTable(int frames, const QString &images, int only) {
    struct Case {
        int points, lineType, penWidth;
        const char *pen;
    };
    const Case cases[] = {
        {5000, 0, 1, "1-pixel"}, {5000, 5, 2, "2-pixel"}, {1000000, 0, 1, "1-pixel"}, {1000000, 5, 2, "2-pixel"}};
    std::printf("Chart frame, 3 subsets, %d x %d, render + paint; median ms (10th-90th percentile)\n", kWidth, kHeight);
    std::printf("%-9s %-8s | %-22s | %-22s | %-22s | %-10s | %-10s\n", "points", "pen", "ours", "QCustomPlot, no AA",
                "QCustomPlot, default AA", "ours/no AA", "ours/AA");
    for (const Case &c : cases) {
        if (only >= 0 && &c - cases != only) continue;
        HWND h = ourChart(c.points, c.lineType);
        auto plain = peerChart(c.points, c.penWidth, false);
        auto smooth = peerChart(c.points, c.penWidth, true);
        QImage window(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
        window.fill(Qt::white);
        int n = c.points > 100000 ? std::max(frames / 10, 5) : frames;
        Series ours, peer, peerAA;
        for (int warm = 0; warm < 3; ++warm) {
            ourFrame(h, window);
            peerFrame(*plain, window);
            peerFrame(*smooth, window);
        }
        for (int i = 0; i < n; ++i) {
            ours.ms.push_back(timed([&] { ourFrame(h, window); }));
            peer.ms.push_back(timed([&] { peerFrame(*plain, window); }));
            peerAA.ms.push_back(timed([&] { peerFrame(*smooth, window); }));
        }
        auto cell = [](Series &s) {
            char b[64];
            std::snprintf(b, sizeof b, "%.3f (%.3f-%.3f)", s.quantile(0.5), s.quantile(0.1), s.quantile(0.9));
            return std::string(b);
        };
        double o = ours.quantile(0.5);
        std::printf("%-9d %-8s | %-22s | %-22s | %-22s | %-10.2f | %-10.2f\n", c.points, c.pen, cell(ours).c_str(),
                    cell(peer).c_str(), cell(peerAA).c_str(), o / peer.quantile(0.5), o / peerAA.quantile(0.5));
        std::fflush(stdout);
        if (!images.isEmpty()) {
            QString stem = QString("%1/%2-%3px-").arg(images).arg(c.points).arg(c.penWidth);
            ourFrame(h, window);
            window.save(stem + "ours.png");
            peerFrame(*plain, window);
            window.save(stem + "qcustomplot.png");
        }
        chart::ceDestroy(h);
    }
}

void BM_SaveLoadRoundTrip(benchmark::State &state) {
    HWND h = ourChart(5000, 0);
    RECT r{0, 0, kWidth, kHeight};
    HWND other = chart::ceCreate(chart::kNewObject, 0, &r, nullptr, 100);
    std::uint32_t size = 0;
    for (auto _ : state) {
        HGLOBAL block = nullptr;
        chart::ceSaveState(h, &block, &size);
        if (!chart::ceLoadState(other, &block)) state.SkipWithError("load refused");
        GlobalFree(block);
    }
    state.counters["bytes"] = size;
    chart::ceDestroy(other);
    chart::ceDestroy(h);
}
BENCHMARK(BM_SaveLoadRoundTrip)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    int frames = 200;
    bool table = true;
    QString images;
    int only = -1;
    std::vector<char *> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--frames=", 9) == 0)
            frames = std::max(1, std::atoi(argv[i] + 9));
        else if (std::strncmp(argv[i], "--case=", 7) == 0)
            only = std::atoi(argv[i] + 7);
        else if (std::strncmp(argv[i], "--images=", 9) == 0)
            images = QString::fromLocal8Bit(argv[i] + 9);
        else if (std::strcmp(argv[i], "--no-frames") == 0)
            table = false;
        else
            rest.push_back(argv[i]);
    }
    if (table) frameTable(frames, images, only);
    int n = static_cast<int>(rest.size());
    benchmark::Initialize(&n, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
