// The data-logger memory image: header checks of both modes, splitting into sets,
// and the reading rules of one set.

#include "hygro/core/LoggerMemory.h"

#include <gtest/gtest.h>

#include <memory>

using namespace hygro;

namespace {

using Bytes = std::vector<uint8_t>;

struct SetSpec {
    int year = 26, month = 3, day = 7, hour = 14, minute = 30, second = 0;
    int rate = 5;
    bool fahrenheit = false;
    std::vector<std::array<uint16_t, 3>> records;
};

// One set as the meter stores it; `countOverride` >= 0 writes another record count.
Bytes setBytes(const SetSpec &s, int stride, int countOverride = -1) {
    const int n = countOverride >= 0 ? countOverride : int(s.records.size());
    Bytes b{0xA5,
            0x5A,
            0,
            uint8_t(s.year),
            uint8_t(s.month),
            uint8_t(s.day),
            uint8_t(s.hour),
            uint8_t(s.minute),
            uint8_t(s.second),
            uint8_t(s.rate >> 8),
            uint8_t(s.rate),
            uint8_t(s.fahrenheit ? 0x08 : 0),
            uint8_t(n >> 8),
            uint8_t(n)};
    for (const auto &r : s.records)
        for (int j = 0; j < stride / 2; ++j) {
            b.push_back(uint8_t(r[size_t(j)] >> 8));
            b.push_back(uint8_t(r[size_t(j)]));
        }
    b.push_back(0x5A);
    b.push_back(0xA5);
    return b;
}

Bytes header(int sets, int lastPos) {
    Bytes h(256, 0);
    h[1] = uint8_t(sets >> 8);
    h[2] = uint8_t(sets);
    h[3] = uint8_t(lastPos >> 16);
    h[4] = uint8_t(lastPos >> 8);
    h[5] = uint8_t(lastPos);
    return h;
}

const QDateTime Now(QDate(2026, 5, 1), QTime(9, 15, 0));

} // namespace

TEST(HygroLoggerMemory, HeaderFieldsAndLengthChecks) {
    const Bytes h = header(3, 0x012345);
    auto parsed = ParseLoggerHeader(h.data(), h.size());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->setCount, 3);
    EXPECT_EQ(parsed->lastPos, 0x012345);
    EXPECT_FALSE(ParseLoggerHeader(h.data(), 5));

    struct Case {
        int lastPos, stream;
    } cases[] = {{255, lrEmpty}, {256, lrBadLength},   {272, lrBadLength}, {273, 0},
                 {98304, 0},     {98305, lrBadLength}, {0, lrBadLength}};
    for (const Case &c : cases) EXPECT_EQ(CheckStreamLength(c.lastPos), c.stream) << c.lastPos;
    EXPECT_EQ(CheckStreamSetCount(0), lrBadSetCount);
    EXPECT_EQ(CheckStreamSetCount(1), 0);
    EXPECT_EQ(CheckStreamSetCount(4000), 0);
    EXPECT_EQ(CheckStreamSetCount(4001), lrBadSetCount);

    EXPECT_EQ(BlockExpectedLength(255), 256);
    EXPECT_EQ(BlockExpectedLength(256), 320);
    EXPECT_EQ(BlockExpectedLength(98303), 98304);
    EXPECT_EQ(BlockExpectedLength(98304), 98368); // beyond the memory: the transfer aborts
}

TEST(HygroLoggerMemory, BlockImageChecks) {
    struct Case {
        int sets, lastPos;
        size_t received;
        int expected;
    } cases[] = {
        {0, 255, 256, lrEmpty}, {0, 300, 320, lrBadSetCount}, {4001, 300, 320, lrBadSetCount},
        {1, 300, 320, 0},       {1, 300, 256, lrIncomplete},  {1, 300, 200, lrNoHeader},
        {4000, 319, 320, 0},
    };
    for (const Case &c : cases) {
        Bytes image = header(c.sets, c.lastPos);
        image.resize(c.received, 0xFF);
        EXPECT_EQ(CheckBlockImage(image.data(), image.size()), c.expected)
            << c.sets << " " << c.lastPos << " " << c.received;
    }
}

TEST(HygroLoggerMemory, BlockChecksumIsTheByteSum) {
    Bytes block(64);
    for (int i = 0; i < 64; ++i) block[size_t(i)] = uint8_t(200 + i);
    unsigned sum = 0;
    for (uint8_t b : block) sum += b;
    EXPECT_EQ(BlockChecksum(block.data()), uint8_t(sum % 256));
}

TEST(HygroLoggerMemory, SplitsSetsWithTheirFields) {
    SetSpec a;
    a.records = {{500, 234, 251}, {501, 235, 252}};
    SetSpec b;
    b.year = 25, b.month = 12, b.day = 31, b.hour = 23, b.minute = 59, b.second = 58;
    b.rate = 600;
    b.fahrenheit = true;
    b.records = {{400, 700, 0x8000 | 55}};
    Bytes data = setBytes(a, 6);
    const Bytes second = setBytes(b, 6);
    data.insert(data.end(), second.begin(), second.end());
    data.push_back(0xFF); // bytes after the last set are not looked at

    LoggerSetTable t;
    ASSERT_EQ(SplitLoggerSets(data.data(), data.size(), 2, 6, Now, t), 0);
    ASSERT_EQ(t.recordCounts, (std::vector<int>{2, 1}));
    EXPECT_EQ(t.startOffsets, (std::vector<int>{0, 28}));
    EXPECT_EQ(t.endOffsets, (std::vector<int>{27, 49}));
    EXPECT_EQ(t.rates, (std::vector<int>{5, 600}));
    EXPECT_EQ(t.unitLetters, (std::vector<char>{'C', 'F'}));
    EXPECT_EQ(t.startTimes[0], QDateTime(QDate(2026, 3, 7), QTime(14, 30, 0)));
    EXPECT_EQ(t.startTimes[1], QDateTime(QDate(2025, 12, 31), QTime(23, 59, 58)));
}

TEST(HygroLoggerMemory, InvalidStoredDateOrTimeStartsNow) {
    for (auto broken : {std::pair{4, 13}, std::pair{5, 0}, std::pair{6, 24}, std::pair{7, 60}, std::pair{8, 60}}) {
        Bytes data = setBytes(SetSpec{}, 4);
        data[size_t(broken.first)] = uint8_t(broken.second);
        data.push_back(0);
        LoggerSetTable t;
        ASSERT_EQ(SplitLoggerSets(data.data(), data.size(), 1, 4, Now, t), 0);
        EXPECT_EQ(t.startTimes[0], Now) << broken.first;
    }
}

TEST(HygroLoggerMemory, FramingFailuresLeaveTheTableAlone) {
    SetSpec s;
    s.records = {{500, 234, 0}, {501, 235, 0}};
    const Bytes good = [&] {
        Bytes d = setBytes(s, 4);
        d.push_back(0);
        return d;
    }();
    LoggerSetTable kept;
    ASSERT_EQ(SplitLoggerSets(good.data(), good.size(), 1, 4, Now, kept), 0);
    LoggerSetTable exactEnd;
    EXPECT_EQ(SplitLoggerSets(good.data(), good.size() - 1, 1, 4, Now, exactEnd), 0); // closing byte is the last one

    struct Case {
        const char *what;
        Bytes data;
        int sets;
    };
    std::vector<Case> cases;
    cases.push_back({"closing byte not received", Bytes(good.begin(), good.end() - 2), 1});
    Bytes beyond = setBytes(s, 4, 60000); // a count far past the data
    beyond.push_back(0);
    cases.push_back({"count beyond the data", beyond, 1});
    cases.push_back({"more sets than there are", good, 2});
    for (size_t at : {size_t(0), size_t(1), good.size() - 3, good.size() - 2}) {
        Bytes d = good;
        d[at] ^= 0xFF;
        cases.push_back({"a framing byte changed", d, 1});
    }
    cases.push_back({"too short for a set's fields", Bytes(good.begin(), good.begin() + 13), 1});
    for (const Case &c : cases) {
        LoggerSetTable t = kept;
        // A copy of exactly the bytes given, so that a read past them is caught.
        std::unique_ptr<uint8_t[]> exact(new uint8_t[c.data.size()]);
        std::copy(c.data.begin(), c.data.end(), exact.get());
        EXPECT_EQ(SplitLoggerSets(exact.get(), c.data.size(), c.sets, 4, Now, t), lrBadFraming) << c.what;
        EXPECT_EQ(t.startOffsets, kept.startOffsets) << c.what;
    }
}

TEST(HygroLoggerMemory, ReadingRules) {
    struct Case {
        LoggerReading kind;
        uint16_t raw;
        bool valid;
        const char *text;
        float value;
    } cases[] = {
        {LoggerReading::RH, 1000, false, "OL", 100.0f},
        {LoggerReading::RH, 999, true, "99.9", 99.9f},
        {LoggerReading::RH, 1, true, "0.1", 0.1f},
        {LoggerReading::RH, 0, false, "OL", 0.0f},
        {LoggerReading::RH, 0x8000, false, "-OL", 0.0f},
        {LoggerReading::RH, 0x8000 | 455, true, "45.5", 45.5f}, // the sign is not applied to RH
        {LoggerReading::T1, 0x8000 | 400, false, "-OL", -40.0f},
        {LoggerReading::T1, 0x8000 | 399, true, "-39.9", -39.9f},
        {LoggerReading::T1, 1999, true, "199.9", 199.9f},
        {LoggerReading::T1, 2000, false, "OL", 200.0f},
        {LoggerReading::T1, 0x8000, true, "0.0", 0.0f},
        {LoggerReading::T2, 2507, true, "250", 250.0f},
        {LoggerReading::T2, 2000, true, "200.0", 200.0f},
        {LoggerReading::T2, 0x8000 | 2507, true, "-250", -250.0f},
        {LoggerReading::T2, 25000, false, "OL", 2500.0f},
        {LoggerReading::T2, 24999, true, "2499", 2499.0f},
        {LoggerReading::T2, 0x8000 | 4000, false, "-OL", -400.0f},
        {LoggerReading::T2, 0x8000 | 3999, true, "-399", -399.0f},
    };
    for (const Case &c : cases) {
        const DecodedReading r = DecodeLoggerReading(uint8_t(c.raw >> 8), uint8_t(c.raw), c.kind);
        EXPECT_EQ(r.valid, c.valid) << c.raw;
        EXPECT_EQ(r.text, c.text) << c.raw;
        EXPECT_FLOAT_EQ(r.value, c.value) << c.raw;
    }
}

TEST(HygroLoggerMemory, DecodesRecordsAndKeepsTheFirstOfEqualExtremes) {
    SetSpec s;
    s.rate = 90;
    s.records = {
        {500, 234, 1000}, {700, 0x8000 | 50, 0x8000 | 4000}, {700, 250, 1000}, {1000, 2500, 120}, {300, 234, 90}};
    Bytes data = setBytes(s, 6);
    data.push_back(0);
    const QDateTime start(QDate(2026, 3, 7), QTime(23, 58, 0));
    const DecodedSet d = DecodeLoggerSet(data.data(), data.size(), 0, int(data.size()) - 2, 5, 6, true, start, 90);
    ASSERT_EQ(d.records.size(), 5u);
    EXPECT_EQ(d.records[1].time, start.addSecs(90));
    EXPECT_EQ(d.records[4].time, QDateTime(QDate(2026, 3, 8), QTime(0, 4, 0))); // across midnight
    EXPECT_EQ(d.records[3].readings[0].text, "OL");
    EXPECT_EQ(d.records[3].readings[1].text, "OL");

    const LoggerExtreme &rh = d.extremes[0], &t1 = d.extremes[1], &t2 = d.extremes[2];
    EXPECT_FLOAT_EQ(rh.max, 70.0f);
    EXPECT_EQ(rh.maxRow, 2); // rows 2 and 3 hold 70.0: the first wins
    EXPECT_EQ(rh.maxTime, start.addSecs(90));
    EXPECT_EQ(rh.minRow, 5);
    EXPECT_FLOAT_EQ(t1.min, -5.0f);
    EXPECT_EQ(t1.minRow, 2);
    EXPECT_FLOAT_EQ(t1.max, 25.0f); // the out-of-range 250.0 is left out
    EXPECT_EQ(t1.maxRow, 3);
    EXPECT_FLOAT_EQ(t2.max, 100.0f);
    EXPECT_EQ(t2.maxRow, 1);
    EXPECT_FLOAT_EQ(t2.min, 9.0f);

    // Two readings: T2 is neither read nor counted.
    Bytes two = setBytes(s, 4);
    two.push_back(0);
    const DecodedSet d2 = DecodeLoggerSet(two.data(), two.size(), 0, int(two.size()) - 2, 5, 4, false, start, 90);
    ASSERT_EQ(d2.records.size(), 5u);
    EXPECT_FALSE(d2.extremes[2].seen);
    EXPECT_TRUE(d2.records[0].readings[2].text.isEmpty());
}

TEST(HygroLoggerMemory, DecodingStaysInsideTheImage) {
    SetSpec s;
    s.records = {{500, 234, 251}, {501, 235, 252}, {502, 236, 253}};
    const Bytes data = setBytes(s, 6);
    // A record count and an end beyond the bytes held (a stride changed since the split).
    std::unique_ptr<uint8_t[]> exact(new uint8_t[data.size()]);
    std::copy(data.begin(), data.end(), exact.get());
    const DecodedSet d = DecodeLoggerSet(exact.get(), data.size(), 0, 100000, 1000, 6, true, Now, 1);
    EXPECT_EQ(d.records.size(), 3u);
    EXPECT_TRUE(DecodeLoggerSet(exact.get(), data.size(), 0, 100000, 5, 0, true, Now, 1).records.empty());
}

TEST(HygroLoggerMemory, TemperatureAxis) {
    auto axis = [](bool seen1, float max1, float min1, bool seen2 = false, float max2 = 0, float min2 = 0) {
        DecodedSet d;
        d.extremes[1].seen = seen1;
        d.extremes[1].max = max1;
        d.extremes[1].min = min1;
        d.extremes[2].seen = seen2;
        d.extremes[2].max = max2;
        d.extremes[2].min = min2;
        return LoggerTemperatureAxis(d);
    };
    AxisRange r = axis(true, 30, 20);
    EXPECT_FLOAT_EQ(r.top, 140);
    EXPECT_FLOAT_EQ(r.bottom, -40);
    r = axis(true, 150, -30);
    EXPECT_NEAR(r.top, 185, 1e-3);
    EXPECT_NEAR(r.bottom, -53, 1e-3);
    r = axis(false, 99999, -99999, true, 300, -100); // T1 never valid: only T2 counts
    EXPECT_NEAR(r.top, 350, 1e-3);
    EXPECT_NEAR(r.bottom, -130, 1e-3);
}

TEST(HygroLoggerMemory, RateTexts) {
    const std::pair<int, const char *> cases[] = {{5, "00:05"},     {600, "10:00"}, {90, "01:30"},
                                                  {7200, "120:00"}, {0, "00:00"},   {65535, "1092:15"}};
    for (const auto &[seconds, text] : cases) EXPECT_EQ(LoggerRateText(seconds), text) << seconds;
}
