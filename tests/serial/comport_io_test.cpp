#include "PortFixture.h"

#include "platform/forms/Strings.h"

#include <cstdlib>
#include <string>
#include <vector>

using namespace serial;
using namespace std::chrono_literals;
using serialtest::PortTest;
using testsupport::waitUntil;

namespace {

void expectError(const std::function<void()> &call, int code, const QString &text) {
    try {
        call();
        ADD_FAILURE() << "no error";
    } catch (const EComError &e) {
        EXPECT_EQ(e.ErrorCode(), code);
        EXPECT_EQ(e.Message(), text);
    }
}

} // namespace

TEST_F(PortTest, WriteReachesTheLineAndQueuedBytesReadAtOnce) {
    port->Open();
    port->Write("KA", 2, true);
    EXPECT_EQ(pty.readMaster(2, 2s), "KA");

    pty.writeMaster("0123456789");
    ASSERT_TRUE(waitUntil([&] { return port->InputCount() == 10; }));
    char buf[10] = {};
    port->Read(buf, 4, false); // the bytes are there: completes at once
    EXPECT_FALSE(port->ReadPending());
    EXPECT_EQ(std::string(buf, 4), "0123");
    EXPECT_EQ(port->InputCount(), 6);
}

TEST_F(PortTest, ReadPendingUntilAllBytesCameThenCompletedByTheNextRead) {
    // OnRxChar tells that bytes came; by then the device has handed them to the pending read.
    int told = 0;
    port->SetOnRxChar([&](TObject *) { ++told; });
    port->Open();
    char buf[6] = {};
    port->Read(buf, 6, false);
    EXPECT_TRUE(port->ReadPending());
    pty.writeMaster("abc");
    ASSERT_TRUE(waitUntil([&] { return told > 0; }));
    EXPECT_TRUE(port->ReadPending()); // default time-outs: all six or nothing
    pty.writeMaster("def");
    char next = 0;
    port->Read(&next, 0, false); // waits for the pending read, starts nothing
    EXPECT_FALSE(port->ReadPending());
    EXPECT_EQ(std::string(buf, 6), "abcdef");
}

TEST_F(PortTest, PurgeInputEndsAPendingReadWithoutError) {
    port->Open();
    char buf[8] = {};
    port->Read(buf, 8, false);
    pty.writeMaster("abc");
    ASSERT_TRUE(port->ReadPending());
    port->PurgeInput();
    EXPECT_FALSE(port->ReadPending());
    EXPECT_EQ(port->InputCount(), 0);
    pty.writeMaster("X");
    char c = 0;
    EXPECT_NO_THROW(port->Read(&c, 1, true));
    EXPECT_EQ(c, 'X');
}

TEST_F(PortTest, ShortReadAfterATimeoutIsReportedByTheNextRead) {
    port->Timeouts()->SetReadConstant(100);
    port->Open();
    pty.writeMaster("ab");
    ASSERT_TRUE(waitUntil([&] { return port->InputCount() == 2; }));
    char buf[5] = {};
    port->Read(buf, 5, false);
    ASSERT_TRUE(port->ReadPending());
    expectError([&] { port->Read(buf, 0, false); }, 0, QStringLiteral("Timeout"));
}

TEST_F(PortTest, ReadAndWriteEventsSeeTheCallersArguments) {
    std::vector<std::string> log;
    auto logger = [&](const char *what) {
        return TReadWriteEvent([&log, what](TObject *, void *buffer, int length, bool wait) {
            log.push_back(std::string(what) + " " + std::string(static_cast<char *>(buffer), size_t(length)) +
                          (wait ? " wait" : ""));
        });
    };
    port->SetBeforeWrite(logger("before write"));
    port->SetAfterWrite(logger("after write"));
    port->SetBeforeRead(logger("before read"));
    port->SetAfterRead(logger("after read"));
    port->Open();
    port->Write("A", 1, false);
    pty.writeMaster("Z");
    char c = '-';
    port->Read(&c, 1, true);
    EXPECT_EQ(log,
              (std::vector<std::string>{"before write A", "after write A", "before read - wait", "after read Z wait"}));
}

TEST_F(PortTest, OperationsOnAClosedPort) {
    const QString closed = QStringLiteral("Can't perform this operation on a closed port");
    char c = 0;
    expectError([&] { port->Read(&c, 1, false); }, 0, closed);
    expectError([&] { port->Write(&c, 1, false); }, 0, closed);
    expectError([&] { port->ModemStatus(); }, 0, closed);
    expectError([&] { port->InputCount(); }, 6, QStringLiteral("The handle is invalid."));
    EXPECT_NO_THROW(port->PurgeInput());
    EXPECT_NO_THROW(port->PurgeOutput());
}

TEST_F(PortTest, NegativeLengthIsRefusedBeforeTheDriverSeesIt) {
    port->Open();
    char c = 0;
    expectError([&] { port->Read(&c, -1, false); }, 87, QStringLiteral("The parameter is incorrect."));
    expectError([&] { port->Write(&c, -5, false); }, 87, QStringLiteral("The parameter is incorrect."));
    EXPECT_FALSE(port->ReadPending());
}

TEST(ComPortList, EnumComPortsAppendsTheMachinesPorts) {
    setenv("METER_PORTS", "/dev/pts/91:/dev/pts/92", 1);
    forms::TStringList list;
    list.Add(QStringLiteral("kept"));
    TComPort port(nullptr);
    port.EnumComPorts(&list);
    unsetenv("METER_PORTS");
    ASSERT_GE(list.Count(), 3);
    EXPECT_EQ(list[0], QStringLiteral("kept"));
    EXPECT_EQ(list[1], QStringLiteral("/dev/pts/91"));
    EXPECT_EQ(list[2], QStringLiteral("/dev/pts/92"));
}
