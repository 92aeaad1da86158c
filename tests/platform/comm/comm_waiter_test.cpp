// A thread blocked in GetOverlappedResult reads the line itself while it waits. What
// must hold around that: bytes that come once it has stopped still reach the queue and
// the next wait, another operation waited for on its event alone is still fed, a full
// queue that gets room again is read on, and closing or losing the device ends the wait.

#include "platform/comm/Comm.h"

#include "support/TestSupport.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace win;
using namespace std::chrono_literals;
using testsupport::waitUntil;

namespace {

struct Waiter : ::testing::Test {
    testsupport::PtyPair pty;
    HANDLE h = INVALID_HANDLE_VALUE;
    HANDLE waitEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE readEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);

    void SetUp() override {
        h = CreateFileA(pty.slavePath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                        FILE_FLAG_OVERLAPPED, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
    }
    void TearDown() override {
        // Ends the waits of a failed case before their threads are joined.
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        for (auto &w : waits)
            if (w.valid()) w.wait();
        CloseHandle(waitEvent);
        CloseHandle(readEvent);
    }
    std::vector<std::shared_future<DWORD>> waits;
    // A pending read's memory, kept past a failed case until the handle is closed.
    char readBuf[4] = {};
    OVERLAPPED readOv{};

    DWORD queued() {
        DWORD errors = 0;
        COMSTAT stat{};
        return ClearCommError(h, &errors, &stat) ? stat.cbInQue : ~DWORD(0);
    }

    // Starts a comm-event wait and blocks in GetOverlappedResult on another thread;
    // the future gives the events, or ~0 with the error code in `error`.
    std::shared_future<DWORD> waitOnAnotherThread(OVERLAPPED &ov, DWORD &mask, DWORD &error) {
        ov = OVERLAPPED{};
        ov.hEvent = waitEvent;
        mask = 0;
        if (WaitCommEvent(h, &mask, &ov)) {
            std::promise<DWORD> done;
            done.set_value(mask);
            return done.get_future().share();
        }
        EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
        const auto tid = std::make_shared<std::atomic<int>>(0);
        auto result = std::async(std::launch::async, [this, &ov, &mask, &error, tid]() -> DWORD {
            *tid = int(gettid());
            DWORD n = 0;
            if (GetOverlappedResult(h, &ov, &n, TRUE)) return mask;
            error = GetLastError();
            return ~DWORD(0);
        });
        // The waiter has taken the line over once it sleeps on it, or it has returned.
        EXPECT_TRUE(waitUntil([&] {
            return result.wait_for(0s) == std::future_status::ready ||
                   (*tid != 0 && testsupport::asleepWithoutTimeout(*tid));
        })) << "the waiter never slept: "
            << testsupport::syscallOf(*tid);
        waits.push_back(result.share());
        return waits.back();
    }
};

} // namespace

TEST_F(Waiter, BytesAfterTheWaitEndedReachTheQueueAndTheNextWait) {
    ASSERT_TRUE(SetCommMask(h, EV_RXCHAR));
    OVERLAPPED ov{};
    DWORD mask = 0, error = 0;
    auto first = waitOnAnotherThread(ov, mask, error);
    pty.writeMaster("a");
    ASSERT_EQ(first.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(first.get(), EV_RXCHAR);

    // Nothing pending now: the next bytes are still counted and reported.
    pty.writeMaster("bc");
    EXPECT_TRUE(waitUntil([&] { return queued() == 3; }));
    auto second = waitOnAnotherThread(ov, mask, error);
    ASSERT_EQ(second.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(second.get(), EV_RXCHAR);
    char buf[4] = {};
    DWORD n = 0;
    OVERLAPPED rov{};
    ASSERT_TRUE(ReadFile(h, buf, 3, &n, &rov));
    EXPECT_EQ(std::string(buf, n), "abc");
}

TEST_F(Waiter, ADeviceLostWhileNobodyWaitsFailsTheNextCall) {
    ASSERT_TRUE(SetCommMask(h, EV_RXCHAR));
    OVERLAPPED ov{};
    DWORD mask = 0, error = 0;
    auto first = waitOnAnotherThread(ov, mask, error);
    pty.writeMaster("a");
    ASSERT_EQ(first.wait_for(5s), std::future_status::ready);
    pty.closeSlave();
    pty.closeMaster();
    ov = OVERLAPPED{};
    ov.hEvent = waitEvent;
    EXPECT_FALSE(WaitCommEvent(h, &mask, &ov));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(Waiter, AReadWaitedForOnItsEventIsStillFedOnceTheHelpedWaitEnds) {
    ASSERT_TRUE(SetCommMask(h, EV_RXCHAR));
    char *buf = readBuf;
    OVERLAPPED &rov = readOv;
    DWORD n = 0;
    rov.hEvent = readEvent;
    ASSERT_FALSE(ReadFile(h, buf, 3, &n, &rov));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    OVERLAPPED ov{};
    DWORD mask = 0, error = 0;
    auto wait = waitOnAnotherThread(ov, mask, error);
    pty.writeMaster("x");
    ASSERT_EQ(wait.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(wait.get(), EV_RXCHAR);
    pty.writeMaster("yz");
    ASSERT_EQ(WaitForSingleObject(readEvent, 5000), WAIT_OBJECT_0);
    ASSERT_TRUE(GetOverlappedResult(h, &rov, &n, FALSE));
    EXPECT_EQ(std::string(buf, n), "xyz");
}

TEST_F(Waiter, AFullQueueThatGetsRoomIsReadOn) {
    DCB dcb{};
    ASSERT_TRUE(GetCommState(h, &dcb));
    dcb.EvtChar = '\n';
    ASSERT_TRUE(SetCommState(h, &dcb));
    ASSERT_TRUE(SetCommMask(h, EV_RXFLAG));
    OVERLAPPED ov{};
    DWORD mask = 0, error = 0;
    auto wait = waitOnAnotherThread(ov, mask, error);
    pty.writeMaster(std::string(6000, 'x') + "\n");
    ASSERT_TRUE(waitUntil([&] { return queued() == 4096; })); // the default queue, full
    EXPECT_EQ(wait.wait_for(0s), std::future_status::timeout);
    std::string buf(4096, '\0');
    DWORD n = 0;
    OVERLAPPED rov{};
    ASSERT_TRUE(ReadFile(h, buf.data(), 4096, &n, &rov));
    ASSERT_EQ(wait.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(wait.get(), EV_RXFLAG);
    EXPECT_EQ(queued(), 6001u - 4096u);
}

TEST_F(Waiter, ClosingOrLosingTheDeviceEndsAHelpedWait) {
    ASSERT_TRUE(SetCommMask(h, EV_RXCHAR));
    OVERLAPPED ov{};
    DWORD mask = 0, error = 0;
    auto closed = waitOnAnotherThread(ov, mask, error);
    std::this_thread::yield();
    ASSERT_TRUE(CloseHandle(h));
    h = INVALID_HANDLE_VALUE;
    ASSERT_EQ(closed.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(closed.get(), 0u); // ended without events, without error

    SetUp();
    ASSERT_TRUE(SetCommMask(h, EV_RXCHAR));
    auto lost = waitOnAnotherThread(ov, mask, error);
    pty.closeSlave();
    pty.closeMaster();
    ASSERT_EQ(lost.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(lost.get(), ~DWORD(0));
    EXPECT_EQ(error, ERROR_ACCESS_DENIED);
}

// A program that only asks for the queue (no read or event wait ever pending) leaves
// the line unwatched between its calls: every call still sees all that came, in order,
// a full queue holds the rest back, and a device that went fails the next call.
TEST_F(Waiter, ALineOnlyPolledByTheProgramLosesNothing) {
    pty.writeMaster("abc");
    EXPECT_TRUE(waitUntil([&] { return queued() == 3; }));
    pty.writeMaster(std::string(5000, 'd'));
    EXPECT_TRUE(waitUntil([&] { return queued() == 4096; })); // the default queue, full
    std::string buf(4096, '\0');
    DWORD n = 0;
    OVERLAPPED rov{};
    ASSERT_TRUE(ReadFile(h, buf.data(), 4096, &n, &rov));
    EXPECT_EQ(buf.substr(0, n), "abc" + std::string(4093, 'd'));
    EXPECT_TRUE(waitUntil([&] { return queued() == 5003u - 4096u; }));
    ASSERT_TRUE(ReadFile(h, buf.data(), 5003 - 4096, &n, &rov));
    EXPECT_EQ(buf.substr(0, n), std::string(5003 - 4096, 'd'));

    pty.closeSlave();
    pty.closeMaster();
    rov = OVERLAPPED{};
    EXPECT_FALSE(ReadFile(h, buf.data(), 1, &n, &rov));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}
