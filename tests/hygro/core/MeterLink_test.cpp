#include "hygro/core/MeterLink.h"
#include "support/ReadCount.h"

#include <gtest/gtest.h>

using namespace hygro;

namespace {

std::string frame(uint8_t a, uint8_t b, int r1, int r2, int r3) {
    std::string f;
    f += char(STX);
    f += char(a);
    f += char(b);
    for (int r : {r1, r2, r3}) {
        f += char(r >> 8);
        f += char(r & 0xFF);
    }
    f += char(ETX);
    return f;
}

int humidityOf(const RealTimeFrame &f) { return f[3] * 256 + f[4]; }

} // namespace

TEST(HygroIdentReply, AcceptsOnlyTheFourModels) {
    struct Case {
        std::string reply;
        bool accepted;
        int model, ident;
    } cases[] = {
        {"582\x0d", true, 582, 13},
        {"583A", true, 583, 'A'},
        {"585\xff", true, 585, 0xFF},
        {"586\x01", true, 586, 1},
        {std::string("582\0", 4), false, 0, 0}, // the text ends after three characters
        {std::string("58\0"
                     "2",
                     4),
         false, 0, 0},
        {"584\x0d", false, 0, 0},
        {"5x2\x0d", false, 0, 0},
        {" 82\x0d", false, 0, 0},
    };
    for (const Case &c : cases) {
        IdentResult r = ParseIdentReply(reinterpret_cast<const uint8_t *>(c.reply.data()));
        EXPECT_EQ(r.accepted, c.accepted) << c.reply;
        EXPECT_EQ(r.model, c.model) << c.reply;
        EXPECT_EQ(r.identByte, c.ident) << c.reply;
    }
}

TEST(HygroFrameCutter, ValidFrameAndFrameAfterGarbage) {
    std::string buf = frame(0, 0, 455, 231, 0);
    auto frames = CutFrames(buf);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(humidityOf(frames[0]), 455);
    EXPECT_TRUE(buf.empty());

    buf = "\x41\x00\xff\x03zz" + frame(0, 0, 500, 231, 0);
    frames = CutFrames(buf);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(humidityOf(frames[0]), 500);
}

TEST(HygroFrameCutter, FrameSplitAtEveryByteIsCompletedByTheNextEvent) {
    const std::string f = frame(0x04, 0x20, 612, 0x0203, 0x0302); // STX/ETX values inside the readings
    for (size_t cut = 1; cut < f.size(); ++cut) {
        std::string buf = f.substr(0, cut);
        EXPECT_TRUE(CutFrames(buf).empty()) << cut;
        EXPECT_EQ(buf.size(), cut);
        buf += f.substr(cut);
        auto frames = CutFrames(buf);
        ASSERT_EQ(frames.size(), 1u) << cut;
        EXPECT_EQ(std::string(frames[0].begin(), frames[0].end()), f);
    }
}

TEST(HygroFrameCutter, TwoFramesAndAPartialThirdInOneEvent) {
    const std::string third = frame(0, 0, 3, 3, 3);
    std::string buf = frame(0, 0, 1, 1, 1) + frame(0, 0, 2, 2, 2) + third.substr(0, 6);
    auto frames = CutFrames(buf);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(humidityOf(frames[0]), 1);
    EXPECT_EQ(humidityOf(frames[1]), 2);
    EXPECT_EQ(buf, third.substr(0, 6));
    buf += third.substr(6);
    frames = CutFrames(buf);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(humidityOf(frames[0]), 3);
}

TEST(HygroFrameCutter, TenBytesFromStxWithoutEtxAreDroppedWhole) {
    // A second STX lies inside the bad ten bytes; it is dropped with them, so
    // the frame that starts there is lost and only the one after it is taken.
    const std::string inner = frame(0, 0, 7, 7, 7);
    std::string buf = std::string("\x02\x00\x00\x00", 4) + inner + frame(0, 0, 9, 9, 9);
    auto frames = CutFrames(buf);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(humidityOf(frames[0]), 9);
    EXPECT_TRUE(buf.empty());
}

TEST(HygroFrameCutter, BytesWithoutStxGoInTensAndTheRestWaits) {
    std::string buf(25, 'x');
    EXPECT_TRUE(CutFrames(buf).empty());
    EXPECT_EQ(buf.size(), 5u);
}

// A long run of bytes without STX is dropped in one pass: a byte near its end is read
// once (by the search for STX), not again after every ten bytes dropped, as searching the
// whole rest anew each time did (hours on 32 MB).
TEST(HygroFrameCutter, LongRunWithoutStxIsDroppedInOnePass) {
    std::string buf(65532, 'x');
    buf += "ab";
    const size_t size = buf.size();
    const char *nearEnd = buf.data() + ((size - 64) & ~size_t(7));
    testsupport::TouchCount reads(nearEnd);
    if (!reads.available()) {
        // Without a breakpoint only the test's time-out tells the passes apart.
        std::string big(size_t(32) << 20, 'x');
        big += "ab";
        EXPECT_TRUE(CutFrames(big).empty());
        EXPECT_EQ(big, "xxab");
        GTEST_SKIP() << "no hardware breakpoint to count the reads with";
    }
    reads.start();
    const std::vector<RealTimeFrame> frames = CutFrames(buf);
    const long long n = reads.stop();
    EXPECT_TRUE(frames.empty());
    EXPECT_EQ(buf, "xxab"); // 65534 bytes: the last four wait for more
    EXPECT_GE(n, 1);
    EXPECT_LE(n, 2) << "passes over the buffer";
}

// Receive events as the handler sees them: each chunk is one read, the buffer is kept
// between reads, and after every read fewer than ten bytes wait.
TEST(HygroFrameReceiver, EventsInFramesOut) {
    const std::string f1 = frame(0x04, 0x20, 612, 0x0203, 0x0302);
    const std::string f2 = frame(0, 0, 455, 231, 0);
    std::string fullRead; // six frames and most of a seventh
    while (fullRead.size() + FrameLength <= size_t(RxChunk)) fullRead += f2;
    fullRead += f1.substr(0, RxChunk - fullRead.size());
    struct Case {
        const char *what;
        std::vector<std::string> events;
        std::vector<int> humidities;
        std::string left;
    } cases[] = {
        {"valid frame", {f1}, {612}, ""},
        {"after garbage", {std::string("\x41\x00\xff\x03zz", 6) + f2}, {455}, ""},
        {"garbage in its own event", {"zz\x03", f2}, {455}, ""},
        {"truncated frame waits", {f1.substr(0, 9)}, {}, f1.substr(0, 9)},
        {"truncated frame, then the next", {f1.substr(0, 7), f2}, {}, f2.substr(3)}, // its ten bytes go whole
        {"two and a half, then the rest", {f1 + f2 + f1.substr(0, 4), f1.substr(4)}, {612, 455, 612}, ""},
        {"a full read of noise", {std::string(RxChunk, 'x')}, {}, std::string(RxChunk % 10, 'x')},
        {"a full read of frames", {fullRead, f1.substr(fullRead.size() % 10)}, {455, 455, 455, 455, 455, 455, 612}, ""},
        {"an empty read", {f1.substr(0, 3), ""}, {}, f1.substr(0, 3)},
    };
    for (const Case &c : cases) {
        std::string rx;
        std::vector<int> got;
        for (const std::string &e : c.events) {
            for (const RealTimeFrame &f : ReceiveFrames(rx, reinterpret_cast<const uint8_t *>(e.data()), e.size())) {
                EXPECT_EQ(f[0], STX) << c.what;
                EXPECT_EQ(f[9], ETX) << c.what;
                got.push_back(humidityOf(f));
            }
            EXPECT_LT(rx.size(), FrameLength) << c.what;
        }
        EXPECT_EQ(got, c.humidities) << c.what;
        EXPECT_EQ(rx, c.left) << c.what;
    }
}

TEST(HygroFrameReceiver, FrameSplitAtEveryByte) {
    const std::string f = frame(0x04, 0x20, 612, 0x0203, 0x0302);
    for (size_t cut = 1; cut < f.size(); ++cut) {
        std::string rx;
        const auto *b = reinterpret_cast<const uint8_t *>(f.data());
        EXPECT_TRUE(ReceiveFrames(rx, b, cut).empty()) << cut;
        const auto frames = ReceiveFrames(rx, b + cut, f.size() - cut);
        ASSERT_EQ(frames.size(), 1u) << cut;
        EXPECT_EQ(std::string(frames[0].begin(), frames[0].end()), f) << cut;
        EXPECT_TRUE(rx.empty()) << cut;
    }
}

TEST(HygroIntervalCorrection, SteersTowardsOneSecondAndNeverBelow500) {
    struct Case {
        int interval;
        double elapsed;
        int expected;
    } cases[] = {
        {1000, 1.2, 800}, {1000, 1.0, 1000}, {900, 0.9, 1000},
        {600, 1.1, 500},  {1000, 2.0, 500},  {1000, 1.0004, 999}, // truncated toward zero
    };
    for (const Case &c : cases) EXPECT_EQ(CorrectInterval(c.interval, c.elapsed), c.expected) << c.elapsed;
}
