// The panel's level bar: range and value as a progress bar keeps them, and a repaint
// through the event loop only when the filled part moves by a pixel.

#include "slm/LevelBar.h"

#include "support/TestSupport.h"

#include <QApplication>
#include <QEvent>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

struct PaintCount : QObject {
    int paints = 0;
    bool eventFilter(QObject *, QEvent *e) override {
        if (e->type() == QEvent::Paint) ++paints;
        return false;
    }
};

} // namespace

TEST(LevelBar, ValueStaysWithinTheRange) {
    slm::LevelBar bar;
    bar.setRange(700, 1300);
    bar.setValue(1400);
    EXPECT_EQ(bar.value(), 1300);
    bar.setValue(600);
    EXPECT_EQ(bar.value(), 700);
    bar.setValue(1000);
    bar.setRange(300, 900); // a lower range takes the value down with it
    EXPECT_EQ(bar.value(), 900);
    EXPECT_EQ(bar.minimum(), 300);
    EXPECT_EQ(bar.maximum(), 900);
}

TEST(LevelBar, RepaintsLaterAndOnlyWhenTheFilledPartMoves) {
    slm::LevelBar bar;
    bar.setRange(0, 1000);
    bar.resize(204, bar.height()); // 200 pixels inside the 2-pixel border: 5 a pixel
    bar.show();
    ASSERT_TRUE(testsupport::waitUntil([&] { return bar.isVisible(); }));
    testsupport::processEventsFor(50ms);
    PaintCount count;
    bar.installEventFilter(&count);

    bar.setValue(500);
    EXPECT_EQ(count.paints, 0); // not at once, as a progress bar does
    testsupport::processEventsFor(20ms);
    EXPECT_EQ(count.paints, 1);
    EXPECT_EQ(bar.filledWidth(200), 100);

    count.paints = 0;
    for (int v : {501, 502, 504, 503}) bar.setValue(v); // the same pixel
    testsupport::processEventsFor(20ms);
    EXPECT_EQ(count.paints, 0);

    bar.setValue(505);
    testsupport::processEventsFor(20ms);
    EXPECT_EQ(count.paints, 1);
}
