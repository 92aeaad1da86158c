// The picture: what a chart of the humidity program shows, and what changes it.

#include "ChartFixture.h"
#include "chart/engine/Engine.h"
#include "chart/engine/Renderer.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QPaintEngine>

#include <algorithm>
#include <cmath>
#include <functional>

#include <gtest/gtest.h>

using namespace fixture;

namespace {

int countColour(const QImage &img, QRgb c, const QRect &area = QRect()) {
    QRect r = area.isNull() ? img.rect() : area;
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) n += (img.pixel(x, y) & 0xFFFFFF) == (c & 0xFFFFFF);
    return n;
}

} // namespace

TEST(ChartRender, TwoAxesDateTimeLegendAndLineScreenshot) {
    Parent parent;
    HWND h = humidityChart(parent.hwnd);
    QImage img = replay(h);
    const QString dir = QString::fromStdString(testsupport::binDir()) + "/../screenshots";
    QDir().mkpath(dir);
    ASSERT_TRUE(img.save(dir + "/chart-two-axes.png"));

    // Desk silver, graph black, curves yellow / magenta / cyan, the line red.
    EXPECT_GT(countColour(img, qRgb(0xC0, 0xC0, 0xC0)), 10000);
    EXPECT_GT(countColour(img, qRgb(0, 0, 0)), 100000);
    EXPECT_GT(countColour(img, qRgb(0xFF, 0xFF, 0)), 150);
    EXPECT_GT(countColour(img, qRgb(0xFF, 0, 0xFF)), 150);
    EXPECT_GT(countColour(img, qRgb(0, 0xFF, 0xFF)), 150);
    EXPECT_GT(countColour(img, qRgb(0xFF, 0, 0)), 100);
    chart::ceDestroy(h);
}

TEST(ChartRender, NullValuesLeaveGaps) {
    Parent parent;
    HWND h = humidityChart(parent.hwnd);
    // Hide the other subsets and the line, so only humidity is yellow.
    QImage before = replay(h);
    int yellowBefore = countColour(before, qRgb(0xFF, 0xFF, 0));
    for (int i = 30; i < 90; ++i) setY(h, 0, i, 9999.0f);
    chart::ceResetImage(h, 0, 0);
    int yellowAfter = countColour(replay(h), qRgb(0xFF, 0xFF, 0));
    EXPECT_LT(yellowAfter, yellowBefore * 3 / 4);
    EXPECT_GT(yellowAfter, 0);
    chart::ceDestroy(h);
}

TEST(ChartRender, SetterChangesNothingUntilRebuilt) {
    Parent parent;
    HWND h = humidityChart(parent.hwnd);
    QImage before = replay(h);
    chart::ceSetInt(h, 2340, 0xFFFFFF); // GraphBackColor white
    EXPECT_EQ(replay(h), before);
    chart::ceResetImage(h, 0, 0);
    EXPECT_NE(replay(h), before);
    EXPECT_EQ(chart::ceGetInt(h, 2905), 1); // the picture is marked dirty
    chart::ceDestroy(h);
}

// Every plotting method and the monochrome style draw something of their own.
TEST(ChartRender, PlottingMethodsAndViewingStylesDiffer) {
    Parent parent;
    HWND h = humidityChart(parent.hwnd);
    std::vector<QImage> seen;
    for (int code : {0, 1, 2, 3, 4, 16, 17, 21}) {
        chart::ceSetInt(h, 3090, code);
        chart::ceResetImage(h, 0, 0);
        QImage img = replay(h);
        for (const QImage &other : seen) EXPECT_NE(img, other) << "method " << code;
        seen.push_back(img);
    }
    chart::ceSetInt(h, 3090, 0);
    chart::ceSetInt(h, 2230, 1); // monochrome
    chart::ceResetImage(h, 0, 0);
    QImage mono = replay(h);
    EXPECT_EQ(countColour(mono, qRgb(0xFF, 0xFF, 0)), 0);
    EXPECT_EQ(countColour(mono, qRgb(0xFF, 0, 0xFF)), 0);
    chart::ceDestroy(h);
}

TEST(ChartRender, BarsOfSeveralSubsetsStandSideBySide) {
    RECT r{0, 0, 640, 360};
    HWND h = chart::ceCreate(chart::kNewObject, 0, &r, nullptr, 100);
    chart::ceSetInt(h, 2115, 2);
    chart::ceSetInt(h, 2120, 8);
    chart::ceSetInt(h, 3090, 1); // bar
    chart::ceSetInt(h, 2666, 0);
    setElemInt(h, 2190, 0, 0x0000FF);
    setElemInt(h, 2190, 1, 0xFF0000);
    for (int s = 0; s < 2; ++s)
        for (int i = 0; i < 8; ++i)
            setY(h, s, i, static_cast<float>(5 + i % 3)); // equal heights: one would hide the other
    chart::ceResetImage(h, 0, 0);
    QImage img = replay(h, 640, 360);
    int red = countColour(img, qRgb(0xFF, 0, 0)), blue = countColour(img, qRgb(0, 0, 0xFF));
    EXPECT_GT(red, 2000);
    EXPECT_GT(blue, red * 3 / 4);
    EXPECT_LT(blue, red * 4 / 3);

    // A bar alone between gaps keeps the width of a point's slot; bars stand on zero.
    chart::ceSetInt(h, 2115, 1);
    setDouble(h, 3268, 9999.0);
    setY(h, 0, 3, 9999.0f);
    setY(h, 0, 5, 9999.0f);
    chart::ceResetImage(h, 0, 0);
    img = replay(h, 640, 360);
    const QRect g = chart::engine::Engine::find(h)->layout().graph;
    std::vector<int> widths;
    int run = 0;
    for (int x = g.left(); x <= g.right() + 1; ++x) {
        bool bar = x <= g.right() && (img.pixel(x, g.center().y()) & 0xFFFFFF) == 0xFF0000;
        if (bar)
            ++run;
        else if (run > 0)
            widths.push_back(run), run = 0;
    }
    ASSERT_EQ(widths.size(), 6u) << ::testing::PrintToString(widths);
    EXPECT_LE(*std::max_element(widths.begin(), widths.end()), *std::min_element(widths.begin(), widths.end()) + 2);
    chart::ceDestroy(h);
}

TEST(ChartRender, ALonePointOfALineIsShown) {
    RECT r{0, 0, 400, 300};
    HWND h = chart::ceCreate(chart::kNewObject, 0, &r, nullptr, 100);
    chart::ceSetInt(h, 2120, 5);
    chart::ceSetInt(h, 2666, 0);
    setElemInt(h, 2190, 0, 0xFF0000);
    setDouble(h, 3268, 9999.0);
    for (int i = 0; i < 5; ++i) setY(h, 0, i, i == 2 ? 7.0f : 9999.0f); // one sample between gaps
    chart::ceResetImage(h, 0, 0);
    EXPECT_GT(countColour(replay(h, 400, 300), qRgb(0, 0, 0xFF)), 12);
    chart::ceDestroy(h);
}

TEST(ChartRender, LegendAndGridFollowTheirProperties) {
    Parent parent;
    HWND h = humidityChart(parent.hwnd);
    QImage with = replay(h);
    chart::ceSetInt(h, 2666, 0); // ShowLegend off
    chart::ceResetImage(h, 0, 0);
    QImage without = replay(h);
    EXPECT_NE(with, without);
    chart::ceSetInt(h, 2666, 1);
    chart::ceSetInt(h, 3100, 3); // no grid
    chart::ceResetImage(h, 0, 0);
    QImage noGrid = replay(h);
    EXPECT_NE(noGrid, with);
    chart::ceDestroy(h);
}

// A real-time chart holds zeros where no sample was written yet: with date-time x those
// are not points (an automatic time axis would reach back to 1899, a line would run
// back to it).
TEST(ChartRender, UnwrittenDateTimePointsAreNotDrawn) {
    Parent parent;
    HWND h = humidityChart(parent.hwnd);
    chart::ceSetInt(h, 3615, 0); // automatic time axis
    for (int i = 60; i < 120; ++i)
        for (int s = 0; s < 3; ++s) {
            setX(h, s, i, 0.0);
            setY(h, s, i, 0.0f);
        }
    chart::ceResetImage(h, 0, 0);
    QImage img = replay(h);
    const auto *e = chart::engine::Engine::find(h);
    ASSERT_NE(e, nullptr);
    const QRect g = e->layout().graph;
    const auto &humidity = e->layout().axes[0].y;
    // Humidity stays within 40..70: nothing yellow below 30, and nothing right of the
    // last sample.
    int below30 = static_cast<int>(humidity.toPixel(30)), above2 = static_cast<int>(humidity.toPixel(2));
    EXPECT_EQ(countColour(img, qRgb(0xFF, 0xFF, 0), QRect(g.left() + 1, below30, g.width() - 2, above2 - below30)), 0);
    // The written samples fill the time axis.
    EXPECT_GT(countColour(img, qRgb(0xFF, 0xFF, 0), QRect(g.left(), g.top(), g.width() / 2, g.height())), 100);
    EXPECT_GT(
        countColour(img, qRgb(0xFF, 0xFF, 0), QRect(g.left() + g.width() / 2, g.top(), g.width() / 2, g.height())),
        100);
    chart::ceDestroy(h);
}

namespace {

// A chart with nothing but solid curves in its graph area: no text, no dotted lines.
HWND plainChart(int points, const RECT &r = RECT{0, 0, 640, 360}) {
    HWND h = chart::ceCreate(chart::kNewObject, 0, &r, nullptr, 100);
    chart::ceSetInt(h, 2120, points);
    chart::ceSetInt(h, 2115, 2);
    chart::ceSetInt(h, 2666, 0); // no legend
    chart::ceSetInt(h, 3027, 5); // no y axis
    chart::ceSetInt(h, 3029, 5); // no x axis
    chart::ceSetInt(h, 3100, 3); // no grid
    for (int i = 0; i < points; ++i)
        for (int s = 0; s < 2; ++s) {
            float x = static_cast<float>(i), y = static_cast<float>(std::sin(i / (7.0 + s)) * (s + 1));
            chart::ceSetElem2(h, 2135, s, i, &x);
            chart::ceSetElem2(h, 2140, s, i, &y);
        }
    chart::ceReinitialize(h);
    chart::ceResetImage(h, 0, 0);
    return h;
}

} // namespace

// The metafile is the picture itself, recorded when it is asked for from what the
// picture was drawn from: it shows what the screen shows, stays the picture of its
// rebuild whatever is written after it, and scales as a picture does.
TEST(ChartRender, MetafileIsThePictureOfItsRebuild) {
    HWND h = plainChart(300);
    QImage screen = shown(h, 640, 360);
    chart::ceSetInt(h, 2340, 0x00FF00); // GraphBackColor
    for (int i = 0; i < 300; ++i) {
        float y = 0;
        chart::ceSetElem2(h, 2140, 0, i, &y);
    }
    chart::ceSetInt(h, 2120, 20);
    EXPECT_EQ(replay(h, 640, 360), screen);
    EXPECT_EQ(shown(h, 640, 360), screen);

    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateCompatibleBitmap(dc, 320, 180);
    SelectObject(dc, bmp);
    SetViewportExtEx(dc, 320, 180, nullptr);
    EXPECT_EQ(PlayMetaFile(dc, chart::ceGetMetafile(h)), TRUE);
    EXPECT_EQ(*DCImage(dc), [&] {
        QImage half(320, 180, QImage::Format_ARGB32_Premultiplied);
        half.fill(Qt::white);
        QPainter g(&half);
        g.scale(0.5, 0.5);
        g.drawPicture(0, 0, *MetafilePicture(chart::ceGetMetafile(h)));
        return half;
    }());
    DeleteDC(dc);
    DeleteObject(bmp);
    chart::ceDestroy(h);

    // With texts and dotted lines the recording differs from the drawing only where Qt
    // sets the glyphs and dots of a recorded call anew.
    h = humidityChart(nullptr);
    EXPECT_LT(differingShare(shown(h), replay(h)), 0.03);
    chart::ceDestroy(h);
}

// The next picture is drawn over the last one's pixels only when nothing else holds
// them: an image that the picture was played into keeps it through the rebuilds after.
TEST(ChartRender, APlayedPictureKeepsItsPixelsThroughTheNextRebuilds) {
    HWND h = plainChart(300);
    const QImage held = shown(h, 640, 360); // shares the engine's pixels
    const QImage before = held.copy();
    for (int k = 0; k < 3; ++k) {
        chart::ceSetInt(h, 2340, 0x00FF00 + k); // GraphBackColor
        chart::ceResetImage(h, 0, 0);
    }
    const QImage after = shown(h, 640, 360);
    EXPECT_EQ(held, before);
    EXPECT_NE(after, before);
    EXPECT_EQ(after, replay(h, 640, 360));
    chart::ceDestroy(h);
}

// A dense curve is reduced while it is read, run by run between null values, to what a
// pixel column shows: of the points in one column the first, the lowest, the highest and
// the last, in their order. Points far outside the x range are left out but for one on
// each side. The expected frame is worked out here from the numbers written.
TEST(ChartRender, DenseRunsAreReducedToWhatAPixelColumnShows) {
    const int n = 60000;
    const double lo = 1000.5, hi = 50000.25;
    const float null = 9999.0f;
    RECT r{0, 0, 640, 360};
    HWND h = chart::ceCreate(chart::kNewObject, 0, &r, nullptr, 100);
    chart::ceSetInt(h, 2120, n);
    chart::ceSetInt(h, 2115, 2);
    chart::ceSetInt(h, 3016, 1); // UsingXDataII
    setDouble(h, 3268, null);
    chart::ceSetInt(h, 3615, 3);
    setDouble(h, 3620, lo);
    setDouble(h, 3625, hi);
    std::uint32_t seed = 12345;
    auto next = [&] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
    std::vector<double> xs[2] = {std::vector<double>(n), std::vector<double>(n)};
    std::vector<float> ys(n);
    for (int i = 0; i < n; ++i) {
        xs[0][i] = i + 0.37;
        xs[1][i] = i % 97 == 0 ? i - 40.0 : i + 0.5; // subset 1 goes back now and then
        ys[i] = static_cast<float>(next() % 100000) / 1000.0f;
        if (i == 20000 || i == 20001 || i == 45000) ys[i] = null;
        chart::ceSetElem2(h, 3013, 0, i, &xs[0][i]);
        chart::ceSetElem2(h, 3013, 1, i, &xs[1][i]);
        chart::ceSetElem2(h, 2140, 0, i, &ys[i]);
        chart::ceSetElem2(h, 2140, 1, i, &ys[i]);
    }
    const chart::engine::PropertyStore &p = chart::engine::Engine::find(h)->props();
    chart::engine::Frame f = chart::engine::buildFrame(p, 640, 360);
    const chart::engine::Layout &L = f.layout;
    ASSERT_EQ(L.x.v0, lo);
    ASSERT_EQ(L.x.v1, hi);
    ASSERT_FALSE(L.x.log || L.axes[0].y.log);
    auto pixel = [](const chart::engine::ScaleMap &m, double v) {
        return m.p0 + (v - m.v0) * (m.p1 - m.p0) / (m.v1 - m.v0);
    };
    ASSERT_EQ(f.firstRun.size(), 3u);
    for (int s = 0; s < 2; ++s) {
        const std::vector<double> &x = xs[s];
        std::vector<std::vector<QPointF>> runs(1);
        const double slack = (hi - lo) * 0.01;
        for (int i = 0; i < n; ++i) {
            if (ys[i] == null) {
                if (!runs.back().empty()) runs.emplace_back();
                continue;
            }
            bool far = x[i] < lo - slack || x[i] > hi + slack;
            bool edge = (x[i] < lo && i + 1 < n && x[i + 1] >= lo) || (x[i] > hi && i > 0 && x[i - 1] <= hi);
            if (far && !edge) continue;
            runs.back().emplace_back(pixel(L.x, x[i]), pixel(L.axes[0].y, ys[i]));
        }
        if (runs.back().empty()) runs.pop_back();
        ASSERT_EQ(f.firstRun[s + 1] - f.firstRun[s], runs.size()) << "subset " << s;
        for (std::size_t k = 0; k < runs.size(); ++k) {
            const std::vector<QPointF> &all = runs[k];
            std::vector<QPointF> want;
            for (std::size_t a = 0; a < all.size();) {
                std::size_t b = a, top = a, bottom = a; // the column's last point, its highest and lowest
                while (b + 1 < all.size() && std::floor(all[b + 1].x()) == std::floor(all[a].x())) {
                    ++b;
                    top = all[b].y() < all[top].y() ? b : top;
                    bottom = all[b].y() > all[bottom].y() ? b : bottom;
                }
                std::vector<std::size_t> keep{a, std::min(top, bottom), std::max(top, bottom), b};
                if (b - a < 2) keep = {a, b};
                keep.erase(std::unique(keep.begin(), keep.end()), keep.end());
                for (std::size_t at : keep) want.push_back(all[at]);
                a = b + 1;
            }
            const chart::engine::Frame::Run &run = f.runs[f.firstRun[s] + k];
            std::span<const QPointF> got = f.pointsOf(run);
            EXPECT_TRUE(run.dense);
            EXPECT_LT(want.size(), all.size() / 4) << "subset " << s << " run " << k;
            ASSERT_EQ(got.size(), want.size()) << "subset " << s << " run " << k;
            for (std::size_t j = 0; j < want.size(); ++j)
                ASSERT_LT((got[j] - want[j]).manhattanLength(), 1e-6)
                    << "subset " << s << " run " << k << " point " << j;
        }
    }

    // Read side by side, as a chart of many points is, the subsets give the same frame.
    const chart::engine::Frame side = chart::engine::buildFrame(p, 640, 360, 0);
    EXPECT_EQ(side.firstRun, f.firstRun);
    ASSERT_EQ(side.runs.size(), f.runs.size());
    for (std::size_t k = 0; k < f.runs.size(); ++k) {
        EXPECT_EQ(side.runs[k].begin, f.runs[k].begin) << k;
        EXPECT_EQ(side.runs[k].size, f.runs[k].size) << k;
        EXPECT_EQ(side.runs[k].dense, f.runs[k].dense) << k;
    }
    EXPECT_EQ(side.points, f.points);
    chart::ceDestroy(h);
}

// More subsets than cores: each reader takes a block of neighbouring subsets, and the
// frame is the same as read in turn.
TEST(ChartRender, ManySubsetsReadSideBySideGiveTheFrameReadInTurn) {
    RECT r{0, 0, 640, 360};
    HWND h = chart::ceCreate(chart::kNewObject, 0, &r, nullptr, 100);
    const int subsets = 40, points = 500;
    chart::ceSetInt(h, 2120, points);
    chart::ceSetInt(h, 2115, subsets);
    setDouble(h, 3268, 9999.0);
    for (int s = 0; s < subsets; ++s)
        for (int i = 0; i < points; ++i) {
            float x = static_cast<float>(i), y = static_cast<float>((i * (s + 3)) % 97);
            if (i % (50 + s) == 0) y = 9999.0f; // nulls split the runs
            chart::ceSetElem2(h, 2135, s, i, &x);
            chart::ceSetElem2(h, 2140, s, i, &y);
        }
    const chart::engine::PropertyStore &p = chart::engine::Engine::find(h)->props();
    const chart::engine::Frame inTurn = chart::engine::buildFrame(p, 640, 360, SIZE_MAX);
    const chart::engine::Frame side = chart::engine::buildFrame(p, 640, 360, 0);
    ASSERT_EQ(side.firstRun.size(), std::size_t(subsets) + 1);
    EXPECT_EQ(side.firstRun, inTurn.firstRun);
    ASSERT_EQ(side.runs.size(), inTurn.runs.size());
    for (std::size_t k = 0; k < side.runs.size(); ++k) {
        EXPECT_EQ(side.runs[k].begin, inTurn.runs[k].begin) << k;
        EXPECT_EQ(side.runs[k].size, inTurn.runs[k].size) << k;
    }
    EXPECT_EQ(side.points, inTurn.points);
    chart::ceDestroy(h);
}

// Values far off the scale, from the program or from a loaded state block, put lines,
// marks and texts far outside the graph, never past what a coordinate can hold (the
// sanitised build stops at such a conversion).
TEST(ChartRender, ValuesFarOffTheScaleStayInsideThePicture) {
    const QString dir = QString::fromStdString(testsupport::makeTempDir());
    for (int method : {0, 1, 3, 4}) { // line, bar, area, stick
        HWND h = humidityChart(nullptr);
        chart::ceSetInt(h, 3090, method);
        double far[] = {1e300, -1e300, 1e30, std::nan("")};
        for (int i = 0; i < 4; ++i) {
            chart::ceSetElem(h, 3213, i, &far[i]); // HorzLineAnnotation
            setElemStr(h, 3214, i, "far");
            chart::ceSetElem(h, 3291, i, &far[i]); // GraphAnnotationX
            chart::ceSetElem(h, 3292, i, &far[3 - i]);
            setElemStr(h, 3293, i, "far");
            chart::ceSetElem(h, 3218, i + 1, &far[i]); // VertLineAnnotation
            setElemStr(h, 3219, i + 1, "far");
        }
        chart::ceSetInt(h, 3006, 1); // axis 1 on a scale no pixel can be worked out on
        setDouble(h, 3055, -INFINITY);
        setDouble(h, 3060, 1e308);
        chart::ceSetInt(h, 3006, 0);
        setY(h, 0, 5, 3e38f);
        setY(h, 1, 6, -3e38f);
        setX(h, 2, 7, 1e300);
        setX(h, 2, 8, -1e300);
        chart::ceSetInt(h, 2617, 1); // CursorMode: on a point
        chart::ceSetInt(h, 2618, 0);
        chart::ceSetInt(h, 2619, 5);
        chart::ceSetInt(h, 2621, 1); // the prompt follows it
        // Through a state block too.
        HGLOBAL block = nullptr;
        std::uint32_t size = 0;
        ASSERT_EQ(chart::ceSaveState(h, &block, &size), 1);
        RECT r{0, 0, 800, 400};
        HWND loaded = chart::ceCreate(chart::kNewObject, 0, &r, nullptr, 100);
        ASSERT_EQ(chart::ceLoadState(loaded, &block), 1);
        GlobalFree(block);
        for (HWND e : {h, loaded}) {
            chart::ceReinitialize(e);
            chart::ceResetImage(e, 0, 0);
            QImage img = shown(e);
            EXPECT_GT(countColour(img, qRgb(0xFF, 0xFF, 0)), 50) << "method " << method; // curves still there
            replay(e);
            std::int32_t pair[2] = {400, 200};
            EXPECT_EQ(chart::cePngToFile(e, pair, (dir + "/far.png").toLatin1().constData()), 1);
            QPainter g(&img);
            HDC dc = CreatePainterDC(&g, 800, 400);
            chart::ceEndPaint(e, dc, 0);
            ReleasePainterDC(dc);
            const chart::engine::Layout &L = chart::engine::Engine::find(e)->layout();
            for (const auto *list : {&L.horzLineTexts, &L.graphAnnots, &L.vertLineTexts})
                for (const auto &[rect, i] : *list)
                    EXPECT_TRUE(QRect(-(1 << 21), -(1 << 21), 1 << 22, 1 << 22).contains(rect)) << "method " << method;
        }
        chart::ceDestroy(loaded);
        chart::ceDestroy(h);
    }
}

// Bars of many subsets take their places in one pass over the subsets, not one per
// subset: a hundred thousand one-point bar subsets make a frame in about the time of
// their points (before, each subset looked at every other and this took an hour).
TEST(ChartRender, ManyBarSubsetsStandSideBySideInOnePass) {
    const int subsets = 100000;
    RECT r{0, 0, 800, 400};
    HWND h = chart::ceCreate(chart::kNewObject, 0, &r, nullptr, 100);
    chart::ceSetInt(h, 2120, 1);
    chart::ceSetInt(h, 2115, subsets);
    chart::ceSetInt(h, 3090, 1); // bars
    chart::ceSetInt(h, 3082, 3); // the legend on the right, as a column
    for (int s = 0; s < subsets; ++s) {
        float y = static_cast<float>(1 + s % 10);
        chart::ceSetElem2(h, 2140, s, 0, &y);
    }
    chart::ceReinitialize(h);
    chart::ceResetImage(h, 0, 0);
    QImage img = shown(h);
    const chart::engine::Layout &L = chart::engine::Engine::find(h)->layout();
    // The slot is filled with bars (their outlines, at a hundred thousand to the slot),
    // their colours in the legend samples.
    EXPECT_GT(countColour(img, qRgb(0, 0, 0), L.graph.adjusted(2, 2, -2, -2)), 10000);
    EXPECT_GT(countColour(img, qRgb(0xFF, 0, 0)), 20);
    EXPECT_GT(countColour(img, qRgb(0, 0, 0xFF)), 20);
    // The legend keeps the entries that fit the desk, not a hundred thousand.
    EXPECT_FALSE(L.legend.empty());
    EXPECT_LT(L.legend.size(), 2000u);
    chart::ceDestroy(h);
}

// A legend column measures the entries that fit the desk: a long label further down,
// never shown, leaves the graph where it was; a long one that is shown moves it.
TEST(ChartRender, ALegendColumnIsAsWideAsTheEntriesItShows) {
    RECT r{0, 0, 640, 360};
    HWND h = chart::ceCreate(chart::kNewObject, 0, &r, nullptr, 100);
    chart::ceSetInt(h, 2120, 1);
    chart::ceSetInt(h, 2115, 1000);
    chart::ceSetInt(h, 3082, 2); // a column on the left
    const std::string wide(60, 'W');
    auto graphLeft = [&] {
        chart::ceResetImage(h, 0, 0);
        shown(h, 640, 360);
        const chart::engine::Layout &L = chart::engine::Engine::find(h)->layout();
        EXPECT_FALSE(L.legend.empty());
        EXPECT_LT(L.legend.back().second, 100); // the entries that fit, not a thousand
        return L.graph.left();
    };
    const int plain = graphLeft();
    setElemStr(h, 2125, 999, wide.c_str());
    EXPECT_EQ(graphLeft(), plain);
    setElemStr(h, 2125, 1, wide.c_str());
    EXPECT_GT(graphLeft(), plain + 100);
    chart::ceDestroy(h);
}

// A window partly covered paints through a clip of several rectangles: the buffered
// picture is copied everywhere inside it, and nowhere outside.
TEST(ChartRender, BitBltThroughAClipOfSeveralRectanglesCopiesInsideItOnly) {
    QImage source(400, 300, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x) source.setPixel(x, y, qRgb(x % 256, y % 256, (x * y) % 256));
    HDC own = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateBitmapHandle(std::make_shared<QImage>(source));
    SelectObject(own, bmp);

    const QRegion visible = QRegion(0, 0, 400, 300) - QRegion(120, 90, 150, 100); // a hole
    for (const QPoint offset : {QPoint(0, 0), QPoint(30, 20)}) {                  // the window within its backing store
        QImage window(460, 340, QImage::Format_ARGB32_Premultiplied);
        window.fill(Qt::white);
        window.paintEngine()->setSystemClip(visible.translated(offset));
        QPainter p(&window);
        p.translate(offset);
        HDC paint = CreatePainterDC(&p, 400, 300);
        EXPECT_EQ(BitBlt(paint, 0, 0, 400, 300, own, 0, 0, SRCCOPY), TRUE);
        ReleasePainterDC(paint);
        p.end();
        int wrong = 0;
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 400; ++x) {
                const QRgb want = visible.contains(QPoint(x, y)) ? source.pixel(x, y) : qRgb(255, 255, 255);
                wrong += window.pixel(x + offset.x(), y + offset.y()) != want;
            }
        EXPECT_EQ(wrong, 0) << offset.x();
    }
    DeleteDC(own);
    DeleteObject(bmp);
}

namespace {

// A chart of many subsets of scattered values, as a test of the picture's detail:
// lines cross at every angle, symbols land on fractional pixels. Point i of subset s
// is null (9999) where `nullAt` says so; by default every 61st, for gaps.
HWND scatteredChart(
    int subsets, int points, int method, int width = 640, int height = 360, std::uint32_t seed = 777,
    const std::function<bool(int, int)> &nullAt = [](int, int i) { return i % 61 == 60; }) {
    RECT r{0, 0, width, height};
    HWND h = chart::ceCreate(chart::kNewObject, 0, &r, nullptr, 100);
    chart::ceSetInt(h, 2120, points);
    chart::ceSetInt(h, 2115, subsets);
    chart::ceSetInt(h, 3090, method);
    setDouble(h, 3268, 9999.0);
    auto next = [&] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
    for (int s = 0; s < subsets; ++s)
        for (int i = 0; i < points; ++i) {
            float y = static_cast<float>(next() % 1000003) / 7919.0f;
            if (nullAt(s, i)) y = 9999.0f;
            chart::ceSetElem2(h, 2140, s, i, &y);
        }
    chart::ceReinitialize(h);
    return h;
}

QImage pictureOf(const chart::engine::PropertyStore &p, const chart::engine::Frame &f) {
    QImage img(f.width, f.height, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::black);
    QPainter g(&img);
    chart::engine::Layout L;
    chart::engine::drawFrame(p, f, g, L);
    return img;
}

// Pixels of `a` that `b` holds otherwise.
int differingPixels(const QImage &a, const QImage &b) {
    int differ = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) differ += a.pixel(x, y) != b.pixel(x, y);
    return differ;
}

} // namespace

// A frame of many points keeps them compact: the picture is the one drawn
// from the points as read, to the pixel.
TEST(ChartRender, ACompactFrameDrawsThePictureOfTheExactOne) {
    struct Case {
        int subsets, points, method;
    };
    // Line, Point, Points + line, Bar, Area.
    for (Case c : {Case{60, 400, 0}, Case{60, 400, 2}, Case{30, 300, 3}, Case{8, 100, 1}, Case{6, 200, 5}}) {
        HWND h = scatteredChart(c.subsets, c.points, c.method);
        const chart::engine::PropertyStore &p = chart::engine::Engine::find(h)->props();
        const chart::engine::Frame exact = chart::engine::buildFrame(p, 640, 360, SIZE_MAX, SIZE_MAX);
        const chart::engine::Frame compact = chart::engine::buildFrame(p, 640, 360, 0, 0);
        ASSERT_FALSE(exact.isCompact);
        ASSERT_TRUE(compact.isCompact);
        ASSERT_EQ(compact.firstRun, exact.firstRun);
        QImage want = pictureOf(p, exact), got = pictureOf(p, compact);
        const int differ = differingPixels(want, got);
        EXPECT_EQ(differ, 0) << "method " << c.method;
        chart::ceDestroy(h);
    }
}

// Curves cut by nulls into runs too short to reduce keep nearly every point: a frame that
// keeps more than its bound once read is compact, read in turn or side by side, and
// draws the picture of the frame kept as read, to the pixel.
TEST(ChartRender, AFrameCutByNullsIntoShortRunsTurnsCompactWithTheSamePicture) {
    const int subsets = 2, points = 12000;
    const std::size_t bound = 8000; // above what the subsets would keep if reduced, below what they keep
    // Line, Point, Bar, Area, Spline, Points + line, Step.
    for (int method : {0, 2, 1, 3, 16, 17, 21}) {
        // Runs of one, two and three points, and one long run that is reduced.
        HWND h = scatteredChart(subsets, points, method, 640, 360, 4242, [](int s, int i) {
            const bool longRun = s == 1 && i >= 3000 && i < 6000;
            return !longRun && i % (2 + (i / 1000 + s) % 3) == 0;
        });
        const chart::engine::PropertyStore &p = chart::engine::Engine::find(h)->props();
        const chart::engine::Frame exact = chart::engine::buildFrame(p, 640, 360, SIZE_MAX, SIZE_MAX);
        ASSERT_FALSE(exact.isCompact);
        ASSERT_GT(exact.pointCount(), bound);
        const QImage want = pictureOf(p, exact);
        for (std::size_t parallelFrom : {std::size_t(SIZE_MAX), std::size_t(0)}) {
            const chart::engine::Frame f = chart::engine::buildFrame(p, 640, 360, parallelFrom, bound);
            ASSERT_TRUE(f.isCompact) << "method " << method << " side by side " << (parallelFrom == 0);
            ASSERT_EQ(f.firstRun, exact.firstRun);
            ASSERT_EQ(f.runs.size(), exact.runs.size());
            for (std::size_t k = 0; k < f.runs.size(); ++k) {
                ASSERT_EQ(f.runs[k].begin, exact.runs[k].begin) << k;
                ASSERT_EQ(f.runs[k].size, exact.runs[k].size) << k;
                ASSERT_EQ(f.runs[k].dense, exact.runs[k].dense) << k;
            }
            const QImage got = pictureOf(p, f);
            const int differ = differingPixels(want, got);
            EXPECT_EQ(differ, 0) << "method " << method << " side by side " << (parallelFrom == 0);
        }
        chart::ceDestroy(h);
    }
}

// Symbols are drawn as they were one by one, each setting its own brush: drawn that way
// again over the picture, in the same order, they change no pixel (inside the graph).
TEST(ChartRender, SymbolsAreThoseDrawnOneByOne) {
    auto oldSymbol = [](QPainter &g, const QPointF &c, int type, double r, const QColor &col) {
        g.setBrush(type % 2 == 1 ? QBrush(col) : Qt::NoBrush);
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
        g.setBrush(Qt::NoBrush);
    };
    struct Case {
        int pointSize;
        double radius;
    };
    for (Case c : {Case{0, 2.5}, Case{1, 3.5}}) {
        const int subsets = 10;
        HWND h = scatteredChart(subsets, 300, 2);
        for (int s = 0; s < subsets; ++s) setElemInt(h, 3270, s, s); // every shape, hollow and solid
        chart::ceSetInt(h, 3269, c.pointSize);
        chart::ceReinitialize(h);
        const chart::engine::PropertyStore &p = chart::engine::Engine::find(h)->props();
        const chart::engine::Frame f = chart::engine::buildFrame(p, 640, 360);
        const QImage picture = pictureOf(p, f);
        QImage again = picture;
        {
            QPainter g(&again);
            g.setRenderHint(QPainter::Antialiasing, false);
            // Clear of the axes' frame and ticks, which are drawn over the symbols.
            g.setClipRect(f.layout.axes.at(0).band.adjusted(12, 12, -12, -12));
            for (int s = 0; s < subsets; ++s) {
                QColor col = chart::engine::subsetColor(p, s);
                g.setPen(QPen(col, 0));
                for (std::uint32_t r = f.firstRun[s]; r < f.firstRun[s + 1]; ++r)
                    for (const QPointF &q : f.pointsOf(f.runs[r])) oldSymbol(g, q, s, c.radius, col);
            }
        }
        const int differ = differingPixels(picture, again);
        EXPECT_EQ(differ, 0) << "point size " << c.pointSize;
        chart::ceDestroy(h);
    }
}

// Curves cut by nulls into runs of a point or a few: a run of one point of a line is a
// dot, the runs of symbols are their symbols, each as drawn with its own pen and brush
// (drawn that way again over the picture with the lines, in the same order, they
// change no pixel inside the graph; they would where one was left out or hollow).
TEST(ChartRender, DotsAndSymbolsOfShortRunsAreThoseDrawnOneByOne) {
    // Line (dots), Point, Points + line (symbols of runs of one point and of more).
    for (int method : {0, 2, 17}) {
        const int subsets = 3, points = 600;
        HWND h = scatteredChart(subsets, points, method, 640, 360, 31,
                                [](int s, int i) { return i % (2 + (i / 50 + s) % 3) == 0; });
        const int types[subsets] = {3, 4, 9}; // a solid circle, a hollow square, a solid triangle
        for (int s = 0; s < subsets; ++s) setElemInt(h, 3270, s, types[s]);
        const chart::engine::PropertyStore &p = chart::engine::Engine::find(h)->props();
        const chart::engine::Frame f = chart::engine::buildFrame(p, 640, 360);
        const QImage picture = pictureOf(p, f);
        QImage again = picture;
        {
            QPainter g(&again);
            g.setRenderHint(QPainter::Antialiasing, false);
            g.setClipRect(f.layout.axes.at(0).band.adjusted(12, 12, -12, -12));
            for (int s = 0; s < subsets; ++s) {
                const QColor col = chart::engine::subsetColor(p, s);
                for (std::uint32_t k = f.firstRun[s]; k < f.firstRun[s + 1]; ++k) {
                    std::span<const QPointF> pts = f.pointsOf(f.runs[k]);
                    g.setPen(QPen(col, 0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin)); // the subset's pen
                    if (method != 2 && pts.size() > 1) g.drawPolyline(pts.data(), static_cast<int>(pts.size()));
                    for (const QPointF &q : pts) {
                        g.setPen(QPen(col, 0));
                        if (method == 0 && pts.size() == 1) {
                            g.setBrush(col);
                            g.drawEllipse(q, 2.5, 2.5);
                        } else if (method != 0) {
                            g.setBrush(types[s] % 2 ? QBrush(col) : QBrush(Qt::NoBrush));
                            if (types[s] / 2 == 1) g.drawEllipse(q, 2.5, 2.5);
                            if (types[s] / 2 == 2) g.drawRect(QRectF(q.x() - 2.5, q.y() - 2.5, 5, 5));
                            if (types[s] / 2 == 4) {
                                const QPointF t[3] = {
                                    {q.x(), q.y() - 2.5}, {q.x() + 2.5, q.y() + 2.5}, {q.x() - 2.5, q.y() + 2.5}};
                                g.drawPolygon(t, 3);
                            }
                        }
                        g.setBrush(Qt::NoBrush);
                    }
                }
            }
        }
        const int differ = differingPixels(picture, again);
        EXPECT_EQ(differ, 0) << "method " << method;
        chart::ceDestroy(h);
    }
}

// The data ranges of a chart of many points are read side by side: the extremes of any
// block of subsets reach the scale.
TEST(ChartRender, TheScaleOfManyPointsTakesInEveryBlockOfSubsets) {
    const int subsets = 8, points = 40000; // past the points read in turn
    for (int spikeAt : {0, 3, 7}) {
        RECT r{0, 0, 640, 360};
        HWND h = chart::ceCreate(chart::kNewObject, 0, &r, nullptr, 100);
        chart::ceSetInt(h, 2120, points);
        chart::ceSetInt(h, 2115, subsets);
        for (int s = 0; s < subsets; ++s)
            for (int i = 0; i < points; ++i) {
                float x = static_cast<float>(i), y = static_cast<float>(i % 50);
                if (s == spikeAt && i == 777) {
                    x = -5000;
                    y = 500;
                }
                chart::ceSetElem2(h, 2135, s, i, &x);
                chart::ceSetElem2(h, 2140, s, i, &y);
            }
        const chart::engine::Layout L = chart::engine::computeLayout(chart::engine::Engine::find(h)->props(), 640, 360);
        const chart::engine::ScaleMap &y = L.axes.at(0).y;
        EXPECT_GE(std::max(y.v0, y.v1), 500) << spikeAt;
        EXPECT_LE(std::min(y.v0, y.v1), 0) << spikeAt;
        EXPECT_EQ(std::min(L.x.v0, L.x.v1), -5000) << spikeAt;
        EXPECT_EQ(std::max(L.x.v0, L.x.v1), points - 1) << spikeAt;
        chart::ceDestroy(h);
    }
}

// A curve of far more points than pixel columns: each column keeps its first, lowest,
// highest and last point in their order, so that a one-point spike still shows; a curve
// of a few points a column is kept as it is.
TEST(ChartRender, AReducedCurveKeepsItsSpikeAndItsOrder) {
    for (int n : {100000, 300}) {
        RECT r{0, 0, 640, 360};
        HWND h = chart::ceCreate(chart::kNewObject, 0, &r, nullptr, 100);
        chart::ceSetInt(h, 2120, n);
        chart::ceSetInt(h, 2115, 1);
        const int spike = n * 43 / 100;
        std::vector<float> ys(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            ys[i] = static_cast<float>(std::sin(i * 20.0 / n) * 50 + (i == spike ? 500 : 0));
            chart::ceSetElem2(h, 2140, 0, i, &ys[i]);
        }
        const chart::engine::Frame f = chart::engine::buildFrame(chart::engine::Engine::find(h)->props(), 640, 360);
        const chart::engine::Layout &L = f.layout;
        auto pixel = [&](int i) { return QPointF(L.x.toPixel(i + 1), L.axes.at(0).y.toPixel(ys[i])); };
        ASSERT_EQ(f.runs.size(), 1u) << n;
        std::span<const QPointF> got = f.pointsOf(f.runs[0]);
        auto near = [](QPointF a, QPointF b) { return (a - b).manhattanLength() < 1e-6; };
        EXPECT_TRUE(near(got.front(), pixel(0))) << n;
        EXPECT_TRUE(near(got.back(), pixel(n - 1))) << n;
        EXPECT_TRUE(std::any_of(got.begin(), got.end(), [&](QPointF q) { return near(q, pixel(spike)); })) << n;
        for (std::size_t k = 1; k < got.size(); ++k) ASSERT_LE(got[k - 1].x(), got[k].x()) << n << " at " << k;
        if (n > 1000) {
            EXPECT_TRUE(f.runs[0].dense);
            EXPECT_LE(got.size(), std::size_t(L.graph.width() + 2) * 4);
        } else {
            ASSERT_EQ(got.size(), std::size_t(n));
            for (int i = 0; i < n; ++i) ASSERT_TRUE(near(got[i], pixel(i))) << i;
        }
        chart::ceDestroy(h);
    }
}
