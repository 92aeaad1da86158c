// The panel's level bar: range and value as a progress bar keeps them, and a repaint
// through the event loop only when the filled part moves by a pixel.

#include "slm/LevelBar.h"

#include "support/TestSupport.h"

#include <QApplication>
#include <QCoreApplication>
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
    PaintCount count;
    bar.installEventFilter(&count);
    bar.show();
    ASSERT_TRUE(testsupport::waitUntil([&] { return count.paints > 0; })); // the first, whole paint
    // Delivers every repaint asked for so far, with no wait: what was not asked for
    // does not come either.
    auto paintsAskedFor = [&] {
        count.paints = 0;
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        return count.paints;
    };
    paintsAskedFor();

    count.paints = 0;
    bar.setValue(500);
    EXPECT_EQ(count.paints, 0); // not at once, as a progress bar does
    EXPECT_EQ(paintsAskedFor(), 1);
    EXPECT_EQ(bar.filledWidth(200), 100);

    for (int v : {501, 502, 504, 503}) bar.setValue(v); // the same pixel
    EXPECT_EQ(paintsAskedFor(), 0);

    bar.setValue(505);
    EXPECT_EQ(paintsAskedFor(), 1);
}
