// The real-time chart of the humidity program at its fullest: 3 subsets x 5000 points
// of date-time x and single y on two stacked axes, 800 x 600.

#include "chart/ChartEngineApi.h"
#include "chart/engine/Gdi.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPicture>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kPoints = 5000;

HWND fullChart(int lineType)
{
    RECT r{0, 0, 800, 600};
    HWND h = chart::ceCreate(chart::kNewObject, 0, &r, nullptr, 100);
    chart::ceSetInt(h, 2155, 1);
    chart::ceSetInt(h, 2115, 3);
    chart::ceSetInt(h, 2120, kPoints);
    chart::ceSetInt(h, 3018, 1);
    chart::ceSetInt(h, 3016, 1);
    chart::ceSetString(h, 3000, "Time");
    double null = 9999.0;
    chart::ceSetMem(h, 3268, &null, 0);
    const char *labels[] = {"%RH", "T1", "T2"};
    for (int s = 0; s < 3; ++s) {
        chart::ceSetElem(h, 2125, s, labels[s]);
        std::int32_t lt = lineType;
        chart::ceSetElem(h, 3271, s, &lt);
    }
    std::int32_t one = 1, two = 2;
    chart::ceSetElem(h, 3001, 0, &one);
    chart::ceSetElem(h, 3001, 1, &two);
    chart::ceSetInt(h, 3046, 3);
    chart::ceSetInt(h, 3032, 2);
    double t0 = 46000.4, step = 1.0 / 86400;
    double minX = t0, maxX = t0 + kPoints * step;
    chart::ceSetInt(h, 3615, 3);
    chart::ceSetMem(h, 3620, &minX, 0);
    chart::ceSetMem(h, 3625, &maxX, 0);
    double lim[2][2] = {{0, 110}, {-20, 140}};
    for (int a = 0; a < 2; ++a) {
        chart::ceSetInt(h, 3006, a);
        chart::ceSetString(h, 3005, a ? "TEMPERATURE" : "HUMIDITY");
        chart::ceSetInt(h, 3050, 3);
        chart::ceSetMem(h, 3055, &lim[a][0], 0);
        chart::ceSetMem(h, 3060, &lim[a][1], 0);
    }
    chart::ceSetInt(h, 3006, 0);
    for (int i = 0; i < kPoints; ++i) {
        double x = t0 + i * step;
        float y[3] = {static_cast<float>(55 + 20 * std::sin(i / 50.0) + (i % 7)),
                      static_cast<float>(22 + 5 * std::cos(i / 80.0)),
                      static_cast<float>(30 + 10 * std::sin(i / 130.0))};
        for (int s = 0; s < 3; ++s) {
            chart::ceSetElem2(h, 3013, s, i, &x);
            chart::ceSetElem2(h, 2140, s, i, &y[s]);
        }
    }
    chart::ceReinitialize(h);
    chart::ceResetImage(h, 0, 0);
    return h;
}

void paint(HWND h, QImage &target)
{
    QPainter g(&target);
    g.drawPicture(0, 0, *MetafilePicture(chart::ceGetMetafile(h)));
}

void BM_ResetImagePlusPaint(benchmark::State &state)
{
    HWND h = fullChart(static_cast<int>(state.range(0)));
    QImage target(800, 600, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        chart::ceResetImage(h, 0, 0);
        paint(h, target);
        benchmark::DoNotOptimize(target.constBits());
    }
    chart::ceDestroy(h);
}
// Line type 0: 1-pixel pen; 5: a 2-pixel pen.
BENCHMARK(BM_ResetImagePlusPaint)->Arg(0)->Arg(5)->Unit(benchmark::kMillisecond);

void BM_ResetImageOnly(benchmark::State &state)
{
    HWND h = fullChart(0);
    for (auto _ : state)
        chart::ceResetImage(h, 0, 0);
    chart::ceDestroy(h);
}
BENCHMARK(BM_ResetImageOnly)->Unit(benchmark::kMillisecond);

void BM_PaintOnly(benchmark::State &state)
{
    HWND h = fullChart(0);
    QImage target(800, 600, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        paint(h, target);
        benchmark::DoNotOptimize(target.constBits());
    }
    chart::ceDestroy(h);
}
BENCHMARK(BM_PaintOnly)->Unit(benchmark::kMillisecond);

void BM_SaveLoadRoundTrip(benchmark::State &state)
{
    HWND h = fullChart(0);
    RECT r{0, 0, 800, 600};
    HWND other = chart::ceCreate(chart::kNewObject, 0, &r, nullptr, 100);
    std::uint32_t size = 0;
    for (auto _ : state) {
        HGLOBAL block = nullptr;
        chart::ceSaveState(h, &block, &size);
        if (!chart::ceLoadState(other, &block))
            state.SkipWithError("load refused");
        GlobalFree(block);
    }
    state.counters["bytes"] = size;
    chart::ceDestroy(other);
    chart::ceDestroy(h);
}
BENCHMARK(BM_SaveLoadRoundTrip)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
