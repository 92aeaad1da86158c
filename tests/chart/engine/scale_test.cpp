// Chart maths: steps and ticks, scale maps, date-time labels, decimation, runs.

#include "chart/engine/Scale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace chart::engine;

TEST(ChartScale, NiceStepsAndTicks) {
    struct Case {
        double min, max;
        int target;
        double step;
        std::vector<double> ticks;
    } cases[] = {
        {0, 110, 4, 50, {0, 50, 100}},
        {-20, 140, 4, 50, {0, 50, 100}},
        {0, 1, 5, 0.2, {0, 0.2, 0.4, 0.6, 0.8, 1.0}},
        {-1, 1, 4, 0.5, {-1, -0.5, 0, 0.5, 1}},
        {97, 103, 3, 2, {98, 100, 102}},
        {5, 5, 4, 1, {5}}, // empty span: unit step
    };
    for (const Case &c : cases) {
        double step = niceStep(c.min, c.max, c.target);
        EXPECT_DOUBLE_EQ(step, c.step) << c.min << ".." << c.max;
        std::vector<double> t = ticks(c.min, c.max, step);
        ASSERT_EQ(t.size(), c.ticks.size()) << c.min << ".." << c.max;
        for (std::size_t i = 0; i < t.size(); ++i) EXPECT_NEAR(t[i], c.ticks[i], 1e-12);
    }
    EXPECT_DOUBLE_EQ(niceStepAtLeast(51.7), 100);
    EXPECT_DOUBLE_EQ(niceStepAtLeast(49), 50);
    EXPECT_DOUBLE_EQ(niceStepAtLeast(0.2), 0.2);
    EXPECT_DOUBLE_EQ(niceStepAtLeast(0), 1);
    EXPECT_TRUE(ticks(0, 1, 0).empty());
    EXPECT_TRUE(ticks(0, NAN, 1).empty());
    EXPECT_LE(ticks(0, 1e12, 1).size(), 1000u); // bounded however small the step
}

TEST(ChartScale, AutoRangeWidensToWholeSteps) {
    struct Case {
        double lo, hi, min, max;
    } cases[] = {
        {3.2, 47.9, 0, 50},
        {-13, 12, -15, 15},
        {20, 20, 18, 22},            // one value: a range around it
        {INFINITY, -INFINITY, 0, 1}, // no data
    };
    for (const Case &c : cases) {
        double a, b;
        autoRange(c.lo, c.hi, a, b);
        EXPECT_DOUBLE_EQ(a, c.min) << c.lo;
        EXPECT_DOUBLE_EQ(b, c.max) << c.lo;
    }
}

TEST(ChartScale, MapRoundTripsAndHandlesFlatRange) {
    ScaleMap y{-20, 140, 300, 100}; // grows upwards
    EXPECT_DOUBLE_EQ(y.toPixel(-20), 300);
    EXPECT_DOUBLE_EQ(y.toPixel(140), 100);
    EXPECT_DOUBLE_EQ(y.toPixel(60), 200);
    EXPECT_NEAR(y.toValue(y.toPixel(33.3)), 33.3, 1e-9);
    ScaleMap lg{1, 1000, 0, 300, true};
    EXPECT_NEAR(lg.toPixel(10), 100, 1e-9);
    EXPECT_NEAR(lg.toValue(200), 100, 1e-9);
    ScaleMap flat{5, 5, 0, 100};
    EXPECT_DOUBLE_EQ(flat.toPixel(5), 50); // no division by zero
}

TEST(ChartScale, DateTimeLabelsFitTheSpan) {
    const double day = 46000.0; // 9 December 2025
    struct Case {
        double span; // days
        int pixels;
        const char *first;
        double step;
    } cases[] = {
        {1.0 / 24, 700, "00:00", 10.0 / 1440},       // an hour: minutes
        {2.0 / 1440, 700, "00:00:00", 15.0 / 86400}, // two minutes: seconds
        {1.0, 700, "00:00", 3.0 / 24},               // a day: hours
        {10.0, 700, "09/12/25", 2.0},                // days: dates
        {400.0, 700, "01/01/26", 61.0},              // months, on the first of odd months
        {50 * 365.25, 700, "01/01/30", 10 * 365.25}, // decades, on the first of January
    };
    for (const Case &c : cases) {
        DateTimeTicks t = dateTimeTicks(day, day + c.span, c.pixels, 80, false);
        ASSERT_FALSE(t.values.empty()) << c.span;
        EXPECT_NEAR(t.step, c.step, 1e-9) << c.span;
        EXPECT_EQ(t.labels.front(), QString(c.first)) << c.span;
        EXPECT_LE(static_cast<int>(t.values.size()), c.pixels / 80 + 2) << c.span;
        EXPECT_TRUE(std::is_sorted(t.values.begin(), t.values.end()));
    }
    EXPECT_EQ(dateTimeLabel(day + 0.5 + 30.0 / 86400, 1.0 / 24, true), "12:00:30");
    EXPECT_EQ(dateTimeDate(day + 0.99), "09/12/25");
    EXPECT_TRUE(dateTimeTicks(day, day, 700, 80, false).values.empty());
    // Ranges beyond any date (a stray manual scale) still give a few ticks at most.
    for (auto [lo, hi] : {std::pair{0.0, 1e15}, std::pair{-1e15, 0.0}, std::pair{1e300, 1e301}}) {
        DateTimeTicks t = dateTimeTicks(lo, hi, 700, 80, false);
        EXPECT_LE(static_cast<int>(t.values.size()), 700 / 80 + 2) << lo << " " << hi;
    }
}

// Days since 30 December 1899, the time of day as the fraction; values past what a date
// can be are held to its first and last day.
TEST(ChartScale, DaysAreDateTimesFromTheLastDaysOf1899) {
    struct Case {
        double days;
        const char *want;
    } cases[] = {
        {0, "1899-12-30 00:00:00.000"},
        {1.5, "1899-12-31 12:00:00.000"},
        {46000.25, "2025-12-09 06:00:00.000"},
        {-1.25, "1899-12-28 18:00:00.000"},
        {1.0 / 86400 / 4000, "1899-12-30 00:00:00.000"},
        {1.0 / 86400 / 1000 * 1.6, "1899-12-30 00:00:00.002"},
        {std::nan(""), "1899-12-30 00:00:00.000"},
        {-1e300, "0100-01-01 00:00:00.000"},
        {1e300, "10000-01-01 00:00:00.000"},
    };
    for (const Case &c : cases) {
        QDateTime t = dateTimeOfDays(c.days);
        EXPECT_EQ(t.timeSpec(), Qt::UTC) << c.days;
        EXPECT_EQ(t.toString("yyyy-MM-dd hh:mm:ss.zzz").toStdString(), c.want) << c.days;
    }
}

TEST(ChartScale, RunsCoverThePolylineWithoutGaps) {
    for (int count : {0, 1, 2, 64, 65, 10000}) {
        auto runs = splitRuns(count, 64);
        if (count < 2) {
            EXPECT_TRUE(runs.empty());
            continue;
        }
        EXPECT_EQ(runs.front().first, 0);
        for (std::size_t i = 0; i < runs.size(); ++i) {
            EXPECT_LE(runs[i].second, 64);
            EXPECT_GE(runs[i].second, 2);
            if (i > 0) { // each run starts on the last point of the one before
                EXPECT_EQ(runs[i].first, runs[i - 1].first + runs[i - 1].second - 1);
            }
        }
        EXPECT_EQ(runs.back().first + runs.back().second, count);
    }
}
