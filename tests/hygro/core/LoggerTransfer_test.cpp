// The data-logger transfer on bytes and a clock: a scripted meter answers what the
// transfer sends, the clock moves by the waits it asks for.

#include "hygro/core/LoggerTransfer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <functional>
#include <string>

using namespace hygro;

namespace {

using Bytes = std::vector<uint8_t>;

const QDateTime Now(QDate(2026, 5, 1), QTime(9, 15, 0));

// A memory of one set of `records` four-byte records, as the meter sends it: header
// first, C the position of the set's closing byte.
Bytes memory(int records, int sets = 1) {
    Bytes set{0xA5, 0x5A, 0, 26, 3, 7, 14, 30, 0, 0, 5, 0, uint8_t(records >> 8), uint8_t(records)};
    for (int k = 0; k < records; ++k) set.insert(set.end(), {uint8_t(2), uint8_t(k), 0, uint8_t(200 + k % 50)});
    set.push_back(0x5A);
    set.push_back(0xA5);
    Bytes m(256 + set.size(), 0);
    const int last = int(m.size()) - 1;
    m[1] = uint8_t(sets >> 8), m[2] = uint8_t(sets);
    m[3] = uint8_t(last >> 16), m[4] = uint8_t(last >> 8), m[5] = uint8_t(last);
    std::copy(set.begin(), set.end(), m.begin() + 256);
    return m;
}

Bytes block(const Bytes &image, size_t index, bool corrupt = false) {
    Bytes b(64, 0);
    for (size_t i = 0; i < 64 && index * 64 + i < image.size(); ++i) b[i] = image[index * 64 + i];
    b.push_back(BlockChecksum(b.data()));
    if (corrupt) b[3] ^= 0x40;
    return b;
}

struct Driven {
    std::string sent; // the commands written after "P"
    int result = -1;  // of the Finish step
    long long endMs = 0;
    std::vector<long long> waits;
};

// Drives `t` from time 0: `answer` gives the bytes that arrive for each command sent
// ('P' first); they are there before the next step.
Driven drive(LoggerTransfer &t, const std::function<Bytes(char)> &answer) {
    Driven r;
    long long now = 0;
    Bytes queued = answer('P');
    for (int guard = 0; guard < 100000; ++guard) {
        if (!queued.empty()) {
            t.receive(queued.data(), queued.size(), now);
            queued.clear();
        }
        const LoggerStep s = t.next(now);
        if (s.kind == LoggerStep::Finish) {
            r.result = s.result;
            r.endMs = now;
            return r;
        }
        if (s.kind == LoggerStep::Send) {
            r.sent += s.command;
            queued = answer(s.command);
        } else {
            EXPECT_GE(s.waitMs, 1);
            r.waits.push_back(s.waitMs);
            now += std::max<long long>(1, s.waitMs);
        }
    }
    ADD_FAILURE() << "the transfer never finished";
    return r;
}

} // namespace

TEST(HygroLoggerTransfer, StreamTakesTheAnnouncedBytesInAnyChunks) {
    const Bytes m = memory(40);
    for (size_t chunk : {size_t(1), size_t(7), size_t(255), size_t(256), size_t(260), m.size() + 10}) {
        LoggerTransfer t(true, 9600, 0);
        Bytes line = m;
        line.insert(line.end(), {0xEE, 0xEE, 0xEE}); // beyond the announced length: dropped
        size_t at = 0;
        long long now = 0;
        LoggerStep s;
        while ((s = t.next(now)).kind != LoggerStep::Finish) {
            ASSERT_EQ(s.kind, LoggerStep::Wait);
            const size_t n = std::min(chunk, line.size() - at);
            t.receive(line.data() + at, n, now);
            at += n;
            now += 5;
        }
        ASSERT_EQ(s.result, 0) << chunk;
        EXPECT_EQ(t.total(), long(m.size()) - 256);
        EXPECT_EQ(t.progress(), t.total());
        LoggerImage image;
        ASSERT_EQ(t.takeImage(4, Now, image), lrSuccess) << chunk;
        EXPECT_EQ(image.bytes, Bytes(m.begin() + 256, m.end()));
        EXPECT_EQ(image.setCount, 1);
        EXPECT_EQ(image.sets.recordCounts, std::vector<int>{40});
        EXPECT_EQ(image.sets.startTimes[0], QDateTime(QDate(2026, 3, 7), QTime(14, 30, 0)));
        const DecodedSet set = DecodeImageSet(image, 0, 4, false);
        ASSERT_EQ(set.records.size(), 40u);
        EXPECT_EQ(set.records[1].readings[0].text, "51.3");
        EXPECT_EQ(set.records[1].readings[1].text, "20.1");
        EXPECT_EQ(set.records[1].time, QDateTime(QDate(2026, 3, 7), QTime(14, 30, 5)));
        for (int missing : {-1, 1}) EXPECT_TRUE(DecodeImageSet(image, missing, 4, false).records.empty());
    }
}

TEST(HygroLoggerTransfer, StreamFailures) {
    const Bytes good = memory(40);
    struct Case {
        const char *what;
        Bytes line;      // all the meter sends, at once
        int finish;      // the Finish code
        long long endMs; // when it comes
        int take;        // takeImage's code after a whole image
    };
    Bytes empty(256, 0);
    empty[5] = 255;
    Bytes tooLong = good;
    tooLong[3] = 0x01, tooLong[4] = 0x80, tooLong[5] = 0x01; // 98305
    Bytes noSets = good;
    noSets[2] = 0;
    Bytes badFrame = good;
    badFrame[256] = 0x00;
    const Case cases[] = {
        {"silent meter", {}, lrNoHeader, 3001, 0},
        {"header cut short", Bytes(good.begin(), good.begin() + 255), lrNoHeader, 3001, 0},
        {"empty memory", empty, lrEmpty, 0, 0},
        {"length beyond the memory", tooLong, lrBadLength, 0, 0},
        {"data stops", Bytes(good.begin(), good.end() - 1), lrIncomplete, 3001, 0},
        {"no sets", noSets, 0, 0, lrBadSetCount},
        {"set not framed", badFrame, 0, 0, lrBadFraming},
    };
    for (const Case &c : cases) {
        LoggerTransfer t(true, 9600, 0);
        const Driven r = drive(t, [&](char cmd) { return cmd == 'P' ? c.line : Bytes{}; });
        EXPECT_EQ(r.sent, "") << c.what;
        EXPECT_EQ(r.result, c.finish) << c.what;
        EXPECT_EQ(r.endMs, c.endMs) << c.what;
        if (r.result == 0) {
            LoggerImage image;
            image.setCount = 99;
            EXPECT_EQ(t.takeImage(4, Now, image), c.take) << c.what;
            EXPECT_EQ(image.setCount, 99) << c.what; // a refused image leaves the old one
        }
    }
}

TEST(HygroLoggerTransfer, StreamSilenceCountsFromTheLastData) {
    const Bytes m = memory(40);
    LoggerTransfer t(true, 9600, 0);
    t.receive(m.data(), 300, 2900); // header just before the header deadline
    EXPECT_EQ(t.next(5000).kind, LoggerStep::Wait);
    t.receive(m.data() + 300, 10, 5000);
    EXPECT_EQ(t.next(8000).kind, LoggerStep::Wait);
    EXPECT_EQ(t.next(8001).result, lrIncomplete);
    EXPECT_EQ(t.next(8002).kind, LoggerStep::Finish); // and stays finished
}

TEST(HygroLoggerTransfer, BlockAnswersEachBlockAndEndsOnSilence) {
    const Bytes m = memory(40); // 432 bytes: seven blocks, the last one padded
    size_t at = 0;
    int sends = 0;
    LoggerTransfer t(false, 9600, 0);
    const Driven r = drive(t, [&](char cmd) {
        if (cmd == 'y') ++at;
        if (at * 64 >= m.size()) return Bytes{};
        // Blocks 2 and 4 come damaged the first time; block 3 stops short once.
        ++sends;
        if (sends == 3 || sends == 7) return block(m, at, true);
        Bytes b = block(m, at);
        if (sends == 5) b.resize(20);
        return b;
    });
    EXPECT_EQ(r.sent, "yynynynyyy");
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(t.totalKnown());
    EXPECT_EQ(t.total(), 448);
    EXPECT_EQ(t.barMaximum(), int(m.size()));
    LoggerImage image;
    ASSERT_EQ(t.takeImage(4, Now, image), lrSuccess);
    EXPECT_EQ(image.bytes.size(), 448u - 256);
    EXPECT_TRUE(std::equal(m.begin() + 256, m.end(), image.bytes.begin()));
    EXPECT_EQ(image.sets.recordCounts, std::vector<int>{40});
}

TEST(HygroLoggerTransfer, BlockWaits) {
    LoggerTransfer t(false, 9600, 0);
    // Right after "P" its byte on the line counts too: 66 bytes at 9600 baud.
    EXPECT_EQ(t.next(0).waitMs, 69);
    EXPECT_EQ(t.next(69).waitMs, 68);
    const Bytes part(30, 1);
    t.receive(part.data(), part.size(), 100);
    EXPECT_EQ(t.next(100).waitMs, 36);
    // A part waits no longer than the partial-block deadline, then is dropped.
    EXPECT_EQ(t.next(1480).waitMs, 21);
    const LoggerStep s = t.next(1501);
    EXPECT_EQ(s.kind, LoggerStep::Send);
    EXPECT_EQ(s.command, 'n');
    EXPECT_EQ(t.next(1501).waitMs, 69);
    EXPECT_EQ(t.next(4500).waitMs, 1); // the silence deadline
    EXPECT_EQ(t.next(4501).kind, LoggerStep::Finish);
    // 9600 is taken for a speed the port does not know.
    EXPECT_EQ(LoggerLineMs(0, 96), 100);
    EXPECT_EQ(LoggerLineMs(19200, 0), 1);
}

TEST(HygroLoggerTransfer, BlockQuits) {
    struct Case {
        const char *what;
        int badBlocks;    // damaged blocks sent before good ones
        int lastPos;      // announced in the header
        std::string sent; // answers up to the end
        int take;
    };
    const Case cases[] = {
        {"twenty bad blocks are retried", 20, 431, std::string(20, 'n') + "yyyyyyy", lrSuccess},
        {"the twenty-first ends it", 21, 431, std::string(21, 'n') + "Q", lrNoHeader},
        {"an image beyond the memory", 0, LoggerMaxImage, "yQ", lrNoHeader},
    };
    for (const Case &c : cases) {
        Bytes m = memory(40);
        m[3] = uint8_t(c.lastPos >> 16), m[4] = uint8_t(c.lastPos >> 8), m[5] = uint8_t(c.lastPos);
        int bad = 0;
        size_t at = 0;
        LoggerTransfer t(false, 9600, 0);
        const Driven r = drive(t, [&](char cmd) {
            if (cmd == 'Q') return Bytes{};
            if (cmd == 'y') ++at;
            if (at * 64 >= m.size()) return Bytes{};
            return block(m, at, bad++ < c.badBlocks);
        });
        EXPECT_EQ(r.sent, c.sent) << c.what;
        EXPECT_EQ(r.result, 0) << c.what;
        LoggerImage image;
        EXPECT_EQ(t.takeImage(4, Now, image), c.take) << c.what;
    }
}
