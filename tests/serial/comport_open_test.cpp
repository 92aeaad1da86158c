#include "PortFixture.h"

#include "platform/forms/Exceptions.h"

#include <sys/resource.h>
#include <unistd.h>

#include <vector>

using namespace serial;
using serialtest::PortTest;

namespace {

speed_t speedOf(const termios &t) { return cfgetospeed(&t); }

// A pseudo-terminal keeps 8 data bits and no parity whatever it is told (the record
// written for those is checked in the mapping tests); speed and stop bits show.
void expectLine(const termios &t, speed_t speed, bool twoStops) {
    EXPECT_EQ(speedOf(t), speed);
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_FALSE(t.c_cflag & PARENB);
    EXPECT_EQ(bool(t.c_cflag & CSTOPB), twoStops);
}

} // namespace

TEST(ComPortOpen, MissingDeviceRaisesTheSystemErrorAndLeavesNothingOpen) {
    TComPort port(nullptr);
    port.SetDeviceName(QStringLiteral("/dev/no-such-serial-device"));
    const int before = testsupport::openDescriptorCount();
    try {
        port.SetActive(true);
        FAIL() << "no error";
    } catch (const EComError &e) {
        EXPECT_EQ(e.ErrorCode(), 2);
        EXPECT_EQ(e.Message(), QStringLiteral("The system cannot find the file specified."));
    }
    EXPECT_FALSE(port.Active());
    EXPECT_EQ(testsupport::openDescriptorCount(), before);
}

TEST_F(PortTest, StoredSettingsGive9600_8N1AndChangesOnAnOpenPortApplyAtOnce) {
    port->SetActive(true);
    ASSERT_TRUE(port->Active());
    expectLine(line(), B9600, false);

    port->SetBaudRate(br19200);
    port->SetDataBits(db7);
    port->SetParity(paEven);
    port->SetStopBits(sb2);
    expectLine(line(), B19200, true);

    port->SetCustomBaudRate(4800);
    EXPECT_EQ(port->BaudRate(), brCustom);
    EXPECT_EQ(speedOf(line()), B4800);
}

TEST_F(PortTest, ChangesOnAClosedPortAreStoredForTheNextOpen) {
    port->SetBaudRate(br2400);
    port->SetStopBits(sb2);
    EXPECT_NE(speedOf(line()), speed_t(B2400)); // nothing applied yet
    port->Open();
    expectLine(line(), B2400, true);
}

TEST_F(PortTest, DefaultMembersKeepTheDriversLineSettings) {
    termios t = line();
    cfsetispeed(&t, B1200);
    cfsetospeed(&t, B1200);
    t.c_cflag |= CSTOPB;
    ASSERT_EQ(tcsetattr(pty.master(), TCSANOW, &t), 0);
    port->SetBaudRate(brDefault);
    port->SetDataBits(dbDefault);
    port->SetParity(paDefault);
    port->SetStopBits(sbDefault);
    port->Open();
    expectLine(line(), B1200, true);
}

TEST_F(PortTest, SettingsThatMustNotChangeOnAnOpenPort) {
    port->Open();
    const QString name = port->DeviceName();
    EXPECT_NO_THROW(port->SetDeviceName(name)); // unchanged: nothing to refuse
    try {
        port->SetDeviceName(QStringLiteral("/dev/ttyS9"));
        FAIL() << "no error";
    } catch (const EComError &e) {
        EXPECT_EQ(e.ErrorCode(), 0);
        EXPECT_EQ(e.Message(), QStringLiteral("Can't perform this operation on an open port"));
    }
    EXPECT_EQ(port->DeviceName(), name);
    EXPECT_THROW(port->SetSynchronizeEvents(false), EComError);
    EXPECT_THROW(port->SetPriorityClass(pcHigh), EComError);
    EXPECT_TRUE(port->SynchronizeEvents());
    EXPECT_NO_THROW(port->SetThreadPriority(forms::tpNormal));

    // At design time nothing is refused and Active only stores the flag.
    port->Close();
    port->SetDesigning(true);
    port->SetActive(true);
    EXPECT_TRUE(port->Active());
    port->SetDeviceName(QStringLiteral("/dev/ttyS9"));
    EXPECT_TRUE(port->ModemStatus().Empty());
}

TEST_F(PortTest, StoredActivePortOpensWhenLoaded) {
    port->SetLoading(true);
    port->SetActive(true);
    EXPECT_FALSE(port->Active());
    port->Loaded();
    EXPECT_TRUE(port->Active());
}

TEST_F(PortTest, OpenAndCloseEventsAndAPortDestroyedWhileOpen) {
    std::vector<std::string> log;
    port->SetBeforeOpen([&](TCustomComPort *p) { log.push_back(p->Active() ? "before open: open" : "before open"); });
    port->SetAfterOpen([&](TCustomComPort *p) { log.push_back(p->Active() ? "after open: open" : "after open"); });
    port->SetBeforeClose(
        [&](TCustomComPort *p) { log.push_back(p->Active() ? "before close: open" : "before close"); });
    port->SetAfterClose([&](TCustomComPort *p) { log.push_back(p->Active() ? "after close: open" : "after close"); });
    port->SetActive(true);
    port->SetActive(true); // already open: nothing
    port.reset();
    EXPECT_EQ(log, (std::vector<std::string>{"before open", "after open: open", "before close: open", "after close"}));
}

TEST_F(PortTest, FailedOpenPartWayLeavesThePortClosed) {
    const int before = testsupport::openDescriptorCount();
    port->SetDataBits(db4); // the driver refuses 4 data bits
    try {
        port->Open();
        FAIL() << "no error";
    } catch (const EComError &e) {
        EXPECT_EQ(e.ErrorCode(), 87);
    }
    EXPECT_FALSE(port->Active());
    EXPECT_EQ(testsupport::openDescriptorCount(), before);
    port->SetDataBits(db8);
    EXPECT_NO_THROW(port->Open()); // nothing left holding the device
}

TEST_F(PortTest, OnErrorSeesEveryErrorAndMayTurnItIntoTheSilentAbort) {
    std::vector<int> codes;
    TComAction answer = caFail;
    port->SetOnError([&](TCustomComPort *, EComError &e, TComAction &action) {
        codes.push_back(e.ErrorCode());
        EXPECT_EQ(action, caFail);
        action = answer;
    });
    EXPECT_THROW(port->InputCount(), EComError);
    answer = caAbort;
    EXPECT_THROW(port->InputCount(), forms::EAbort);
    port->SetDeviceName(QStringLiteral("/dev/no-such-serial-device"));
    EXPECT_THROW(port->Open(), forms::EAbort);
    char c;
    EXPECT_THROW(port->Read(&c, 1, true), forms::EAbort);
    EXPECT_EQ(codes, (std::vector<int>{6, 6, 2, 0}));
}

TEST_F(PortTest, PriorityClassHoldsWhileOpenAndIsRestoredOnCloseAndOnAFailedOpen) {
    if (geteuid() != 0) GTEST_SKIP() << "going back from idle priority needs the privilege to raise it";
    const int before = getpriority(PRIO_PROCESS, id_t(getpid()));
    port->SetPriorityClass(pcIdle);
    port->Open();
    EXPECT_EQ(getpriority(PRIO_PROCESS, id_t(getpid())), 19);
    port->Close();
    EXPECT_EQ(getpriority(PRIO_PROCESS, id_t(getpid())), before);

    port->SetDeviceName(QStringLiteral("/dev/no-such-serial-device"));
    EXPECT_THROW(port->Open(), EComError);
    EXPECT_EQ(getpriority(PRIO_PROCESS, id_t(getpid())), before);
}
