// The simulated meter answers as the program expects, and misbehaves on request.

#include "hygro/HygroSim.h"

#include <gtest/gtest.h>

using hygrotest::HygroSim;
using hygrotest::openRaw;
using hygrotest::readFor;

namespace {

void put(int fd, const std::string &bytes) {
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
}

} // namespace

TEST(HygroSim, IdentifiesAsTheModelItWasStartedAs) {
    for (const char *model : {"582", "583", "585", "586"}) {
        HygroSim sim({"--model", model, "--ident", "13"});
        ASSERT_FALSE(sim.path().isEmpty());
        int fd = openRaw(sim.path());
        ASSERT_GE(fd, 0);
        put(fd, "K");
        EXPECT_EQ(readFor(fd, 4, 2000), std::string(model) + "\x0d") << model;
        ::close(fd);
    }
}

TEST(HygroSim, FramesFollowTheKeys) {
    HygroSim sim({"--model", "585", "--fixed", "--rh", "45.5", "--t1", "-3.2", "--low-battery"});
    int fd = openRaw(sim.path());
    ASSERT_GE(fd, 0);
    put(fd, "A");
    std::string f = readFor(fd, 10, 2000);
    ASSERT_EQ(f.size(), 10u);
    EXPECT_EQ(f[0], '\x02');
    EXPECT_EQ(f[9], '\x03');
    EXPECT_EQ(uint8_t(f[1]), 0x40 | 0x80); // auto power off, low battery
    EXPECT_EQ(uint8_t(f[2]), 0x20);        // T1 negative
    EXPECT_EQ(uint8_t(f[3]) * 256 + uint8_t(f[4]), 455);
    EXPECT_EQ(uint8_t(f[5]) * 256 + uint8_t(f[6]), 32);

    put(fd, "MHCEA"); // MAX, HOLD, °F, logging
    f = readFor(fd, 10, 2000);
    ASSERT_EQ(f.size(), 10u);
    EXPECT_EQ(uint8_t(f[1]) & 0x1F, 0x01 | 0x04 | 0x08 | 0x10);
    EXPECT_EQ(uint8_t(f[2]) & 0x01, 0x01);               // REC blinks while logging
    EXPECT_EQ(uint8_t(f[5]) * 256 + uint8_t(f[6]), 262); // -3.2 C is 26.2 F
    EXPECT_EQ(sim.receivedBytes(), (QStringList{"41", "4D", "48", "43", "45", "41"}));
    ::close(fd);
}

TEST(HygroSim, MisbehavesOnRequest) {
    HygroSim sim({"--model", "586"});
    int fd = openRaw(sim.path());
    ASSERT_GE(fd, 0);

    ASSERT_TRUE(sim.control("silent on"));
    put(fd, "A");
    EXPECT_TRUE(readFor(fd, 1, 400).empty());

    ASSERT_TRUE(sim.control("silent off"));
    ASSERT_TRUE(sim.control("split on"));
    EXPECT_FALSE(sim.control("split maybe"));
    put(fd, "A");
    const size_t first = readFor(fd, 10, 15).size(); // the first piece comes alone
    EXPECT_LT(first, 10u);
    EXPECT_EQ(readFor(fd, 10 - first, 2000).size(), 10 - first);

    sim.control("split off");
    sim.control("garbage on");
    EXPECT_GT(readFor(fd, 20000, 2000).size(), 10000u);
    sim.control("garbage off");

    sim.closeTerminal();
    EXPECT_FALSE(sim.running());
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 2000), 1);
    char c;
    while (::read(fd, &c, 1) > 0) {}
    EXPECT_TRUE(p.revents & (POLLHUP | POLLERR | POLLIN));
    ::close(fd);
}

namespace {

int be(const std::string &s, size_t at, int width) {
    int v = 0;
    for (int i = 0; i < width; ++i) v = v << 8 | uint8_t(s[at + size_t(i)]);
    return v;
}

uint8_t sum64(const std::string &block) {
    unsigned sum = 0;
    for (size_t i = 0; i < 64; ++i) sum += uint8_t(block[i]);
    return uint8_t(sum);
}

} // namespace

TEST(HygroSim, StreamsItsMemoryAfterP) {
    HygroSim sim(
        {"--model", "586", "--ident", "13", "--sets", "2", "--records", "10", "--rate", "600", "--bad-date", "2"});
    int fd = openRaw(sim.path());
    ASSERT_GE(fd, 0);
    put(fd, "P");
    const std::string head = readFor(fd, 256, 3000);
    ASSERT_EQ(head.size(), 256u);
    EXPECT_EQ(be(head, 1, 2), 2);
    const int last = be(head, 3, 3);
    EXPECT_EQ(last, 255 + 2 * (16 + 10 * 6));
    const std::string data = readFor(fd, size_t(last - 255), 3000);
    ASSERT_EQ(data.size(), size_t(last - 255));
    EXPECT_EQ(uint8_t(data[0]), 0xA5);
    EXPECT_EQ(uint8_t(data[1]), 0x5A);
    EXPECT_EQ(be(data, 9, 2), 600);
    EXPECT_EQ(be(data, 12, 2), 10);
    EXPECT_EQ(uint8_t(data[74]), 0x5A);
    EXPECT_EQ(uint8_t(data[75]), 0xA5);
    EXPECT_EQ(uint8_t(data[76 + 4]), 13); // the second set's month
    EXPECT_TRUE(readFor(fd, 1, 300).empty());
    ::close(fd);

    HygroSim empty({"--model", "585", "--ident", "13", "--empty-memory"});
    fd = openRaw(empty.path());
    put(fd, "P");
    const std::string h = readFor(fd, 300, 1000);
    ASSERT_EQ(h.size(), 256u);
    EXPECT_EQ(be(h, 1, 2), 0);
    EXPECT_EQ(be(h, 3, 3), 255);
    ::close(fd);
}

TEST(HygroSim, SendsBlocksAnsweredWithYesNoAndQuit) {
    HygroSim sim({"--model", "585", "--ident", "7", "--sets", "1", "--records", "40", "--bad-checksum", "1"});
    int fd = openRaw(sim.path());
    ASSERT_GE(fd, 0);
    put(fd, "P");
    std::string block = readFor(fd, 65, 2000);
    ASSERT_EQ(block.size(), 65u);
    const int last = be(block, 3, 3);
    EXPECT_EQ(last, 255 + 16 + 40 * 4);
    EXPECT_EQ(uint8_t(block[64]), sum64(block));
    EXPECT_TRUE(readFor(fd, 1, 200).empty()); // the next block waits for the answer

    put(fd, "y");
    block = readFor(fd, 65, 2000);
    ASSERT_EQ(block.size(), 65u);
    EXPECT_NE(uint8_t(block[64]), sum64(block)); // block 1 comes wrong first
    put(fd, "n");
    const std::string again = readFor(fd, 65, 2000);
    ASSERT_EQ(again.size(), 65u);
    EXPECT_EQ(again.substr(0, 64), block.substr(0, 64));
    EXPECT_EQ(uint8_t(again[64]), sum64(again));

    // 432 bytes: seven blocks, the last one padded.
    for (int b = 2; b < 7; ++b) {
        put(fd, "y");
        ASSERT_EQ(readFor(fd, 65, 2000).size(), 65u) << b;
    }
    put(fd, "y");
    EXPECT_TRUE(readFor(fd, 1, 300).empty()); // after the last block the meter falls silent
    ::close(fd);

    HygroSim stubborn({"--model", "586", "--ident", "0", "--always-bad-checksum", "0"});
    fd = openRaw(stubborn.path());
    put(fd, "P");
    for (int i = 0; i < 3; ++i) {
        block = readFor(fd, 65, 2000);
        ASSERT_EQ(block.size(), 65u);
        EXPECT_NE(uint8_t(block[64]), sum64(block));
        put(fd, "n");
    }
    ASSERT_EQ(readFor(fd, 65, 2000).size(), 65u);
    put(fd, "Q");
    EXPECT_TRUE(readFor(fd, 1, 300).empty());
    put(fd, "A"); // back to the poll
    EXPECT_EQ(readFor(fd, 10, 2000).size(), 10u);
    ::close(fd);
}
