// One frame of a chart at the far ends of what the engine accepts: the time of the
// rebuild and its buffered paint, and the peak memory it takes beyond what the chart
// held before it (VmHWM after the frame, the peak reset just before, minus VmRSS).
//
// No peer library is run beside it: no chart library a user would pick holds twenty
// million series, so there is nothing to compare with.
//
// --case=K runs row K only (from 0); --frames=N frames a row (default 3, the median is
// printed); --subsets=N puts N in place of the 20M subsets of the rows that have them.

#include "chart/ChartEngineApi.h"
#include "chart/engine/Gdi.h"
#include "ChartFrame.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 800, kHeight = 600;

struct Case {
    const char *name;
    int subsets, points;
    bool writeY;       // else the data arrays stay unwritten, as in a template
    int legend;        // LegendLocation; -1: no legend
    int method;        // PlottingMethod
    int nullEvery = 0; // every nullEvery-th point is null (runs of nullEvery - 1 points); 0: none
};

const Case kCases[] = {
    {"20M subsets x 1, no data, legend top", 20'000'000, 1, false, 0, 0},
    {"20M subsets x 1, y written, legend top", 20'000'000, 1, true, 0, 0},
    {"20M subsets x 1, y written, legend bottom", 20'000'000, 1, true, 1, 0},
    {"20M subsets x 1, y written, legend right", 20'000'000, 1, true, 3, 0},
    {"20M subsets x 1, y written, points", 20'000'000, 1, true, 0, 2},
    {"100k subsets x 1, no data, legend top", 100'000, 1, false, 0, 0},
    {"100k subsets x 1, y written, legend bottom", 100'000, 1, true, 1, 0},
    {"100k subsets x 200, y written, line", 100'000, 200, true, 0, 0},
    {"100k subsets x 200, y written, points", 100'000, 200, true, 0, 2},
    {"10k subsets x 2000, y written, line", 10'000, 2000, true, 0, 0},
    {"1 subset x 20M, y written, line", 1, 20'000'000, true, 0, 0},
    // Nulls cut the curves into runs too short to reduce.
    {"1 subset x 20M, every 2nd null, line", 1, 20'000'000, true, 0, 0, 2},
    {"1 subset x 20M, every 3rd null, line", 1, 20'000'000, true, 0, 0, 3},
    {"1 subset x 20M, every 4th null, line", 1, 20'000'000, true, 0, 0, 4},
    {"1 subset x 20M, every 2nd null, points", 1, 20'000'000, true, 0, 2, 2},
    {"1 subset x 20M, every 4th null, points", 1, 20'000'000, true, 0, 2, 4},
    {"1 subset x 20M, every 2nd null, pts+line", 1, 20'000'000, true, 0, 17, 2},
    {"1 subset x 20M, every 3rd null, pts+line", 1, 20'000'000, true, 0, 17, 3},
    {"1 subset x 20M, every 4th null, spline", 1, 20'000'000, true, 0, 16, 4},
    {"1 subset x 20M, every 3rd null, step", 1, 20'000'000, true, 0, 21, 3},
    {"1 subset x 20M, every 2nd null, bar", 1, 20'000'000, true, 0, 1, 2},
    {"1 subset x 20M, every 3rd null, bar", 1, 20'000'000, true, 0, 1, 3},
    {"1 subset x 20M, every 2nd null, area", 1, 20'000'000, true, 0, 3, 2},
    {"1 subset x 20M, every 3rd null, area", 1, 20'000'000, true, 0, 3, 3},
    {"1000 subsets x 20000, every 2nd null, line", 1000, 20'000, true, 0, 0, 2},
    {"1000 subsets x 20000, every 3rd null, line", 1000, 20'000, true, 0, 0, 3},
    {"1000 subsets x 20000, every 2nd null, points", 1000, 20'000, true, 0, 2, 2},
    {"100k subsets x 200, every 2nd null, line", 100'000, 200, true, 0, 0, 2},
    {"100k subsets x 200, every 3rd null, line", 100'000, 200, true, 0, 0, 3},
};

long statusKb(const char *field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::size_t n = std::strlen(field);
    while (std::getline(in, line))
        if (line.compare(0, n, field) == 0) return std::atol(line.c_str() + n + 1);
    return -1;
}

// Sets the peak resident size back to the current one.
void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

HWND makeChart(const Case &c) {
    RECT r{0, 0, kWidth, kHeight};
    HWND h = chart::ceCreate(chart::kNewObject, 0, &r, nullptr, 100);
    chart::ceSetInt(h, 2155, 1); // PrepareImages
    chart::ceSetInt(h, 2120, 1);
    if (!chart::ceSetInt(h, 2115, c.subsets) || !chart::ceSetInt(h, 2120, c.points)) {
        chart::ceDestroy(h);
        return nullptr;
    }
    chart::ceSetInt(h, 2666, c.legend >= 0);
    if (c.legend >= 0) chart::ceSetInt(h, 3082, c.legend);
    chart::ceSetInt(h, 3090, c.method);
    const double null = -1;
    chart::ceSetMem(h, 3268, &null, 0); // NullDataValueY
    if (c.writeY)
        for (int s = 0; s < c.subsets; ++s)
            for (int i = 0; i < c.points; ++i) {
                float y = static_cast<float>((s * 7 + i * 13) % 1000) / 10.0f;
                if (c.nullEvery > 0 && i % c.nullEvery == c.nullEvery - 1) y = static_cast<float>(null);
                chart::ceSetElem2(h, 2140, s, i, &y);
            }
    chart::ceReinitialize(h);
    return h;
}

void frame(HWND h, QImage &window) { chartbench::paintFrame(h, window, kWidth, kHeight); }

void run(Case c, int frames, int subsets) {
    std::string name = c.name;
    if (subsets > 0 && c.subsets == 20'000'000) {
        c.subsets = subsets;
        name = std::to_string(subsets) + name.substr(3);
    }
    HWND h = makeChart(c);
    if (!h) {
        std::printf("%-46s | %10s | %10s\n", name.c_str(), "refused", "");
        return;
    }
    QImage window(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    window.fill(Qt::white);
    std::vector<double> ms;
    long peak = 0;
    for (int k = 0; k < frames; ++k) {
        long before = statusKb("VmRSS:");
        resetPeak();
        QElapsedTimer t;
        t.start();
        frame(h, window);
        ms.push_back(t.nsecsElapsed() / 1e6);
        peak = std::max(peak, statusKb("VmHWM:") - before);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-46s | %10.1f | %10.1f\n", name.c_str(), ms[ms.size() / 2], peak / 1024.0);
    std::fflush(stdout);
    chart::ceDestroy(h);
}

} // namespace

int main(int argc, char **argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    int only = -1, frames = 3, subsets = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--case=", 7) == 0)
            only = std::atoi(argv[i] + 7);
        else if (std::strncmp(argv[i], "--frames=", 9) == 0)
            frames = std::max(1, std::atoi(argv[i] + 9));
        else if (std::strncmp(argv[i], "--subsets=", 10) == 0)
            subsets = std::atoi(argv[i] + 10);
    }
    std::printf("Chart frame at the engine's bounds, %d x %d, rebuild + paint\n", kWidth, kHeight);
    std::printf("%-46s | %10s | %10s\n", "case", "median ms", "peak MB");
    for (const Case &c : kCases)
        if (only < 0 || &c - kCases == only) run(c, frames, subsets);
    return 0;
}
