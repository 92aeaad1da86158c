// The forms runtime's helpers: Val, number and date texts, waits and timers.

#include "platform/vb/Runtime.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QGuiApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>
#include <QToolBar>
#include <QWindow>

#include <chrono>
#include <cmath>
#include <thread>

using namespace std::chrono_literals;

namespace {

TEST(VbRuntime, ValReadsTheLeadingNumber) {
    struct Case {
        const char *text;
        double value;
    };
    const Case cases[] = {
        {"", 0},      {"abc", 0},     {"12", 12},   {" 1 2 3", 123}, {"2:", 2},      {"2.5", 2.5},
        {".5", 0.5},  {"-7x", -7},    {"+3", 3},    {"1e3", 1000},   {"1D2", 100},   {"1e", 1},
        {"&H26", 38}, {"&HFFFF", -1}, {"&O17", 15}, {"3.4.5", 3.4},  {"\t\n42", 42}, {"1e999", 0},
    };
    for (const Case &c : cases) EXPECT_DOUBLE_EQ(vb::Val(c.text), c.value) << c.text;
}

TEST(VbRuntime, RoundsHalvesToEven) {
    EXPECT_EQ(vb::RoundHalfEven(2.5), 2);
    EXPECT_EQ(vb::RoundHalfEven(3.5), 4);
    EXPECT_EQ(vb::RoundHalfEven(-2.5), -2);
    EXPECT_EQ(vb::RoundHalfEven(2.6), 3);
}

TEST(VbRuntime, NumberAndDateTexts) {
    EXPECT_EQ(vb::CStr(60.125), "60.125");
    EXPECT_EQ(vb::CStr(70), "70");
    EXPECT_EQ(vb::CStr(0.1 + 0.2), "0.3");
    EXPECT_EQ(vb::CStr(1e20), "1E+20");
    const QDateTime at(QDate(2026, 3, 4), QTime(5, 6, 7));
    EXPECT_EQ(vb::Format(at, "yyyy/mm/dd"), "2026/03/04");
    EXPECT_EQ(vb::Format(at, "hh:mm:ss"), "05:06:07");
    EXPECT_EQ(vb::Format(at, "yy/mm/dd hh:nn:ss"), "26/03/04 05:06:07");
    EXPECT_EQ(vb::Hex(0x1b), "1B");
    EXPECT_EQ(vb::Mid("abc", 5), "");
    EXPECT_EQ(vb::InStr(1, "a:b", ":"), 2);
    EXPECT_EQ(vb::InStr(4, "a:b", ":"), 0);
}

TEST(VbRuntime, TwipsAtTheScreensResolution) {
    const int px = vb::TwipsToPixelsX(1440);
    EXPECT_GT(px, 0);
    EXPECT_NEAR(vb::PixelsToTwipsX(px), 1440, 20);
    EXPECT_EQ(vb::TwipsToPixelsY(0), 0);
}

TEST(VbRuntime, DoEventsSleepsUntilItsWakeUpOrAnEvent) {
    QAbstractEventDispatcher *loop = QAbstractEventDispatcher::instance();
    ASSERT_TRUE(loop);
    QCoreApplication::processEvents();
    // With nothing to do, each call goes to sleep, and its wake-up ends it.
    int sleeps = 0;
    QMetaObject::Connection c = QObject::connect(loop, &QAbstractEventDispatcher::aboutToBlock, [&] { ++sleeps; });
    for (int i = 0; i < 20; ++i) vb::DoEvents(10);
    EXPECT_GE(sleeps, 20);
    QObject::disconnect(c);

    // An event that comes while it sleeps ends the call long before its wake-up: a hang
    // here is the ctest time-out.
    bool handled = false;
    std::thread poster;
    c = QObject::connect(loop, &QAbstractEventDispatcher::aboutToBlock, [&] {
        if (poster.joinable()) return;
        poster = std::thread([&] {
            QMetaObject::invokeMethod(
                qApp, [&] { handled = true; }, Qt::QueuedConnection);
        });
    });
    vb::DoEvents(600000);
    QObject::disconnect(c);
    if (poster.joinable()) poster.join();
    EXPECT_TRUE(handled);
}

TEST(VbRuntime, TimerTicksNeverOverlap) {
    vb::Timer timer(nullptr, 5);
    int ticks = 0, depth = 0, maxDepth = 0;
    // A timer of the same interval beside it: what it counts, the other would have.
    QTimer beside;
    beside.setInterval(5);
    int besideTicks = 0;
    QObject::connect(&beside, &QTimer::timeout, [&] { ++besideTicks; });
    beside.start();
    timer.OnTimer = [&] {
        ++ticks;
        maxDepth = std::max(maxDepth, ++depth);
        // A tick that processes events for longer than the interval.
        const int until = besideTicks + 3;
        testsupport::waitUntil([&] { return besideTicks >= until; });
        --depth;
    };
    timer.SetEnabled(true);
    testsupport::waitUntil([&] { return ticks >= 3; }, std::chrono::seconds(5));
    timer.SetEnabled(false);
    EXPECT_GE(ticks, 3);
    EXPECT_EQ(maxDepth, 1);

    // A disabled timer stays quiet.
    const int before = ticks, until = besideTicks + 10;
    ASSERT_TRUE(testsupport::waitUntil([&] { return besideTicks >= until; }));
    EXPECT_EQ(ticks, before);
}

// Left and Top place a form's outer frame. Only a real window manager draws a frame:
// run under X with one (xvfb-run with openbox, QT_QPA_PLATFORM=xcb) to check the frame;
// offscreen, where there is none, the client area is where the frame would start.
TEST(VbRuntime, MoveFormPlacesTheOuterFrame) {
    QMainWindow panel;
    panel.addToolBar("keys")->addAction("A / C");
    panel.setCentralWidget(new QLabel("Panel"));
    vb::MoveForm(&panel, 0, 0);
    panel.show();
    // A window manager frames a window before it shows it: once it is on the screen,
    // it has its frame or gets none. A frame that does not hold the window yet is one
    // still being set up.
    ASSERT_TRUE(testsupport::waitUntil([&] { return panel.windowHandle() && panel.windowHandle()->isExposed(); }));
    const bool framed = panel.frameGeometry() != panel.geometry();
    if (framed) {
        ASSERT_TRUE(testsupport::waitUntil([&] { return panel.frameGeometry().contains(panel.geometry()); }, 5s));
    }
    if (!framed) {
        EXPECT_EQ(panel.geometry().topLeft(), QPoint(0, 0));
        EXPECT_EQ(vb::FormGeometry(&panel), panel.geometry());
        if (QGuiApplication::platformName() == "xcb") GTEST_SKIP() << "no window manager frames the windows";
        return;
    }
    EXPECT_TRUE(testsupport::waitUntil([&] { return panel.frameGeometry().topLeft() == QPoint(0, 0); }, 5s))
        << panel.frameGeometry().x() << "," << panel.frameGeometry().y();
    EXPECT_GT(panel.geometry().top(), 0); // the title bar is on the screen
    EXPECT_EQ(vb::FormGeometry(&panel), panel.frameGeometry());

    // A second window, placed by the first one's frame before it is shown itself.
    QWidget setup;
    setup.resize(200, 100);
    const QRect p = vb::FormGeometry(&panel);
    const int width = vb::FormGeometry(&setup).width();
    EXPECT_EQ(width, 200 + panel.frameGeometry().width() - panel.geometry().width());
    vb::MoveForm(&setup, p.left() + (p.width() - width) / 2, p.top() + 60);
    setup.show();
    const QPoint expected(p.left() + (p.width() - width) / 2, p.top() + 60);
    EXPECT_TRUE(testsupport::waitUntil([&] { return setup.frameGeometry().topLeft() == expected; }, 5s))
        << setup.frameGeometry().x() << "," << setup.frameGeometry().y();

    vb::MoveForm(&panel, 40, 30); // shown and framed
    EXPECT_TRUE(testsupport::waitUntil([&] { return panel.frameGeometry().topLeft() == QPoint(40, 30); }, 5s));
}

} // namespace
