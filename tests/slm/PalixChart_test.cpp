// The strip chart RealTimeSLM driven tick by tick: where the trace, the grid, the time
// marks and the scale land on its backing image, the Limit panel and its checks, the
// minimum size and the self-unload on a range change.

#include "platform/forms/Dialogs.h"
#include "platform/forms/Printer.h"
#include "slm/core/FileTransfer.h"
#include "slm/core/Meter.h"
#include "slm/Panel.h"
#include "slm/RealTimeSLM.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPointer>

#include <chrono>
#include <cmath>

using namespace slm;
using namespace std::chrono_literals;

namespace {

constexpr QRgb black = 0xFF000000;
constexpr QRgb white = 0xFFFFFFFF;
constexpr QRgb grid = 0xFFC0C0C0;

TEST(StripChartGeometry, WidthHeightsMarksAndLabels) {
    EXPECT_EQ(StripChartWidth(400), 330);
    EXPECT_EQ(StripChartWidth(419), 330);
    EXPECT_EQ(StripChartWidth(420), 360);

    struct H {
        double level, expected;
    };
    for (const H &c : {H{100, 300}, H{100.1, 305}, H{40, 0}, H{39.9, -3}, H{0, -3}, H{70, 150}})
        EXPECT_DOUBLE_EQ(TraceHeight(c.level, 40, 100, 300), c.expected) << c.level;

    // Width 300: marks at 0 and 150, quarter ticks at 75 and 225, on or passed by a step.
    struct M {
        double x, step;
        bool mark, tick;
    };
    const M marks[] = {{0, 1, true, false},     {150, 1, true, false},  {149.5, 1, true, false},
                       {149, 1, false, false},  {75, 1, false, true},   {74.5, 1, false, true},
                       {224.2, 1, false, true}, {76, 1, false, false},  {120, 40, true, false},
                       {60, 40, false, true},   {300, 1, false, false}, {225, 0.5, false, true}};
    for (const M &m : marks) {
        EXPECT_EQ(TimeMarkDue(m.x, m.step, 300), m.mark) << m.x << " step " << m.step;
        EXPECT_EQ(QuarterTickDue(m.x, m.step, 300), m.tick) << m.x << " step " << m.step;
    }

    EXPECT_EQ(LoadSweepStep(false, 60, 300), 1);
    EXPECT_DOUBLE_EQ(LoadSweepStep(true, 61, 300), 5);
    // A period of one second (or none) has no interval to spread the sweep over.
    EXPECT_EQ(LoadSweepStep(true, 1, 300), 1);
    EXPECT_EQ(LoadSweepStep(true, 0, 300), 1);

    EXPECT_EQ(ScaleLabel(130), " 130.0");
    EXPECT_EQ(ScaleLabel(77.5), " 77.5");
    EXPECT_EQ(ScaleLabel(41.6375), " 41.6375");
    EXPECT_EQ(ScaleLabel(-2.5), "-2.5");
}

class StripChart : public ::testing::Test {
protected:
    void SetUp() override {
        ResetMeterState();
        ResetFileTransferState();
        vb::ResetEnded();
        forms::DialogScript().reset();
        panel = new Panel;
        PanelForm = panel;
        RangeTop = 100;
        RangeBottom = 40;
        GraphRangeTop = RangeTop;
        GraphShown = vb::True;
        chart = LoadRealTimeSLM();
        chart->show();
        ASSERT_TRUE(testsupport::waitUntil([&] { return chart->Timer1.Enabled(); }));
        // The test ticks the chart itself.
        chart->Timer1.SetEnabled(false);
    }
    void TearDown() override {
        delete chart.data();
        delete panel;
        PanelForm = nullptr;
        testsupport::processPendingDeletes();
    }

    void restart() {
        chart->Form_Resize();
        chart->Timer1.SetEnabled(false);
    }
    void tick(const QString &level, int times = 1) {
        panel->LblValue->setText(level);
        for (int i = 0; i < times; ++i) chart->Timer1_Timer();
    }
    QRgb pixel(double x, double y) const {
        return chart->Canvas.Image().pixel(chart->Canvas.PixelX(x), chart->Canvas.PixelY(y));
    }
    double top() const { return chart->ChartBase - chart->ChartHeight; }
    // Text typed into a field, key by key.
    static void type(QWidget *w, const QString &keys) {
        for (QChar c : keys) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(w, &press);
        }
    }
    static void key(QWidget *w, int key, Qt::KeyboardModifiers modifiers, const QString &text = {}) {
        QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(w, &press);
    }
    static void enter(QWidget *w) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
        QApplication::sendEvent(w, &press);
    }

    Panel *panel = nullptr;
    QPointer<RealTimeSLM> chart;
};

TEST_F(StripChart, OpensBelowPanelWithTheEmptyChart) {
    EXPECT_EQ(chart->windowTitle(), "Real Time Graph");
    EXPECT_EQ(chart->frameGeometry().topLeft(), QPoint(0, panel->frameGeometry().height()));
    EXPECT_EQ(chart->ChartMax, 100);
    EXPECT_EQ(chart->ChartMin, 40);
    EXPECT_EQ(chart->SweepStep, 1);
    EXPECT_EQ(chart->ChartLeft, 60);
    EXPECT_EQ(std::fmod(chart->ChartWidth, 30), 0);
    EXPECT_EQ(chart->ChartHeight, chart->Canvas.ScaleHeight() - 100);
    EXPECT_EQ(chart->ChartBase, chart->Canvas.ScaleHeight() - 27);
    EXPECT_EQ(chart->SweepX, -1);
    EXPECT_EQ(chart->LastX, 0);

    const double L = chart->ChartLeft, B = chart->ChartBase, W = chart->ChartWidth;
    EXPECT_EQ(pixel(L + W / 2, B - chart->ChartHeight / 2), white); // the plotting area
    EXPECT_EQ(pixel(L - 2, B - chart->ChartHeight / 3), black);     // the value axis
    EXPECT_EQ(pixel(L + W / 3, B + 6), black);                      // the time axis
    EXPECT_EQ(pixel(L - 9, B - chart->ChartHeight / 8), black);     // a long tick
    EXPECT_NE(pixel(L - 9, B - chart->ChartHeight / 16), black);    // a short one
    EXPECT_EQ(pixel(L - 5, B - chart->ChartHeight / 16), black);
    // Some ink of the labels and of "SPL" left of the axis.
    int ink = 0;
    for (int y = 0; y < chart->Canvas.Image().height(); ++y)
        for (int x = 0; x < int(L - 12); ++x) ink += qGray(chart->Canvas.Image().pixel(x, y)) < 100;
    EXPECT_GT(ink, 100);
}

TEST_F(StripChart, TraceHeightsAreClippedAboveAndBelow) {
    struct Case {
        const char *level;
        double height;
    };
    const double H = chart->ChartHeight;
    const Case cases[] = {{"100.0", H}, {"130.0", H + 5}, {"39.9", -3}, {"", -3}, {"70.0", H / 2}, {"55.0", H / 4}};
    for (const Case &c : cases) {
        restart();
        tick(c.level, 2); // the first sample of a sweep draws no segment
        const double y = chart->ChartBase - c.height;
        EXPECT_EQ(chart->LastY, y) << c.level;
        // The segment starts at the sample before (the end point is the next one's start).
        EXPECT_EQ(pixel(chart->ChartLeft, y), black) << c.level;
        EXPECT_NE(pixel(chart->ChartLeft, y - 1), black) << c.level;
        EXPECT_NE(pixel(chart->ChartLeft, y + 1), black) << c.level;
    }
}

TEST_F(StripChart, SweepWrapsWithoutASegmentAndMarksTheLeftEdge) {
    // Ten samples a sweep: each advances a tenth of the width.
    chart->Toolbar1_ButtonClick("Limit");
    EXPECT_TRUE(chart->PMessage->isVisible());
    EXPECT_FALSE(chart->Timer1.Enabled());
    EXPECT_EQ(chart->TxtCounts->text(), QString::number(chart->ChartWidth));
    EXPECT_EQ(chart->TxtMax->text(), "100");
    EXPECT_EQ(chart->TxtMin->text(), "40");
    chart->TxtCounts->setText("10");
    chart->CmdOK_Click();
    chart->Timer1.SetEnabled(false);
    const double L = chart->ChartLeft, W = chart->ChartWidth, step = W / 10;
    EXPECT_DOUBLE_EQ(chart->SweepStep, step);

    tick("50.0", 11); // x = 0, step, ..., 10 steps = W
    EXPECT_DOUBLE_EQ(chart->SweepX, W);
    EXPECT_DOUBLE_EQ(chart->LastX, L + W);
    const double y50 = chart->ChartBase - chart->ChartHeight / 6;
    EXPECT_EQ(pixel(L + 3.5 * step, y50), black);

    // Clear the top of the left edge, where only a time mark reaches.
    chart->Canvas.FilledBox(L - 1, top() - 11, L + 1, top() - 6, 0xFFFFFF);
    tick("50.0");
    EXPECT_EQ(chart->SweepX, 0);
    EXPECT_EQ(chart->LastX, L);
    // No segment from the right end onwards.
    EXPECT_NE(pixel(L + W + 3, y50), black);
    int marks = 0;
    for (double y = top() - 10; y <= top() - 6; ++y) marks += pixel(L, y) == grid;
    EXPECT_GT(marks, 0);
    EXPECT_FALSE(chart->MarkText.isEmpty());
    // The next sample joins the new sweep.
    tick("90.0");
    const double y90 = chart->ChartBase - chart->ChartHeight * 50 / 60;
    EXPECT_EQ(pixel(L, y50), black);
    int ink = 0;
    for (double y = y90; y <= y50; ++y) ink += pixel(L + step / 2, y) == black;
    EXPECT_GT(ink, 0);
}

TEST_F(StripChart, TheGridLiesUnderTheTrace) {
    chart->ChartMax = 110;
    chart->ChartMin = 50;
    restart();
    tick("65.0", 40); // on the dotted line a quarter up
    const double y = chart->ChartBase - chart->ChartHeight / 4;
    ASSERT_EQ(chart->LastY, y);
    int broken = 0;
    // (A line's last pixel is the next segment's first.)
    for (double x = chart->ChartLeft; x < chart->LastX; ++x) broken += pixel(x, y) != black;
    EXPECT_EQ(broken, 0);
    // The grid is there ahead of the trace, and again in the strip just erased.
    int dots = 0;
    for (double x = chart->LastX + 10; x < chart->ChartLeft + chart->ChartWidth; ++x) dots += pixel(x, y) == grid;
    EXPECT_GT(dots, chart->ChartWidth / 4);
    EXPECT_EQ(pixel(chart->LastX + 3, chart->ChartBase - chart->ChartHeight / 2), grid);
}

TEST_F(StripChart, ATimeLabelIsDrawnWhereItsBoxErases) {
    const double L = chart->ChartLeft, B = chart->ChartBase;
    const QImage &pic = chart->Canvas.Image();
    tick("70.0"); // a time mark at the left edge
    const double w = chart->Canvas.TextWidth(chart->MarkText) / 2, h = chart->Canvas.TextHeight(chart->MarkText);
    const QRect box(QPoint(chart->Canvas.PixelX(L - w), chart->Canvas.PixelY(B + 10)),
                    QPoint(chart->Canvas.PixelX(L + w), chart->Canvas.PixelY(B + 10 + h)));
    QRect ink;
    for (int y = chart->Canvas.PixelY(B + 9); y < pic.height(); ++y)
        for (int x = 0; x < chart->Canvas.PixelX(L + 60); ++x)
            if (qGray(pic.pixel(x, y)) < 160) ink |= QRect(x, y, 1, 1);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_TRUE(box.contains(ink)) << "label at " << ink.x() << "," << ink.y() << " " << ink.width() << "x"
                                   << ink.height() << ", box at " << box.x() << "," << box.y() << " " << box.width()
                                   << "x" << box.height();

    // Over an old label's ink, each row of the new one has its white background.
    restart();
    chart->Canvas.FilledBox(L - 40, B + 9, L + 40, chart->Canvas.ScaleHeight() - 1, 0x000000);
    tick("70.0");
    for (int y = box.top(); y < box.top() + int(h); ++y) {
        int clean = 0;
        for (int x = box.left(); x <= box.right(); ++x) clean += pic.pixel(x, y) == white;
        EXPECT_GT(clean, 0) << "row " << y - box.top();
    }
}

TEST_F(StripChart, WhatIsDrawnSurvivesARepaint) {
    tick("75.0", 5); // between grid lines, which every tick draws again
    chart->hide();
    chart->show();
    ASSERT_TRUE(testsupport::waitUntil([&] { return chart->isVisible(); }));
    chart->Timer1.SetEnabled(false);
    const QImage shown = chart->grab().toImage().convertToFormat(QImage::Format_RGB32);
    // Below the toolbar the window shows the picture, trace included.
    const QImage &picture = chart->Canvas.Image();
    const QRect area(0, chart->Toolbar1->height(), picture.width(), picture.height() - chart->Toolbar1->height());
    EXPECT_EQ(shown.copy(area), picture.copy(area));
    int ink = 0;
    for (int dy = -1; dy <= 1; ++dy) ink += shown.pixel(int(chart->ChartLeft + 2), int(chart->LastY) + dy) == black;
    EXPECT_GT(ink, 0);
}

TEST_F(StripChart, LimitEntryChecksAndTakesItsValues) {
    struct Case {
        const char *max, *min, *counts;
        const char *message;
        double chartMax, chartMin;
        bool redrawn;
    };
    const Case cases[] = {
        {"130", "30", "100", nullptr, 130, 30, true},
        {"80", "80", "100", "30 <= Value <= 130, try again!", 100, 40, false},
        {"131", "40", "100", "30 <= Value <= 130, try again!", 100, 40, false},
        {"100", "29.9", "100", "30 <= Value <= 130, try again!", 100, 40, false},
        {"120", "50", "9", "10 <= Counts <= 864000, try again!", 120, 50, false},
        {"110", "35", "864001", "10 <= Counts <= 864000, try again!", 110, 35, false},
        {"90", "60", "864000", nullptr, 90, 60, true},
    };
    for (const Case &c : cases) {
        chart->ChartMax = 100;
        chart->ChartMin = 40;
        chart->SweepStep = 1;
        restart();
        tick("70.0", 3);
        forms::DialogScript().reset();
        chart->Toolbar1_ButtonClick("Limit");
        chart->TxtMax->setText(c.max);
        chart->TxtMin->setText(c.min);
        chart->TxtCounts->setText(c.counts);
        if (c.message) forms::DialogScript().pushAccept();
        chart->CmdOK_Click();
        const auto &log = forms::DialogScript().log();
        if (c.message) {
            ASSERT_EQ(log.size(), 1u) << c.max << " " << c.min << " " << c.counts;
            EXPECT_EQ(log[0].text, c.message);
            EXPECT_EQ(log[0].flags & forms::MB_ICONMASK, forms::MB_ICONSTOP);
        } else {
            EXPECT_TRUE(log.empty());
        }
        EXPECT_EQ(chart->ChartMax, c.chartMax) << c.max;
        EXPECT_EQ(chart->ChartMin, c.chartMin) << c.min;
        // A refused entry leaves the panel open, the chart as it was and the timer off.
        EXPECT_EQ(chart->PMessage->isVisible(), !c.redrawn);
        EXPECT_EQ(chart->Timer1.Enabled(), c.redrawn);
        EXPECT_EQ(chart->LastX == 0, c.redrawn);
        if (c.redrawn)
            EXPECT_DOUBLE_EQ(chart->SweepStep, chart->ChartWidth / vb::Val(c.counts));
        else
            EXPECT_EQ(chart->SweepStep, 1);
    }
}

TEST_F(StripChart, LimitFieldsFilterTheirKeys) {
    chart->Toolbar1_ButtonClick("Limit");
    for (QLineEdit *f : {chart->TxtMax, chart->TxtMin, chart->TxtCounts}) f->clear();
    type(chart->TxtMax, "1a2.-3 ,");
    type(chart->TxtMin, "4x-5.e");
    type(chart->TxtCounts, "2-0.0z");
    EXPECT_EQ(chart->TxtMax->text(), "12.-3");
    EXPECT_EQ(chart->TxtMin->text(), "4-5.");
    EXPECT_EQ(chart->TxtCounts->text(), "200");

    // Editing keys and shortcuts work: select all, copy, paste, undo.
    key(chart->TxtMax, Qt::Key_A, Qt::ControlModifier, QString(QChar(1)));
    EXPECT_EQ(chart->TxtMax->selectedText(), "12.-3");
    type(chart->TxtMax, "8");
    EXPECT_EQ(chart->TxtMax->text(), "8");
    key(chart->TxtMax, Qt::Key_Z, Qt::ControlModifier, QString(QChar(26)));
    EXPECT_EQ(chart->TxtMax->text(), "12.-3");
    key(chart->TxtMax, Qt::Key_A, Qt::ControlModifier, QString(QChar(1)));
    key(chart->TxtMax, Qt::Key_C, Qt::ControlModifier, QString(QChar(3)));
    key(chart->TxtCounts, Qt::Key_End, Qt::NoModifier);
    key(chart->TxtCounts, Qt::Key_Left, Qt::NoModifier);
    key(chart->TxtCounts, Qt::Key_Delete, Qt::NoModifier);
    EXPECT_EQ(chart->TxtCounts->text(), "20");
    key(chart->TxtMin, Qt::Key_End, Qt::NoModifier);
    key(chart->TxtMin, Qt::Key_V, Qt::ControlModifier, QString(QChar(22)));
    EXPECT_EQ(chart->TxtMin->text(), "4-5.12.-3");
    // A character typed with a modifier that types it (Shift, AltGr) is still checked.
    key(chart->TxtCounts, Qt::Key_Q, Qt::ShiftModifier, "Q");
    key(chart->TxtCounts, Qt::Key_Q, Qt::AltModifier, "q");
    EXPECT_EQ(chart->TxtCounts->text(), "20");
    chart->TxtCounts->setText("200");

    chart->TxtMax->setFocus();
    enter(chart->TxtMax);
    EXPECT_EQ(chart->focusWidget(), chart->TxtMin);
    enter(chart->TxtMin);
    EXPECT_EQ(chart->focusWidget(), chart->TxtCounts);
    chart->TxtMax->setText("120");
    chart->TxtMin->setText("60");
    enter(chart->TxtCounts); // Enter in Counts confirms
    EXPECT_FALSE(chart->PMessage->isVisible());
    EXPECT_EQ(chart->ChartMax, 120);
    EXPECT_DOUBLE_EQ(chart->SweepStep, chart->ChartWidth / 200);
}

TEST_F(StripChart, SnapsBackToItsMinimumSize) {
    const int minW = vb::TwipsToPixelsX(5355), minH = vb::TwipsToPixelsY(5865);
    chart->resize(120, 90);
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return chart->frameGeometry().width() >= minW && chart->frameGeometry().height() >= minH; }));
    EXPECT_EQ(chart->frameGeometry().size(), QSize(minW, minH));
    EXPECT_EQ(chart->ChartBase, chart->Canvas.ScaleHeight() - 27);
    EXPECT_EQ(chart->ChartWidth, StripChartWidth(chart->Canvas.ScaleWidth()));
}

TEST_F(StripChart, UnloadsItselfWhenTheRangeChanges) {
    tick("70.0");
    EXPECT_FALSE(chart.isNull());
    RangeTop = 110; // Up at the meter
    tick("70.0");
    ASSERT_TRUE(testsupport::waitUntil([&] { return chart.isNull(); }));
    EXPECT_EQ(RealTimeSLMForm, nullptr);
}

TEST_F(StripChart, DrawsNothingWhileNotShown) {
    tick("70.0", 2);
    const QImage before = chart->Canvas.Image();
    GraphShown = vb::False;
    tick("90.0", 3);
    EXPECT_EQ(chart->Canvas.Image(), before);
    EXPECT_EQ(chart->SweepX, 1);
}

} // namespace
