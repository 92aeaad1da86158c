#include "hygro/core/MeterDisplay.h"

#include <gtest/gtest.h>

using namespace hygro;

namespace {

const QDateTime Noon(QDate(2026, 3, 7), QTime(14, 5, 9));

RealTimeFrame frame(uint8_t a, uint8_t b, int r1, int r2, int r3) {
    return {STX,         a,  b, uint8_t(r1 >> 8), uint8_t(r1), uint8_t(r2 >> 8), uint8_t(r2), uint8_t(r3 >> 8),
            uint8_t(r3), ETX};
}

void feed(MeterDisplayState &s, int model, const RealTimeFrame &f) {
    DecodeFrame(s, f, model, Noon);
    UpdateAnnunciators(s, model);
}

using Row = std::array<int, 4>;

} // namespace

TEST(HygroMeterDisplay, StatusAndReadings) {
    MeterDisplayState s;
    // HOLD, °F, recording, time-mode bit clear, auto-off, low battery; T1 negative.
    feed(s, 586, frame(0x04 | 0x08 | 0x10 | 0x40 | 0x80, 0x01 | 0x20, 455, 123, 250));
    EXPECT_TRUE(s.HoldMode);
    EXPECT_FALSE(s.Celsius);
    EXPECT_EQ(s.UnitLetter, "F");
    EXPECT_TRUE(s.Recording);
    EXPECT_TRUE(s.RecBlink);
    EXPECT_TRUE(s.LowBattery);
    EXPECT_EQ(s.ReadingText[0], "45.5");
    EXPECT_EQ(s.ReadingText[1], "-12.3");
    EXPECT_EQ(s.ReadingText[2], "25.0");
    EXPECT_DOUBLE_EQ(s.ReadingValue[1], -12.3);

    // The same bits mean nothing for recording on a 582 or 583.
    MeterDisplayState t;
    feed(t, 583, frame(0x10, 0x01, 0, 0, 0));
    EXPECT_FALSE(t.Recording);
    EXPECT_FALSE(t.RecBlink);
}

TEST(HygroMeterDisplay, OverLimitTextsAndDigitCodes) {
    MeterDisplayState s;
    feed(s, 586, frame(0, 0x40 | 0x80 | 0x10 | 0x04, 100, 100, 100));
    EXPECT_EQ(s.ReadingText[0], "-OL");
    EXPECT_EQ(s.ReadingText[1], "OL");
    EXPECT_EQ(s.ReadingText[2], "OL");
    EXPECT_EQ(s.LcdDigits[0], (Row{dcBlank, dcE, dcR, dcR}));
    EXPECT_EQ(s.LcdDigits[1], (Row{dcBlank, 0, dcL, dcBlank}));
    EXPECT_EQ(s.LcdDigits[2], (Row{dcBlank, 0, dcL, dcBlank}));
    EXPECT_FALSE(s.AnnunciatorMask & bit(annPoint)); // no decimal point over "Err"

    feed(s, 586, frame(0, 0x40 | 0x10 | 0x20 | 0x04 | 0x08, 100, 100, 100)); // OL positive; -OL on rows 2, 3
    EXPECT_EQ(s.LcdDigits[0], (Row{dcBlank, 0, dcL, dcBlank}));
    EXPECT_EQ(s.LcdDigits[1], (Row{dcBlank, 0, dcL, dcBlank}));
    EXPECT_EQ(s.LcdDigits[2], (Row{dcBlank, 0, dcL, dcBlank}));
    EXPECT_EQ(s.ReadingText[1], "-OL");
}

TEST(HygroMeterDisplay, LeadingZerosBlankAtMostTwo) {
    MeterDisplayState s;
    feed(s, 586, frame(0, 0, 50, 0, 1234));
    EXPECT_EQ(s.LcdDigits[0], (Row{dcBlank, dcBlank, 5, 0})); // 5.0
    EXPECT_EQ(s.LcdDigits[1], (Row{dcBlank, dcBlank, 0, 0})); // 0.0 keeps two digits
    EXPECT_EQ(s.LcdDigits[2], (Row{1, 2, 3, 4}));
    EXPECT_TRUE(s.AnnunciatorMask & bit(annPoint));
}

TEST(HygroMeterDisplay, ReadingThreeWideBeyond200UntilInside195) {
    MeterDisplayState s;
    struct Step {
        int tenths;
        bool wide;
        const char *text;
        double value;
    } steps[] = {
        {2000, false, "200.0", 200.0}, // exactly 200 does not count
        {2005, true, "200", 200.0},    // truncated; the chart records 200
        {1960, true, "196", 196.0},
        {1950, false, "195.0", 195.0}, // exactly 195 clears
    };
    for (const Step &st : steps) {
        feed(s, 586, frame(0, 0, 0, 0, st.tenths));
        EXPECT_EQ(s.Reading3Wide, st.wide) << st.tenths;
        EXPECT_EQ(s.ReadingText[2], st.text) << st.tenths;
        EXPECT_DOUBLE_EQ(s.ReadingValue[2], st.value) << st.tenths;
    }
    feed(s, 586, frame(0, 0x08, 0, 0, 2017)); // negative side
    EXPECT_TRUE(s.Reading3Wide);
    EXPECT_EQ(s.ReadingText[2], "-201");
}

TEST(HygroMeterDisplay, MaxModeShowsTheMaximumWhileTheTableGetsCurrentReadings) {
    MeterDisplayState s;
    feed(s, 585, frame(0, 0, 450, 200, 0));
    for (int rh : {450, 470, 470, 460}) feed(s, 585, frame(0x01, 0, rh, 200, 0));
    EXPECT_DOUBLE_EQ(s.DisplayValue[0], 47.0);
    EXPECT_EQ(s.ReadingText[0], "46.0");
    EXPECT_TRUE(s.AnnunciatorMask & bit(annMAX));
    feed(s, 585, frame(0x02, 0, 480, 200, 0)); // MIN keeps the extremes since MAX mode began
    EXPECT_DOUBLE_EQ(s.DisplayValue[0], 45.0);
    feed(s, 585, frame(0x03, 0, 480, 200, 0));
    EXPECT_TRUE(s.MaxMinBlink);
    EXPECT_DOUBLE_EQ(s.DisplayValue[0], 48.0); // alternating mode shows the reading
}

TEST(HygroMeterDisplay, HoldInMaxModeHoldsTheCurrentReading) {
    MeterDisplayState s;
    feed(s, 585, frame(0x01, 0, 450, 200, 0));
    feed(s, 585, frame(0x01, 0, 470, 200, 0));
    feed(s, 585, frame(0x01 | 0x04, 0, 440, 200, 0)); // HOLD latches before the MAX substitution
    EXPECT_DOUBLE_EQ(s.DisplayValue[0], 44.0);
    feed(s, 585, frame(0x01 | 0x04, 0, 500, 200, 0));
    EXPECT_DOUBLE_EQ(s.DisplayValue[0], 44.0);
    EXPECT_TRUE(s.AnnunciatorMask & bit(annHOLD));
    feed(s, 585, frame(0x01, 0, 430, 200, 0)); // HOLD off: the maximum seen meanwhile
    EXPECT_DOUBLE_EQ(s.DisplayValue[0], 50.0);
}

TEST(HygroMeterDisplay, RelOnModel583SubtractsTheReadingsAtTheMomentItTurnedOn) {
    MeterDisplayState s;
    feed(s, 583, frame(0x20, 0, 500, 250, 300));
    feed(s, 583, frame(0x20, 0, 520, 240, 300));
    EXPECT_NEAR(s.DisplayValue[0], 2.0, 1e-9);
    EXPECT_NEAR(s.DisplayValue[1], -1.0, 1e-9);
    EXPECT_EQ(s.ReadingText[0], "52.0");
    EXPECT_TRUE(s.AnnunciatorMask & bit(annREL));
    EXPECT_TRUE(s.AnnunciatorMask & bit(annSubMinus));
    // The same bit is the time mode on a 585/586, never REL.
    MeterDisplayState t;
    feed(t, 586, frame(0x20, 0, 500, 250, 300));
    EXPECT_FALSE(t.RelMode);
    EXPECT_TRUE(t.TimeMode);
}

TEST(HygroMeterDisplay, ModelRows) {
    MeterDisplayState s;
    feed(s, 585, frame(0, 0, 455, 231, 0));
    EXPECT_EQ(s.LcdDigits[1], (Row{dcBlank, dcBlank, dcBlank, dcBlank}));
    EXPECT_EQ(s.LcdDigits[2], (Row{dcBlank, 2, 3, 1}));
    EXPECT_TRUE(s.AnnunciatorMask & bit(annThirdC));
    EXPECT_TRUE(s.AnnunciatorMask & bit(annThirdPoint));

    MeterDisplayState c;
    feed(c, 582, frame(0x20, 0, 455, 231, (14 << 8) | 105)); // clock bytes 14 and 105
    EXPECT_EQ(c.LcdDigits[2], (Row{1, 4, 0, 5}));            // last two digits of 105; never blanked
    EXPECT_TRUE(c.AnnunciatorMask & bit(annHoursMinutes));
    EXPECT_TRUE(c.AnnunciatorMask & bit(annColon));
    feed(c, 582, frame(0x00, 0, 455, 231, (0 << 8) | 7));
    EXPECT_EQ(c.LcdDigits[2], (Row{0, 0, 0, 7}));
    EXPECT_TRUE(c.AnnunciatorMask & bit(annMinutesSeconds));
}

TEST(HygroMeterDisplay, TimeModeShowsThePcClock) {
    MeterDisplayState s;
    feed(s, 586, frame(0x20 | 0x10, 0, 455, 231, 250));
    EXPECT_EQ(s.LcdDigits[0], (Row{2, 0, 2, 6}));
    EXPECT_EQ(s.LcdDigits[1], (Row{0, 3, 0, 7}));
    EXPECT_EQ(s.LcdDigits[2], (Row{1, 4, 0, 5}));
    const uint32_t expected =
        bit(annREC) | bit(annYear) | bit(annMonthDay) | bit(annHoursMinutes) | bit(annDateDash) | bit(annColon);
    EXPECT_EQ(s.AnnunciatorMask, expected);
}

TEST(HygroMeterDisplay, LcdRowTextOfWideValues) {
    EXPECT_EQ(LcdRowText(5.0, false), "0050");
    EXPECT_EQ(LcdRowText(-12.3, false), "0123");
    EXPECT_EQ(LcdRowText(250.7, true), "0250");
    EXPECT_EQ(LcdRowText(1234.5, false).size(), 4); // too wide: whatever the tail gives
    EXPECT_EQ(LcdRowCodes("12.3", false), (Row{1, 2, dcBlank, 3}));
}

TEST(HygroMeterDisplay, PanelRedrawsOnlyWhatChanged) {
    MeterDisplayState s;
    feed(s, 585, frame(0x40, 0, 455, 231, 0));
    const uint32_t mask = s.AnnunciatorMask;
    const LcdRows digits = s.LcdDigits;

    feed(s, 585, frame(0x40, 0, 455, 231, 0));
    PanelChanges same = DiffPanel(int32_t(mask), s.AnnunciatorMask, digits, s.LcdDigits);
    EXPECT_TRUE(same.marks.empty());
    EXPECT_TRUE(same.digits.empty());

    feed(s, 585, frame(0x40 | 0x04, 0, 455, 231, 0)); // only HOLD
    PanelChanges hold = DiffPanel(int32_t(mask), s.AnnunciatorMask, digits, s.LcdDigits);
    EXPECT_EQ(hold.marks, std::vector<int>{annHOLD});
    EXPECT_TRUE(hold.digits.empty());

    // A fresh panel: every mark but the blinking MAX/MIN and every digit.
    LcdRows zeros{};
    LcdRows blank;
    for (auto &row : blank) row.fill(dcBlank);
    PanelChanges fresh = DiffPanel(-1, 0, zeros, blank);
    EXPECT_EQ(fresh.marks.size(), 24u);
    EXPECT_EQ(fresh.digits.size(), 12u);
}
