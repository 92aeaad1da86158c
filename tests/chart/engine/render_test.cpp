// The picture: what a chart of the humidity program shows, and what changes it.

#include "ChartFixture.h"
#include "chart/engine/Engine.h"
#include "support/TestSupport.h"

#include <QDir>

#include <algorithm>

#include <gtest/gtest.h>

using namespace fixture;

namespace {

int countColour(const QImage &img, QRgb c, const QRect &area = QRect())
{
    QRect r = area.isNull() ? img.rect() : area;
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += (img.pixel(x, y) & 0xFFFFFF) == (c & 0xFFFFFF);
    return n;
}

} // namespace

TEST(ChartRender, TwoAxesDateTimeLegendAndLineScreenshot)
{
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

TEST(ChartRender, NullValuesLeaveGaps)
{
    Parent parent;
    HWND h = humidityChart(parent.hwnd);
    // Hide the other subsets and the line, so only humidity is yellow.
    QImage before = replay(h);
    int yellowBefore = countColour(before, qRgb(0xFF, 0xFF, 0));
    for (int i = 30; i < 90; ++i)
        setY(h, 0, i, 9999.0f);
    chart::ceResetImage(h, 0, 0);
    int yellowAfter = countColour(replay(h), qRgb(0xFF, 0xFF, 0));
    EXPECT_LT(yellowAfter, yellowBefore * 3 / 4);
    EXPECT_GT(yellowAfter, 0);
    chart::ceDestroy(h);
}

TEST(ChartRender, SetterChangesNothingUntilRebuilt)
{
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
TEST(ChartRender, PlottingMethodsAndViewingStylesDiffer)
{
    Parent parent;
    HWND h = humidityChart(parent.hwnd);
    std::vector<QImage> seen;
    for (int code : {0, 1, 2, 3, 4, 16, 17, 21}) {
        chart::ceSetInt(h, 3090, code);
        chart::ceResetImage(h, 0, 0);
        QImage img = replay(h);
        for (const QImage &other : seen)
            EXPECT_NE(img, other) << "method " << code;
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

TEST(ChartRender, BarsOfSeveralSubsetsStandSideBySide)
{
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

TEST(ChartRender, ALonePointOfALineIsShown)
{
    RECT r{0, 0, 400, 300};
    HWND h = chart::ceCreate(chart::kNewObject, 0, &r, nullptr, 100);
    chart::ceSetInt(h, 2120, 5);
    chart::ceSetInt(h, 2666, 0);
    setElemInt(h, 2190, 0, 0xFF0000);
    setDouble(h, 3268, 9999.0);
    for (int i = 0; i < 5; ++i)
        setY(h, 0, i, i == 2 ? 7.0f : 9999.0f); // one sample between gaps
    chart::ceResetImage(h, 0, 0);
    EXPECT_GT(countColour(replay(h, 400, 300), qRgb(0, 0, 0xFF)), 12);
    chart::ceDestroy(h);
}

TEST(ChartRender, LegendAndGridFollowTheirProperties)
{
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
TEST(ChartRender, UnwrittenDateTimePointsAreNotDrawn)
{
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
    EXPECT_GT(countColour(img, qRgb(0xFF, 0xFF, 0), QRect(g.left() + g.width() / 2, g.top(), g.width() / 2, g.height())), 100);
    chart::ceDestroy(h);
}
