// The simulated meter on its own terminal: handshake, stream, queries, keys, clock and
// the misbehaviour that the program's tests rely on.

#include "SlmSim.h"

#include <gtest/gtest.h>

#include <QProcess>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

using namespace std::chrono_literals;

namespace {

// The program's end of the line, opened raw on the simulator's terminal.
class Line {
public:
    explicit Line(const QString &path) {
        fd_ = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ >= 0) {
            termios t{};
            tcgetattr(fd_, &t);
            cfmakeraw(&t);
            tcsetattr(fd_, TCSANOW, &t);
        }
    }
    ~Line() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    void send(const std::string &bytes) { EXPECT_EQ(::write(fd_, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
    // Everything that arrives within `period`: for checking that nothing comes.
    std::string read(std::chrono::milliseconds period) { return readUntil(std::string::npos, period); }
    // The next `count` bytes, as soon as they are there (fewer only at the deadline).
    std::string readCount(size_t count, std::chrono::milliseconds deadline = 10s) { return readUntil(count, deadline); }
    // Flushes what came so far, sends and waits for the `count` bytes of the reply.
    std::string ask(const std::string &cmd, size_t count = 6) {
        read(5ms);
        send(cmd);
        return readCount(count);
    }
    // Sends a command after the handshake; the `count` bytes of the reply and anything
    // that follows at once.
    std::string query(const std::string &cmd, size_t count) {
        send(std::string(1, '\0'));
        readCount(6);
        send(cmd);
        const std::string reply = readCount(count);
        return reply + read(20ms);
    }
    // Live frames until one satisfies `pred`; that frame, or empty at the deadline.
    std::string frameWhere(const std::function<bool(const std::string &)> &pred) {
        const auto end = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < end) {
            const std::string f = readCount(6, 1s);
            if (f.size() == 6 && pred(f)) return f;
        }
        return {};
    }

private:
    std::string readUntil(size_t count, std::chrono::milliseconds period) {
        std::string out;
        const auto end = std::chrono::steady_clock::now() + period;
        while (out.size() < count) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, int(left.count())) > 0) {
                char buf[512];
                const size_t want = std::min(sizeof buf, count - out.size());
                const ssize_t n = ::read(fd_, buf, want);
                if (n > 0) out.append(buf, size_t(n));
            }
        }
        return out;
    }

    int fd_ = -1;
};

const std::string idle("\x02\xff\xff\xff\xff\x03", 6);
std::string cmd(char letter, int a, int b, int c) { return std::string{letter, char(a), char(b), char(c)}; }

TEST(SlmSim, HelpListsTheOptions) {
    QProcess p;
    p.start(QString::fromStdString(testsupport::binDir() + "/slmsim"), {"--help"});
    ASSERT_TRUE(p.waitForFinished(5000));
    const QString help = QString::fromLocal8Bit(p.readAllStandardOutput());
    for (const char *option :
         {"--range", "--level", "--levels", "--silent", "--garbage", "--bad-framing", "--miss-subframe", "--clock",
          "--sets", "--records", "--set-sampling", "--set-range", "--set-flags", "--set-start", "--paced",
          "--bad-pointer", "--unmarked-image", "--silent-image"})
        EXPECT_TRUE(help.contains(option)) << option;
}

TEST(SlmSim, HandshakeStreamAndQueries) {
    SlmSim sim({"--range", "4", "--level", "65.4", "--subframe-ms", "20", "--memory", "3", "--sampling", "300",
                "--clock", "2026-12-09 10:07:05"});
    ASSERT_TRUE(sim.ok());
    Line line(sim.path());
    ASSERT_TRUE(line.ok());

    EXPECT_EQ(line.read(100ms), ""); // quiet until asked
    EXPECT_EQ(line.ask(std::string(1, '\0')), idle);
    EXPECT_EQ(line.ask(cmd('G', 0, 0, 0)), std::string("\x02\x1b\x1b\x1b\x03\x03", 6));
    EXPECT_EQ(line.ask(cmd('R', 0, 0, 0x23)), std::string("\x02\xaa\x00\x01\x2c\x03", 6));
    const std::string date = line.ask(cmd('R', 0, 0, 0x80));
    EXPECT_EQ(date, std::string("\x02\xaa\x26\x12\x09\x03", 6));
    const std::string time = line.ask(cmd('R', 0, 0, 0x83));
    ASSERT_EQ(time.size(), 6u);
    EXPECT_EQ(time.substr(0, 4), std::string("\x02\xaa\x10\x07", 4));

    // "A" starts the stream: whole six-byte frames, never faster than the line carries
    // them (6.25 ms a frame at 9600 baud). A lower bound: load only makes it later.
    const auto started = std::chrono::steady_clock::now();
    line.send(cmd('A', 0, 0, 0));
    const std::string stream = line.readCount(80 * 6);
    ASSERT_EQ(stream.size(), 480u);
    EXPECT_GE(std::chrono::steady_clock::now() - started, 79 * 6ms);
    bool indexes[8] = {};
    for (size_t i = 0; i < stream.size(); i += 6) {
        const std::string f = stream.substr(i, 6);
        EXPECT_EQ(f[0], '\x02');
        EXPECT_EQ(f[5], '\x03');
        EXPECT_EQ(f[1] & 0x07, 4); // range code
        EXPECT_EQ(quint8(f[3]) * 256 + quint8(f[4]), 654);
        indexes[(f[1] >> 4) & 7] = true;
    }
    for (bool seen : indexes) EXPECT_TRUE(seen); // the sub-frame index cycles

    // A probe stops the stream and is answered with the idle frame; a key resumes it.
    line.send(std::string(1, '\0'));
    EXPECT_EQ(line.frameWhere([](const std::string &f) { return f == idle; }), idle);
    EXPECT_EQ(line.read(50ms), "");
    line.send(cmd('K', 0, 0, 9)); // Up: 120/60 -> 130/70
    const std::string after = line.readCount(6);
    ASSERT_EQ(after.size(), 6u);
    EXPECT_EQ(after[1] & 0x07, 5);
    EXPECT_TRUE(testsupport::waitUntil([&] { return sim.count("4B 00 00 09") == 1; }, 2s));
}

TEST(SlmSim, KeysAndSettingsChangeTheFrames) {
    SlmSim sim({"--streaming", "--level", "50", "--range", "0"});
    ASSERT_TRUE(sim.ok());
    Line line(sim.path());
    // After the handshake the stream has stopped: the first frame after a key shows it.
    auto key = [&](int code) {
        // Frames sent just before the probe came may still be ahead of its answer.
        line.send(std::string(1, '\0'));
        EXPECT_EQ(line.frameWhere([](const std::string &f) { return f == idle; }), idle);
        line.send(cmd('K', 0, 0, code));
        const std::string f = line.readCount(6);
        return f.size() == 6 ? f : std::string(6, '\xff');
    };
    const std::string f = line.readCount(6);
    ASSERT_EQ(f.size(), 6u);
    EXPECT_EQ(quint8(f[2]), 0x00);             // FAST, A
    EXPECT_EQ(quint8(key(1)[2]) & 0x20, 0x20); // C
    EXPECT_EQ(quint8(key(2)[2]) & 0x03, 1);    // SLOW
    EXPECT_EQ(quint8(key(2)[2]) & 0x03, 2);    // IMP
    EXPECT_EQ(quint8(key(10)[1]) & 0x07, 0);   // Down stops at the lowest range
    ASSERT_TRUE(sim.control("level 95"));
    EXPECT_FALSE(
        line.frameWhere([](const std::string &f) { return (quint8(f[2]) & 0xC0) == 0x40; }).empty()); // OVER at 80/20
    ASSERT_TRUE(sim.control("level 10"));
    EXPECT_FALSE(line.frameWhere([](const std::string &f) { return (quint8(f[2]) & 0xC0) == 0x80; }).empty()); // UNDER

    // The clock commands set the meter's clock, the "Z" command its sampling time.
    line.ask(std::string(1, '\0'));
    line.send(cmd('W', 0x25, 0x12, 0x31));
    line.ask(std::string(1, '\0'));
    line.send(cmd('X', 0x23, 0x59, 0x59));
    line.ask(std::string(1, '\0'));
    line.send(cmd('Z', 0, 0x01, 0x2C));
    line.ask(std::string(1, '\0'));
    const std::string date = line.ask(cmd('R', 0, 0, 0x80));
    EXPECT_TRUE(date == std::string("\x02\xaa\x25\x12\x31\x03", 6) ||
                date == std::string("\x02\xaa\x26\x01\x01\x03", 6));
    line.ask(std::string(1, '\0'));
    EXPECT_EQ(line.ask(cmd('R', 0, 0, 0x23)), std::string("\x02\xaa\x00\x01\x2c\x03", 6));
}

TEST(SlmSim, Misbehaviour) {
    {
        SlmSim sim({"--silent"});
        Line line(sim.path());
        line.send(std::string(1, '\0'));
        EXPECT_EQ(line.read(100ms), "");
        EXPECT_TRUE(testsupport::waitUntil([&] { return sim.count("00") == 1; }, 2s)); // still logged
    }
    {
        SlmSim sim({"--streaming", "--bad-framing", "--level", "50"});
        Line line(sim.path());
        const std::string s = line.readCount(6);
        ASSERT_GE(s.size(), 6u);
        EXPECT_NE(s[0], '\x02');
        EXPECT_NE(s[5], '\x03');
    }
    {
        SlmSim sim({"--streaming", "--miss-subframe", "3", "--subframe-ms", "10"});
        Line line(sim.path());
        const std::string s = line.readCount(8 * 6 * 4); // four runs of eight sub-frames' time
        ASSERT_EQ(s.size(), 192u);
        for (size_t i = 0; i + 6 <= s.size(); i += 6) EXPECT_NE((s[i + 1] >> 4) & 7, 3);
    }
    {
        SlmSim sim({"--bad-replies", "1"});
        Line line(sim.path());
        line.ask(std::string(1, '\0'));
        EXPECT_EQ(line.ask(cmd('G', 0, 0, 0)), std::string("\x55\x1b\x1b\x1b\x04\x55", 6));
        EXPECT_EQ(line.ask(cmd('G', 0, 0, 0)), std::string("\x02\x1b\x1b\x1b\x04\x03", 6));
    }
    {
        SlmSim sim({"--bad-replies", "1", "--clock", "2024-02-29 13:14:15"});
        Line line(sim.path());
        line.ask(std::string(1, '\0'));
        EXPECT_EQ(line.ask(cmd('R', 0, 0, 0x80)), std::string("\x02\x55\x24\x02\x29\x03", 6)); // framed, but no AA
        EXPECT_EQ(line.ask(cmd('R', 0, 0, 0x80)), std::string("\x02\xaa\x24\x02\x29\x03", 6));
    }
}

} // namespace

TEST(SlmSim, StoredSets) {
    {
        SlmSim sim; // an empty memory
        Line line(sim.path());
        EXPECT_EQ(line.query(cmd('R', 0, 0, 0x21), 6), std::string("\x02\xaa\x00\x00\x10\x03", 6));
        EXPECT_EQ(line.query(cmd('U', 0, 0, 0), 2), std::string("\x02\x03", 2));
    }
    SlmSim sim({"--sets",           "2",
                "--records",        "3,1",
                "--set-sampling",   "60,1",
                "--set-range",      "2",
                "--set-flags",      "21",
                "--set-levels",     "65,100",
                "--set-start",      "2026-12-09 10:07:05",
                "--bad-pointer",    "1",
                "--unmarked-image", "1",
                "--silent-image",   "1"});
    Line line(sim.path());
    // Two sets of 56 and 52 bytes: the pointer is 16 past their end.
    EXPECT_EQ(line.query(cmd('R', 0, 0, 0x21), 6), std::string("\x55\xaa\x00\x00\x7c\x55", 6));
    EXPECT_EQ(line.query(cmd('R', 0, 0, 0x21), 6), std::string("\x02\xaa\x00\x00\x7c\x03", 6));
    EXPECT_EQ(line.query(cmd('U', 0, 0, 0), 0), ""); // silent the first time
    EXPECT_TRUE(testsupport::waitUntil([&] { return sim.count("55 00 00 00") == 1; }, 2s));
    const std::string unmarked = line.query(cmd('U', 0, 0, 0), 110);
    ASSERT_EQ(unmarked.size(), 110u);
    EXPECT_EQ(quint8(unmarked[1]), 0xFF); // then without its marker
    const std::string image = line.query(cmd('U', 0, 0, 0), 110);
    ASSERT_EQ(image.size(), 110u);
    EXPECT_EQ(image.front(), '\x02');
    EXPECT_EQ(image.back(), '\x03');
    const std::string first = image.substr(1, 56), second = image.substr(57, 52);
    EXPECT_EQ(first.substr(0, 17),
              std::string("\x00\x55\xaa\x00\x00\x3c\x02\x21\x00\x00\x26\x12\x09\x10\x07\x05\x00", 17));
    EXPECT_EQ(first.substr(50), std::string("\x02\x8a\x03\xe8\x02\x8a", 6)); // 65.0, 100.0, 65.0
    // The second set starts a minute after the first ends: 10:07:05 + 3 x 60 s + 60 s.
    EXPECT_EQ(second.substr(0, 16),
              std::string("\x00\x55\xaa\x00\x00\x01\x02\x21\x00\x00\x26\x12\x09\x10\x11\x05", 16));
}

TEST(SlmSim, PacedImageTakesTheLinesTime) {
    SlmSim sim({"--sets", "1", "--records", "455", "--paced"}); // a 960-byte image
    Line line(sim.path());
    line.send(std::string(1, '\0'));
    line.readCount(6);
    line.send(cmd('U', 0, 0, 0));
    // At 0.96 bytes a millisecond the last byte comes a second after the request at the
    // earliest. A loaded machine only makes it later, so only that bound is checked.
    const auto start = std::chrono::steady_clock::now();
    const std::string got = line.readCount(962);
    EXPECT_EQ(got.size(), 962u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 900ms);
}
