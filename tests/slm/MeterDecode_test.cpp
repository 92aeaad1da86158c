// The live-frame decoders, the reply checks, the period texts and the BCD helpers.

#include "slm/core/Meter.h"
#include "slm/core/Rs232.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace slm;

namespace {

class MeterDecode : public ::testing::Test {
protected:
    void SetUp() override { ResetMeterState(); }
};

TEST_F(MeterDecode, LevelTextKeepsTheMetersOwnFormat) {
    struct Case {
        int high, low;
        const char *text;
        double value;
    };
    const Case cases[] = {
        {0, 0, ".0", 0},
        {0, 5, ".5", 0.5},
        {0, 7, ".7", 0.7},
        {0x02, 0x8E, "65.4", 65.4},
        {0x04, 0xB0, "120.0", 120.0},
        {0xFF, 0xFF, "6553.5", 6553.5},
    };
    for (const Case &c : cases) {
        const LevelReading level = DecodeLevel(c.high, c.low);
        EXPECT_EQ(level.Text, c.text) << c.high << "," << c.low;
        EXPECT_DOUBLE_EQ(level.Value, c.value);
        SubIndex = 3;
        AssignMeterState(level);
        EXPECT_EQ(LevelText, c.text);
        EXPECT_DOUBLE_EQ(SubLevels[3], c.value);
    }
    EXPECT_EQ(SubLevels[2], 0); // only the entry of the sub-frame
}

TEST_F(MeterDecode, RangeCodesAndSubIndex) {
    int status = 0x75;
    const RangeStatus r = DecodeRange(status);
    EXPECT_EQ(r.Top, 130);
    EXPECT_EQ(r.Bottom, 70);
    EXPECT_EQ(r.SubIndex, 7);
    EXPECT_EQ(status, 7); // divided by 16
    AssignMeterState(r);

    status = 0x06; // code 6 names no range: the shared one stays
    const RangeStatus none = DecodeRange(status);
    EXPECT_FALSE(none.Top);
    EXPECT_FALSE(none.Bottom);
    EXPECT_EQ(none.SubIndex, 0);
    AssignMeterState(none);
    EXPECT_EQ(RangeTop, 130);
    EXPECT_EQ(RangeBottom, 70);
    EXPECT_EQ(SubIndex, 0);

    const double tops[] = {80, 90, 100, 110, 120, 130};
    for (int code = 0; code < 6; ++code) {
        int s = 0x30 | code;
        AssignMeterState(DecodeRange(s));
        EXPECT_EQ(RangeTop, tops[code]);
        EXPECT_EQ(RangeBottom, tops[code] - 60);
        EXPECT_EQ(SubIndex, 3);
    }
}

TEST_F(MeterDecode, ModeBitsAndWeightings) {
    int status = 0x61;
    const ModeStatus slow = DecodeMode(status);
    EXPECT_EQ(slow.TimeWeighting, "SLOW");
    EXPECT_TRUE(slow.HasTimeFlags);
    EXPECT_FALSE(slow.FastFlag);
    EXPECT_TRUE(slow.SlowFlag);
    EXPECT_FALSE(slow.ImpFlag);
    EXPECT_EQ(slow.WeightCFlag, 1);
    EXPECT_EQ(slow.FreqWeighting, "C");
    EXPECT_EQ(slow.OverFlag, 1);
    EXPECT_EQ(slow.UnderFlag, 0);
    EXPECT_EQ(status, 0);

    status = 0x82; // IMP, A, UNDER
    AssignMeterState(DecodeMode(status));
    EXPECT_EQ(TimeWeighting, "IMP");
    EXPECT_TRUE(ImpFlag);
    EXPECT_FALSE(SlowFlag);
    EXPECT_EQ(FreqWeighting, "A");
    EXPECT_EQ(OverFlag, 0);
    EXPECT_EQ(UnderFlag, 1);
    EXPECT_EQ(status, 1);

    status = 0x03; // code 3: no annunciator change, the text empties
    const ModeStatus none = DecodeMode(status);
    EXPECT_FALSE(none.HasTimeFlags);
    AssignMeterState(none);
    EXPECT_EQ(TimeWeighting, "");
    EXPECT_TRUE(ImpFlag);
    EXPECT_FALSE(FastFlag);

    status = 0x1C; // unused bits 2-4 change nothing
    AssignMeterState(DecodeMode(status));
    EXPECT_EQ(TimeWeighting, "FAST");
    EXPECT_TRUE(FastFlag);
    EXPECT_FALSE(ImpFlag);
    EXPECT_EQ(WeightCFlag + OverFlag + UnderFlag, 0);
}

TEST_F(MeterDecode, HandshakeLooksOnlyAtTheLastSixBytes) {
    const QByteArray idle = IdleFrame();
    const QByteArray live = vb::Bytes({0x02, 0x31, 0x20, 0x02, 0x8E, 0x03});
    EXPECT_TRUE(EndsInIdleFrame(idle));
    EXPECT_TRUE(EndsInIdleFrame(live + idle));
    EXPECT_FALSE(EndsInIdleFrame(idle + live));
    EXPECT_FALSE(EndsInIdleFrame(idle.left(5)));
    EXPECT_FALSE(EndsInIdleFrame(QByteArray()));
    EXPECT_TRUE(EndsInIdleFrame(QByteArray("garbage\xff") + idle));
}

TEST_F(MeterDecode, FramingAndSizeReplies) {
    EXPECT_TRUE(IsFramed(vb::Bytes({2, 0, 0, 0, 0, 3})));
    EXPECT_FALSE(IsFramed(vb::Bytes({3, 0, 0, 0, 0, 2})));
    EXPECT_FALSE(IsFramed(vb::Bytes({2, 0, 0, 0, 3})));

    EXPECT_EQ(MemorySizeFromReply(vb::Bytes({2, 0x1B, 0x1B, 0x1B, 4, 3})), 256);
    EXPECT_EQ(MemorySizeFromReply(vb::Bytes({2, 0x1B, 0x1B, 0x1B, 0, 3})), 0);
    EXPECT_EQ(MemorySizeFromReply(vb::Bytes({2, 0x1B, 0x00, 0x1B, 4, 3})), 64);
    EXPECT_EQ(MemorySizeFromReply(vb::Bytes({2, 0x1B, 0x1B, 0x1B, 4, 3, 2})), 64);
    EXPECT_EQ(MemorySizeFromReply(QByteArray()), 64);
}

TEST_F(MeterDecode, RunMeanIsCutToOneDecimal) {
    EXPECT_EQ(RunMeanText({60, 60, 60, 60, 60, 60, 60, 61}), "60.1");
    EXPECT_EQ(RunMeanText({70, 70, 70, 70, 70, 70, 70, 70}), "70.0");
    EXPECT_EQ(RunMeanText({65.4, 65.4, 65.4, 65.4, 65.4, 65.4, 65.4, 65.4}), "65.4");
    EXPECT_EQ(RunMeanText({.5, .5, .5, .5, .5, .5, .5, .6}), "0.5");
    EXPECT_EQ(RunMeanText({60, 60, 60, 0, 60, 60, 60, 60}), std::nullopt);
}

TEST_F(MeterDecode, BarIsClampedToTheRange) {
    EXPECT_EQ(BarValue(95.2, 90, 30), 90);
    EXPECT_EQ(BarValue(12.0, 90, 30), 30);
    EXPECT_EQ(BarValue(55.5, 90, 30), 55.5);
}

TEST_F(MeterDecode, ClockFieldsAsBcd) {
    const QDateTime at(QDate(2026, 12, 9), QTime(10, 7, 5));
    EXPECT_EQ(SetDateCommand(at), vb::Bytes({0x57, 0x26, 0x12, 0x09}));
    EXPECT_EQ(SetTimeCommand(at), vb::Bytes({0x58, 0x10, 0x07, 0x05}));
    const QDateTime eve(QDate(2025, 12, 31), QTime(23, 59, 59));
    EXPECT_EQ(SetDateCommand(eve), vb::Bytes({'W', 0x25, 0x12, 0x31}));
    EXPECT_EQ(SetTimeCommand(eve), vb::Bytes({'X', 0x23, 0x59, 0x59}));
    EXPECT_EQ(BcdText(0x08), "08");
    EXPECT_EQ(BcdText(0x59), "59");
    EXPECT_EQ(BcdText(0xAB), "AB");

    EXPECT_TRUE(IsClockReply(vb::Bytes({2, 0xAA, 0x26, 0x12, 0x09, 3})));
    EXPECT_FALSE(IsClockReply(vb::Bytes({2, 0xAB, 0x26, 0x12, 0x09, 3})));
    EXPECT_FALSE(IsClockReply(vb::Bytes({2, 0xAA, 0x26, 0x12, 0x09})));
}

TEST_F(MeterDecode, PeriodTexts) {
    struct Case {
        const char *answer;
        const char *h, *m, *s;
        double total;
    };
    const Case cases[] = {
        {"1:2:3", "01", "02", "03", 3723},     {"25:61:00", "01", "01", "00", 3660},
        {"25:61:61", "01", "01", "01", 3661},  {"10:30", "10", "00", "30", 36030},
        {"10:20", "10", "00", "20", 36020},    {"00:00:10", "00", "00", "10", 10},
        {"x:y:z", "00", "00", "00", 0},        {"5:", "05", "00", "00", 18000},
        {"48:120:59", "00", "20", "59", 1259}, // 120 keeps its last two digits before the mod
    };
    for (const Case &c : cases) {
        auto p = ParsePeriod(c.answer);
        ASSERT_TRUE(p) << c.answer;
        EXPECT_EQ(p->Hours, c.h) << c.answer;
        EXPECT_EQ(p->Minutes, c.m) << c.answer;
        EXPECT_EQ(p->Seconds, c.s) << c.answer;
        EXPECT_EQ(p->Total(), c.total) << c.answer;
    }
    EXPECT_FALSE(ParsePeriod("1030"));
    EXPECT_FALSE(ParsePeriod(""));
}

TEST_F(MeterDecode, DelayNearMidnight) {
    // A 0.2 s wait begun less than 0.2 s before midnight ends at once.
    const float start = 86399.9f;
    const float deadline = DelayDeadline(start, 0.2f);
    EXPECT_FLOAT_EQ(deadline, 0.2f);
    EXPECT_TRUE(DelayOver(start, deadline, start));

    EXPECT_FLOAT_EQ(DelayDeadline(100.0f, 0.5f), 100.5f);
    EXPECT_FALSE(DelayOver(100.0f, 100.5f, 100.2f));
    EXPECT_TRUE(DelayOver(100.0f, 100.5f, 100.5f));
    // Midnight passing while events were processed ends the wait instead of holding
    // it until the next evening.
    EXPECT_TRUE(DelayOver(86399.85f, 86399.95f, 0.01f));
}

} // namespace
