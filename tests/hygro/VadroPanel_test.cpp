// The front panel on a simulated meter, and the screenshot of the main window.

#include "hygro/VadroFixture.h"

#include <QDir>
#include <QMdiArea>
#include <QLineEdit>
#include <QMdiSubWindow>

using namespace hygrotest;
using namespace hygro;

namespace {

// The digit image shows the glyph's ink, with its background left transparent.
bool sameImage(const QPixmap &shown, const QImage &glyph) {
    const QImage a = shown.toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage g = glyph.convertToFormat(QImage::Format_ARGB32);
    if (a.size() != g.size()) return false;
    const QRgb background = g.pixel(0, g.height() - 1);
    for (int y = 0; y < g.height(); ++y)
        for (int x = 0; x < g.width(); ++x) {
            const bool ink = g.pixel(x, y) != background;
            if (ink != (qAlpha(a.pixel(x, y)) != 0)) return false;
        }
    return true;
}

} // namespace

TEST(HygroVadroPanel, ShowsTheFrameAndIsAppliedAfreshWhenReopened) {
    HygroSim meter({"--model", "583", "--fixed", "--rh", "45.6", "--t1", "23.4", "--t2", "-5.0"});
    auto main = startVadro({meter.path()});
    ASSERT_TRUE(LinkUp);
    manualTicks(*main);
    ASSERT_TRUE(tickAndWaitForFrame(*main));
    ASSERT_TRUE(frmPanel);
    EXPECT_EQ(frmPanel->Image1->pixmap().size(), QSize(128, 356));
    EXPECT_FALSE(frmPanel->lblnolink->isVisible());
    // 45.6 on the main row: blank, 4, 5, 6 with the decimal point.
    EXPECT_TRUE(sameImage(frmPanel->MainD[1]->pixmap(), LcdMainBitmaps[4]));
    EXPECT_TRUE(sameImage(frmPanel->MainD[3]->pixmap(), LcdMainBitmaps[6]));
    EXPECT_TRUE(sameImage(frmPanel->ThirdD[3]->pixmap(), LcdSubBitmaps[0]));
    EXPECT_TRUE(frmPanel->Marks[annPoint]->isVisible());
    EXPECT_TRUE(frmPanel->Marks[annThirdMinus]->isVisible());
    EXPECT_TRUE(frmPanel->imgT2->isVisible());
    EXPECT_FALSE(frmPanel->imgHOLD->isVisible());

    frmPanel->Label1Click();
    EXPECT_TRUE(testsupport::waitUntil([] { return !frmPanel; }));
    ASSERT_TRUE(tickAndWaitForFrame(*main)); // the decoder goes on without a panel

    main->mnuPanelClick();
    ASSERT_TRUE(frmPanel);
    EXPECT_EQ(frmPanel->Image1->pixmap().size(), QSize(128, 356));
    EXPECT_FALSE(frmPanel->Marks[annPoint]->isVisible()); // blank until the next frame
    frmPanel->lblbtn1Click();                             // HOLD
    main->MainTimerTimer();                               // the tick after a key sends no poll
    ASSERT_TRUE(tickAndWaitForFrame(*main));
    EXPECT_TRUE(frmPanel->Marks[annPoint]->isVisible());
    EXPECT_TRUE(frmPanel->imgHOLD->isVisible());
    EXPECT_TRUE(sameImage(frmPanel->MainD[2]->pixmap(), LcdMainBitmaps[5]));
}

TEST(HygroVadroPanel, KeysWithoutALinkOrWithoutAPort) {
    auto main = startVadro({QStringLiteral("/dev/does-not-exist")});
    ASSERT_FALSE(LinkUp);
    frmPanel->lblbtn1Click();
    frmPanel->lblbtn4MouseDown(); // key 4 says nothing
    ASSERT_EQ(forms::DialogScript().log().size(), 1u);
    EXPECT_EQ(forms::DialogScript().log()[0].text, "No Connection");
    EXPECT_FALSE(KeySent);

    // Linked but the port is closed: the key is taken and nothing is written.
    MeterModel = 586;
    LinkUp = true;
    ASSERT_FALSE(main->Comm1->Active());
    frmPanel->lblbtn3Click();
    EXPECT_TRUE(KeySent);
    EXPECT_EQ(KeyCommand, 'E');
    EXPECT_EQ(forms::DialogScript().log().size(), 1u);
}

TEST(HygroVadroPanel, MainWindowOnASimulated583) {
    HygroSim meter({"--model", "583", "--seed", "7"});
    auto main = startVadro({meter.path()});
    ASSERT_TRUE(LinkUp);
    main->MaskEdit1->setText("  00 : 01  ");
    main->btnRunClick();
    // The poll timer at work: five rows a second apart.
    EXPECT_TRUE(testsupport::waitUntil([] { return RealTimeList->Grid1->RowCount() >= 6; }, 60s));
    const QString dir = QString::fromStdString(testsupport::binDir()) + "/../screenshots";
    QDir().mkpath(dir);
    const QImage shot = main->grab().toImage();
    ASSERT_FALSE(shot.isNull());
    EXPECT_TRUE(shot.save(dir + "/vadro-583.png"));
}
