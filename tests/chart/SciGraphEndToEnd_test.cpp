// The chart control over the real engine: data set through the properties, applied,
// painted, and a click on a point raising OnDataHotSpot.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPicture>
#include <QToolBar>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "chart/ChartEngineApi.h"
#include "chart/SciGraphCtl.h"
#include "chart/engine/Gdi.h"
#include "support/ChartSupport.h"
#include "support/TestSupport.h"

namespace {

// Pictures for a person to look at go under the build folder; scripts/screenshots
// copies the documentation's own into docs/screenshots.
QString screenshotDir() { return QString::fromStdString(testsupport::binDir()) + QStringLiteral("/../screenshots"); }

void click(QWidget &w, QPoint at) {
    QMouseEvent press(QEvent::MouseButtonPress, at, w.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, w.mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(&w, &release);
}

} // namespace

TEST(SciGraphEndToEnd, DataAppliedPaintedAndClicked) {
    SciGraph chart;
    chart.Loaded();
    chart.resize(480, 320);
    chart.show();
    ASSERT_TRUE(testsupport::waitUntil([&] { return chart.isVisible(); }));
    ASSERT_NE(chart.GethObject(), nullptr);

    chart.SetMainTitle("Humidity");
    chart.SetSubsets(1);
    chart.SetPoints(5);
    const float ys[] = {40.0f, 55.0f, 47.5f, 60.0f, 52.0f};
    for (int i = 0; i < 5; ++i) {
        chart.SetXData(0, i, float(i));
        chart.SetYData(0, i, ys[i]);
    }
    chart.SetSubsetColors(0, forms::clBlue);
    chart.SetAllowDataHotSpots(true);
    EXPECT_EQ(chart.YData(0, 3), 60.0f);

    // Until the apply sequence the window keeps its picture.
    const QImage before = chart.grab().toImage();
    chart.SGnarg1 = 0;
    chart.SGnarg2 = 0;
    chart.SetSGactions(sgReinitAndReset);
    const QImage after = chart.grab().toImage();
    EXPECT_NE(before, after);
    EXPECT_FALSE(chart.Painting());
    QDir().mkpath(screenshotDir());
    EXPECT_TRUE(after.save(screenshotDir() + "/scigraph-control.png"));

    int subset = -1, point = -1, clicks = 0;
    chart.OnDataHotSpot = [&](forms::TObject *sender, int dbl, int s, int p) {
        EXPECT_EQ(sender, &chart);
        EXPECT_EQ(dbl, 0);
        subset = s;
        point = p;
    };
    chart.OnClick = [&](forms::TObject *) { ++clicks; };
    const QPoint at = testsupport::pixelOf(chart, 3.0, 60.0, 4.0, 20.0);
    ASSERT_NE(at, QPoint(-1, -1));
    click(chart, at);
    EXPECT_EQ(subset, 0);
    EXPECT_EQ(point, 3);
    EXPECT_EQ(clicks, 0);

    // Away from every point: an ordinary click.
    click(chart, QPoint(2, 2));
    EXPECT_EQ(clicks, 1);
}

TEST(SciGraphEndToEnd, CustomizeDialogRaisesOnCustomizeDlgWithItsResult) {
    SciGraph chart;
    chart.Loaded();
    chart.resize(300, 200);
    chart.show();
    ASSERT_TRUE(testsupport::waitUntil([&] { return chart.isVisible(); }));

    std::vector<int> results;
    chart.OnCustomizeDlg = [&](forms::TObject *) { results.push_back(chart.DialogResult()); };
    bool accept = true;
    chart::ceSetDialogScript([&](QWidget &dialog) {
        auto *d = qobject_cast<QDialog *>(&dialog);
        ASSERT_NE(d, nullptr);
        if (accept)
            d->accept();
        else
            d->reject();
    });
    chart.SetSGactions(sgCustomize);
    accept = false;
    chart.SetSGactions(sgCustomize);
    chart::ceSetDialogScript(nullptr);
    EXPECT_EQ(results, (std::vector<int>{1, 0}));
}

// A chart painted straight onto its window (no image buffer), inside a parent with a
// tool bar, survives another window being shown over it and repaints its picture.
TEST(SciGraphEndToEnd, UnbufferedChartSurvivesAWindowShownOverIt) {
    QWidget form;
    form.resize(400, 300);
    QToolBar bar(&form);
    bar.setGeometry(0, 0, 400, 30);
    bar.addAction("Print");
    SciGraph chart(&form);
    chart.Loaded();
    chart.setGeometry(0, 35, 400, 265);
    chart.SetPrepareImages(false);
    chart.SetSubsets(1);
    chart.SetPoints(3);
    for (int i = 0; i < 3; ++i) {
        chart.SetXData(0, i, float(i));
        chart.SetYData(0, i, float(20 + 10 * i));
    }
    chart.SGnarg1 = 0;
    chart.SGnarg2 = 0;
    chart.SetSGactions(sgReinitAndReset);
    testsupport::PaintWatch chartDrawn(&chart);
    form.show();
    ASSERT_TRUE(testsupport::waitUntil([&] { return chart.isVisible() && chartDrawn.paints() > 0; }));

    QWidget other;
    other.resize(200, 150);
    testsupport::PaintWatch otherDrawn(&other);
    other.show();
    ASSERT_TRUE(testsupport::waitUntil([&] { return other.isVisible() && otherDrawn.paints() > 0; }));
    other.hide();
    chart.repaint();
    EXPECT_FALSE(chart.Painting());
    const QImage shot = chart.grab().toImage();
    EXPECT_FALSE(shot.isNull());

    // The recorded picture, replayed under a clip as a partial repaint would.
    const QPicture *picture = MetafilePicture(chart::ceGetMetafile(chart.GethObject()));
    ASSERT_NE(picture, nullptr);
    QImage clipped(400, 265, QImage::Format_ARGB32_Premultiplied);
    clipped.fill(Qt::white);
    QPainter p(&clipped);
    p.setClipRegion(QRegion(0, 0, 200, 150));
    p.drawPicture(0, 0, *picture);
    p.end();
    EXPECT_EQ(clipped.pixel(399, 264), qRgb(255, 255, 255));
    bool drawn = false;
    for (int y = 0; y < 150 && !drawn; ++y)
        for (int x = 0; x < 200 && !drawn; ++x) drawn = clipped.pixel(x, y) != qRgb(255, 255, 255);
    EXPECT_TRUE(drawn);
}
