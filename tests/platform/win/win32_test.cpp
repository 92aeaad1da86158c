#include "platform/win/Win32.h"

#include "support/Wait.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>

using namespace win;

TEST(Win32Errors, SystemTexts) {
    struct Case {
        DWORD code;
        const char *text;
    } cases[] = {
        {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified."},
        {ERROR_ACCESS_DENIED, "Access is denied."},
        {ERROR_INVALID_HANDLE, "The handle is invalid."},
        {ERROR_SHARING_VIOLATION, "The process cannot access the file because it is being used by another process."},
        {ERROR_INVALID_PARAMETER, "The parameter is incorrect."},
        {ERROR_OPERATION_ABORTED,
         "The I/O operation has been aborted because of either a thread exit or an application request."},
        {ERROR_IO_PENDING, "Overlapped I/O operation is in progress."},
    };
    for (const auto &c : cases) EXPECT_EQ(SysErrorMessage(c.code), c.text) << c.code;
    // An unknown code still says something the user can report.
    EXPECT_EQ(SysErrorMessage(123456), "Unknown error 123456.");
}

TEST(Win32Errors, FromErrno) {
    struct Case {
        int err;
        DWORD code;
    } cases[] = {
        {0, ERROR_SUCCESS},
        {ENOENT, ERROR_FILE_NOT_FOUND},
        {EACCES, ERROR_ACCESS_DENIED},
        {EIO, ERROR_ACCESS_DENIED},
        {ENXIO, ERROR_ACCESS_DENIED},
        {EBADF, ERROR_INVALID_HANDLE},
        {EBUSY, ERROR_SHARING_VIOLATION},
        {EWOULDBLOCK, ERROR_SHARING_VIOLATION},
        {EINVAL, ERROR_INVALID_PARAMETER},
        {ECANCELED, ERROR_OPERATION_ABORTED},
    };
    for (const auto &c : cases) EXPECT_EQ(ErrorFromErrno(c.err), c.code) << c.err;
}

TEST(Win32Errors, LastErrorIsPerThread) {
    SetLastError(ERROR_ACCESS_DENIED);
    DWORD seen = 1;
    std::thread([&] {
        seen = GetLastError();
        SetLastError(ERROR_INVALID_PARAMETER);
    }).join();
    EXPECT_EQ(seen, ERROR_SUCCESS);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST(Win32Events, ManualResetStaysSignalledUntilReset) {
    HANDLE e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    ASSERT_TRUE(SetEvent(e));
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
    ASSERT_TRUE(ResetEvent(e));
    EXPECT_EQ(WaitForSingleObject(e, 10), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(e));
}

TEST(Win32Events, AutoResetReleasesOneWaiter) {
    HANDLE e = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);

    std::atomic<int> woken{0};
    std::atomic<int> tids[2] = {0, 0};
    std::atomic<bool> done[2] = {false, false};
    auto waiter = [&](int i) {
        tids[i] = int(gettid());
        if (WaitForSingleObject(e, INFINITE) == WAIT_OBJECT_0) ++woken;
        done[i] = true;
    };
    std::thread a(waiter, 0), b(waiter, 1);
    auto asleep = [&](int i) { return tids[i] && testsupport::asleepInPoll(tids[i]); };
    EXPECT_TRUE(testsupport::pollUntil([&] { return asleep(0) && asleep(1); }));
    SetEvent(e);
    EXPECT_TRUE(testsupport::pollUntil([&] { return done[0] || done[1]; }));
    // The other one sleeps on: the event was taken.
    const int other = done[0] ? 1 : 0;
    EXPECT_TRUE(testsupport::pollUntil([&] { return asleep(other) || done[other]; }));
    EXPECT_EQ(woken.load(), 1);
    EXPECT_FALSE(done[other]);
    // A second set releases it.
    EXPECT_TRUE(testsupport::pollUntil([&] {
        if (!done[other]) SetEvent(e);
        return done[0] && done[1];
    }));
    a.join();
    b.join();
    EXPECT_EQ(woken.load(), 2);
    CloseHandle(e);
}

TEST(Win32Events, SetFromAnotherThreadEndsAnInfiniteWait) {
    HANDLE e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const int waiter = int(gettid());
    std::thread setter([&] {
        EXPECT_TRUE(testsupport::pollUntil([&] { return testsupport::asleepInPoll(waiter); }));
        SetEvent(e);
    });
    EXPECT_EQ(WaitForSingleObject(e, INFINITE), WAIT_OBJECT_0);
    setter.join();
    CloseHandle(e);
}

TEST(Win32Events, WaitForMultipleReportsTheSignalledOne) {
    HANDLE e[3] = {CreateEventA(nullptr, TRUE, FALSE, nullptr), CreateEventA(nullptr, TRUE, FALSE, nullptr),
                   CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    EXPECT_EQ(WaitForMultipleObjects(3, e, FALSE, 0), WAIT_TIMEOUT);
    SetEvent(e[2]);
    EXPECT_EQ(WaitForMultipleObjects(3, e, FALSE, 100), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(WaitForMultipleObjects(3, e, FALSE, 0), WAIT_TIMEOUT); // auto-reset was taken
    for (HANDLE h : e) CloseHandle(h);
}

TEST(Win32Handles, ClosedAndUnknownHandlesFailWithInvalidHandle) {
    HANDLE e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(CloseHandle(e));
    // A handle once closed is never handed out again, so it stays invalid.
    HANDLE other = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_NE(other, e);

    for (HANDLE h : {e, INVALID_HANDLE_VALUE, HANDLE(nullptr)}) {
        SetLastError(0);
        EXPECT_FALSE(CloseHandle(h));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        SetLastError(0);
        EXPECT_FALSE(SetEvent(h));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        SetLastError(0);
        EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }
    CloseHandle(other);
}

TEST(Win32Time, TickCountAdvancesWithSleep) {
    const DWORD start = GetTickCount();
    Sleep(50); // Sleep itself is tested, and only for a lower bound, which load cannot break
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 50u);
}
