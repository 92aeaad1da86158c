// The simulated meter answers as the program expects, and misbehaves on request.

#include "hygro/HygroSim.h"

#include <gtest/gtest.h>

using hygrotest::HygroSim;
using hygrotest::openRaw;
using hygrotest::readFor;

namespace {

void put(int fd, const std::string &bytes) { ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size())); }

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
    EXPECT_EQ(uint8_t(f[2]) & 0x01, 0x01); // REC blinks while logging
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
