// The handshake on a pseudo-terminal: only the last six bytes count.

#include "slm/core/MeterLink.h"
#include "slm/core/Meter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <poll.h>
#include <unistd.h>

#include <algorithm>

using namespace slm;

namespace {

TEST(MeterLink, HandshakeEndsOnlyOnATrailingIdleFrame) {
    testsupport::PtyPair pty;
    qputenv("METER_PORTS", QByteArray::fromStdString(pty.slavePath()));
    vb::MSComm com;
    com.SetCommPort(1);
    com.SetSettings("9600,n,8,1");
    com.SetPortOpen(true);

    const QByteArray live = vb::Bytes({0x02, 0x31, 0x20, 0x02, 0x8E, 0x03});
    // First probe: twelve bytes ending in a live frame; later ones end in the idle frame.
    const QByteArray replies[] = {IdleFrame() + live, live + IdleFrame(), IdleFrame()};
    int probes = 0;
    std::string commands;
    QTimer meter;
    QObject::connect(&meter, &QTimer::timeout, [&] {
        char buf[64];
        pollfd p{pty.master(), POLLIN, 0};
        while (::poll(&p, 1, 0) > 0 && (p.revents & POLLIN)) {
            const ssize_t n = ::read(pty.master(), buf, sizeof buf);
            if (n <= 0) break;
            for (ssize_t i = 0; i < n; ++i) {
                if (buf[i] == '\0' && commands.empty()) {
                    pty.writeMaster(replies[std::min(probes, 2)].toStdString());
                    ++probes;
                } else {
                    commands += buf[i];
                }
            }
        }
    });
    meter.start(5);
    EXPECT_TRUE(ResyncMeter(com, 0.05));
    EXPECT_EQ(probes, 2);

    EXPECT_TRUE(SendMeterCommand(com, vb::Bytes({'K', 0, 0, 1})));
    EXPECT_EQ(probes, 3);
    testsupport::waitUntil([&] { return commands.size() >= 4; }, std::chrono::seconds(2));
    EXPECT_EQ(commands, std::string("K\0\0\x01", 4));
    meter.stop();
    com.SetPortOpen(false);
    qunsetenv("METER_PORTS");
}

} // namespace
