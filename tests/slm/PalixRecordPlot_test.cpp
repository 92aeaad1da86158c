// The plot window on a record file opened into FileList: its defaults from the
// settings line, the limit entry and its two messages, the curve with levels beyond
// the limits, the minimum size, an empty file, and pictures of a recording.

#include "PalixRecordSupport.h"

#include "slm/core/SlmFile.h"

#include <QPainter>
#include <QTimer>

#include <cmath>
#include <limits>

using namespace slm;
using namespace std::chrono_literals;

namespace {

class PalixPlot : public PalixRecord {
protected:
    // A record file with these levels, opened with the Open key.
    FileList *open(Panel *p, const QStringList &levels,
                   const QByteArray &settings = "Time: FAST   Frequency: A   Range: 30-90") {
        QByteArray data = "No.s\tDate Time\tSPL\r\n";
        for (int i = 0; i < levels.size(); ++i)
            data += QByteArray::number(i + 1) + "\t2026/12/09 08:58:07\t" + levels[i].toLatin1() + "\t\r\n";
        data += "*" + settings + "\r\n**Max\r\n***Min\r\n";
        QFile f(dir + "/plot.slm");
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
        f.close();
        forms::DialogScript().pushFile(dir + "/plot.slm");
        press(p, "Open");
        return FileListForm();
    }
    // The plot of the open file, once its curve is drawn.
    static ListPlot *plot(FileList *f) {
        f->Toolbar1_ButtonClick("Plot");
        ListPlot *plot = ListPlotForm();
        EXPECT_TRUE(
            testsupport::waitUntil([&] { return plot->CurveDrawn && plot->windowTitle() == "Plot File "; }, 10s));
        return plot;
    }
    static void limits(ListPlot *plot, const char *lo, const char *hi, const char *first, const char *last) {
        plot->TxtT1->setText(lo);
        plot->TxtT2->setText(hi);
        plot->TxtR1->setText(first);
        plot->TxtR2->setText(last);
        plot->CmdOK_Click();
    }
};

TEST_F(PalixPlot, DefaultsFromTheSettingsLineAndTheLimitEntry) {
    SlmSim sim({"--level", "50"});
    Panel *p = start(sim);
    FileList *f = open(p, {"60.0", "61.0", "62.0", "63.0", "64.0", "65.0", "66.0", "67.0", "68.0", "69.0"});
    ListPlot *lp = plot(f);
    EXPECT_EQ(PlotTop, 90);
    EXPECT_EQ(PlotBottom, 30);
    EXPECT_EQ(PlotCount, 10);
    EXPECT_EQ(PlotSpan, 10);
    EXPECT_EQ(lp->TxtT1->text(), "30");
    EXPECT_EQ(lp->TxtT2->text(), "90");
    EXPECT_EQ(lp->TxtR1->text(), "1");
    EXPECT_EQ(lp->TxtR2->text(), "10");
    EXPECT_EQ(lp->frameGeometry().topLeft(), QPoint(p->frameGeometry().right() + 1, 0));
    EXPECT_FALSE(lp->PMessage->isVisible());
    lp->Toolbar1_ButtonClick("Limit");
    EXPECT_TRUE(lp->PMessage->isVisible());

    struct Case {
        const char *lo, *hi, *first, *last, *message;
    };
    const Case refused[] = {
        {"50", "50", "1", "10", "Invalid, 30 <= Value <= 90"}, // Min = Max
        {"29", "90", "1", "10", "Invalid, 30 <= Value <= 90"},  {"30", "91", "1", "10", "Invalid, 30 <= Value <= 90"},
        {"30", "90", "3", "3", "Invalid, 0 <= Records <= 10"}, // From = To
        {"30", "90", "0", "10", "Invalid, 0 <= Records <= 10"}, {"30", "90", "1", "11", "Invalid, 0 <= Records <= 10"},
    };
    for (const Case &c : refused) {
        limits(lp, c.lo, c.hi, c.first, c.last);
        EXPECT_EQ(lastPrompt(), c.message) << c.lo << " " << c.hi << " " << c.first << " " << c.last;
        EXPECT_EQ(forms::DialogScript().log().back().flags & forms::MB_ICONMASK, forms::MB_ICONSTOP);
        EXPECT_TRUE(lp->PMessage->isVisible());
        EXPECT_EQ(PlotLow, 30);
        EXPECT_EQ(PlotSpan, 10);
    }
    const size_t messages = forms::DialogScript().log().size();
    limits(lp, "30", "90", "1", "10"); // the bounds themselves
    EXPECT_EQ(forms::DialogScript().log().size(), messages);
    EXPECT_FALSE(lp->PMessage->isVisible());
    limits(lp, "40", "80", "2", "5");
    EXPECT_EQ(PlotLow, 40);
    EXPECT_EQ(PlotHigh, 80);
    EXPECT_EQ(PlotFirst, 2);
    EXPECT_EQ(PlotSpan, 4);
    EXPECT_TRUE(testsupport::waitUntil([&] { return lp->CurveDrawn && lp->windowTitle() == "Plot File "; }, 10s));

    // Plot again: the whole file, and the fields say so.
    lp = plot(f);
    EXPECT_EQ(PlotSpan, 10);
    EXPECT_EQ(lp->TxtT1->text(), "30");
    EXPECT_EQ(lp->TxtR1->text(), "1");
    EXPECT_EQ(lp->TxtR2->text(), "10");

    // Closing the file list closes its plot.
    QPointer<ListPlot> gone(lp);
    f->close();
    EXPECT_TRUE(testsupport::waitUntil([&] { return gone.isNull(); }));
}

TEST_F(PalixPlot, ASettingsLineWithoutADashPlotsFromMinus60To0) {
    SlmSim sim({"--level", "50"});
    Panel *p = start(sim);
    FileList *f = open(p, {"60.0", "61.0"}, "");
    plot(f);
    EXPECT_EQ(PlotTop, 0);
    EXPECT_EQ(PlotBottom, -60);
}

TEST_F(PalixPlot, TheCurveAndLevelsBeyondTheLimits) {
    SlmSim sim({"--level", "50"});
    Panel *p = start(sim);
    FileList *f = open(p, {"60.0", "200.0", "10.0", "60.0", "x"});
    ListPlot *lp = plot(f);
    const PlotGeometry g = lp->Geometry;
    EXPECT_EQ(g.ChartLeft, 60);
    EXPECT_EQ(g.ChartWidth,
              double(lround(lp->Canvas().ScaleWidth() - 60) - lround(lp->Canvas().ScaleWidth() - 60) % 30));
    EXPECT_EQ(g.ChartHeight, lp->Canvas().ScaleHeight() - 100);
    EXPECT_EQ(g.SweepStep, g.ChartWidth / 5);
    const QImage &pic = lp->Canvas().Image();
    const auto black = [&](double x, double y) {
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                if (pic.pixelColor(int(std::lround(x)) + dx, int(std::lround(y)) + dy) == Qt::black) return true;
        return false;
    };
    const double top = g.ChartBase - g.ChartHeight;
    // Record 1 on the left edge, record 2 five above the top edge, record 3 three below
    // the base, record 5 ("x") read as 0, below the base too.
    EXPECT_TRUE(black(g.ChartLeft, g.ChartBase - 0.5 * g.ChartHeight));
    EXPECT_TRUE(black(g.ChartLeft + g.SweepStep, top - 5));
    EXPECT_TRUE(black(g.ChartLeft + 2 * g.SweepStep, g.ChartBase + 3));
    EXPECT_TRUE(black(g.ChartLeft + 4 * g.SweepStep, g.ChartBase + 3));
    // Inside the chart, away from the curve and the grid, it is white.
    EXPECT_EQ(pic.pixelColor(int(g.ChartLeft + 0.5 * g.SweepStep), int(top + 0.05 * g.ChartHeight)), QColor(Qt::white));
    // The value labels stand left of the axis, in the window.
    int ink = 0;
    for (int x = 0; x < int(g.ChartLeft) - 12; ++x)
        for (int y = int(top); y < int(g.ChartBase); ++y) ink += pic.pixelColor(x, y).lightness() < 128;
    EXPECT_GT(ink, 9 * 20);
}

// The plot as a line to every record draws it, marks and ticks in their turn: the
// picture that the drawing of a dense curve must give.
void drawEveryRecord(ListPlot *lp, vb::MSFlexGrid *grid) {
    vb::FormCanvas &c = lp->Canvas();
    const PlotGeometry g = lp->Geometry;
    const double left = g.ChartLeft, base = g.ChartBase, height = g.ChartHeight, width = g.ChartWidth;
    const std::int32_t gray = vb::QBColor(7);
    c.Line(left - 2, base - height / 2, left + width + 2, base - height / 2, gray);
    c.DrawStyle = vb::vbDot;
    for (int k : {1, 7, 6, 5, 8, 3, 2}) c.Line(left, base - k * height / 8, left + width, base - k * height / 8, gray);
    c.DrawStyle = vb::vbSolid;
    const auto span = std::int64_t(PlotSpan);
    double sweep = -g.SweepStep, lastX = 0, lastY = 0;
    for (int r = int(PlotFirst); r <= int(PlotLast); ++r) {
        sweep += g.SweepStep;
        grid->SetRow(r);
        const double v = vb::Val(grid->Text());
        const double h = v > PlotHigh ? height + 5 : v < PlotLow ? -3 : (v - PlotLow) / (PlotHigh - PlotLow) * height;
        const double x = left + sweep;
        if (lastX != 0 && sweep != 0) c.Line(lastX, lastY, x, base - h, 0);
        lastX = x;
        lastY = base - h;
        const std::int64_t n = r - std::int64_t(PlotFirst) + 1;
        bool mark = n == 1, tick = false;
        for (int k = 1; k <= 5; ++k) mark = mark || n == k * span / 5;
        for (int k = 1; k <= 10; ++k) tick = tick || n == k * span / 10;
        if (mark) {
            c.DrawStyle = vb::vbDot;
            c.Line(x, base, x, base - height - 10, gray);
            c.DrawStyle = vb::vbSolid;
            c.ForeColor = 0;
            c.CurrentX = x - c.TextWidth(QString::number(r));
            c.CurrentY = base + 10;
            c.Print(QString::number(r));
        } else if (tick) {
            c.Line(x, base - 4.2 * height / 8, x, base - 3.8 * height / 8, gray);
        }
    }
}

TEST_F(PalixPlot, ADenseCurveGivesThePictureOfALineToEveryRecord) {
    SlmSim sim({"--level", "50"});
    Panel *p = start(sim);
    // Many records a pixel column: a wandering level with single-record spikes up and
    // down, some beyond the limits, equal neighbours and a text that reads as 0.
    QStringList levels;
    for (int i = 0; i < 6000; ++i) {
        double v = 60 + 12 * std::sin(i / 180.0) + (i * 7919 % 23) / 4.0;
        if (i % 97 == 0) v += 25;
        if (i % 131 == 0) v -= 28;
        if (i % 1009 == 0) v = 200;
        if (i % 50 == 25) v = std::floor(v);
        levels << (i % 2003 == 7 ? QString("x") : QString::number(v, 'f', 1));
    }
    FileList *f = open(p, levels);
    ListPlot *lp = plot(f);
    ASSERT_GT(PlotSpan, 4 * lp->Geometry.ChartWidth);

    struct Case {
        const char *lo, *hi, *first, *last;
    };
    for (const Case &c : {Case{nullptr, nullptr, nullptr, nullptr}, Case{"45", "75", "7", "4321"}}) {
        if (c.lo) {
            limits(lp, c.lo, c.hi, c.first, c.last);
            ASSERT_TRUE(
                testsupport::waitUntil([&] { return lp->CurveDrawn && lp->windowTitle() == "Plot File "; }, 20s));
        }
        const QImage drawn = lp->Canvas().Image().copy();
        lp->Form_Resize();
        lp->Timer1.SetEnabled(false);
        drawEveryRecord(lp, f->GridN(2));
        const QImage &expected = lp->Canvas().Image();
        ASSERT_EQ(drawn.size(), expected.size());
        int differ = 0, ink = 0;
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x) {
                differ += drawn.pixel(x, y) != expected.pixel(x, y);
                ink += expected.pixel(x, y) == 0xFF000000;
            }
        EXPECT_EQ(differ, 0) << (c.lo ? c.lo : "defaults");
        EXPECT_GT(ink, 5000);
    }
}

TEST_F(PalixPlot, AbsurdLimitsStillGiveEveryLevelAPlace) {
    // The settings line's range top is 1e308: bottom and top are the same number.
    SlmSim sim({"--level", "50"});
    Panel *p = start(sim);
    FileList *f = open(p, {"1e308", "60.0", "-1e308", "1e308"}, "Time: FAST   Frequency: A   Range: -1e308");
    ListPlot *lp = plot(f);
    ASSERT_EQ(PlotTop, 1e308);
    ASSERT_EQ(PlotBottom, PlotTop);
    const PlotGeometry g = lp->Geometry;
    const QImage &pic = lp->Canvas().Image();
    // Drawn at the clamped range: the top record 5 above the top edge, the others below the base.
    EXPECT_EQ(pic.pixelColor(int(g.ChartLeft), int(g.ChartBase - g.ChartHeight - 5)), QColor(Qt::black));
    EXPECT_EQ(pic.pixelColor(int(g.ChartLeft + g.SweepStep), int(g.ChartBase + 3)), QColor(Qt::black));

    struct R {
        double low, high;
    };
    const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
    for (const R &r :
         {R{30, 90}, R{1e308, 1e308}, R{-inf, inf}, R{inf, -inf}, R{nan, nan}, R{-1e308, 1e308}, R{5, 5}}) {
        const PlotRange got = PlotRange::Of(r.low, r.high);
        EXPECT_TRUE(std::isfinite(got.Low) && std::isfinite(got.High)) << r.low << " " << r.high;
        EXPECT_LT(got.Low, got.High) << r.low << " " << r.high;
        EXPECT_TRUE(std::isfinite(got.High - got.Low)) << r.low << " " << r.high;
    }
    EXPECT_EQ(PlotRange::Of(30, 90).Low, 30);
    EXPECT_EQ(PlotRange::Of(30, 90).High, 90);
}

TEST_F(PalixPlot, TheWindowKeepsItsMinimumSize) {
    SlmSim sim({"--level", "50"});
    Panel *p = start(sim);
    ListPlot *lp = plot(open(p, {"60.0", "61.0", "62.0"}));
    lp->resize(100, 100);
    EXPECT_TRUE(testsupport::waitUntil([&] {
        return lp->frameGeometry().width() >= vb::TwipsToPixelsX(PlotMinWidth) &&
               lp->frameGeometry().height() >= vb::TwipsToPixelsY(PlotMinHeight);
    }));
    EXPECT_GE(lp->frameGeometry().width(), vb::TwipsToPixelsX(PlotMinWidth));
    EXPECT_GE(lp->frameGeometry().height(), vb::TwipsToPixelsY(PlotMinHeight));
    EXPECT_LE(lp->frameGeometry().width(), vb::TwipsToPixelsX(PlotMinWidth) + 1);
    // And draws again at that size.
    EXPECT_TRUE(testsupport::waitUntil([&] { return lp->CurveDrawn && lp->windowTitle() == "Plot File "; }, 10s));
}

TEST_F(PalixPlot, AFileWithoutRecordsShowsTheEmptyFrame) {
    SlmSim sim({"--level", "50"});
    Panel *p = start(sim);
    ListPlot *lp = plot(open(p, {}));
    EXPECT_EQ(PlotCount, 0);
    EXPECT_EQ(lp->Geometry.SweepStep, 0);
    EXPECT_TRUE(lp->isVisible());
    const PlotGeometry g = lp->Geometry;
    EXPECT_EQ(
        lp->Canvas().Image().pixelColor(int(g.ChartLeft + g.ChartWidth / 3), int(g.ChartBase - g.ChartHeight / 3)),
        QColor(Qt::white));
}

// Closing the window while its loop runs inside its own events: the loop stops, the
// program goes on.
TEST_F(PalixPlot, ClosingWhileReadingOrDrawingStopsTheLoop) {
    SlmSim sim({"--level", "50"});
    Panel *p = start(sim);
    QStringList levels;
    for (int i = 0; i < 100000; ++i) levels << QString::number(40 + i % 40) + ".0";
    const auto closeWhenBusy = [](QWidget *w) {
        auto *t = new QTimer;
        QPointer<QWidget> target(w);
        QObject::connect(t, &QTimer::timeout, [t, target] {
            if (!target || target->windowTitle().endsWith("Records Completed")) {
                if (target) target->close();
                t->stop();
                t->deleteLater();
            }
        });
        t->start(1);
    };
    // The plot, while it draws.
    FileList *f = open(p, levels);
    ASSERT_EQ(f->RecordCount(), 100000);
    f->Toolbar1_ButtonClick("Plot");
    QPointer<ListPlot> lp = ListPlotForm();
    closeWhenBusy(lp);
    EXPECT_TRUE(testsupport::waitUntil([&] { return lp.isNull(); }, 20s));
    // The file list, while it reads.
    forms::DialogScript().pushFile(dir + "/plot.slm");
    QPointer<FileList> reading = FileListForm();
    closeWhenBusy(reading);
    press(p, "Open");
    EXPECT_TRUE(testsupport::waitUntil([&] { return reading.isNull(); }, 20s));
    EXPECT_TRUE(testsupport::waitUntil([&] { return p->LblValue->text() == "50.0"; }, 5s));
}

// Pictures for a person to look at (build/screenshots, copied by scripts/screenshots):
// the panel recording with the live list beside it, and the plot of the recorded file.
// Each record is taken once the panel shows a new level, a third of a second apart at
// the meter's own pace, so the run takes about 20 s and runs only when METER_SCREENSHOTS
// is set.
TEST_F(PalixPlot, RecordingAndPlotScreenshots) {
    if (qEnvironmentVariableIsEmpty("METER_SCREENSHOTS")) GTEST_SKIP() << "20 s long: set METER_SCREENSHOTS";
    // A swell with some flicker, each level held for one display (8 sub-frames of 40 ms).
    QStringList cycle;
    for (int i = 0; i < 64; ++i) {
        const QString level = QString::number(58 + 7 * std::sin(i / 10.0) + 2.5 * std::sin(i * 1.7), 'f', 1);
        for (int k = 0; k < 8; ++k) cycle << level;
    }
    SlmSim sim({"--subframe-ms", "40", "--range", "1", "--levels", cycle.join(',')});
    Panel *p = start(sim);
    p->resize(p->sizeHint());
    press(p, "List");
    forms::DialogScript().pushFile(dir + "/traffic.slm");
    press(p, "Save");
    // The records are the test's: one a new level.
    p->Timer2.SetEnabled(false);
    QStringList recorded;
    for (int i = 0; i < 60; ++i) {
        const QString before = p->LblValue->text();
        ASSERT_TRUE(testsupport::waitUntil([&] { return p->LblValue->text() != before; }, 3s)) << i;
        SampleCounter = SamplingTime;
        p->Timer2_Timer();
        recorded << p->LblValue->text();
    }
    List *list = ListForm();
    ASSERT_EQ(list->Grid->Rows(), 61);
    for (int r = 1; r <= 60; ++r) ASSERT_EQ(list->Grid->TextMatrix(r, 2), recorded[r - 1]) << r;
    const QString shots = QString::fromStdString(testsupport::binDir()) + "/../screenshots";
    QDir().mkpath(shots);
    {
        const QImage panel = p->grab().toImage(), rows = list->grab().toImage();
        QImage both(panel.width() + rows.width(), std::max(panel.height(), rows.height()), QImage::Format_RGB32);
        both.fill(QColor("#2b2f33"));
        QPainter painter(&both);
        painter.drawImage(0, 0, panel);
        painter.drawImage(panel.width(), 0, rows);
        painter.end();
        EXPECT_TRUE(both.save(shots + "/palix-recording.png"));
    }
    press(p, "Save");
    forms::DialogScript().pushAccept(); // the dialog still names the recording
    press(p, "Open");
    FileList *f = FileListForm();
    ASSERT_EQ(f->RecordCount(), 60);
    for (int r = 1; r <= 60; ++r) ASSERT_EQ(f->GridN(2)->TextMatrix(r, f->GridN(2)->Col()), recorded[r - 1]) << r;
    ListPlot *lp = plot(f);
    lp->resize(720, 460);
    ASSERT_TRUE(testsupport::waitUntil([&] { return lp->CurveDrawn && lp->windowTitle() == "Plot File "; }, 10s));
    // The curve passes each recorded level.
    const PlotGeometry g = lp->Geometry;
    double sweep = -g.SweepStep;
    for (int r = 0; r + 1 < 60; ++r) {
        sweep += g.SweepStep;
        const double v = recorded[r].toDouble();
        const double h = v > PlotHigh  ? g.ChartHeight + 5
                         : v < PlotLow ? -3
                                       : (v - PlotLow) / (PlotHigh - PlotLow) * g.ChartHeight;
        const QPoint at(lp->Canvas().PixelX(g.ChartLeft + sweep), lp->Canvas().PixelY(g.ChartBase - h));
        int ink = 0;
        for (int dy = -1; dy <= 1; ++dy) ink += lp->Canvas().Image().pixel(at + QPoint(0, dy)) == 0xFF000000;
        ASSERT_GT(ink, 0) << r;
    }
    EXPECT_TRUE(lp->grab().toImage().save(shots + "/palix-plot.png"));
}

} // namespace
