// TComm on a pseudo-terminal: opening and closing, the closed-only settings, the line
// settings on the far end, reads, writes, queue counts, purges and the escape functions.

#include "CommFixture.h"

#include "platform/comm/Comm.h"
#include "support/Wait.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

using namespace serial::Comm;
using namespace std::chrono_literals;
using commtest::raised;
using commtest::TCommPty;
using testsupport::threadState;
using testsupport::waitUntil;

TEST_F(TCommPty, OpenSetsTheStoredLineAndASecondOpenIsRefused) {
    comm->Open();
    ASSERT_TRUE(comm->Enabled());
    const termios t = line();
    EXPECT_EQ(cfgetospeed(&t), speed_t(B9600));
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_FALSE(t.c_cflag & PARENB);
    EXPECT_FALSE(t.c_cflag & CSTOPB);

    EXPECT_EQ(raised([&] { comm->Open(); }), QStringLiteral("Port already assigned (open) (Error: -1)"));
    EXPECT_EQ(raised([&] { comm->CheckOpen(); }), QStringLiteral("Port already assigned (open) (Error: -1)"));
    EXPECT_TRUE(comm->Enabled());

    comm->SetBaudRate(br19200); // applied at once on an open port
    const termios faster = line();
    EXPECT_EQ(cfgetospeed(&faster), speed_t(B19200));

    comm->Close();
    EXPECT_FALSE(comm->Enabled());
    EXPECT_EQ(raised([&] { comm->CheckOpen(); }), QString());
    comm->Close(); // closing a closed port does nothing
    comm->Open();  // and it opens again
    EXPECT_TRUE(comm->Enabled());
}

TEST_F(TCommPty, ADeviceThatCannotBeOpenedLeavesThePortClosedWithoutAnError) {
    for (const char *name : {"/nonexistent/tty", "/dev/null"}) {
        comm->SetDeviceName(QString::fromLatin1(name));
        EXPECT_EQ(raised([&] { comm->Open(); }), QString()) << name;
        EXPECT_FALSE(comm->Enabled()) << name;
    }
    // Held by another port: closed as well.
    comm->SetDeviceName(QString::fromStdString(pty.slavePath()));
    comm->Open();
    TComm second(nullptr);
    second.SetDeviceName(QString::fromStdString(pty.slavePath()));
    second.Open();
    EXPECT_FALSE(second.Enabled());
}

TEST_F(TCommPty, ClosedOnlySettingsIgnoreNewValuesWhileOpen) {
    comm->Open();
    comm->SetDeviceName(QStringLiteral("/dev/other"));
    comm->SetMonitorEvents({evRxChar});
    comm->SetReadBufSize(100);
    comm->SetWriteBufSize(200);
    comm->SetSuspendTime(9);
    EXPECT_EQ(comm->DeviceName(), QString::fromStdString(pty.slavePath()));
    EXPECT_EQ(CommEventMask(comm->MonitorEvents()), 0x1FFu);
    EXPECT_EQ(comm->ReadBufSize(), 4096);
    EXPECT_EQ(comm->WriteBufSize(), 2048);
    EXPECT_EQ(comm->SuspendTime(), 5u);
    comm->SetReadTimeout(5); // plain values, taken at any time
    EXPECT_EQ(comm->ReadTimeout(), 5);

    comm->Close();
    comm->SetMonitorEvents({evRxChar});
    comm->SetReadBufSize(100);
    EXPECT_EQ(CommEventMask(comm->MonitorEvents()), 0x1u);
    EXPECT_EQ(comm->ReadBufSize(), 100);
}

TEST_F(TCommPty, RefusedLineSettingsAreReportedWithTheSystemCode) {
    comm->SetDataBits(da4); // stored on a closed port, refused by the device at open
    EXPECT_EQ(raised([&] { comm->Open(); }), QStringLiteral("Error updating DataControlBlock (Error: 87)"));
    EXPECT_FALSE(comm->Enabled());
    const int threads = commtest::threadCount();

    comm->SetDataBits(da8);
    comm->Open();
    EXPECT_EQ(raised([&] { comm->SetDataBits(da4); }), QStringLiteral("Error updating DataControlBlock (Error: 87)"));
    EXPECT_TRUE(comm->Enabled());
    EXPECT_GT(commtest::threadCount(), threads);
}

TEST_F(TCommPty, ReadsAndWritesMoveBytesBothWaysAndAreMinusOneWhenClosed) {
    char buf[16] = {};
    EXPECT_EQ(comm->Read(buf, 4), -1);
    EXPECT_EQ(comm->Write("abc", 3), -1);
    EXPECT_EQ(comm->InQueCount(), -1);
    EXPECT_EQ(comm->OutQueCount(), -1);

    comm->SetMonitorEvents({}); // no event thread reading along
    comm->Open();
    EXPECT_EQ(comm->Write("hello", 5), 5);
    EXPECT_EQ(pty.readMaster(5, 2s), "hello");

    pty.writeMaster("xyz");
    ASSERT_TRUE(waitUntil([&] { return comm->InQueCount() == 3; }));
    EXPECT_EQ(comm->OutQueCount(), 0);
    EXPECT_EQ(comm->Read(buf, 2), 2);
    EXPECT_EQ(std::string(buf, 2), "xy");
    // More than is there: what has come, once the second of the read time-out is up.
    EXPECT_EQ(comm->Read(buf, 8), 1);
    EXPECT_EQ(buf[0], 'z');
    EXPECT_EQ(comm->Read(buf, 0), 0);
    EXPECT_EQ(comm->Read(buf, -5), 0);
    EXPECT_EQ(comm->Write(buf, -5), 0);
}

TEST_F(TCommPty, PurgesAndBreakEmptyTheQueues) {
    comm->SetMonitorEvents({});
    comm->PurgeIn(); // closed: nothing
    comm->Open();
    pty.writeMaster("1234");
    ASSERT_TRUE(waitUntil([&] { return comm->InQueCount() == 4; }));
    comm->PurgeIn();
    EXPECT_EQ(comm->InQueCount(), 0);

    pty.writeMaster("56");
    ASSERT_TRUE(waitUntil([&] { return comm->InQueCount() == 2; }));
    // A pty carries neither a break nor modem lines: the far end sees the break's purge
    // of both directions (packet mode reports flushes), and DTR and RTS are taken without
    // an error, leaving the line as it was.
    int packet = 1;
    ASSERT_EQ(::ioctl(pty.master(), TIOCPKT, &packet), 0);
    comm->SetBREAKState(true);
    EXPECT_EQ(comm->InQueCount(), 0);
    int flushed = 0;
    ASSERT_TRUE(waitUntil([&] {
        char status[64];
        pollfd p{pty.master(), POLLIN | POLLPRI, 0};
        if (::poll(&p, 1, 0) > 0 && ::read(pty.master(), status, sizeof status) == 1) flushed |= status[0];
        return (flushed & (TIOCPKT_FLUSHREAD | TIOCPKT_FLUSHWRITE)) == (TIOCPKT_FLUSHREAD | TIOCPKT_FLUSHWRITE);
    })) << "flush status "
        << flushed;
    packet = 0;
    ASSERT_EQ(::ioctl(pty.master(), TIOCPKT, &packet), 0);
    comm->SetBREAKState(false);
    comm->SetDTRState(false);
    comm->SetRTSState(true);
    EXPECT_TRUE(comm->Enabled());
    EXPECT_FALSE(comm->GetModemState(1));
    pty.writeMaster("7");
    EXPECT_TRUE(waitUntil([&] { return comm->InQueCount() == 1; }));
    EXPECT_EQ(comm->Write("8", 1), 1);
    EXPECT_EQ(pty.readMaster(1, 5s), "8");
}

TEST_F(TCommPty, EscapeFunctionsNeedAnOpenPortAndXoffHoldsTheOutput) {
    EXPECT_EQ(raised([&] { comm->SetDTRState(true); }), QStringLiteral("Port not open (Error: -1)"));
    EXPECT_EQ(raised([&] { comm->SetBREAKState(true); }), QStringLiteral("Port not open (Error: -1)"));
    EXPECT_FALSE(comm->GetComState(4));
    EXPECT_FALSE(comm->GetModemState(1));

    comm->Open();
    comm->SetXONState(false);
    EXPECT_TRUE(comm->GetComState(4));
    EXPECT_FALSE(comm->GetComState(1));
    comm->SetXONState(true);
    EXPECT_FALSE(comm->GetComState(4));
    // A pseudo-terminal has no modem lines.
    for (int n = 1; n <= 4; ++n) EXPECT_FALSE(comm->GetModemState(n));
}

// The far end stops reading and then goes away while a write is pending: the write
// sleeps meanwhile and ends with what went out.
TEST_F(TCommPty, FarEndClosingWhileAWriteIsPendingEndsTheWrite) {
    comm->SetBaudRate(br38400); // no write time-out
    comm->SetMonitorEvents({});
    comm->Open();
    const std::string data(4 << 20, 'w');
    std::atomic<int> written{-2};
    std::atomic<int> writerTid{0};
    std::thread writer([&] {
        writerTid = int(gettid());
        written = comm->Write(data.data(), int(data.size()));
    });
    ASSERT_TRUE(waitUntil([&] { return comm->OutQueCount() > 0; }));
    EXPECT_EQ(written, -2);
    // The writer sleeps while its write is pending, in a wait without a time-out of its
    // own: it cannot be polling.
    EXPECT_TRUE(waitUntil([&] { return testsupport::asleepWithoutTimeout(writerTid); }))
        << testsupport::syscallOf(writerTid);
    pty.closeSlave();
    pty.closeMaster();
    writer.join();
    EXPECT_GE(written, 0);
    EXPECT_LT(written, int(data.size()));
}
