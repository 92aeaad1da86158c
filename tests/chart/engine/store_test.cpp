// Objects by handle and the property store through the call layer: types, bounds,
// per-axis settings and the 100-point shift.

#include "ChartFixture.h"
#include "chart/engine/PropertyStore.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

using namespace fixture;

namespace {

struct Chart {
    Chart(int subsets, int points) {
        RECT r{0, 0, 400, 300};
        h = chart::ceCreate(chart::kNewObject, 0, &r, nullptr, 1);
        chart::ceSetInt(h, 2115, subsets);
        chart::ceSetInt(h, 2120, points);
    }
    ~Chart() { chart::ceDestroy(h); }
    HWND h;
};

} // namespace

TEST(ChartStore, CreateTakesStateOverAndRefusesUnknownKinds) {
    Chart a(2, 10);
    setStr(a.h, 2105, "Provisional");
    setY(a.h, 1, 3, 7.5f);
    RECT r{0, 0, 200, 100};
    HWND b = chart::ceCreate(reinterpret_cast<std::intptr_t>(a.h), 0, &r, nullptr, 100);
    ASSERT_NE(b, nullptr);
    ASSERT_NE(b, a.h);
    char buf[256];
    chart::ceGetString(b, 2105, buf);
    EXPECT_STREQ(buf, "Provisional");
    float y = 0;
    chart::ceGetElem2(b, 2140, 1, 3, &y);
    EXPECT_EQ(y, 7.5f);
    EXPECT_EQ(chart::ceGetInt(a.h, 2115), 0); // the provisional object is gone
    chart::ceDestroy(b);

    EXPECT_EQ(chart::ceCreate(12345, 0, &r, nullptr, 1), nullptr);
    EXPECT_EQ(chart::ceCreate(reinterpret_cast<std::intptr_t>(b), 0, &r, nullptr, 1), nullptr); // destroyed
    // Calls on no object do nothing.
    EXPECT_EQ(chart::ceSetInt(nullptr, 2115, 3), 0);
    EXPECT_EQ(chart::ceGetInt(b, 2115), 0);
    EXPECT_EQ(chart::ceResetImage(b, 0, 0), 0);
}

// Each case pre-fills the caller's value with 0xFF bytes: a refused access leaves it so.
TEST(ChartStore, IndexesOutsideTheDataAreIgnored) {
    Chart c(3, 50);
    struct Case {
        int id, subset, point;
        bool inside;
    } cases[] = {
        {3013, 0, 0, true},        {3013, 2, 49, true},  {3013, 0, -1, false}, {3013, -1, 0, false},
        {3013, 3, 0, false},       {3013, 0, 50, false}, {2140, 1, -1, false}, {2140, 1, 49, true},
        {2140, 0, 1 << 30, false}, {3258, 2, 50, false},
    };
    for (const Case &k : cases) {
        unsigned char value[8];
        std::memset(value, 0x11, sizeof value);
        EXPECT_EQ(chart::ceSetElem2(c.h, k.id, k.subset, k.point, value), k.inside ? 1 : 0)
            << k.subset << "," << k.point;
        unsigned char out[8];
        std::memset(out, 0xFF, sizeof out);
        chart::ceGetElem2(c.h, k.id, k.subset, k.point, out);
        bool changed = out[0] != 0xFF;
        EXPECT_EQ(changed, k.inside) << k.id << " " << k.subset << "," << k.point;
    }
    // The widths: YData is single (4 bytes), XDataII double (8 bytes).
    unsigned char out[8];
    std::memset(out, 0xFF, sizeof out);
    chart::ceGetElem2(c.h, 2140, 0, 0, out);
    EXPECT_EQ(out[4], 0xFF);

    // One-index arrays.
    EXPECT_EQ(chart::ceSetElem(c.h, 2190, -1, out), 0);
    EXPECT_EQ(chart::ceSetElem(c.h, 2190, 10000, out), 0);
    std::int32_t colour = 0x123456;
    EXPECT_EQ(chart::ceSetElem(c.h, 2190, 9999, &colour), 1);
}

TEST(ChartStore, WidthsFollowTheIdsType) {
    Chart c(1, 10);
    // A double property takes 8 bytes, a single 4; an id the engine does not know is
    // taken as 4 bytes both ways.
    struct Case {
        int id;
        int width;
    } cases[] = {{3620, 8}, {2634, 4}, {7777, 4}};
    for (const Case &k : cases) {
        unsigned char in[8] = {1, 2, 3, 4, 5, 6, 7, 0x40};
        EXPECT_EQ(chart::ceSetMem(c.h, k.id, in, 0), 1);
        unsigned char out[8];
        std::memset(out, 0xEE, sizeof out);
        EXPECT_EQ(chart::ceGetMem(c.h, k.id, out), 1);
        EXPECT_EQ(std::memcmp(out, in, k.width), 0) << k.id;
        if (k.width == 4) {
            EXPECT_EQ(out[4], 0xEE) << k.id;
        }
    }
    // Ints read back as their double through #4 when the id is a double one.
    chart::ceSetInt(c.h, 3625, 42);
    EXPECT_EQ(getDouble(c.h, 3625), 42.0);
}

TEST(ChartStore, NaNAndNumbersNoIntegerHoldsAreIgnored) {
    Chart c(2, 10);
    chart::ceSetInt(c.h, 3006, 1); // WorkingAxis
    setDouble(c.h, 3620, 5.0);     // ManualMinX
    const float inf = std::numeric_limits<float>::infinity();
    // Each refusal says so.
    for (float v : {std::numeric_limits<float>::quiet_NaN(), inf, -inf, 1e20f}) {
        for (int id : {3006, 2115, 2120, 3090}) // WorkingAxis, Subsets, Points, PlottingMethod
            EXPECT_EQ(chart::ceSetMem(c.h, id, &v, 0), 0) << id << " " << v;
    }
    double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(chart::ceSetMem(c.h, 3620, &nan, 0), 0);
    EXPECT_EQ(chart::ceGetInt(c.h, 3006), 1);
    EXPECT_EQ(chart::ceGetInt(c.h, 2115), 2);
    EXPECT_EQ(chart::ceGetInt(c.h, 2120), 10);
    EXPECT_EQ(chart::ceGetInt(c.h, 3090), 0);
    EXPECT_EQ(getDouble(c.h, 3620), 5.0);
    EXPECT_EQ(chart::ceGetInt(c.h, 3620), 5);
    EXPECT_EQ(chart::ceResetImage(c.h, 0, 0), 1);
}

TEST(ChartStore, StringsAreCutTo255AndAlwaysTerminated) {
    Chart c(2, 10);
    std::string longText(300, 'x');
    setStr(c.h, 2105, longText);
    char buf[256];
    std::memset(buf, 'z', sizeof buf);
    chart::ceGetString(c.h, 2105, buf);
    EXPECT_EQ(std::strlen(buf), 255u);
    setElemStr(c.h, 2125, 1, longText);
    std::memset(buf, 'z', sizeof buf);
    chart::ceGetElem(c.h, 2125, 1, buf);
    EXPECT_EQ(std::strlen(buf), 255u);
    chart::ceGetElem(c.h, 2125, 5000, buf); // never written: empty
    EXPECT_STREQ(buf, "");
}

TEST(ChartStore, ResizingKeepsDataAndRefusesAbsurdSizes) {
    Chart c(2, 10);
    setY(c.h, 1, 9, 3.25f);
    chart::ceSetInt(c.h, 2120, 20);
    float y = 0;
    chart::ceGetElem2(c.h, 2140, 1, 9, &y);
    EXPECT_EQ(y, 3.25f);
    EXPECT_EQ(chart::ceSetInt(c.h, 2120, 0), 0);
    EXPECT_EQ(chart::ceSetInt(c.h, 2115, 2000000000), 0);
    EXPECT_EQ(chart::ceSetInt(c.h, 2120, 10'000'001), 0); // past Subsets x Points
    EXPECT_EQ(chart::ceSetInt(c.h, 2120, 20), 1);
    EXPECT_EQ(chart::ceGetInt(c.h, 2120), 20);
    EXPECT_EQ(chart::ceGetInt(c.h, 2115), 2);
    // Subsets are bounded on their own too, well inside the cells.
    EXPECT_EQ(chart::ceSetInt(c.h, 2120, 1), 1);
    EXPECT_EQ(chart::ceSetInt(c.h, 2115, chart::engine::kMaxSubsets + 1), 0);
    EXPECT_EQ(chart::ceGetInt(c.h, 2115), 2);
    EXPECT_EQ(chart::ceSetInt(c.h, 2115, chart::engine::kMaxSubsets), 1);
}

TEST(ChartStore, WorkingAxisKeepsAxisSettingsApart) {
    Chart c(3, 10);
    chart::ceSetInt(c.h, 3006, 0);
    setStr(c.h, 3005, "HUMIDITY");
    setDouble(c.h, 3060, 110);
    chart::ceSetInt(c.h, 3006, 1);
    setStr(c.h, 3005, "TEMPERATURE");
    setDouble(c.h, 3060, 140);
    char buf[256];
    chart::ceGetString(c.h, 3005, buf);
    EXPECT_STREQ(buf, "TEMPERATURE");
    EXPECT_EQ(getDouble(c.h, 3060), 140);
    chart::ceSetInt(c.h, 3006, 0);
    chart::ceGetString(c.h, 3005, buf);
    EXPECT_STREQ(buf, "HUMIDITY");
    EXPECT_EQ(getDouble(c.h, 3060), 110);
    EXPECT_EQ(chart::ceSetInt(c.h, 3006, 99), 0); // no such axis: the working axis stays
    EXPECT_EQ(chart::ceGetInt(c.h, 3006), 0);
}

TEST(ChartStore, HundredPointShiftDropsTheOldest) {
    for (int points : {5000, 150, 60}) {
        Chart c(3, points);
        chart::ceSetInt(c.h, 3016, 1); // UsingXDataII
        for (int s = 0; s < 3; ++s)
            for (int i = 0; i < points; ++i) {
                setX(c.h, s, i, 1000.0 * s + i);
                setY(c.h, s, i, static_cast<float>(i));
            }
        std::vector<double> xs(3 * 100, 0.0);
        std::vector<float> ys(3 * 100, 9999.0f);
        for (int s = 0; s < 3; ++s) xs[s * 100 + 99] = -1.0 - s; // marks the last given value of each subset
        EXPECT_EQ(chart::ceSetMem(c.h, 3659, xs.data(), 100), 1);
        EXPECT_EQ(chart::ceSetMem(c.h, 3276, ys.data(), 100), 1);
        for (int s = 0; s < 3; ++s) {
            double x = 0;
            float y = 0;
            chart::ceGetElem2(c.h, 3013, s, points - 1, &x);
            EXPECT_EQ(x, -1.0 - s) << points;
            chart::ceGetElem2(c.h, 2140, s, points - 1, &y);
            EXPECT_EQ(y, 9999.0f);
            if (points > 100) {
                chart::ceGetElem2(c.h, 3013, s, 0, &x);
                EXPECT_EQ(x, 1000.0 * s + 100) << points;
                chart::ceGetElem2(c.h, 3013, s, points - 101, &x);
                EXPECT_EQ(x, 1000.0 * s + points - 1);
                chart::ceGetElem2(c.h, 2140, s, points - 100, &y);
                EXPECT_EQ(y, 9999.0f);
            }
        }
    }
}
