// The memory download's pure parts: the pointer and size arithmetic, the remaining
// memory label, the judging of the image's start, the splitting into sets and the
// decoding of one set.

#include "slm/core/MeterMemory.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <initializer_list>

using namespace slm;

namespace {

struct Header {
    int sampling = 60;
    int range = 2;
    int flags = 0;
    int date[6] = {0x26, 0x12, 0x09, 0x10, 0x07, 0x05};
};

// A set as the meter stores it, with records in tenths of a dB.
QByteArray makeSet(std::initializer_list<int> tenths, const Header &h = {}) {
    QByteArray b(50, '\0');
    b[1] = char(0x55);
    b[2] = char(0xAA);
    b[4] = char(h.sampling >> 8);
    b[5] = char(h.sampling & 0xFF);
    b[6] = char(h.range);
    b[7] = char(h.flags);
    for (int i = 0; i < 6; ++i) b[10 + i] = char(h.date[i]);
    for (int t : tenths) {
        b.append(char(t >> 8));
        b.append(char(t & 0xFF));
    }
    return b;
}

// The answer to "U": a leading byte, the sets, a trailing byte.
QByteArray image(const QByteArray &sets) { return QByteArray(1, '\x02') + sets + QByteArray(1, '\x03'); }

QByteArray bytes(std::initializer_list<int> v) {
    QByteArray b;
    for (int x : v) b.append(char(x));
    return b;
}

} // namespace

TEST(PalixMemoryData, PointerAndLength) {
    struct Case {
        QByteArray reply;
        bool framed;
        double p, length;
    };
    const Case cases[] = {
        {bytes({0x02, 0xAA, 0x00, 0x00, 0x10, 0x03}), true, 16, 0},        // empty memory
        {bytes({0x02, 0xAA, 0x00, 0x04, 0x0F, 0x03}), true, 1039, 1024},   // 1025 made even
        {bytes({0x02, 0xAA, 0x01, 0x00, 0x00, 0x03}), true, 65535, 65520}, // b3 weighs 65535
        {bytes({0x02, 0xAA, 0x00, 0x00, 0x42, 0x03}), true, 66, 52},
        {bytes({0x02, 0xAA, 0x00, 0x00, 0x0F, 0x03}), true, 15, 0}, // below the data's start
        {bytes({0x02, 0xAA, 0x00, 0x00, 0x00, 0x03}), true, 0, 0},
        {bytes({0x55, 0xAA, 0x00, 0x04, 0x0F, 0x55}), false, 1039, 1024},
        {bytes({0x02, 0x55, 0x00, 0x04, 0x0F, 0x03}), false, 1039, 1024},
        {bytes({0x02, 0xAA, 0x00, 0x04, 0x0F}), false, 1039, 1024},
        {bytes({0x02, 0xAA, 0x00, 0x04, 0x0F, 0x03, 0x77}), true, 1039, 1024}, // judged from its start
        {QByteArray(), false, 0, 0},
    };
    for (const Case &c : cases) {
        const std::string name = c.reply.toHex(' ').toStdString();
        EXPECT_EQ(IsPointerReply(c.reply), c.framed) << name;
        EXPECT_EQ(PointerFromReply(c.reply), c.p) << name;
        EXPECT_EQ(DataLength(PointerFromReply(c.reply)), c.length) << name;
    }
}

TEST(PalixMemoryData, RemainingMemoryLabel) {
    EXPECT_NEAR(RemainingK(64, 16400), (65536.0 - 1 - 16400) / 1024, 1e-12);
    EXPECT_EQ(RemainingK(64, 65536 - 256), 0);
    EXPECT_EQ(RemainingK(64, 70000), 0);
    EXPECT_NEAR(RemainingK(128, 16), (131072.0 - 17) / 1024, 1e-12);

    struct Case {
        const char *formatted, *label;
    };
    const Case cases[] = {
        {"48.0", "48.0 K"}, {"48,0", "48.0 K"}, {"48", "48.0 K"},     {"48,", "48.0 K"},
        {",5", "0.5 K"},    {"0,0", "0.0 K"},   {"127,9", "127.9 K"},
    };
    for (const Case &c : cases) EXPECT_EQ(RemainLabel(c.formatted), c.label) << c.formatted;
    // The number format of the system decides the separator; the label is the same.
    const QString t = FormatOneDecimal(RemainingK(64, 16400));
    EXPECT_EQ(t, "48" + QLocale::system().decimalPoint() + "0");
    EXPECT_EQ(RemainLabel(t), "48.0 K");
}

TEST(PalixMemoryData, ImageStart) {
    struct Case {
        QByteArray head;
        ImageStart judged;
    };
    const Case cases[] = {
        {QByteArray(), ImageStart::Empty},
        {bytes({0x02}), ImageStart::Partial},
        {bytes({0x02, 0x00, 0x55}), ImageStart::Partial},
        {bytes({0x02, 0x00, 0x55, 0xAA}), ImageStart::Good},
        {bytes({0x02, 0x00, 0x55, 0xAA, 0x00, 0x00}), ImageStart::Good},
        {bytes({0x02, 0xFF}), ImageStart::Wrong}, // no need to wait for more
        {bytes({0x02, 0x00, 0x55, 0xAB, 0x00}), ImageStart::Wrong},
        {bytes({0x00, 0x55, 0xAA, 0x00}), ImageStart::Wrong}, // the leading byte is missing
    };
    for (const Case &c : cases) EXPECT_EQ(c.judged, JudgeImageStart(c.head)) << c.head.toHex(' ').toStdString();
}

TEST(PalixMemoryData, SplitsSetsInMemoryOrder) {
    Header second;
    second.sampling = 1;
    const QByteArray a = makeSet({650, 1000, 650}), b = makeSet({700}, second);
    const auto sets = SplitMemoryImage(image(a + b));
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[0].Bytes, a);
    EXPECT_EQ(sets[0].Bytes.size(), 56);
    EXPECT_EQ(sets[0].Sampling, 60);
    EXPECT_EQ(sets[0].Records, 3);
    EXPECT_EQ(sets[1].Bytes, b);
    EXPECT_EQ(sets[1].Bytes.size(), 52);
    EXPECT_EQ(sets[1].Sampling, 1);
    EXPECT_EQ(sets[1].Records, 1);
}

TEST(PalixMemoryData, KeepsTheFirst255Sets) {
    QByteArray all;
    for (int k = 1; k <= 256; ++k) {
        Header h;
        h.sampling = k;
        all += makeSet({k, k}, h);
    }
    const auto sets = SplitMemoryImage(image(all));
    ASSERT_EQ(sets.size(), 255u);
    EXPECT_EQ(sets.front().Sampling, 1);
    EXPECT_EQ(sets.back().Sampling, 255);
    EXPECT_EQ(sets.back().Records, 2);
}

TEST(PalixMemoryData, DataOutsideTheLayout) {
    const QByteArray a = makeSet({600, 610}), b = makeSet({620});
    {
        // Bytes where no set starts are skipped up to the next marker.
        const auto sets = SplitMemoryImage(image(bytes({0x11, 0x22, 0x33}) + a + b));
        ASSERT_EQ(sets.size(), 2u);
        EXPECT_EQ(sets[0].Bytes, a);
        EXPECT_EQ(sets[1].Bytes, b);
    }
    {
        // A last set without its end mark (the first marker damaged) ends with the data.
        QByteArray broken = a + b;
        broken[3] = char(0x01);
        const auto sets = SplitMemoryImage(image(broken));
        ASSERT_EQ(sets.size(), 1u);
        EXPECT_EQ(sets[0].Bytes, b);
    }
    {
        // An odd tail: the set ends before the end mark, never past the data.
        const auto sets = SplitMemoryImage(image(a + bytes({0x05})));
        ASSERT_EQ(sets.size(), 1u);
        EXPECT_EQ(sets[0].Records, 2);
    }
    {
        // A marker right before the end: a set too short for its header.
        const auto sets = SplitMemoryImage(image(bytes({0x00, 0x55, 0xAA, 0x00, 0x00, 0x3C})));
        ASSERT_EQ(sets.size(), 1u);
        EXPECT_EQ(sets[0].Sampling, 60);
        EXPECT_LT(sets[0].Bytes.size(), 50);
    }
    for (const QByteArray &junk : {QByteArray(), bytes({0x02}), bytes({0x02, 0x03}), QByteArray(300, '\x00'),
                                   QByteArray(300, '\xFF'), image(QByteArray(1000, '\x55'))})
        EXPECT_TRUE(SplitMemoryImage(junk).empty()) << junk.size();
}

TEST(PalixMemoryData, DecodesStampsAndLevels) {
    Header h;
    h.sampling = 60;
    const DecodedSet d = DecodeDataSet(makeSet({650, 1000, 650}, h), 60, 2026);
    EXPECT_FALSE(d.HeaderDamaged);
    EXPECT_EQ(d.StartStamp, "2026/12/09 10:07:05");
    ASSERT_EQ(d.Records.size(), 3u);
    EXPECT_EQ(d.Records[0].Stamp, "2026/12/09 10:07:05");
    EXPECT_EQ(d.Records[2].Stamp, "2026/12/09 10:09:05");
    EXPECT_EQ(d.Records[0].Level, "65.0");
    EXPECT_EQ(d.Records[1].Level, "100.0");
    // The first record with the extreme value wins.
    EXPECT_EQ(d.MaxText(), "Max : 100.0 dB ----2026/12/09 10:08:05");
    EXPECT_EQ(d.MinText(), "Min : 65.0 dB ----2026/12/09 10:07:05");
    EXPECT_EQ(d.RangeCode, 2);
    EXPECT_EQ(d.Weighting, 0);

    // The century is the PC clock's.
    EXPECT_EQ(DecodeDataSet(makeSet({650}), 60, 2131).StartStamp, "2126/12/09 10:07:05");
}

TEST(PalixMemoryData, StampsRollOverDaysMonthsAndYears) {
    struct Case {
        int date[6];
        int sampling;
        const char *second;
    };
    const Case cases[] = {
        {{0x26, 0x12, 0x09, 0x23, 0x59, 0x30}, 60, "2026/12/10 00:00:30"},
        {{0x26, 0x02, 0x28, 0x23, 0x59, 0x59}, 1, "2026/03/01 00:00:00"},
        {{0x28, 0x02, 0x28, 0x23, 0x59, 0x59}, 1, "2028/02/29 00:00:00"},
        {{0x26, 0x12, 0x31, 0x23, 0x00, 0x00}, 3600, "2027/01/01 00:00:00"},
        {{0x26, 0x03, 0x29, 0x01, 0x30, 0x00}, 3600, "2026/03/29 02:30:00"}, // no daylight saving
        {{0x26, 0x12, 0x09, 0x10, 0x07, 0x05}, 0, "2026/12/09 10:07:05"},
    };
    for (const Case &c : cases) {
        Header h;
        std::copy(std::begin(c.date), std::end(c.date), h.date);
        const DecodedSet d = DecodeDataSet(makeSet({500, 500}, h), c.sampling, 2026);
        ASSERT_EQ(d.Records.size(), 2u);
        EXPECT_EQ(d.Records[1].Stamp, c.second);
    }
}

TEST(PalixMemoryData, ExtremesThatNeverMove) {
    // Above 150.0 dB nothing beats the minimum's start; at 0 nothing beats the maximum's.
    const DecodedSet high = DecodeDataSet(makeSet({1600, 1510}), 1, 2026);
    EXPECT_EQ(high.MinText(), "Min : 150 dB ----");
    EXPECT_EQ(high.MaxText(), "Max : 160.0 dB ----2026/12/09 10:07:05");
    const DecodedSet zero = DecodeDataSet(makeSet({0, 0}), 1, 2026);
    EXPECT_EQ(zero.MaxText(), "Max : 0 dB ----");
    EXPECT_EQ(zero.MinText(), "Min : .0 dB ----2026/12/09 10:07:05");
    EXPECT_EQ(zero.Records[0].Level, ".0");
}

TEST(PalixMemoryData, DamagedSets) {
    {
        // A record whose low byte is missing counts, is damaged and moves no extreme.
        QByteArray set = makeSet({700, 800});
        set.chop(1);
        const DecodedSet d = DecodeDataSet(set, 1, 2026);
        EXPECT_FALSE(d.HeaderDamaged);
        ASSERT_EQ(d.Records.size(), 2u);
        EXPECT_EQ(d.DamagedRecords, 1);
        EXPECT_TRUE(d.Records[1].Damaged);
        EXPECT_EQ(d.Records[1].Level, "");
        EXPECT_EQ(d.Records[1].Stamp, "2026/12/09 10:07:06");
        EXPECT_EQ(d.MaxLevel, "70.0");
    }
    for (int length : {0, 1, 7, 8, 12, 16, 49, 50}) {
        const QByteArray set = makeSet({}).left(length);
        const DecodedSet d = DecodeDataSet(set, 1, 2026);
        EXPECT_EQ(d.HeaderDamaged, length < 50) << length;
        EXPECT_TRUE(d.Records.empty()) << length;
        EXPECT_EQ(d.RangeCode, length >= 7 ? 2 : -1) << length;
        EXPECT_EQ(d.Weighting, length >= 8 ? 0 : -1) << length;
    }
    {
        // A start that is no date: said once, the later records go without a stamp.
        Header h;
        h.date[1] = 0x13;
        const DecodedSet d = DecodeDataSet(makeSet({500, 510, 520}, h), 1, 2026);
        EXPECT_TRUE(d.HeaderDamaged);
        ASSERT_EQ(d.Records.size(), 3u);
        EXPECT_EQ(d.Records[0].Stamp, "2026/13/09 10:07:05");
        EXPECT_EQ(d.Records[2].Stamp, "");
        EXPECT_EQ(d.Records[2].Level, "52.0");
    }
}
