// The serial control on a pseudo-terminal: line settings as the far end sees them,
// bytes out exactly as given, polled input, and its errors.

#include "platform/vb/Interaction.h"
#include "platform/vb/MSComm.h"
#include "platform/vb/Runtime.h"
#include "platform/forms/Dialogs.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <termios.h>

using namespace std::chrono_literals;

namespace {

class MSCommOnPty : public ::testing::Test {
protected:
    void SetUp() override { qputenv("METER_PORTS", QByteArray::fromStdString("/dev/no-such-port:" + pty.slavePath())); }
    void TearDown() override { qunsetenv("METER_PORTS"); }
    testsupport::PtyPair pty;
};

TEST_F(MSCommOnPty, OpensTheNthListEntryWithItsSettings) {
    // A pseudo-terminal keeps neither data bits nor parity: speed and stop bits show.
    struct Case {
        const char *settings;
        speed_t speed;
        bool twoStops;
    };
    const Case cases[] = {{"9600,n,8,1", B9600, false}, {"4800,E,7,2", B4800, true}, {"19200,o,8,1", B19200, false}};
    for (const Case &c : cases) {
        vb::MSComm com;
        com.SetCommPort(2);
        com.SetSettings(c.settings);
        com.SetPortOpen(true);
        ASSERT_TRUE(com.PortOpen());
        EXPECT_EQ(com.DevicePath().toStdString(), pty.slavePath());
        termios t{};
        ASSERT_EQ(tcgetattr(pty.master(), &t), 0);
        EXPECT_EQ(cfgetospeed(&t), c.speed) << c.settings;
        EXPECT_EQ(bool(t.c_cflag & CSTOPB), c.twoStops) << c.settings;
        EXPECT_THROW(com.SetPortOpen(true), vb::RuntimeError); // already open
        EXPECT_THROW(com.SetCommPort(1), vb::RuntimeError);
        com.SetPortOpen(false);
        EXPECT_FALSE(com.PortOpen());
    }
}

TEST_F(MSCommOnPty, BytesOutAndPolledInput) {
    vb::MSComm com;
    com.SetCommPort(2);
    com.SetPortOpen(true);
    const QByteArray out = vb::Bytes({'K', 0x00, 0xFF, 0x0A});
    com.SetOutput(out);
    EXPECT_EQ(pty.readMaster(4, 2s), out.toStdString());

    EXPECT_EQ(com.InBufferCount(), 0);
    EXPECT_TRUE(com.Input().isEmpty());
    pty.writeMaster(std::string("\x02\xff\xff\xff\xff\x03\x00\x11", 8));
    ASSERT_TRUE(testsupport::waitUntil([&] { return com.InBufferCount() == 8; }, 2s));
    com.SetInputLen(3);
    EXPECT_EQ(com.Input(), vb::Bytes({0x02, 0xFF, 0xFF}));
    EXPECT_EQ(com.InBufferCount(), 5);
    com.SetInputLen(0);
    EXPECT_EQ(com.Input(), vb::Bytes({0xFF, 0xFF, 0x03, 0x00, 0x11}));
    EXPECT_EQ(com.InBufferCount(), 0);

    // The far end going away: no bytes, no error, no hang.
    pty.closeMaster();
    com.SetOutput(out);
    EXPECT_EQ(com.InBufferCount(), 0);
    EXPECT_TRUE(com.Input().isEmpty());
}

TEST(MSComm, RefusesBadValuesAndMissingPorts) {
    qputenv("METER_PORTS", "/dev/no-such-port");
    vb::MSComm com;
    EXPECT_THROW(com.SetCommPort(0), vb::RuntimeError);
    EXPECT_THROW(com.SetCommPort(17), vb::RuntimeError);
    for (const char *bad : {"9600,x,8,1", "9600,n,8", "0,n,8,1", "9600,n,9,1", "9600,n,8,3", ""})
        EXPECT_THROW(com.SetSettings(bad), vb::RuntimeError) << bad;
    EXPECT_EQ(com.Settings(), "9600,n,8,1");
    EXPECT_THROW(com.InBufferCount(), vb::RuntimeError); // closed
    com.SetCommPort(1);
    try {
        com.SetPortOpen(true);
        ADD_FAILURE() << "opened a missing device";
    } catch (const vb::RuntimeError &e) {
        EXPECT_EQ(e.Number(), 8002);
    }
    EXPECT_FALSE(com.PortOpen());
    qunsetenv("METER_PORTS");
}

TEST(VbInteraction, BoxesGoThroughTheDialogs) {
    auto &script = forms::DialogScript();
    script.reset();
    QCoreApplication::setApplicationName("Palix");
    vb::MsgBox("No device found, try again!", vb::vbCritical);
    ASSERT_EQ(script.log().size(), 1u);
    EXPECT_EQ(script.log()[0].caption, "Palix");
    EXPECT_EQ(script.log()[0].flags, unsigned(forms::MB_ICONSTOP));

    script.pushText("12");
    EXPECT_EQ(vb::InputBox("Prompt", "Title", "5"), "12");
    script.pushCancel();
    EXPECT_EQ(vb::InputBox("Prompt", "Title", "5"), "");
    EXPECT_EQ(script.log().back().defaultText, "5");
    script.reset();
}

} // namespace
