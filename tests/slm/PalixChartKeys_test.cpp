// Palix's Graph, Run, Stop and Pause keys against the simulated meter: the period
// prompt, the windows they open, the flags and buttons, the strip chart's timer, and
// the windows that a lost link or a range change closes.

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
#include <QDeadlineTimer>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <cmath>

using namespace slm;
using namespace std::chrono_literals;

namespace {

class PalixKeys : public PalixProgram {
protected:
    Panel *start(SlmSim &sim) { return startLive(sim); }
    static void run(Panel *p, const QString &answer) {
        forms::DialogScript().pushText(answer);
        press(p, "Run");
    }
    static size_t dialogs() { return forms::DialogScript().log().size(); }
    static void expectButtons(Panel *p, bool run, bool stop, bool pause) {
        EXPECT_EQ(p->Buttons(6).Enabled(), run);
        EXPECT_EQ(p->Buttons(7).Enabled(), stop);
        EXPECT_EQ(p->Buttons(8).Enabled(), pause);
    }
};

TEST_F(PalixKeys, GraphOpensTheStripChartOnce) {
    SlmSim sim({"--level", "65", "--range", "2"});
    Panel *p = start(sim);
    expectButtons(p, true, false, false);
    press(p, "Graph");
    QPointer<RealTimeSLM> chart = RealTimeSLMForm;
    ASSERT_TRUE(RealTimeSLMVisible());
    EXPECT_EQ(GraphShown, vb::True);
    EXPECT_EQ(GraphRangeTop, 100);
    EXPECT_EQ(chart->ChartMax, 100);
    EXPECT_EQ(chart->ChartMin, 40);
    // Sampled once a second from the panel's level.
    ASSERT_TRUE(testsupport::waitUntil([&] { return chart->SweepX >= 1; }, 5s));
    EXPECT_EQ(chart->ShownLevel, 65);
    EXPECT_DOUBLE_EQ(chart->LastY, chart->ChartBase - 25.0 / 60 * chart->ChartHeight);
    const double x = chart->SweepX;
    press(p, "Graph"); // already shown: nothing starts afresh
    EXPECT_EQ(RealTimeSLMForm, chart.data());
    EXPECT_EQ(chart->SweepX, x);
}

TEST_F(PalixKeys, RunAsksForThePeriodAndOpensItsWindows) {
    SlmSim sim({"--level", "72", "--range", "3"});
    Panel *p = start(sim);
    p->move(200, 150);

    // Cancel changes nothing.
    forms::DialogScript().pushCancel();
    press(p, "Run");
    EXPECT_FALSE(LeqArmed);
    EXPECT_EQ(RealTimeSLMForm, nullptr);
    EXPECT_EQ(LnGraphForm, nullptr);
    expectButtons(p, true, false, false);

    struct Case {
        const char *answer;
        double period;
    };
    const Case cases[] = {{"1:2:3", 3723}, {"10:20", 36020}, {"25:61:61", 3661}, {"0:1:1", 61}};
    QPointer<RealTimeSLM> previous;
    for (const Case &c : cases) {
        forms::DialogScript().reset();
        run(p, c.answer);
        EXPECT_EQ(LeqPeriod, c.period) << c.answer;
        EXPECT_TRUE(LeqArmed);
        EXPECT_FALSE(PauseFlag);
        EXPECT_EQ(ListShown, vb::True);
        EXPECT_EQ(GraphShown, vb::True);
        EXPECT_LE(std::abs(LeqStart - std::floor(vb::SecondsOfDay())), 1);
        const auto &log = forms::DialogScript().log();
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0].text, "Set up the willing time period to launch. \r\n (hh:nn:ss) ");
        EXPECT_EQ(log[0].caption, "Set up the willing time period");
        EXPECT_EQ(log[0].defaultText, "00:00:10");
        expectButtons(p, false, true, true);
        // Fresh windows, one sweep over the period.
        ASSERT_TRUE(ListVisible());
        ASSERT_TRUE(LnVisible());
        ASSERT_TRUE(RealTimeSLMVisible());
        ASSERT_TRUE(LnGraphVisible());
        EXPECT_EQ(ListForm()->Grid->Rows(), 1);
        EXPECT_EQ(ListRows, 0);
        EXPECT_NE(RealTimeSLMForm, previous.data());
        previous = RealTimeSLMForm;
        EXPECT_DOUBLE_EQ(RealTimeSLMForm->SweepStep, RealTimeSLMForm->ChartWidth / (c.period - 1));
        EXPECT_EQ(GraphRangeTop, 110);
        EXPECT_EQ(p->frameGeometry().topLeft(), QPoint(0, 0));
        EXPECT_EQ(LnGraphForm->frameGeometry().topLeft(), QPoint(0, 0));
        // The chart shown is a live one, not the one closed a moment before.
        QPointer<LnGraph> graph = LnGraphForm;
        testsupport::processPendingDeletes();
        EXPECT_FALSE(graph.isNull()) << c.answer;
        EXPECT_TRUE(LnGraphVisible()) << c.answer;
        press(p, "Stop");
    }

    // The list that Run opens is fed, and stays open, under the meter's settings.
    run(p, "0:1:0");
    QPointer<List> list = ListForm();
    p->Timer2.SetEnabled(false);
    SampleCounter = SamplingTime;
    p->Timer2_Timer();
    EXPECT_FALSE(list.isNull());
    EXPECT_TRUE(ListVisible());
    EXPECT_EQ(list->Grid->Rows(), 2);
    EXPECT_EQ(list->Grid->TextMatrix(1, 2), p->LblValue->text());
    press(p, "Stop");

    // No colon: the message, then the prompt again.
    forms::DialogScript().reset();
    forms::DialogScript().pushText("1030");
    forms::DialogScript().pushAccept();
    forms::DialogScript().pushText("00:00:01");
    press(p, "Run");
    const auto &log = forms::DialogScript().log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[1].text, "Invalid, comply with the data format properly\r\n");
    EXPECT_EQ(log[1].flags & forms::MB_ICONMASK, forms::MB_ICONSTOP);
    EXPECT_EQ(log[2].defaultText, "00:00:10");
    EXPECT_EQ(LeqPeriod, 1);
    // A one-second period gives the default step.
    EXPECT_EQ(RealTimeSLMForm->SweepStep, 1);
}

TEST_F(PalixKeys, PauseStopAndResume) {
    SlmSim sim({"--level", "60"});
    Panel *p = start(sim);
    run(p, "0:5:0");
    QPointer<RealTimeSLM> chart = RealTimeSLMForm;
    ASSERT_TRUE(testsupport::waitUntil([&] { return chart->SweepX >= 0; }, 5s));

    press(p, "Pause");
    EXPECT_TRUE(PauseFlag);
    EXPECT_EQ(ListShown, vb::False);
    EXPECT_EQ(GraphShown, vb::False);
    EXPECT_FALSE(chart->Timer1.Enabled());
    expectButtons(p, true, true, false);
    EXPECT_TRUE(testsupport::waitUntil([&] { return p->LblPause->isVisible(); }, 2s));

    // Resuming asks nothing and opens nothing; the chart sweeps on with the list.
    const size_t asked = dialogs();
    const double pausedAt = chart->SweepX;
    press(p, "Run");
    EXPECT_EQ(dialogs(), asked);
    EXPECT_FALSE(PauseFlag);
    EXPECT_EQ(ListShown, vb::True);
    EXPECT_EQ(GraphShown, vb::True);
    EXPECT_EQ(RealTimeSLMForm, chart.data());
    EXPECT_TRUE(chart->Timer1.Enabled());
    expectButtons(p, false, true, true);
    EXPECT_TRUE(testsupport::waitUntil([&] { return !p->LblPause->isVisible(); }, 2s));
    EXPECT_TRUE(testsupport::waitUntil([&] { return chart->SweepX > pausedAt; }, 3s));

    // Paused with the Limit panel open: Run leaves the chart stopped until OK.
    press(p, "Pause");
    chart->Toolbar1_ButtonClick("Limit");
    press(p, "Run");
    EXPECT_FALSE(chart->Timer1.Enabled());
    chart->CmdOK_Click();
    EXPECT_TRUE(chart->Timer1.Enabled());

    press(p, "Stop");
    EXPECT_EQ(LeqPeriod, 0);
    EXPECT_FALSE(LeqArmed);
    EXPECT_FALSE(PauseFlag);
    EXPECT_EQ(ListShown, vb::False);
    EXPECT_EQ(GraphShown, vb::False);
    EXPECT_FALSE(chart->Timer1.Enabled());
    expectButtons(p, true, false, false);
    // The windows stay open.
    EXPECT_TRUE(RealTimeSLMVisible());
    EXPECT_TRUE(LnGraphVisible());

    // Pause from idle, then Stop: no strip chart is loaded just to stop its timer.
    UnloadRealTimeSLM();
    ASSERT_TRUE(testsupport::waitUntil([&] { return chart.isNull(); }));
    press(p, "Pause");
    press(p, "Stop");
    EXPECT_EQ(RealTimeSLMForm, nullptr);
}

TEST_F(PalixKeys, RangeChangeAtTheMeterClosesTheStripChart) {
    SlmSim sim({"--level", "60", "--range", "2"});
    Panel *p = start(sim);
    press(p, "Graph");
    QPointer<RealTimeSLM> chart = RealTimeSLMForm;
    ASSERT_TRUE(testsupport::waitUntil([&] { return chart->SweepX >= 0; }, 5s));
    sim.control("range 4");
    ASSERT_TRUE(testsupport::waitUntil([&] { return chart.isNull(); }, 5s));
    EXPECT_EQ(RangeTop, 120);
    // The Graph key opens it again on the new range.
    press(p, "Graph");
    ASSERT_TRUE(RealTimeSLMVisible());
    EXPECT_EQ(RealTimeSLMForm->ChartMax, 120);
}

TEST_F(PalixKeys, LostLinkClosesTheListAndTheStripChart) {
    SlmSim sim({"--level", "60"});
    Panel *p = start(sim);
    run(p, "0:1:0");
    QPointer<RealTimeSLM> chart = RealTimeSLMForm;
    QPointer<List> list = ListForm();
    // Sent from a step: the program's handshake with the silent meter never returns to
    // the test's own loop.
    Steps steps;
    steps.then([] { return true; }, [&] { sim.control("silent"); });
    steps.then([&] { return chart.isNull() && list.isNull(); },
               [&] {
                   EXPECT_TRUE(LnVisible()); // the percentile windows stay
                   EXPECT_TRUE(LnGraphVisible());
                   EXPECT_EQ(p->LblCOM->text(), "No COM");
                   EXPECT_EQ(GraphShown, vb::True); // the routine leaves the flag; List's unload clears its own
                   EXPECT_EQ(ListShown, vb::False);
                   sim.control("answer");
               });
    steps.then([&] { return p->LblCOM->text() == "COM1"; });
    ASSERT_TRUE(steps.run(10s));
    EXPECT_EQ(RealTimeSLMForm, nullptr);
}

} // namespace
