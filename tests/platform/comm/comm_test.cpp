#include "platform/comm/Comm.h"
#include "platform/comm/CommEvents.h"

#include "support/TestSupport.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <future>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

using namespace win;
using namespace std::chrono_literals;

namespace {

HANDLE openPort(const std::string &path) {
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool signalled(HANDLE event, DWORD ms = 2000) { return WaitForSingleObject(event, ms) == WAIT_OBJECT_0; }

class CommTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto before = testsupport::threadIds();
        h = openPort(pty.slavePath());
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
        const auto started = testsupport::threadsSince(before);
        ASSERT_EQ(started.size(), 1u);
        service = started[0];
        event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
        ov.hEvent = event;
    }
    void TearDown() override {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        CloseHandle(event);
    }

    termios lineSettings() {
        termios t{};
        tcgetattr(pty.master(), &t); // the slave's settings, seen from the other end
        return t;
    }

    void setTimeouts(DWORD interval, DWORD multiplier, DWORD constant) {
        COMMTIMEOUTS t{interval, multiplier, constant, 0, 0};
        ASSERT_TRUE(SetCommTimeouts(h, &t));
    }

    // Sends `bytes` from the meter and returns once the device has taken the first of
    // them up: their EV_RXCHAR ends a wait in the pass that hands them to a pending read.
    void deliver(const std::string &bytes) {
        ASSERT_TRUE(SetCommMask(h, EV_RXCHAR));
        HANDLE taken = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        OVERLAPPED wov{};
        wov.hEvent = taken;
        DWORD events = 0;
        ASSERT_FALSE(WaitCommEvent(h, &events, &wov));
        pty.writeMaster(bytes);
        EXPECT_TRUE(signalled(taken));
        EXPECT_EQ(events, DWORD(EV_RXCHAR));
        CloseHandle(taken);
    }

    // Bytes the line holds that the device has not read yet.
    int heldByTheLine() {
        int n = -1;
        ioctl(slaveDescriptor(), FIONREAD, &n);
        return n;
    }
    // One of this process's descriptors of the slave: the device's or the pair's own.
    int slaveDescriptor() {
        for (int fd = 0; fd < 1024; ++fd) {
            char link[256] = {};
            const ssize_t n = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), link, sizeof link - 1);
            if (n > 0 && pty.slavePath() == link) return fd;
        }
        return -1;
    }

    testsupport::PtyPair pty;
    HANDLE h = INVALID_HANDLE_VALUE;
    HANDLE event = nullptr;
    OVERLAPPED ov{};
    int service = 0; // the device's service thread
};

} // namespace

TEST(CommOpen, MissingDeviceAndNonTerminalFailWithTheirCodes) {
    SetLastError(0);
    EXPECT_EQ(openPort("/dev/ttyNoSuchPort7"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SysErrorMessage(GetLastError()), "The system cannot find the file specified.");

    SetLastError(0);
    EXPECT_EQ(openPort("/dev/null"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
}

TEST(CommOpen, DevicePrefixIsIgnoredAndHandleIsACharDevice) {
    testsupport::PtyPair pty;
    HANDLE h = openPort("\\\\.\\" + pty.slavePath());
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_EQ(GetFileType(h), FILE_TYPE_CHAR);
    EXPECT_TRUE(CloseHandle(h));
}

TEST(CommOpen, DeviceIsExclusiveUntilClosed) {
    testsupport::PtyPair pty;
    const int fdsBefore = testsupport::openDescriptorCount();
    HANDLE first = openPort(pty.slavePath());
    ASSERT_NE(first, INVALID_HANDLE_VALUE);

    SetLastError(0);
    EXPECT_EQ(openPort(pty.slavePath()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);

    // Another process is kept out as well (it would take the same lock).
    pid_t child = fork();
    if (child == 0) {
        int fd = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        _exit(fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK ? 0 : 1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    ASSERT_TRUE(CloseHandle(first));
    EXPECT_EQ(testsupport::openDescriptorCount(), fdsBefore);
    HANDLE again = openPort(pty.slavePath());
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
}

TEST(CommOpen, LineIsRawAndWithoutSoftwareFlowAfterOpen) {
    testsupport::PtyPair pty;
    // A terminal's own defaults: echo, line editing, CR translation, XON/XOFF.
    termios cooked{};
    tcgetattr(pty.master(), &cooked);
    cooked.c_lflag |= ECHO | ICANON | ISIG;
    cooked.c_iflag |= ICRNL | IXON;
    cooked.c_oflag |= OPOST;
    tcsetattr(pty.master(), TCSANOW, &cooked);

    HANDLE h = openPort(pty.slavePath());
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    termios t{};
    tcgetattr(pty.master(), &t);
    EXPECT_FALSE(t.c_lflag & (ECHO | ICANON | ISIG));
    EXPECT_FALSE(t.c_iflag & (ICRNL | IXON | IXOFF));
    EXPECT_FALSE(t.c_oflag & OPOST);

    // Binary bytes pass untouched both ways, XON, XOFF and CR included.
    const std::string bytes("\x11\x13\r\n\x00\xff", 6);
    pty.writeMaster(bytes);
    char buf[6] = {};
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    OVERLAPPED ov{};
    ov.hEvent = event;
    DWORD n = 0;
    ReadFile(h, buf, 6, &n, &ov);
    EXPECT_TRUE(signalled(event, 2000));
    EXPECT_TRUE(GetOverlappedResult(h, &ov, &n, FALSE));
    EXPECT_EQ(std::string(buf, n), bytes);
    OVERLAPPED wov{};
    WriteFile(h, bytes.data(), 6, &n, &wov);
    EXPECT_EQ(pty.readMaster(6, 2s), bytes);
    CloseHandle(h); // ends anything still pending
    CloseHandle(event);
}

TEST_F(CommTest, StateRightAfterOpenIsTheDrivers) {
    for (int fill : {0x00, 0xFF}) {
        DCB dcb;
        std::memset(&dcb, fill, sizeof dcb);
        ASSERT_TRUE(GetCommState(h, &dcb));
        EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
        EXPECT_EQ(dcb.BaudRate, 38400u); // the pty's own default
        EXPECT_EQ(dcb.ByteSize, 8);
        EXPECT_EQ(dcb.Parity, NOPARITY);
        EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
        EXPECT_EQ(dcb.XonChar, 17);
        EXPECT_EQ(dcb.XoffChar, 19);
        EXPECT_EQ(dcb.Flags & ~(DCB::fDtrControl | DCB::fRtsControl | DCB::fOutX | DCB::fInX), DCB::fBinary);
        EXPECT_EQ(dcb.EvtChar, 0);
        EXPECT_EQ(dcb.XonLim, 0);
        EXPECT_EQ(dcb.wReserved1, 0);
    }
}

TEST_F(CommTest, SettingsReachTheLine) {
    struct Case {
        DWORD baud;
        BYTE bits, parity, stop;
        speed_t speed;
        tcflag_t parityBits;
        bool twoStop;
    } cases[] = {
        {9600, 8, NOPARITY, ONESTOPBIT, B9600, 0, false},
        {19200, 7, EVENPARITY, TWOSTOPBITS, B19200, PARENB, true},
        {1200, 7, ODDPARITY, ONESTOPBIT, B1200, PARENB | PARODD, false},
        {4800, 5, MARKPARITY, ONE5STOPBITS, B4800, PARENB | PARODD | CMSPAR, true},
        {115200, 6, SPACEPARITY, ONESTOPBIT, B115200, PARENB | CMSPAR, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.baud);
        DCB dcb{};
        ASSERT_TRUE(GetCommState(h, &dcb));
        dcb.BaudRate = c.baud;
        dcb.ByteSize = c.bits;
        dcb.Parity = c.parity;
        dcb.StopBits = c.stop;
        ASSERT_TRUE(SetCommState(h, &dcb)) << GetLastError();
        termios t = lineSettings();
        EXPECT_EQ(cfgetospeed(&t), c.speed);
        // A pty forces CS8 and clears PARENB itself; the rest of the framing stays.
        EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR), c.parityBits & ~PARENB);
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.twoStop);

        DCB back{};
        ASSERT_TRUE(GetCommState(h, &back));
        EXPECT_EQ(back.BaudRate, c.baud);
        EXPECT_EQ(back.ByteSize, c.bits);
        EXPECT_EQ(back.Parity, c.parity);
        EXPECT_EQ(back.StopBits, c.stop);
    }
}

TEST_F(CommTest, FlowControlAndStoredFieldsReadBack) {
    DCB dcb{};
    ASSERT_TRUE(GetCommState(h, &dcb));
    dcb.Flags = DCB::fBinary | DCB::fOutxCtsFlow | DCB::fOutX | DCB::fInX | DCB::fNull | DCB::fAbortOnError |
                DCB::fTXContinueOnXoff | (DTR_CONTROL_HANDSHAKE << DCB::fDtrControlShift) |
                (RTS_CONTROL_HANDSHAKE << DCB::fRtsControlShift);
    dcb.XonChar = 0x11 + 0x20;
    dcb.XoffChar = 0x13 + 0x20;
    dcb.XonLim = 100;
    dcb.XoffLim = 200;
    dcb.EvtChar = '\n';
    dcb.ErrorChar = '?';
    dcb.EofChar = 0x1A;
    ASSERT_TRUE(SetCommState(h, &dcb));

    termios t = lineSettings();
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
    EXPECT_TRUE(t.c_iflag & IXON);
    EXPECT_TRUE(t.c_iflag & IXOFF);
    EXPECT_EQ(t.c_cc[VSTART], 0x31);
    EXPECT_EQ(t.c_cc[VSTOP], 0x33);

    DCB back;
    std::memset(&back, 0xFF, sizeof back);
    ASSERT_TRUE(GetCommState(h, &back));
    EXPECT_EQ(back.Flags, dcb.Flags);
    EXPECT_EQ(back.XonLim, 100);
    EXPECT_EQ(back.XoffLim, 200);
    EXPECT_EQ(back.EvtChar, '\n');
    EXPECT_EQ(back.ErrorChar, '?');
    EXPECT_EQ(back.EofChar, 0x1A);

    // Flow control off again clears it on the line.
    dcb.Flags = DCB::fBinary | (RTS_CONTROL_ENABLE << DCB::fRtsControlShift);
    ASSERT_TRUE(SetCommState(h, &dcb));
    t = lineSettings();
    EXPECT_FALSE(t.c_cflag & CRTSCTS);
    EXPECT_FALSE(t.c_iflag & (IXON | IXOFF));
}

TEST_F(CommTest, InvalidSettingsAreRefusedAndLeaveTheLineAlone) {
    DCB good{};
    ASSERT_TRUE(GetCommState(h, &good));
    good.BaudRate = 9600;
    ASSERT_TRUE(SetCommState(h, &good));

    struct Case {
        const char *what;
        void (*change)(DCB &);
    } cases[] = {
        {"4 data bits", [](DCB &d) { d.ByteSize = 4; }},
        {"9 data bits", [](DCB &d) { d.ByteSize = 9; }},
        {"parity 5", [](DCB &d) { d.Parity = 5; }},
        {"stop bits 3", [](DCB &d) { d.StopBits = 3; }},
        {"rate 0", [](DCB &d) { d.BaudRate = 0; }},
        {"XON equals XOFF",
         [](DCB &d) {
             d.Flags |= DCB::fOutX;
             d.XonChar = d.XoffChar = 'A';
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        DCB bad = good;
        c.change(bad);
        SetLastError(0);
        EXPECT_FALSE(SetCommState(h, &bad));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
        termios t = lineSettings();
        EXPECT_EQ(cfgetospeed(&t), B9600);
        DCB back{};
        ASSERT_TRUE(GetCommState(h, &back));
        EXPECT_EQ(back.ByteSize, 8);
    }
}

TEST_F(CommTest, TimeoutsReadBack) {
    for (int fill : {0x00, 0xFF}) {
        COMMTIMEOUTS t;
        std::memset(&t, fill, sizeof t);
        ASSERT_TRUE(GetCommTimeouts(h, &t));
        EXPECT_EQ(t.ReadIntervalTimeout, 0u);
        EXPECT_EQ(t.WriteTotalTimeoutConstant, 0u);
    }
    COMMTIMEOUTS set{1, 2, 3, 4, 5};
    ASSERT_TRUE(SetCommTimeouts(h, &set));
    COMMTIMEOUTS back{};
    ASSERT_TRUE(GetCommTimeouts(h, &back));
    EXPECT_EQ(std::memcmp(&set, &back, sizeof set), 0);
}

TEST_F(CommTest, ReadWithZeroTimeoutsWaitsForAllBytes) {
    char buf[6] = {};
    DWORD n = 99;
    EXPECT_FALSE(ReadFile(h, buf, 5, &n, &ov));
    EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_EQ(ov.Internal, STATUS_PENDING);

    deliver("abc");
    EXPECT_FALSE(signalled(event, 0));
    EXPECT_FALSE(GetOverlappedResult(h, &ov, &n, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_IO_INCOMPLETE);

    // One read at a time per handle.
    char other[2];
    EXPECT_FALSE(ReadFile(h, other, 2, nullptr, &ov));
    EXPECT_EQ(GetLastError(), ERROR_BUSY);

    pty.writeMaster("de");
    ASSERT_TRUE(GetOverlappedResult(h, &ov, &n, TRUE));
    EXPECT_EQ(n, 5u);
    EXPECT_STREQ(buf, "abcde");
    EXPECT_TRUE(signalled(event, 0));
}

TEST_F(CommTest, QueuedBytesCompleteAReadAtOnce) {
    pty.writeMaster("hello");
    ASSERT_TRUE(testsupport::waitUntil([&] {
        COMSTAT st{};
        return ClearCommError(h, nullptr, &st) && st.cbInQue == 5;
    }));
    char buf[8] = {};
    DWORD n = 0;
    ResetEvent(event);
    EXPECT_TRUE(ReadFile(h, buf, 5, &n, &ov));
    EXPECT_EQ(n, 5u);
    EXPECT_EQ(std::string(buf), "hello");
    EXPECT_TRUE(signalled(event, 0)); // the event is set for a completion at once too
    EXPECT_EQ(ov.InternalHigh, 5u);
}

TEST_F(CommTest, PurgeAndCloseEndAPendingReadWithoutError) {
    char buf[10];
    DWORD n = 0;
    ASSERT_FALSE(ReadFile(h, buf, 10, &n, &ov));
    deliver("x");
    deliver("y");
    ASSERT_TRUE(PurgeComm(h, PURGE_RXABORT | PURGE_RXCLEAR));
    ASSERT_TRUE(signalled(event));
    EXPECT_TRUE(GetOverlappedResult(h, &ov, &n, TRUE)) << GetLastError();
    EXPECT_EQ(n, 2u); // what had come before the purge

    // A read pending at close completes too; its record answers after the handle is gone.
    OVERLAPPED second{};
    second.hEvent = event;
    ASSERT_FALSE(ReadFile(h, buf, 10, &n, &second));
    ASSERT_TRUE(CloseHandle(h));
    HANDLE closed = h;
    h = INVALID_HANDLE_VALUE;
    ASSERT_TRUE(signalled(event));
    EXPECT_TRUE(GetOverlappedResult(closed, &second, &n, TRUE));
}

TEST_F(CommTest, ImmediateReadReturnsWhatIsThere) {
    setTimeouts(MAXDWORD, 0, 0);
    char buf[10];
    DWORD n = 99;
    EXPECT_TRUE(ReadFile(h, buf, 10, &n, &ov));
    EXPECT_EQ(n, 0u);

    pty.writeMaster("12");
    ASSERT_TRUE(testsupport::waitUntil([&] {
        COMSTAT st{};
        return ClearCommError(h, nullptr, &st) && st.cbInQue == 2;
    }));
    EXPECT_TRUE(ReadFile(h, buf, 10, &n, &ov));
    EXPECT_EQ(n, 2u);
    EXPECT_EQ(std::string(buf, 2), "12");
}

TEST_F(CommTest, TotalAndIntervalTimeoutsEndAReadWithWhatCame) {
    struct Case {
        DWORD interval, multiplier, constant;
    } cases[] = {{0, 0, 150}, {0, 10, 50}, {60, 0, 0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.interval << "/" << c.multiplier << "/" << c.constant);
        setTimeouts(c.interval, c.multiplier, c.constant);
        pty.writeMaster("abc");
        ASSERT_TRUE(testsupport::waitUntil([&] {
            COMSTAT st{};
            return ClearCommError(h, nullptr, &st) && st.cbInQue == 3;
        }));
        char buf[10];
        DWORD n = 0;
        ASSERT_FALSE(ReadFile(h, buf, 10, &n, &ov));
        EXPECT_FALSE(GetOverlappedResult(h, &ov, &n, FALSE));
        // A time-out is a success with fewer bytes, which callers check themselves.
        ASSERT_TRUE(signalled(event, 3000));
        EXPECT_TRUE(GetOverlappedResult(h, &ov, &n, FALSE));
        EXPECT_EQ(n, 3u);
        EXPECT_EQ(std::string(buf, 3), "abc");
    }
}

TEST_F(CommTest, FirstByteReadWaitsOnlyForOne) {
    setTimeouts(MAXDWORD, MAXDWORD, 2000);
    char buf[10];
    DWORD n = 0;
    ASSERT_FALSE(ReadFile(h, buf, 10, &n, &ov));
    pty.writeMaster("Z");
    ASSERT_TRUE(signalled(event, 1500));
    EXPECT_TRUE(GetOverlappedResult(h, &ov, &n, FALSE));
    EXPECT_EQ(n, 1u);
}

TEST_F(CommTest, CallsWithoutARecordWaitForCompletion) {
    const int caller = int(gettid());
    std::thread meter([&] {
        // The bytes come only once the read is blocked on the line.
        EXPECT_TRUE(testsupport::pollUntil([&] { return testsupport::asleepInPoll(caller); }));
        pty.writeMaster("xyz");
    });
    char buf[3];
    DWORD n = 0;
    EXPECT_TRUE(ReadFile(h, buf, 3, &n, nullptr));
    meter.join();
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(std::string(buf, 3), "xyz");

    EXPECT_TRUE(WriteFile(h, "ok", 2, &n, nullptr));
    EXPECT_EQ(n, 2u);
    EXPECT_EQ(pty.readMaster(2, 2s), "ok");
}

TEST_F(CommTest, WritesReachTheOtherEnd) {
    const std::string text = "PING\r";
    DWORD n = 0;
    ResetEvent(event);
    EXPECT_TRUE(WriteFile(h, text.data(), DWORD(text.size()), &n, &ov));
    EXPECT_EQ(n, text.size());
    EXPECT_TRUE(signalled(event, 0));
    EXPECT_EQ(pty.readMaster(text.size(), 2s), text);

    // More than the line holds stays pending until the other end reads it all.
    std::string big(256 * 1024, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = char(i * 7);
    EXPECT_FALSE(WriteFile(h, big.data(), DWORD(big.size()), &n, &ov));
    EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_EQ(pty.readMaster(big.size(), 10s), big);
    ASSERT_TRUE(GetOverlappedResult(h, &ov, &n, TRUE));
    EXPECT_EQ(n, big.size());
}

TEST_F(CommTest, PurgeEndsAPendingWriteWithoutError) {
    std::string big(256 * 1024, 'w');
    DWORD n = 0;
    ASSERT_FALSE(WriteFile(h, big.data(), DWORD(big.size()), &n, &ov));
    ASSERT_TRUE(PurgeComm(h, PURGE_TXABORT | PURGE_TXCLEAR));
    ASSERT_TRUE(GetOverlappedResult(h, &ov, &n, TRUE)) << GetLastError();
    EXPECT_LT(n, big.size());
    // The next write is not held up by the aborted one.
    EXPECT_TRUE(WriteFile(h, "k", 1, &n, &ov));
}

TEST_F(CommTest, FullQueueHoldsTheRestBackAndLosesNothing) {
    std::string data(10000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = char('a' + i % 26);
    pty.writeMaster(data);
    COMSTAT st{};
    ASSERT_TRUE(testsupport::waitUntil([&] { return ClearCommError(h, nullptr, &st) && st.cbInQue == 4096; }));
    // The rest waits in the line and the service thread is idle: a call, which reads the
    // line first, must still find the queue full and no more.
    ASSERT_TRUE(testsupport::waitUntil([&] { return heldByTheLine() > 0 && testsupport::asleepInPoll(service); }));
    ASSERT_TRUE(ClearCommError(h, nullptr, &st));
    EXPECT_EQ(st.cbInQue, 4096u);

    std::string got(data.size(), '\0');
    DWORD n = 0;
    if (!ReadFile(h, got.data(), DWORD(got.size()), &n, &ov)) {
        ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    }
    ASSERT_TRUE(GetOverlappedResult(h, &ov, &n, TRUE));
    EXPECT_EQ(n, data.size());
    EXPECT_EQ(got, data);
}

// A program that reads part of the queue on each EV_RXCHAR must hear of the bytes
// a full queue leaves in the driver: with the mask set on a full queue (as after a
// meter search), and when bytes come while the queue is full. Both ways of waiting:
// on the event, and in GetOverlappedResult, which reads the line itself.
TEST_F(CommTest, BytesHeldBackByAFullQueueAreReceivedCharacters) {
    for (const bool inResult : {false, true}) {
        SCOPED_TRACE(inResult ? "GetOverlappedResult" : "event");
        // The events of a wait, or 0 when it did not end; `meanwhile` runs while it is pending.
        auto waitFor = [&](const std::function<void()> &meanwhile) -> DWORD {
            DWORD events = 0;
            ResetEvent(event);
            if (WaitCommEvent(h, &events, &ov)) return events;
            if (GetLastError() != ERROR_IO_PENDING) return 0;
            meanwhile();
            if (!inResult && signalled(event, 5000)) return events;
            auto done = std::async(std::launch::async, [&] {
                DWORD n;
                return GetOverlappedResult(h, &ov, &n, TRUE);
            });
            if (inResult && done.wait_for(5s) == std::future_status::ready) return done.get() ? events : 0;
            SetCommMask(h, EV_RXCHAR); // ends the wait with no events, so that the test goes on
            done.wait();
            return 0;
        };
        auto queued = [&](DWORD n) {
            return testsupport::waitUntil([&] {
                COMSTAT st{};
                return ClearCommError(h, nullptr, &st) && st.cbInQue == n;
            });
        };
        ASSERT_TRUE(SetCommMask(h, 0));
        ASSERT_TRUE(PurgeComm(h, PURGE_RXCLEAR));
        pty.writeMaster(std::string(4096 + 100, 'x'));
        ASSERT_TRUE(queued(4096));
        ASSERT_TRUE(SetCommMask(h, EV_RXCHAR));
        EXPECT_EQ(waitFor([] {}), DWORD(EV_RXCHAR)) << "mask set on a full queue";

        std::string got(100, '\0');
        DWORD n = 0;
        ASSERT_TRUE(ReadFile(h, got.data(), DWORD(got.size()), &n, nullptr));
        ASSERT_TRUE(queued(4096)); // the rest came in; nothing is left in the driver
        EXPECT_EQ(waitFor([] {}), DWORD(EV_RXCHAR));
        EXPECT_EQ(waitFor([&] { pty.writeMaster("yz"); }), DWORD(EV_RXCHAR)) << "bytes while the queue is full";
    }
}

TEST_F(CommTest, ClearCommErrorCountsAndPurgeClears) {
    for (int fill : {0x00, 0xFF}) {
        DWORD errors;
        COMSTAT st;
        std::memset(&errors, fill, sizeof errors);
        std::memset(&st, fill, sizeof st);
        ASSERT_TRUE(ClearCommError(h, &errors, &st));
        EXPECT_EQ(errors, 0u);
        EXPECT_EQ(st.Flags, 0u);
        EXPECT_EQ(st.cbInQue, 0u);
        EXPECT_EQ(st.cbOutQue, 0u);
    }
    pty.writeMaster("1234");
    COMSTAT st{};
    ASSERT_TRUE(testsupport::waitUntil([&] { return ClearCommError(h, nullptr, &st) && st.cbInQue == 4; }));
    ASSERT_TRUE(PurgeComm(h, PURGE_RXCLEAR));
    ASSERT_TRUE(ClearCommError(h, nullptr, &st));
    EXPECT_EQ(st.cbInQue, 0u);

    EXPECT_FALSE(PurgeComm(h, 0x10));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(CommTest, RxCharIsForNewBytesOnly) {
    ASSERT_TRUE(SetCommMask(h, EV_RXCHAR | EV_RXFLAG));
    DWORD mask = 0;
    GetCommMask(h, &mask);
    EXPECT_EQ(mask, DWORD(EV_RXCHAR | EV_RXFLAG));

    DWORD events = 0xDEAD;
    ASSERT_FALSE(WaitCommEvent(h, &events, &ov));
    EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
    pty.writeMaster("ab");
    ASSERT_TRUE(signalled(event));
    DWORD n;
    ASSERT_TRUE(GetOverlappedResult(h, &ov, &n, FALSE));
    EXPECT_EQ(events, DWORD(EV_RXCHAR));

    // The two bytes are still queued, but they are not news.
    ASSERT_FALSE(WaitCommEvent(h, &events, &ov));
    // The call woke the service thread; asleep again, it has looked at the wait.
    ASSERT_TRUE(testsupport::waitUntil([&] { return testsupport::asleepInPoll(service); }));
    EXPECT_FALSE(signalled(event, 0));

    // Bytes while a wait is pending complete it; the event character adds EV_RXFLAG.
    pty.writeMaster(std::string(1, '\0'));
    ASSERT_TRUE(signalled(event));
    EXPECT_EQ(events, DWORD(EV_RXCHAR | EV_RXFLAG));

    // Bytes that came between two waits are reported by the next one at once.
    pty.writeMaster("c");
    ASSERT_TRUE(testsupport::waitUntil([&] {
        COMSTAT st{};
        return ClearCommError(h, nullptr, &st) && st.cbInQue == 4;
    }));
    ResetEvent(event);
    EXPECT_TRUE(WaitCommEvent(h, &events, &ov));
    EXPECT_EQ(events, DWORD(EV_RXCHAR));
    EXPECT_TRUE(signalled(event, 0));
}

TEST_F(CommTest, TxEmptyAfterAWrite) {
    ASSERT_TRUE(SetCommMask(h, EV_TXEMPTY));
    DWORD events = 0;
    ASSERT_FALSE(WaitCommEvent(h, &events, &ov));
    OVERLAPPED wov{};
    HANDLE wev = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    wov.hEvent = wev;
    DWORD n;
    WriteFile(h, "x", 1, &n, &wov);
    ASSERT_TRUE(signalled(event));
    EXPECT_EQ(events, DWORD(EV_TXEMPTY));
    CloseHandle(wev);
}

TEST_F(CommTest, SetCommMaskEndsAPendingWaitWithNoEvents) {
    ASSERT_TRUE(SetCommMask(h, EV_RXCHAR));
    DWORD events = 0xDEAD;
    ASSERT_FALSE(WaitCommEvent(h, &events, &ov));
    ASSERT_TRUE(SetCommMask(h, 0));
    ASSERT_TRUE(signalled(event));
    DWORD n;
    EXPECT_TRUE(GetOverlappedResult(h, &ov, &n, FALSE));
    EXPECT_EQ(events, 0u);

    // A wait needs a mask.
    EXPECT_FALSE(WaitCommEvent(h, &events, &ov));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

// The shape of a port's event thread: wait, then read what is queued, until the mask
// is cleared from the other thread. No burst may be missed or read twice.
TEST_F(CommTest, EventThreadCyclesSeeEveryBurst) {
    ASSERT_TRUE(SetCommMask(h, EV_RXCHAR));
    HANDLE waitEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr); // auto-reset, as the port's
    std::atomic<bool> terminated{false};
    std::atomic<int> eventTid{0};
    std::string received;
    std::mutex receivedLock;
    std::thread eventThread([&] {
        eventTid = int(gettid());
        OVERLAPPED wov{};
        wov.hEvent = waitEvent;
        while (!terminated) {
            DWORD mask = 0;
            if (!WaitCommEvent(h, &mask, &wov)) {
                if (GetLastError() != ERROR_IO_PENDING) break;
                if (WaitForSingleObject(waitEvent, INFINITE) != WAIT_OBJECT_0 || terminated) break;
            }
            if (!(mask & EV_RXCHAR)) continue;
            COMSTAT st{};
            ClearCommError(h, nullptr, &st);
            std::string chunk(st.cbInQue, '\0');
            OVERLAPPED rov{};
            DWORD n = 0;
            if (st.cbInQue && ReadFile(h, chunk.data(), st.cbInQue, &n, &rov)) {
                std::lock_guard g(receivedLock);
                received.append(chunk, 0, n);
            }
        }
    });
    std::string sent;
    for (int i = 0; i < 100; ++i) {
        const std::string burst = std::to_string(1000 + i);
        pty.writeMaster(burst);
        sent += burst;
        // Now and then the thread catches up and the next burst finds its wait pending;
        // the others come between two waits.
        if (i % 10 == 0) {
            EXPECT_TRUE(testsupport::waitUntil([&] {
                std::lock_guard g(receivedLock);
                return received.size() == sent.size() && eventTid && testsupport::asleepInPoll(eventTid);
            }));
        }
    }
    EXPECT_TRUE(testsupport::waitUntil([&] {
        std::lock_guard g(receivedLock);
        return received.size() >= sent.size();
    }));
    terminated = true;
    ASSERT_TRUE(SetCommMask(h, 0));
    eventThread.join();
    EXPECT_EQ(received, sent);
    CloseHandle(waitEvent);
}

TEST_F(CommTest, VanishedDeviceEndsTheWaitOnceAndCostsNoCpu) {
    ASSERT_TRUE(SetCommMask(h, EV_RXCHAR));
    DWORD events = 0xDEAD;
    ASSERT_FALSE(WaitCommEvent(h, &events, &ov));
    OVERLAPPED rov{};
    HANDLE rev = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    rov.hEvent = rev;
    char buf[4];
    ASSERT_FALSE(ReadFile(h, buf, 4, nullptr, &rov));
    pty.writeMaster("ab");
    ASSERT_TRUE(signalled(event));
    ASSERT_EQ(events, DWORD(EV_RXCHAR));
    ASSERT_FALSE(WaitCommEvent(h, &events, &ov));

    pty.closeMaster();
    ASSERT_TRUE(signalled(event));
    DWORD n;
    EXPECT_FALSE(GetOverlappedResult(h, &ov, &n, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(events, 0u);
    ASSERT_TRUE(signalled(rev));
    EXPECT_FALSE(GetOverlappedResult(h, &rov, &n, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(n, 2u); // what came before the end is kept
    EXPECT_EQ(std::string(buf, 2), "ab");

    // The next calls fail at once instead of pending again.
    SetLastError(0);
    EXPECT_FALSE(WaitCommEvent(h, &events, &ov));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(ReadFile(h, buf, 4, nullptr, &rov));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(WriteFile(h, buf, 4, nullptr, &rov));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    // The hung-up line must not keep the service thread busy: it sleeps until called.
    EXPECT_TRUE(testsupport::waitUntil([&] { return testsupport::asleepWithoutTimeout(service); }));

    EXPECT_TRUE(CloseHandle(h));
    h = INVALID_HANDLE_VALUE;
    CloseHandle(rev);
}

TEST_F(CommTest, ModemLinesAndEscapesOnALineWithoutThem) {
    for (int fill : {0x00, 0xFF}) {
        DWORD status;
        std::memset(&status, fill, sizeof status);
        ASSERT_TRUE(GetCommModemStatus(h, &status));
        EXPECT_EQ(status, 0u); // a pty has no modem lines
    }
    for (DWORD f : {SETDTR, CLRDTR, SETRTS, CLRRTS, SETBREAK, CLRBREAK, RESETDEV})
        EXPECT_TRUE(EscapeCommFunction(h, f)) << f;
    EXPECT_FALSE(EscapeCommFunction(h, 42));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(CommTest, XoffHoldsOutputUntilXon) {
    ASSERT_TRUE(EscapeCommFunction(h, SETXOFF));
    DWORD n = 0;
    if (!WriteFile(h, "held", 4, &n, &ov)) {
        ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    }
    // The service thread has tried the line and sleeps until it may write: none of the
    // four bytes has gone.
    ASSERT_TRUE(testsupport::waitUntil([&] { return testsupport::asleepInPoll(service); }));
    COMSTAT st{};
    ASSERT_TRUE(ClearCommError(h, nullptr, &st));
    EXPECT_TRUE(st.Flags & COMSTAT::fXoffHold);
    EXPECT_EQ(st.cbOutQue, 4u);
    ASSERT_TRUE(EscapeCommFunction(h, SETXON));
    EXPECT_EQ(pty.readMaster(4, 2s), "held");
}

TEST_F(CommTest, EveryCallOnAClosedHandleFailsWithInvalidHandle) {
    ASSERT_TRUE(CloseHandle(h));
    HANDLE closed = h;
    h = INVALID_HANDLE_VALUE;
    DCB dcb{};
    COMMTIMEOUTS t{};
    COMSTAT st{};
    DWORD d = 0;
    char buf[1];
    struct Case {
        const char *name;
        std::function<BOOL(HANDLE)> call;
    } cases[] = {
        {"SetupComm", [&](HANDLE x) { return SetupComm(x, 1024, 1024); }},
        {"GetCommState", [&](HANDLE x) { return GetCommState(x, &dcb); }},
        {"SetCommState", [&](HANDLE x) { return SetCommState(x, &dcb); }},
        {"GetCommTimeouts", [&](HANDLE x) { return GetCommTimeouts(x, &t); }},
        {"SetCommTimeouts", [&](HANDLE x) { return SetCommTimeouts(x, &t); }},
        {"ReadFile", [&](HANDLE x) { return ReadFile(x, buf, 1, &d, &ov); }},
        {"WriteFile", [&](HANDLE x) { return WriteFile(x, buf, 1, &d, &ov); }},
        {"SetCommMask", [&](HANDLE x) { return SetCommMask(x, EV_RXCHAR); }},
        {"WaitCommEvent", [&](HANDLE x) { return WaitCommEvent(x, &d, &ov); }},
        {"ClearCommError", [&](HANDLE x) { return ClearCommError(x, &d, &st); }},
        {"PurgeComm", [&](HANDLE x) { return PurgeComm(x, PURGE_RXCLEAR); }},
        {"EscapeCommFunction", [&](HANDLE x) { return EscapeCommFunction(x, SETDTR); }},
        {"GetCommModemStatus", [&](HANDLE x) { return GetCommModemStatus(x, &d); }},
        {"CloseHandle", [&](HANDLE x) { return CloseHandle(x); }},
    };
    for (const auto &c : cases)
        for (HANDLE x : {closed, INVALID_HANDLE_VALUE, event}) {
            if (x == event && std::string(c.name) == "CloseHandle") continue; // valid for that one
            SetLastError(0);
            EXPECT_FALSE(c.call(x)) << c.name;
            EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE) << c.name;
        }
}

TEST(CommEvents, DiffOfTwoSnapshots) {
    LineState base;
    base.received = 10;
    base.inQueue = 10;
    base.inQueueSize = 100;
    base.modemKnown = true;
    base.modem = MS_CTS_ON | MS_RING_ON;
    LineState counted = base;
    counted.countersKnown = true;

    struct Case {
        const char *what;
        LineState before;
        void (*change)(LineState &);
        DWORD events;
        DWORD errors;
    } cases[] = {
        {"nothing", base, [](LineState &) {}, 0, 0},
        {"bytes still queued", base, [](LineState &s) { s.inQueue = 10; }, 0, 0},
        {"new bytes", base,
         [](LineState &s) {
             s.received += 3;
             s.inQueue += 3;
         },
         EV_RXCHAR, 0},
        {"event character", base,
         [](LineState &s) {
             s.received++;
             s.flagChars++;
         },
         EV_RXCHAR | EV_RXFLAG, 0},
        {"output drained", base, [](LineState &s) { s.outputDrains++; }, EV_TXEMPTY, 0},
        {"queue reaches 80 %", base,
         [](LineState &s) {
             s.received += 70;
             s.inQueue = 80;
         },
         EV_RXCHAR | EV_RX80FULL, 0},
        {"queue stays above 80 %",
         [] {
             LineState s;
             s.inQueue = 90;
             s.inQueueSize = 100;
             return s;
         }(),
         [](LineState &s) {
             s.received++;
             s.inQueue = 91;
         },
         EV_RXCHAR, 0},
        {"CTS dropped", base, [](LineState &s) { s.modem &= ~MS_CTS_ON; }, EV_CTS, 0},
        {"DSR and RLSD up", base, [](LineState &s) { s.modem |= MS_DSR_ON | MS_RLSD_ON; }, EV_DSR | EV_RLSD, 0},
        {"ring ends", base, [](LineState &s) { s.modem &= ~MS_RING_ON; }, EV_RING, 0},
        {"ring starts",
         [] {
             LineState s;
             s.modemKnown = true;
             return s;
         }(),
         [](LineState &s) { s.modem = MS_RING_ON; }, 0, 0},
        {"modem lines unknown after", base,
         [](LineState &s) {
             s.modemKnown = false;
             s.modem = 0;
         },
         0, 0},
        {"CTS toggled twice between snapshots", counted, [](LineState &s) { s.cts += 2; }, EV_CTS, 0},
        {"break", counted, [](LineState &s) { s.brk++; }, EV_BREAK, CE_BREAK},
        {"frame error", counted, [](LineState &s) { s.frame++; }, EV_ERR, CE_FRAME},
        {"parity and overrun", counted,
         [](LineState &s) {
             s.parity++;
             s.overrun++;
         },
         EV_ERR, CE_RXPARITY | CE_OVERRUN},
        {"buffer overrun", counted, [](LineState &s) { s.bufferOverrun++; }, EV_ERR, CE_RXOVER},
        {"counters missing before", base,
         [](LineState &s) {
             s.countersKnown = true;
             s.frame = 5;
         },
         0, 0},
    };
    for (const auto &c : cases) {
        LineState after = c.before;
        c.change(after);
        EXPECT_EQ(CommEventsBetween(c.before, after), c.events) << c.what;
        EXPECT_EQ(CommErrorsBetween(c.before, after), c.errors) << c.what;
    }
}

TEST(CommPorts, EnvironmentPortsComeFirstInTheirOrder) {
    setenv("METER_PORTS", "/tmp/simB:/tmp/simA::/tmp/simB", 1);
    const auto ports = EnumSerialPorts();
    unsetenv("METER_PORTS");
    ASSERT_GE(ports.size(), 2u);
    EXPECT_EQ(ports[0], "/tmp/simB");
    EXPECT_EQ(ports[1], "/tmp/simA");
    for (size_t i = 2; i < ports.size(); ++i) {
        EXPECT_EQ(ports[i].rfind("/dev/", 0), 0u) << ports[i];
        EXPECT_NE(ports[i], "/tmp/simB");
    }
    // The same list twice: the order is stable.
    EXPECT_EQ(EnumSerialPorts(), EnumSerialPorts());
}
