// Window handles, messages, scroll bars and global memory blocks.

#include "platform/win/Window.h"
#include "support/TestSupport.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

struct Recorder {
    std::vector<std::pair<UINT, LPARAM>> got;
    HWND make(HWND parent = nullptr, RECT r = RECT{0, 0, 100, 50}) {
        return CreateWindowHandle(
            [this](HWND, UINT m, WPARAM, LPARAM l) {
                got.emplace_back(m, l);
                return LRESULT(m + 1);
            },
            parent, r);
    }
};

} // namespace

TEST(WinWindow, MessagesReachLiveWindowsOnly) {
    Recorder rec;
    HWND a = rec.make();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(handleFromInt<HWND>(handleToInt(a)), a); // fits an int32
    EXPECT_EQ(SendMessageA(a, 3962, 0, 7), 3963);
    ASSERT_EQ(rec.got.size(), 1u);
    EXPECT_EQ(rec.got[0].second, 7);
    EXPECT_EQ(DestroyWindow(a), TRUE);
    EXPECT_EQ(SendMessageA(a, 3962, 0, 7), 0);
    EXPECT_EQ(rec.got.size(), 1u);
    EXPECT_EQ(IsWindow(a), FALSE);
    EXPECT_EQ(DestroyWindow(a), FALSE);
    EXPECT_EQ(SendMessageA(nullptr, 1, 0, 0), 0);
    EXPECT_EQ(SendMessageA(handleFromInt<HWND>(12345), 1, 0, 0), 0);
}

TEST(WinWindow, AWindowMayDestroyItselfInItsProcedure) {
    HWND self = nullptr;
    int calls = 0;
    self = CreateWindowHandle(
        [&](HWND h, UINT, WPARAM, LPARAM) {
            ++calls;
            DestroyWindow(h);
            return LRESULT(5);
        },
        nullptr, RECT{});
    EXPECT_EQ(SendMessageA(self, 1, 0, 0), 5);
    EXPECT_EQ(SendMessageA(self, 1, 0, 0), 0);
    EXPECT_EQ(calls, 1);
}

TEST(WinWindow, PostedMessagesArriveLaterAndNotAfterDestroy) {
    Recorder rec;
    HWND a = rec.make(), b = rec.make();
    EXPECT_EQ(PostMessageA(a, 273, 0, 1), TRUE);
    EXPECT_EQ(PostMessageA(b, 273, 0, 2), TRUE);
    EXPECT_TRUE(rec.got.empty());
    DestroyWindow(b);
    ASSERT_TRUE(testsupport::waitUntil([&] { return !rec.got.empty(); }));
    QCoreApplication::sendPostedEvents(); // b's too, had it been kept
    QCoreApplication::processEvents();
    ASSERT_EQ(rec.got.size(), 1u);
    EXPECT_EQ(rec.got[0].second, 1);
    EXPECT_EQ(PostMessageA(b, 273, 0, 2), FALSE);
    DestroyWindow(a);
}

TEST(WinWindow, GeometryVisibilityAndParent) {
    Recorder rec;
    HWND parent = rec.make();
    HWND child = rec.make(parent, RECT{0, 0, 300, 300});
    EXPECT_EQ(GetParent(child), parent);
    EXPECT_EQ(IsWindowVisible(child), FALSE);
    EXPECT_EQ(ShowWindow(child, SW_SHOW), FALSE);
    EXPECT_EQ(ShowWindow(child, SW_HIDE), TRUE);
    rec.got.clear();
    EXPECT_EQ(MoveWindow(child, 5, 6, 640, 480, FALSE), TRUE);
    ASSERT_EQ(rec.got.size(), 1u); // a size change sends WM_SIZE
    EXPECT_EQ(rec.got[0].first, WM_SIZE);
    EXPECT_EQ(rec.got[0].second, MAKELPARAM(640, 480));
    MoveWindow(child, 9, 9, 640, 480, FALSE);
    EXPECT_EQ(rec.got.size(), 1u); // a move alone does not
    RECT r;
    GetWindowRect(child, &r);
    EXPECT_EQ(r.left, 9);
    EXPECT_EQ(r.right, 649);
    GetClientRect(child, &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.bottom, 480);
    EXPECT_EQ(SetParent(child, nullptr), parent);
    EXPECT_EQ(GetWindowRect(nullptr, &r), FALSE);
    DestroyWindow(child);
    DestroyWindow(parent);
}

TEST(WinWindow, ScrollBarsKeepThePositionInRange) {
    Recorder rec;
    HWND w = rec.make();
    int mn = -1, mx = -1;
    GetScrollRange(w, SB_VERT, &mn, &mx);
    EXPECT_EQ(mn, 0);
    EXPECT_EQ(mx, 0);
    SetScrollRange(w, SB_VERT, 1, 100, FALSE);
    EXPECT_EQ(SetScrollPos(w, SB_VERT, 150, TRUE), 1); // the range moved it to its minimum
    EXPECT_EQ(GetScrollPos(w, SB_VERT), 100);
    SetScrollRange(w, SB_VERT, 1, 10, FALSE);
    EXPECT_EQ(GetScrollPos(w, SB_VERT), 10);
    EXPECT_EQ(GetScrollPos(w, SB_HORZ), 0); // the bars are apart
    EXPECT_EQ(SetScrollRange(w, 7, 0, 1, FALSE), FALSE);
    EXPECT_EQ(GetScrollRange(w, SB_VERT, nullptr, &mx), FALSE);
    DestroyWindow(w);
}

TEST(WinWindow, WordsAndSignedCoordinates) {
    EXPECT_EQ(MAKELONG(0x1234, 0xABCD), 0xABCD1234u);
    EXPECT_EQ(LOWORD(0xABCD1234u), 0x1234);
    EXPECT_EQ(HIWORD(0xABCD1234u), 0xABCD);
    EXPECT_EQ(HIWORD(MAKEWPARAM(0, 3966)), 3966);
    LPARAM l = MAKELPARAM(static_cast<WORD>(-5), static_cast<WORD>(300));
    EXPECT_EQ(GET_X_LPARAM(l), -5);
    EXPECT_EQ(GET_Y_LPARAM(l), 300);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(MAKEWPARAM(0, static_cast<WORD>(-120))), -120);
}

TEST(WinWindow, GlobalBlocks) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 64);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalSize(h), 64u);
    auto *p = static_cast<unsigned char *>(GlobalLock(h));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(p[i], 0);
    std::memset(p, 0x5A, 64);
    EXPECT_EQ(GlobalLock(h), p); // stable address, nested lock
    EXPECT_EQ(GlobalUnlock(h), TRUE);
    EXPECT_EQ(GlobalUnlock(h), FALSE);
    EXPECT_EQ(GlobalUnlock(h), FALSE); // not locked any more
    EXPECT_EQ(GlobalFree(h), nullptr);
    EXPECT_EQ(GlobalLock(h), nullptr);
    EXPECT_EQ(GlobalSize(h), 0u);
    EXPECT_EQ(GlobalFree(h), h);

    HGLOBAL empty = GlobalAlloc(GHND, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_NE(GlobalLock(empty), nullptr);
    EXPECT_EQ(GlobalSize(empty), 0u);
    GlobalFree(empty);
    EXPECT_EQ(GlobalAlloc(GHND, std::size_t(1) << 40), nullptr);
}
