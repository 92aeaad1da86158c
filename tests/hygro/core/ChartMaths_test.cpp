#include "hygro/core/ChartMaths.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

using namespace hygro;

TEST(HygroChartMaths, TemperatureAxisWidensOnlyBeyondItsFixedRange) {
    struct Case {
        float v, top, bottom;
    } cases[] = {
        {150.0f, 185.0f, -40.0f}, // 150 x 1.1 + 20; the bottom never rises above -40
        {-30.0f, 140.0f, -53.0f}, // -30 x 1.1 - 20
        {-10.0f, 140.0f, -40.0f}, // inside: the fixed limits
        {0.0f, 140.0f, -40.0f},
        {-200.0f, 140.0f, -240.0f}, // a negative top is scaled by 0.9: -180 + 20 stays below 140
        {2000.0f, 2220.0f, -40.0f},
        // Widening past single precision keeps the limit finite.
        {FLT_MAX, FLT_MAX, -40.0f},
        {-FLT_MAX, 140.0f, -FLT_MAX},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.v);
        EXPECT_EQ(TemperatureAxisTop(c.v), c.top);
        EXPECT_EQ(TemperatureAxisBottom(c.v), c.bottom);
    }
}

TEST(HygroChartMaths, TemperatureSpanOfATableStartsAt105AndMinus18) {
    TemperatureSpan quiet;
    for (float v : {20.0f, 25.5f, 30.0f}) quiet.add(v);
    EXPECT_EQ(quiet.axisTop(), 140.0f);
    EXPECT_EQ(quiet.axisBottom(), -40.0f);

    TemperatureSpan hot;
    hot.add(150.0f);
    hot.add(-30.0f);
    EXPECT_EQ(hot.axisTop(), 185.0f);
    EXPECT_EQ(hot.axisBottom(), -53.0f);
}

TEST(HygroChartMaths, TableCellsAsChartValues) {
    bool ol = false;
    EXPECT_EQ(TableCellValue("OL", &ol), 6553.5f);
    EXPECT_TRUE(ol);
    EXPECT_EQ(TableCellValue("-OL", &ol), -6553.5f);
    EXPECT_TRUE(ol);
    EXPECT_EQ(TableCellValue("23.4", &ol), 23.4f);
    EXPECT_FALSE(ol);
    EXPECT_EQ(TableCellValue(" -5 "), -5.0f);
    EXPECT_EQ(TableCellValue("1e2"), 100.0f);
    EXPECT_EQ(TableCellValue(".5"), 0.5f);
    // Beyond what the meter sends: drawn and counted as over range.
    struct Beyond {
        const char *text;
        float value;
        bool overLimit;
    } beyond[] = {{"6553.5", 6553.5f, false},
                  {"-6553.5", -6553.5f, false},
                  {"3.4e38", 6553.5f, true},
                  {"-6553.6", -6553.5f, true}};
    for (const Beyond &b : beyond) {
        SCOPED_TRACE(b.text);
        EXPECT_EQ(TableCellValue(b.text, &ol), b.value);
        EXPECT_EQ(ol, b.overLimit);
    }
    for (const char *bad : {"", "ol", "abc", "12a", "nan", "inf", "1e39", "1.2.3", "--1"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(TableCellValue(bad).has_value());
    }
    // The locale's decimal point reads as well as the dot.
    EXPECT_EQ(StrToFloat("23,5", QLocale(QLocale::German)), 23.5f);
    EXPECT_EQ(StrToFloat("23.5", QLocale(QLocale::German)), 23.5f);
}

TEST(HygroChartMaths, ShortDatesReadBackInTheFormatThatWroteThem) {
    const QLocale c = QLocale::c();
    struct Case {
        const char *text, *format;
        QDate date;
    } cases[] = {
        {"7 Mar 2026", "d MMM yyyy", QDate(2026, 3, 7)},
        {"7 march 2026", "d MMM yyyy", QDate(2026, 3, 7)},
        {"07/03/2026", "dd/MM/yyyy", QDate(2026, 3, 7)},
        {"3/7/26", "M/d/yy", QDate(2026, 3, 7)},
        {"07.03.75", "dd.MM.yy", QDate(2075, 3, 7)}, // within 50 years before 2026: 1976 ... 2075
        {"07.03.76", "dd.MM.yy", QDate(1976, 3, 7)},
        {"2026-03-07", "yyyy-MM-dd", QDate(2026, 3, 7)},
        {"Sat 7 Mar 2026", "ddd d MMM yyyy", QDate(2026, 3, 7)},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.text);
        EXPECT_EQ(ParseShortDate(k.text, k.format, c, 2026), k.date);
    }
    for (const char *bad : {"", "31/02/2026", "7 Foo 2026", "07/03", "1/2/3/4", "99999999999/1/1"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(ParseShortDate(bad, "dd/MM/yyyy", c, 2026).has_value());
    }
    // The month names of a German table.
    EXPECT_EQ(ParseShortDate("7. März 2026", "d. MMMM yyyy", QLocale(QLocale::German), 2026), QDate(2026, 3, 7));
}

TEST(HygroChartMaths, TimesAndDateTimes) {
    EXPECT_EQ(ParseTime("14:05:09"), QTime(14, 5, 9));
    EXPECT_EQ(ParseTime(" 9:05 "), QTime(9, 5));
    for (const char *bad : {"", "24:00:00", "14:60:00", "14-05-09", "14:05:09 x"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(ParseTime(bad).has_value());
    }
    // Day 0 is 30 December 1899; noon is half a day.
    EXPECT_EQ(DateTimeToDays(QDateTime(QDate(1899, 12, 30), QTime(12, 0))), 0.5);
    EXPECT_EQ(DateTimeToDays(QDateTime(QDate(2026, 3, 7), QTime(0, 0))), 46088.0);
    const QDateTime t(QDate(2026, 3, 7), QTime(14, 5, 9));
    EXPECT_EQ(DaysToDateTime(DateTimeToDays(t)), t);

    const QLocale sys = QLocale::system();
    const QString written = sys.toString(t.date(), QLocale::ShortFormat);
    const auto back = TableDateTime(written, "14:05:09");
    ASSERT_TRUE(back.has_value()) << written.toStdString();
    EXPECT_NEAR(*back, DateTimeToDays(t), 1e-9);
    EXPECT_FALSE(TableDateTime(written, "").has_value());
    EXPECT_EQ(InvalidDateTimeMessage("x y"), "'x y' is not a valid date and time");
}

TEST(HygroChartMaths, ScaleEntriesInOrderAndWithinLimits) {
    struct Case {
        const char *max, *min;
        float top, bottom;
    } cases[] = {
        {"110", "0", 110.0f, 0.0f},         {"20", "80", 80.0f, 20.0f},     {"5000", "-900", 3000.0f, -500.0f},
        {"-900", "5000", 3000.0f, -500.0f}, {" 12.5 ", "-3", 12.5f, -3.0f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.max);
        const ScaleEntries e = ResolveScale(c.max, c.min);
        EXPECT_TRUE(e.invalid.isEmpty());
        EXPECT_EQ(e.max, c.top);
        EXPECT_EQ(e.min, c.bottom);
    }
    const ScaleEntries bad = ResolveScale("abc", "");
    EXPECT_EQ(bad.invalid, (QStringList{"abc", ""}));
    EXPECT_FALSE(bad.max.has_value());
    EXPECT_FALSE(bad.min.has_value());
    EXPECT_EQ(ResolveScale("10", "x").invalid, QStringList{"x"});

    EXPECT_EQ(TruncToInt(110.9), 110);
    EXPECT_EQ(TruncToInt(-20.7), -20);
    EXPECT_EQ(TruncToInt(1e300), 2147483647);
    EXPECT_EQ(TruncToInt(std::nan("")), 0);
}
