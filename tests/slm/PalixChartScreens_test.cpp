// The documentation pictures of the strip chart and of the Leq/SEL window layout, taken
// from a real run of the program on the simulated meter, each asserting what it shows.
// The meter's pace makes the run about a minute, so the pictures are taken only when
// METER_SCREENSHOTS is set (scripts/screenshots); they go to build/screenshots.
// Under an X server (QT_QPA_PLATFORM=xcb) they are of the screen; under the offscreen
// platform each window is drawn at its place, in the order they were shown.

#include "PalixFixture.h"

#include "platform/forms/Dialogs.h"
#include "slm/core/FileTransfer.h"
#include "slm/Ln.h"
#include "slm/LnGraph.h"
#include "slm/List.h"
#include "slm/core/Meter.h"
#include "slm/Panel.h"
#include "slm/Port.h"
#include "slm/RealTimeSLM.h"
#include "slm/core/Rs232.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include <functional>

#include <chrono>
#include <cmath>

using namespace slm;
using namespace std::chrono_literals;

namespace {

// The windows as they lie on the screen, cut to the area they cover.
QImage screenOf(const QList<QWidget *> &windows) {
    QRect area;
    for (QWidget *w : windows) area |= w->frameGeometry();
    if (QGuiApplication::platformName() == "xcb")
        return QGuiApplication::primaryScreen()->grabWindow(0).toImage().copy(area);
    QImage out(area.size(), QImage::Format_RGB32);
    out.fill(QColor(0x3a, 0x6e, 0xa5));
    QPainter p(&out);
    for (QWidget *w : windows) p.drawPixmap(w->geometry().topLeft() - area.topLeft(), w->grab());
    return out;
}

class PalixScreens : public PalixProgram {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("METER_SCREENSHOTS")) GTEST_SKIP() << "a minute long: set METER_SCREENSHOTS";
        dir = QString::fromStdString(testsupport::binDir()) + "/../screenshots";
        QDir().mkpath(dir);
        PalixProgram::SetUp();
        forms::DialogScript().setStrict(true);
    }
    void TearDown() override {
        PalixProgram::TearDown();
        forms::DialogScript().reset();
    }
    Panel *start(SlmSim &sim) { return startLive(sim); }
    // The meter's levels: `count` displays that wander around `centre`, each held for
    // one display (8 sub-frames) and each unlike the one before.
    static void wander(QStringList &levels, int count, double centre) {
        static double level = 58;
        for (int i = 0; i < count; ++i) {
            const double before = level;
            level += (centre - level) * 0.3 + (levels.size() / 8 * 7919 % 61) / 10.0 - 3.0;
            if (std::lround(level * 10) == std::lround(before * 10)) level += 0.3;
            for (int k = 0; k < 8; ++k) levels << QString::number(level, 'f', 1);
        }
    }
    // Waits for the next level on the panel, then gives it to `take`.
    static bool nextLevel(Panel *p, const std::function<void(const QString &)> &take) {
        const QString before = p->LblValue->text();
        if (!testsupport::waitUntil([&] { return p->LblValue->text() != before; }, 3s)) return false;
        take(p->LblValue->text());
        return true;
    }
    // The chart's trace passes each level it sampled (the last one ends the line).
    static void expectTrace(RealTimeSLM *chart, const QStringList &sampled) {
        const QImage &pic = chart->Canvas.Image();
        for (int i = 0; i + 1 < sampled.size(); ++i) {
            const double y = chart->ChartBase -
                             TraceHeight(sampled[i].toDouble(), chart->ChartMin, chart->ChartMax, chart->ChartHeight);
            const QPoint at(chart->Canvas.PixelX(chart->ChartLeft + i * chart->SweepStep), chart->Canvas.PixelY(y));
            int ink = 0;
            for (int dy = -1; dy <= 1; ++dy) ink += pic.pixel(at + QPoint(0, dy)) == 0xFF000000;
            ASSERT_GT(ink, 0) << "sample " << i << " " << sampled[i].toStdString();
        }
    }

    QString dir;
};

// Four minutes of a strip chart, a louder stretch in the middle: each level the panel
// shows is sampled for two ticks of the chart, as the chart's own one-second tick
// samples a level that changes every two seconds.
TEST_F(PalixScreens, StripChartAfterMinutes) {
    QStringList levels;
    wander(levels, 50, 58);
    wander(levels, 35, 74);
    wander(levels, 30, 62);
    SlmSim sim({"--subframe-ms", "40", "--range", "2", "--levels", levels.join(',')});
    ASSERT_TRUE(sim.ok());
    Panel *p = start(sim);
    press(p, "Graph");
    ASSERT_TRUE(RealTimeSLMVisible());
    RealTimeSLM *chart = RealTimeSLMForm;
    ASSERT_TRUE(testsupport::waitUntil([&] { return chart->Timer1.Enabled(); }));
    chart->Timer1.SetEnabled(false); // the ticks are the test's
    QStringList sampled;
    for (int i = 0; i < 115; ++i)
        ASSERT_TRUE(nextLevel(p, [&](const QString &level) {
            for (int k = 0; k < 2; ++k) {
                chart->Timer1_Timer();
                sampled << level;
            }
        })) << i;
    ASSERT_TRUE(RealTimeSLMVisible());
    EXPECT_EQ(chart->SweepX, 229);
    EXPECT_EQ(chart->ShownLevel, sampled.back().toDouble());
    expectTrace(chart, sampled);
    EXPECT_TRUE(screenOf({p, RealTimeSLMForm}).save(dir + "/palix-stripchart.png"));
}

// The windows of a Leq/SEL period after half of its minute, one list row and one chart
// sample a level.
TEST_F(PalixScreens, LeqPeriodLayout) {
    QStringList levels;
    wander(levels, 40, 63);
    SlmSim sim({"--subframe-ms", "40", "--range", "2", "--levels", levels.join(',')});
    ASSERT_TRUE(sim.ok());
    Panel *p = start(sim);
    forms::DialogScript().pushText("00:01:00");
    press(p, "Run");
    ASSERT_TRUE(ListVisible());
    ASSERT_TRUE(RealTimeSLMVisible());
    ASSERT_TRUE(LnVisible());
    ASSERT_TRUE(LnGraphVisible());
    RealTimeSLM *chart = RealTimeSLMForm;
    ASSERT_TRUE(testsupport::waitUntil([&] { return chart->Timer1.Enabled(); }));
    chart->Timer1.SetEnabled(false);
    p->Timer2.SetEnabled(false);
    QStringList sampled;
    for (int i = 0; i < 30; ++i)
        ASSERT_TRUE(nextLevel(p, [&](const QString &level) {
            SampleCounter = SamplingTime;
            p->Timer2_Timer();
            chart->Timer1_Timer();
            sampled << level;
        })) << i;

    List *list = ListForm();
    ASSERT_EQ(list->Grid->Rows(), 31);
    for (int r = 1; r <= 30; ++r) EXPECT_EQ(list->Grid->TextMatrix(r, 2), sampled[r - 1]) << r;
    EXPECT_DOUBLE_EQ(chart->SweepStep, chart->ChartWidth / 59);
    expectTrace(chart, sampled);
    // Each window where the period puts it.
    EXPECT_EQ(p->frameGeometry().topLeft(), QPoint(0, 0));
    EXPECT_EQ(chart->frameGeometry().topLeft(), QPoint(0, p->frameGeometry().height()));
    EXPECT_EQ(LnGraphForm->frameGeometry().topLeft(), QPoint(0, 0));
    EXPECT_EQ(LnForm()->frameGeometry().left(), list->frameGeometry().left());
    EXPECT_TRUE(screenOf({p, ListForm(), LnForm(), RealTimeSLMForm, LnGraphForm}).save(dir + "/palix-run.png"));
}

} // namespace
