// Rates outside the termios table, read back through termios2 (whose header cannot
// share a file with <termios.h>).
#include "platform/comm/Comm.h"

#include "support/TestSupport.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <gtest/gtest.h>

using namespace win;

TEST(CommBaud, CustomAndStandardRatesReachTheLine) {
    testsupport::PtyPair pty;
    HANDLE h = CreateFileA(pty.slavePath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    struct Case {
        DWORD rate;
        unsigned code;
    } cases[] = {{10400, BOTHER}, {250000, BOTHER}, {9600, B9600}, {56000, BOTHER}, {115200, B115200}};
    for (const auto &c : cases) {
        DCB dcb{};
        ASSERT_TRUE(GetCommState(h, &dcb));
        dcb.BaudRate = c.rate;
        ASSERT_TRUE(SetCommState(h, &dcb)) << c.rate << ": " << GetLastError();
        termios2 t{};
        ASSERT_EQ(ioctl(pty.master(), TCGETS2, &t), 0);
        EXPECT_EQ(t.c_cflag & CBAUD, c.code) << c.rate;
        if (c.code == BOTHER) {
            EXPECT_EQ(t.c_ospeed, c.rate);
        }
        DCB back{};
        ASSERT_TRUE(GetCommState(h, &back));
        EXPECT_EQ(back.BaudRate, c.rate);
    }
    CloseHandle(h);
}
