// The documentation pictures of the strip chart and of the Leq/SEL window layout, taken
// from a real run of the program on the simulated meter. The run takes minutes, so the
// pictures are taken only when METER_SCREENSHOTS is set; they go to build/screenshots.
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
#include <QRandomGenerator>
#include <QScreen>
#include <QTimer>

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
        if (qEnvironmentVariableIsEmpty("METER_SCREENSHOTS")) GTEST_SKIP() << "minutes long: set METER_SCREENSHOTS";
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
    // A level that wanders around `centre`, sent to the meter every two seconds.
    static void wander(SlmSim &sim, QTimer &timer, const double &centre) {
        QObject::connect(&timer, &QTimer::timeout, [&sim, &centre] {
            static double level = centre;
            level += (centre - level) * 0.3 + QRandomGenerator::global()->bounded(6.0) - 3.0;
            sim.control(QString("level %1").arg(level, 0, 'f', 1));
        });
        timer.start(2000);
    }

    QString dir;
};

TEST_F(PalixScreens, StripChartAfterMinutes) {
    SlmSim sim({"--level", "58", "--range", "2"});
    ASSERT_TRUE(sim.ok());
    Panel *p = start(sim);
    press(p, "Graph");
    ASSERT_TRUE(RealTimeSLMVisible());
    double centre = 58;
    QTimer timer;
    wander(sim, timer, centre);
    testsupport::processEventsFor(100s);
    centre = 74; // a louder stretch in the middle
    testsupport::processEventsFor(70s);
    centre = 62;
    testsupport::processEventsFor(60s);
    ASSERT_TRUE(RealTimeSLMVisible());
    EXPECT_TRUE(screenOf({p, RealTimeSLMForm}).save(dir + "/palix-stripchart.png"));
}

TEST_F(PalixScreens, LeqPeriodLayout) {
    SlmSim sim({"--level", "63", "--range", "2"});
    ASSERT_TRUE(sim.ok());
    Panel *p = start(sim);
    double centre = 63;
    QTimer timer;
    wander(sim, timer, centre);
    forms::DialogScript().pushText("00:01:00");
    press(p, "Run");
    ASSERT_TRUE(ListVisible());
    testsupport::processEventsFor(40s);
    ASSERT_TRUE(RealTimeSLMVisible());
    ASSERT_TRUE(LnVisible());
    ASSERT_TRUE(LnGraphVisible());
    EXPECT_TRUE(screenOf({p, ListForm(), LnForm(), RealTimeSLMForm, LnGraphForm}).save(dir + "/palix-run.png"));
}

} // namespace
