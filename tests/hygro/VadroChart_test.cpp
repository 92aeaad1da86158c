// Vadro's charts: the real-time chart made at start-up and fed by the poll loop, the
// chart of a table with its row marks, the scale, zoom and print commands.

#include "hygro/VadroFixture.h"

#include "hygro/UGraph.h"
#include "hygro/core/ChartMaths.h"

#include "chart/ChartEngineApi.h"
#include "chart/SciGraphCtl.h"
#include "platform/forms/Printer.h"
#include "support/ChartSupport.h"
#include "support/FormsSupport.h"

#include <QDir>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPageLayout>
#include <QPrinter>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <cmath>

using namespace hygrotest;
using namespace hygro;
using testsupport::messagesSaying;

namespace {

void setRegistryModel(int model) {
    win::TRegistry reg;
    reg.SetRootKey(win::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\SOFTWARE\\Vadro"), true));
    reg.WriteInteger(QStringLiteral("RegModel"), model);
}

double nowDays() { return DateTimeToDays(QDateTime::currentDateTime()); }

// One second in chart x units.
constexpr double Second = 1.0 / 86400.0;

// Axis a's manual range as {bottom, top}.
std::pair<double, double> yRange(SciGraph *c, int axis) {
    c->SetWorkingAxis(axis);
    return {c->ManualMinY(), c->ManualMaxY()};
}

} // namespace

TEST(HygroVadroChart, StartUpPreparesTheRealTimeChartAboveTheTable) {
    HygroSim meter({"--model", "586", "--fixed"});
    ASSERT_FALSE(meter.path().isEmpty());
    const double before = nowDays();
    auto main = startVadro({meter.path()});
    ASSERT_TRUE(RealTimeGraph);
    SciGraph *c = RealTimeGraph->SciGraph1;
    EXPECT_EQ(RealTimeGraph->Caption(), "Real Time Graph");
    EXPECT_EQ(c->Points(), 5000);
    EXPECT_EQ(c->Subsets(), 3);
    EXPECT_EQ(c->MultiAxesSubsets(0), 1);
    EXPECT_EQ(c->MultiAxesSubsets(1), 2);
    EXPECT_EQ(yRange(c, 0), std::make_pair(0.0, 110.0));
    EXPECT_EQ(yRange(c, 1), std::make_pair(-20.0, 140.0));
    EXPECT_EQ(c->YAxisLabel(), "TEMPERATURE");
    EXPECT_EQ(c->SubsetLabels(2), "T2");
    EXPECT_TRUE(c->UsingXDataII());
    EXPECT_EQ(c->NullDataValueY(), 9999.0);
    EXPECT_FALSE(c->AllowPopup());
    EXPECT_TRUE(c->AllowDataHotSpots());
    EXPECT_EQ(GraphWindow, 200.0 / 86400.0);
    EXPECT_GE(c->ManualMinX(), before - Second);
    EXPECT_NEAR(c->ManualMaxX() - c->ManualMinX(), GraphWindow, 1e-9);
    EXPECT_EQ(GraphPointCount, 0);

    // Beside the panel, the chart at the top and the table below it.
    EXPECT_EQ(GraphRect, RealTimeGraph->Bounds());
    EXPECT_EQ(GraphRect.left(), frmPanel->Bounds().width());
    EXPECT_EQ(GraphRect.top(), 0);
    EXPECT_EQ(GraphRect.height(), 427);
    EXPECT_EQ(ListRect.top(), 427);
    EXPECT_TRUE(main->MainTimer->isActive());
}

TEST(HygroVadroChart, TwoReadingModelGetsTwoSubsetsOnTwoAxes) {
    setRegistryModel(585);
    auto main = startVadro({QStringLiteral("/dev/does-not-exist")});
    ASSERT_TRUE(RealTimeGraph);
    SciGraph *c = RealTimeGraph->SciGraph1;
    EXPECT_EQ(c->Subsets(), 2);
    EXPECT_EQ(c->MultiAxesSubsets(1), 1);
    EXPECT_EQ(yRange(c, 1), std::make_pair(-20.0, 140.0));

    // The empty chart of the data-logger window: 4 points, the time axis left alone.
    auto *other = new TfrmGraph(QStringLiteral("other"));
    other->ShowIn(main->MdiArea);
    main->SetupChart(other->SciGraph1, 4, 0, 0, 586);
    EXPECT_EQ(other->SciGraph1->Subsets(), 3);
    EXPECT_EQ(other->SciGraph1->Points(), 4);
    EXPECT_NE(other->SciGraph1->ManualMinX(), 0.0);
}

namespace {

// Records the readings that the meter sends after `set`: the first tick fetches the new
// frame, the second records it.
void recordWith(TfrmMain &main, HygroSim &meter, const QString &readings) {
    ASSERT_TRUE(meter.control(QStringLiteral("set ") + readings));
    ASSERT_TRUE(tickAndWaitForFrame(main));
    ASSERT_TRUE(tickAndWaitForFrame(main));
}

int dataRows(forms::TStringGrid *g) { return g->Cells(0, 1).isEmpty() ? 0 : g->RowCount() - 1; }

void activate(QWidget *form) {
    auto *frame = static_cast<TMdiChild *>(form)->Frame();
    frame->mdiArea()->setActiveSubWindow(frame);
}

void mouse(QWidget &w, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent e(type, at, w.mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                  Qt::NoModifier);
    QApplication::sendEvent(&w, &e);
}

// A drag across the middle of the chart: the engine zooms in.
void zoomIn(SciGraph *c) {
    const QPoint from(c->width() / 3, c->height() / 3), to(2 * c->width() / 3, 2 * c->height() / 3);
    mouse(*c, QEvent::MouseButtonPress, from, Qt::LeftButton);
    mouse(*c, QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
    mouse(*c, QEvent::MouseMove, to, Qt::LeftButton);
    mouse(*c, QEvent::MouseButtonRelease, to, Qt::NoButton);
}

// The client pixel of the chart nearest to (x, y) of axis 0, the whole x span and 110 %RH
// weighing as much as the chart's width and height.
QPoint pixelOf(SciGraph *c, double x, double y) {
    return testsupport::pixelOf(*c, x, y, (c->ManualMaxX() - c->ManualMinX()) / c->width(), 110.0 / c->height());
}

// A table window of `rows` rows like a saved real-time table: one row a minute from
// 14:00, humidity 40 + row, T1 from `t1`, and T2 cells when `t2` is set.
TfrmList *tableWindow(TfrmMain &main, const QString &caption, int rows, const std::function<QString(int)> &t1,
                      bool t2 = true) {
    auto *list = new TfrmList(caption);
    list->ShowIn(main.MdiArea);
    forms::TStringGrid *g = list->Grid1;
    g->SetRowCount(rows + 1);
    const QString date = QLocale::system().toString(QDate(2026, 3, 7), QLocale::ShortFormat);
    for (int r = 1; r <= rows; ++r) {
        const QTime time = QTime(14, 0).addSecs(60 * (r - 1));
        const QStringList cells{QString::number(r),
                                date,
                                time.toString("hh:mm:ss"),
                                QString::number(40 + r) + ".5",
                                "%RH",
                                t1(r),
                                "C",
                                t2 ? "25.0" : "",
                                t2 ? "C" : ""};
        for (int c = 0; c < cells.size(); ++c) g->SetCells(c, r, cells[c]);
    }
    activate(list);
    return list;
}

double rowTime(int row) { return DateTimeToDays(QDateTime(QDate(2026, 3, 7), QTime(14, 0).addSecs(60 * (row - 1)))); }

} // namespace

TEST(HygroVadroChart, EveryRecordedSampleIsAPointBesideItsRowAndT2WidensTheTemperatureAxis) {
    HygroSim meter({"--model", "586", "--fixed", "--rh", "50", "--t1", "23.4", "--t2", "25.1"});
    auto main = startVadro({meter.path()});
    ASSERT_TRUE(LinkUp);
    manualTicks(*main);
    RealTimeRate = 0; // every tick with a frame records
    main->btnRunClick();
    SciGraph *c = RealTimeGraph->SciGraph1;
    ASSERT_TRUE(tickAndWaitForFrame(*main));
    ASSERT_TRUE(tickAndWaitForFrame(*main));
    ASSERT_TRUE(tickAndWaitForFrame(*main));
    forms::TStringGrid *g = RealTimeList->Grid1;
    ASSERT_GE(dataRows(g), 2);
    EXPECT_EQ(GraphPointCount, dataRows(g));
    for (int i = 0; i < GraphPointCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(c->YData(0, i), 50.0f);
        EXPECT_EQ(c->YData(1, i), 23.4f);
        EXPECT_EQ(c->YData(2, i), 25.1f);
        const auto t = TableDateTime(g->Cells(1, i + 1), g->Cells(2, i + 1));
        ASSERT_TRUE(t.has_value());
        EXPECT_NEAR(c->XDataII(0, i), *t, 1.01 * Second);
        EXPECT_EQ(c->XDataII(2, i), c->XDataII(0, i));
    }
    EXPECT_EQ(yRange(c, 1), std::make_pair(-20.0, 140.0));

    struct Step {
        const char *readings;
        double bottom, top;
    } steps[] = {
        {"50 23.4 150", -20.0, 185.0},  // 150 x 1.1 + 20
        {"50 23.4 -10", -20.0, 185.0},  // inside: nothing changes
        {"50 23.4 -30", -53.0, 185.0},  // -30 x 1.1 - 20
        {"50 23.4 2500", -53.0, 185.0}, // over range: nothing changes
        {"50 23.4 -250", -53.0, 185.0},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.readings);
        recordWith(*main, meter, s.readings);
        EXPECT_EQ(yRange(c, 1), std::make_pair(s.bottom, s.top));
    }
    EXPECT_EQ(GraphPointCount, dataRows(g));
}

TEST(HygroVadroChart, TwoReadingModelKeepsItsTemperatureAxis) {
    HygroSim meter({"--model", "585", "--fixed"});
    auto main = startVadro({meter.path()});
    ASSERT_TRUE(LinkUp);
    manualTicks(*main);
    RealTimeRate = 0;
    main->btnRunClick();
    recordWith(*main, meter, "50 150 -30");
    SciGraph *c = RealTimeGraph->SciGraph1;
    EXPECT_GE(GraphPointCount, 1);
    EXPECT_EQ(c->YData(1, GraphPointCount - 1), 150.0f);
    EXPECT_EQ(yRange(c, 1), std::make_pair(-20.0, 140.0));
}

TEST(HygroVadroChart, The5001stSampleShiftsTheChartByAHundredPoints) {
    setRegistryModel(586);
    auto main = startVadro({QStringLiteral("/dev/does-not-exist")});
    SciGraph *c = RealTimeGraph->SciGraph1;
    ASSERT_EQ(c->Subsets(), 3);
    const double t0 = c->ManualMinX();
    auto value = [](int s, int i) { return float(s * 1000 + i % 1000); };
    for (int i = 0; i < 4999; ++i) {
        for (int s = 0; s < 3; ++s) {
            c->SetXDataII(s, i, t0 + i * Second);
            c->SetYData(s, i, value(s, i));
        }
    }
    GraphPointCount = 4999;
    hygro::Display.ReadingValue = {55.5, 21.0, 22.0};
    main->AppendGraphPoint(DaysToDateTime(t0 + 4999 * Second));
    EXPECT_EQ(GraphPointCount, 5000);
    EXPECT_EQ(c->YData(0, 4999), 55.5f);

    // The end of the time axis lies ahead, so only the shift moves its start.
    c->SetWorkingAxis(0);
    c->SetManualMinX(t0);
    c->SetManualMaxX(t0 + 20000 * Second);
    main->AppendGraphPoint(DaysToDateTime(t0 + 5000 * Second));
    EXPECT_NEAR(c->ManualMinX(), t0 + 100 * Second, 1e-8);
    EXPECT_NEAR(c->ManualMaxX(), t0 + 20000 * Second, 1e-8);
    EXPECT_EQ(GraphPointCount, 4901);
    for (int s = 0; s < 3; ++s) {
        SCOPED_TRACE(s);
        // The oldest hundred are gone; the rest moved down by a hundred.
        EXPECT_NEAR(c->XDataII(s, 0), t0 + 100 * Second, 1e-8);
        EXPECT_EQ(c->YData(s, 0), value(s, 100));
        EXPECT_NEAR(c->XDataII(s, 4898), t0 + 4998 * Second, 1e-8);
        EXPECT_EQ(c->YData(s, 4899), float(hygro::Display.ReadingValue[size_t(s)]));
        // The 5001st sample at 4900, null points after it.
        EXPECT_NEAR(c->XDataII(s, 4900), t0 + 5000 * Second, 1e-8);
        EXPECT_EQ(c->YData(s, 4900), float(hygro::Display.ReadingValue[size_t(s)]));
        for (int i : {4901, 4950, 4999}) {
            EXPECT_EQ(c->YData(s, i), 9999.0f) << i;
            EXPECT_EQ(c->XDataII(s, i), 0.0) << i;
        }
    }
    EXPECT_EQ(c->ManualMinX(), c->XDataII(0, 0));
}

TEST(HygroVadroChart, TheTimeAxisFollowsNewSamplesExceptWhileZoomed) {
    auto main = startVadro({QStringLiteral("/dev/does-not-exist")});
    SciGraph *c = RealTimeGraph->SciGraph1;
    const double min0 = c->ManualMinX(), max0 = c->ManualMaxX();
    main->AppendGraphPoint(DaysToDateTime(min0 + Second));
    EXPECT_EQ(c->ManualMaxX(), max0);
    main->AppendGraphPoint(DaysToDateTime(max0 + Second));
    EXPECT_NEAR(c->ManualMaxX(), max0 + GraphScrollStep, 1e-9);
    EXPECT_NEAR(c->ManualMinX(), min0 + Second, 1e-8);

    activate(RealTimeGraph);
    zoomIn(c);
    ASSERT_TRUE(c->ZoomMode());
    const double zoomedMax = c->ManualMaxX();
    main->AppendGraphPoint(DaysToDateTime(zoomedMax + Second));
    EXPECT_EQ(c->ManualMaxX(), zoomedMax);

    // Undo zoom acts on the active chart window only.
    activate(RealTimeList);
    main->SpeedButton1Click();
    EXPECT_TRUE(c->ZoomMode());
    activate(RealTimeGraph);
    main->SpeedButton1Click();
    EXPECT_FALSE(c->ZoomMode());
    main->AppendGraphPoint(DaysToDateTime(zoomedMax + 2 * Second));
    EXPECT_NEAR(c->ManualMaxX(), zoomedMax + GraphScrollStep, 1e-9);
    EXPECT_EQ(GraphPointCount, 4);
}

TEST(HygroVadroChart, ClearEmptiesTheChartAndRunOnARecreatedChartAnchorsItsTimeAxis) {
    auto main = startVadro({QStringLiteral("/dev/does-not-exist")});
    SciGraph *c = RealTimeGraph->SciGraph1;
    hygro::Display.ReadingValue = {50, 20, 21};
    for (int i = 0; i < 3; ++i) main->AppendGraphPoint(QDateTime::currentDateTime());
    main->Clear1Click();
    EXPECT_EQ(GraphPointCount, 0);
    for (int i : {0, 2, 4999}) EXPECT_EQ(c->YData(0, i), 9999.0f) << i;

    // Closed, the poll loop leaves it alone; Run makes a fresh one where it was.
    const QRect where = GraphRect;
    ASSERT_TRUE(RealTimeGraph->Close());
    QCoreApplication::processEvents();
    EXPECT_FALSE(RealTimeGraph);
    // Past every time stamp of the closed chart, so that an axis carried over from it
    // shows.
    const double closedAt = nowDays();
    ASSERT_TRUE(testsupport::waitUntil([&] { return nowDays() > closedAt; }));
    const double beforeRun = nowDays();
    main->btnRunClick();
    ASSERT_TRUE(RealTimeGraph);
    EXPECT_EQ(RealTimeGraph->Bounds(), where);
    EXPECT_GE(RealTimeGraph->SciGraph1->ManualMinX(), beforeRun - 1e-9);
    EXPECT_FALSE(RealTimeGraph->SciGraph1->AllowPopup());
    EXPECT_EQ(TicksSinceSample, RealTimeRate);
    // The View menu's command brings an existing one back, or makes one.
    TfrmGraph *same = RealTimeGraph;
    main->RealTimeGraph1Click();
    EXPECT_EQ(RealTimeGraph, same);
}

TEST(HygroVadroChart, ChartOfATableTakesItsCaptionPointsAndTemperatureAxis) {
    auto main = startVadro({QStringLiteral("/dev/does-not-exist")});
    struct Case {
        const char *name;
        std::function<QString(int)> t1;
        bool t2;
        double bottom, top;
    } cases[] = {
        {"quiet", [](int r) { return QString::number(20 + r % 11) + ".0"; }, true, -40.0, 140.0},
        {"hot", [](int r) { return r == 3 ? QStringLiteral("150") : QStringLiteral("-30"); }, false, -53.0, 185.0},
        {"overrange", [](int r) { return r == 2 ? QStringLiteral("OL") : QStringLiteral("-OL"); }, false, -40.0, 140.0},
        // A single-precision value no meter sends is drawn as "OL" and leaves the axis.
        {"absurd", [](int r) { return r == 2 ? QStringLiteral("3.4e38") : QStringLiteral("25"); }, false, -40.0, 140.0},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        TfrmList *list = tableWindow(*main, k.name, 5, k.t1, k.t2);
        main->btnOutputGraphClick();
        ASSERT_TRUE(frmGraph);
        EXPECT_EQ(frmGraph->Caption(), k.name);
        SciGraph *c = frmGraph->SciGraph1;
        EXPECT_EQ(c->Points(), 5);
        EXPECT_EQ(c->Subsets(), k.t2 ? 3 : 2);
        EXPECT_NEAR(c->ManualMinX(), rowTime(1), 1e-8);
        EXPECT_NEAR(c->ManualMaxX(), rowTime(5), 1e-8);
        EXPECT_NEAR(c->XDataII(1, 4), rowTime(5), 1e-8);
        EXPECT_EQ(c->YData(0, 0), 41.5f);
        EXPECT_EQ(yRange(c, 1), std::make_pair(k.bottom, k.top));
        if (QString(k.name) == "overrange") {
            EXPECT_EQ(c->YData(1, 1), 6553.5f);
            EXPECT_EQ(c->YData(1, 0), -6553.5f);
        }
        if (QString(k.name) == "absurd") {
            EXPECT_EQ(c->YData(1, 1), 6553.5f);
        }
        list->Close();
        frmGraph->Close();
    }

    // "C" as the first row's T2 unit makes three subsets, even without a T2 value.
    TfrmList *list = tableWindow(
        *main, "unit", 3, [](int) { return QStringLiteral("20"); }, false);
    list->Grid1->SetCells(8, 1, "C");
    main->btnOutputGraphClick();
    EXPECT_EQ(frmGraph->SciGraph1->Subsets(), 3);

    // A table of one row: one point on a time axis of no width.
    tableWindow(*main, "one", 1, [](int) { return QStringLiteral("20"); });
    main->btnOutputGraphClick();
    ASSERT_TRUE(frmGraph);
    EXPECT_EQ(frmGraph->SciGraph1->Points(), 1);
    EXPECT_EQ(frmGraph->SciGraph1->YData(1, 0), 20.0f);
    EXPECT_FALSE(frmGraph->SciGraph1->grab().isNull());
}

TEST(HygroVadroChart, TablesThatCannotBeChartedSaySo) {
    auto main = startVadro({QStringLiteral("/dev/does-not-exist")});
    // The empty real-time table.
    activate(RealTimeList);
    main->btnOutputGraph->click();
    EXPECT_EQ(messagesSaying("No data to graph !"), 1);
    EXPECT_FALSE(frmGraph);

    // A last row whose time does not convert: the message, and the window stays empty.
    TfrmList *list = tableWindow(*main, "bad.txt", 4, [](int) { return QStringLiteral("20"); });
    list->Grid1->SetCells(2, 4, "later");
    const QString date = list->Grid1->Cells(1, 4);
    main->btnOutputGraph->click();
    EXPECT_EQ(messagesSaying(InvalidDateTimeMessage(date + " later")), 1);
    ASSERT_TRUE(frmGraph);
    EXPECT_EQ(frmGraph->Caption(), "bad.txt");

    // A middle row that does not convert keeps the time of the row before it.
    list->Grid1->SetCells(2, 4, "14:03:00");
    list->Grid1->SetCells(1, 2, "someday");
    list->Grid1->SetCells(5, 3, "warm");
    activate(list);
    main->btnOutputGraph->click();
    SciGraph *c = frmGraph->SciGraph1;
    EXPECT_NEAR(c->XDataII(1, 1), rowTime(1), 1e-8);
    EXPECT_EQ(c->YData(1, 1), 20.0f);
    EXPECT_NEAR(c->XDataII(1, 2), rowTime(3), 1e-8);
    EXPECT_EQ(c->YData(1, 3), 20.0f);
}

TEST(HygroVadroChart, AClickedPointMarksItsRowAndAClickedRowMarksItsPoint) {
    auto main = startVadro({QStringLiteral("/dev/does-not-exist")});
    TfrmList *list = tableWindow(*main, "marks.txt", 60, [](int r) { return QString::number(20 + r % 7) + ".0"; });
    main->btnOutputGraphClick();
    TfrmGraph *graph = frmGraph;
    ASSERT_TRUE(graph);
    SciGraph *c = graph->SciGraph1;
    ASSERT_TRUE(testsupport::waitUntil([&] { return c->isVisible() && c->width() > 100; }));

    const int point = 44;
    const QPoint at = pixelOf(c, c->XDataII(0, point), c->YData(0, point));
    ASSERT_NE(at, QPoint(-1, -1));
    activate(graph);
    mouse(*c, QEvent::MouseButtonPress, at, Qt::LeftButton);
    mouse(*c, QEvent::MouseButtonRelease, at, Qt::NoButton);
    forms::TStringGrid *g = list->Grid1;
    EXPECT_EQ(g->Selection(), (forms::TGridRect{1, point + 1, 8, point + 1}));
    const int h = g->VisibleRowCount();
    EXPECT_LE(g->TopRow(), point + 1);
    EXPECT_GE(g->TopRow() + h, point + 1);
    EXPECT_EQ(c->VertLineAnnotation(0), c->XDataII(0, point));
    EXPECT_EQ(c->VertLineAnnotationType(0), 2);
    EXPECT_EQ(c->VertLineAnnotationColor(0), forms::clRed);
    EXPECT_EQ(c->VertLineAnnotationText(0),
              g->Cells(2, point + 1) + " RH:" + g->Cells(3, point + 1) + " T1:" + g->Cells(5, point + 1) + " T2:25.0");

    // The row clicked in the table: the same line in black, or white on the default black
    // graph, where black would not be seen.
    activate(list);
    g->SetRow(7);
    EXPECT_EQ(c->VertLineAnnotation(0), rowTime(7));
    ASSERT_EQ(c->GraphBackColor(), forms::clBlack);
    EXPECT_EQ(c->VertLineAnnotationColor(0), forms::clWhite);
    EXPECT_EQ(c->VertLineAnnotationText(0), "14:06:00 RH:47.5 T1:20.0 T2:25.0");

    // Nothing for the real-time windows, nor for a chart of the real-time table.
    for (int r = 1; r <= 3; ++r) RealTimeList->Grid1->SetCells(r, 1, list->Grid1->Cells(r, 1));
    activate(RealTimeList);
    main->btnOutputGraphClick();
    ASSERT_NE(frmGraph, graph);
    SciGraph *rt = frmGraph->SciGraph1;
    activate(RealTimeList);
    RealTimeList->Grid1->SetRow(1);
    activate(frmGraph);
    rt->OnDataHotSpot(rt, 0, 0, 0);
    EXPECT_TRUE(rt->VertLineAnnotationText(0).isEmpty());
    EXPECT_EQ(g->Selection().Top, 7);
    EXPECT_EQ(c->VertLineAnnotationColor(0), forms::clWhite);
}

TEST(HygroVadroChart, ScaleDialogSetsTheAxisInOrderAndWithinLimits) {
    auto main = startVadro({QStringLiteral("/dev/does-not-exist")});
    SciGraph *c = RealTimeGraph->SciGraph1;
    activate(RealTimeGraph);
    struct Case {
        QAction *item;
        const char *max, *min;
        int axis;
        double bottom, top;
    } cases[] = {
        {main->Scale1, "20", "80", 0, 20.0, 80.0},
        {main->TemperatureScale1, "5000", "-900", 1, -500.0, 3000.0},
        {main->TemperatureScale1, "abc", "10", 1, -500.0, 3000.0},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.max);
        QString shownMax, shownMin, caption;
        answerScope([&](TfrmScope &s) {
            caption = s.windowTitle();
            shownMax = s.edtSelFrom->text();
            shownMin = s.edtSelTo->text();
            s.edtSelFrom->setText(k.max);
            s.edtSelTo->setText(k.min);
            s.BitBtn1->click();
        });
        const auto before = yRange(c, k.axis);
        main->Scale1Click(k.item);
        EXPECT_EQ(caption, "Customize graph scale");
        EXPECT_EQ(shownMax, QString::number(int(before.second)));
        EXPECT_EQ(shownMin, QString::number(int(before.first)));
        EXPECT_EQ(yRange(c, k.axis), std::make_pair(k.bottom, k.top));
    }
    EXPECT_EQ(messagesSaying("abc is invalid number !"), 1);
    EXPECT_EQ(yRange(c, 0), std::make_pair(20.0, 80.0));

    // Cancel changes nothing; with a table active the real-time chart is the one.
    activate(RealTimeList);
    answerScope([](TfrmScope &s) {
        s.edtSelFrom->setText("1");
        s.BitBtn2->click();
    });
    main->Scale1Click(main->Scale1);
    EXPECT_EQ(yRange(c, 0), std::make_pair(20.0, 80.0));
}

namespace {

// The first page of a PDF as pdftoppm draws it.
QImage rasterised(const QString &pdf, int dpi) {
    const QString out = pdf.chopped(4);
    QProcess p;
    p.start(QStringLiteral("pdftoppm"), {"-r", QString::number(dpi), "-png", "-singlefile", pdf, out});
    if (!p.waitForFinished(20000) || p.exitCode() != 0) return {};
    return QImage(out + ".png").convertToFormat(QImage::Format_RGB32);
}

// Prints the active window through the Print command into a PDF of its own.
QString printActive(TfrmMain &main, const forms::DialogAnswer &answer) {
    static int job = 0;
    const QString pdf = QString::fromStdString(testsupport::makeTempDir()) + QStringLiteral("/job-%1.pdf").arg(++job);
    forms::SetPrintToPdf(pdf);
    forms::DialogScript().push(answer);
    main.btnPrintClick();
    forms::SetPrintToPdf(QString());
    return forms::Printer()->LastOutputFile() == pdf ? pdf : QString();
}

bool coloured(QRgb c) {
    return std::max({qRed(c), qGreen(c), qBlue(c)}) - std::min({qRed(c), qGreen(c), qBlue(c)}) > 48;
}
bool dark(QRgb c) { return qGray(c) < 100; }

} // namespace

TEST(HygroVadroChart, PrintedChartIsMonochromeAndTheScreenColoursComeBack) {
    auto main = startVadro({QStringLiteral("/dev/does-not-exist")});
    TfrmList *list = tableWindow(*main, "print.txt", 60, [](int r) { return QString::number(20 + r % 7) + ".0"; });
    main->btnOutputGraphClick();
    TfrmGraph *graph = frmGraph;
    ASSERT_TRUE(graph);
    SciGraph *c = graph->SciGraph1;
    c->SetSubsetLineTypes(1, 3);
    c->SetSubsetLineTypes(2, 4);
    const forms::TColor back = c->GraphBackColor(), subset0 = c->SubsetColors(0);
    ASSERT_EQ(back, forms::clBlack);
    auto print = [&] {
        activate(graph);
        const QString pdf = printActive(*main, forms::DialogAnswer::accept());
        EXPECT_FALSE(pdf.isEmpty());
        return pdf;
    };

    const QString plain = print();
    const QString out = testsupport::pdfText(plain);
    for (const char *label : {"HUMIDITY", "TEMPERATURE", "Time", "%RH", "T1"})
        EXPECT_TRUE(out.contains(label)) << label << "\n" << out.toStdString();
    EXPECT_EQ(c->SubsetLineTypes(1), 0);
    EXPECT_EQ(c->SubsetLineTypes(2), 0);
    EXPECT_EQ(c->GraphBackColor(), back);
    EXPECT_EQ(c->SubsetColors(0), subset0);

    // A row marked from the table: white on the screen's black, black on paper.
    activate(list);
    list->Grid1->SetRow(30);
    ASSERT_EQ(c->VertLineAnnotationColor(0), forms::clWhite);
    const QString marked = print();
    EXPECT_EQ(c->VertLineAnnotationColor(0), forms::clWhite);
    EXPECT_EQ(c->GraphBackColor(), back);

    // The same chart without its curves or mark: what differs is what the curves drew.
    c->SetVertLineAnnotation(0, 0.0);
    for (int s = 0; s < c->Subsets(); ++s)
        for (int i = 0; i < c->Points(); ++i) c->SetYData(s, i, 9999.0f);
    const QString bare = print();

    const QImage a = rasterised(plain, 60), m = rasterised(marked, 60), z = rasterised(bare, 60);
    ASSERT_FALSE(a.isNull());
    ASSERT_EQ(a.size(), m.size());
    ASSERT_EQ(a.size(), z.size());
    int curve = 0, curveDark = 0, curveColoured = 0;
    std::vector<int> markColumn(size_t(a.width()), 0);
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb pa = a.pixel(x, y), pm = m.pixel(x, y);
            if (pa != z.pixel(x, y)) {
                ++curve;
                curveDark += dark(pa);
                curveColoured += coloured(pa);
            }
            if (dark(pm) && !dark(pa)) ++markColumn[size_t(x)];
        }
    }
    EXPECT_GT(curve, 500);
    EXPECT_EQ(curveColoured, 0);
    EXPECT_GT(curveDark, curve / 3) << curve;
    // The mark is a dark line from the top of the graph to its bottom.
    EXPECT_GT(*std::max_element(markColumn.begin(), markColumn.end()), a.height() / 4);

    // Cancelled at the print dialog: the colours come back all the same.
    activate(graph);
    forms::DialogScript().pushCancel();
    main->btnPrintClick();
    EXPECT_EQ(c->GraphBackColor(), back);
}

TEST(HygroVadroChart, PrintingAChartKeepsThePageTheUserChoseAndLeavesThePrinterAsItWas) {
    auto main = startVadro({QStringLiteral("/dev/does-not-exist")});
    TfrmList *list = tableWindow(*main, "pages.txt", 5, [](int) { return QStringLiteral("20"); });
    main->btnOutputGraphClick();
    TfrmGraph *graph = frmGraph;
    ASSERT_TRUE(graph);
    ASSERT_EQ(graph->SciGraph1->DefOrientation(), sgLandscape);
    auto landscape = [](const QString &pdf) {
        const QImage page = rasterised(pdf, 10);
        EXPECT_FALSE(page.isNull());
        return page.width() > page.height();
    };
    struct Case {
        const char *name;
        forms::TPrinterOrientation before;
        int chosen;
        bool landscapePage;
    } cases[] = {
        {"no choice: the chart's page", forms::poPortrait, -1, true},
        {"portrait chosen", forms::poPortrait, forms::poPortrait, false},
        {"portrait chosen on a landscape printer", forms::poLandscape, forms::poPortrait, false},
        {"landscape chosen", forms::poPortrait, forms::poLandscape, true},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        forms::Printer()->SetOrientation(k.before);
        forms::DialogAnswer answer = forms::DialogAnswer::print(1);
        answer.orientation = k.chosen;
        activate(graph);
        const QString chart = printActive(*main, answer);
        ASSERT_FALSE(chart.isEmpty());
        EXPECT_EQ(landscape(chart), k.landscapePage);
        EXPECT_EQ(forms::Printer()->Orientation(), k.before);
        EXPECT_EQ(forms::Printer()->QtPrinter()->pageLayout().orientation(),
                  k.before == forms::poLandscape ? QPageLayout::Landscape : QPageLayout::Portrait);
        // The table printed next comes out on the printer's page, not the chart's.
        activate(list);
        const QString table = printActive(*main, forms::DialogAnswer::accept());
        ASSERT_FALSE(table.isEmpty());
        EXPECT_EQ(landscape(table), k.before == forms::poLandscape);
    }
}

namespace {

// Runs `act` on the "Graphing Progress" window once its bar has passed `position`.
void whenGraphingPasses(int position, const std::function<void(TfrmScope &)> &act) {
    auto *poll = new QTimer;
    poll->setInterval(0);
    QObject::connect(poll, &QTimer::timeout, [poll, position, act] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *scope = dynamic_cast<TfrmScope *>(w);
            if (!scope || !scope->isVisible() || scope->windowTitle() != "Graphing Progress" ||
                scope->Progress1->value() < position)
                continue;
            poll->stop();
            poll->deleteLater();
            act(*scope);
            return;
        }
    });
    poll->start();
}

} // namespace

TEST(HygroVadroChart, GraphingCanBeCancelledAndSurvivesItsTableClosing) {
    auto main = startVadro({QStringLiteral("/dev/does-not-exist")});
    // Long enough that the loop lets events through (every few milliseconds) past
    // row 100 in an optimised build too.
    const int rows = 30000;
    TfrmList *list = tableWindow(*main, "long.txt", rows, [](int r) { return QString::number(r % 50); });
    bool sawProgress = false;
    whenGraphingPasses(100, [&](TfrmScope &s) {
        sawProgress = s.SText1->text() == "graphing....." && s.Progress1->maximum() == rows && !s.BitBtn2->isVisible();
        s.close(); // the close box: Cancel
    });
    main->btnOutputGraph->click();
    ASSERT_TRUE(frmGraph);
    EXPECT_TRUE(sawProgress);
    SciGraph *c = frmGraph->SciGraph1;
    EXPECT_EQ(c->YData(1, 50), 1.0f);                         // row 51
    EXPECT_NE(c->YData(1, rows - 2), float((rows - 1) % 50)); // never reached
    EXPECT_TRUE(frmGraph->isVisible());

    // The table closed while it is being drawn: the drawing stops there.
    activate(list);
    QPointer<TfrmList> alive(list);
    whenGraphingPasses(100, [&](TfrmScope &) { list->Close(); });
    main->btnOutputGraph->click();
    EXPECT_FALSE(alive);
    ASSERT_TRUE(frmGraph);
    EXPECT_EQ(frmGraph->Caption(), "long.txt");
}

TEST(HygroVadroChart, ATableLargerThanAChartSaysHowManyRowsAreChartedBeforeGraphing) {
    auto main = startVadro({QStringLiteral("/dev/does-not-exist")});
    // Three readings: a chart holds 20 000 000 values, 6 666 666 rows. The rows between
    // stay empty, which the grid keeps at little cost.
    const int fit = 6'666'666, rows = fit + 1;
    auto *list = new TfrmList(QStringLiteral("huge.txt"));
    list->ShowIn(main->MdiArea);
    forms::TStringGrid *g = list->Grid1;
    g->SetRowCount(rows + 1);
    const QString date = QLocale::system().toString(QDate(2026, 3, 7), QLocale::ShortFormat);
    for (int r : {1, fit, rows}) {
        const QStringList cells{QString::number(r),
                                date,
                                QTime(14, 0).addSecs(r == 1 ? 0 : 60 * (r - fit + 1)).toString("hh:mm:ss"),
                                "40.5",
                                "%RH",
                                "20",
                                "C",
                                "25.0",
                                "C"};
        for (int c = 0; c < cells.size(); ++c) g->SetCells(c, r, cells[c]);
    }
    activate(list);
    const QString message =
        QStringLiteral("The table has 6666667 rows; a chart holds 6666666 of them. The first 6666666 "
                       "rows are charted.");
    int saidBeforeGraphing = -1;
    whenGraphingPasses(1, [&](TfrmScope &s) {
        saidBeforeGraphing = messagesSaying(message);
        s.close();
    });
    main->btnOutputGraph->click();
    EXPECT_EQ(saidBeforeGraphing, 1);
    EXPECT_EQ(messagesSaying(message), 1);
    ASSERT_TRUE(frmGraph);
    SciGraph *c = frmGraph->SciGraph1;
    EXPECT_EQ(c->Subsets(), 3);
    EXPECT_EQ(c->Points(), fit);
    // The time axis ends at the last row charted.
    EXPECT_NEAR(c->ManualMaxX(), rowTime(2), 1e-8);
}

namespace {

QString screenshotDir() {
    const QString dir = QString::fromStdString(testsupport::binDir()) + "/../screenshots";
    QDir().mkpath(dir);
    return dir;
}

// `samples` readings of the drifting meter, one every two seconds of chart time from
// the start of the real-time chart, into the real-time table and chart.
void recordDrift(TfrmMain &main, int samples) {
    const double t0 = RealTimeGraph->SciGraph1->ManualMinX();
    for (int k = 0; k < samples; ++k) {
        ASSERT_TRUE(tickAndWaitForFrame(main));
        const QDateTime t = DaysToDateTime(t0 + 2 * k * Second);
        main.AppendGraphPoint(t);
        main.AppendGridRow(t);
    }
}

} // namespace

TEST(HygroVadroChart, RealTimeChartScreenshot) {
    HygroSim meter({"--model", "586", "--seed", "7", "--rh", "48", "--t1", "22.5", "--t2", "31"});
    auto main = startVadro({meter.path()});
    ASSERT_TRUE(LinkUp);
    manualTicks(*main);
    recordDrift(*main, 150); // five minutes at the sampling rate of 2 s
    ASSERT_EQ(GraphPointCount, 150);

    // The picture is the real-time chart window, holding the three readings of each row
    // of the real-time table over five minutes.
    SciGraph *c = RealTimeGraph->SciGraph1;
    EXPECT_EQ(RealTimeGraph->Caption(), "Real Time Graph");
    ASSERT_EQ(c->Subsets(), 3);
    forms::TStringGrid *g = RealTimeList->Grid1;
    ASSERT_EQ(dataRows(g), 150);
    EXPECT_NEAR(c->XDataII(0, 149) - c->XDataII(0, 0), 298 * Second, 1e-6);
    float lowest = 1e9f, highest = -1e9f;
    for (int i = 0; i < 150; ++i) {
        for (int s = 0; s < 3; ++s) {
            const auto cell = TableCellValue(g->Cells(3 + 2 * s, i + 1));
            ASSERT_TRUE(cell.has_value()) << i;
            EXPECT_EQ(c->YData(s, i), *cell) << s << " " << i;
        }
        lowest = std::min(lowest, c->YData(0, i));
        highest = std::max(highest, c->YData(0, i));
    }
    EXPECT_GT(highest, lowest); // the readings drift

    // Drawn: the humidity curve in yellow through its points, and the two temperatures
    // in magenta and cyan.
    const QPoint points[] = {pixelOf(c, c->XDataII(0, 10), c->YData(0, 10)),
                             pixelOf(c, c->XDataII(0, 140), c->YData(0, 140))};
    for (const QPoint &p : points) ASSERT_NE(p, QPoint(-1, -1));
    auto near = [](QRgb px, QRgb want) {
        return std::abs(qRed(px) - qRed(want)) < 60 && std::abs(qGreen(px) - qGreen(want)) < 60 &&
               std::abs(qBlue(px) - qBlue(want)) < 60;
    };
    QImage shot;
    auto drawn = [&] {
        QCoreApplication::processEvents();
        shot = RealTimeGraph->Frame()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage chart = c->grab().toImage().convertToFormat(QImage::Format_RGB32);
        for (const QPoint &p : points) {
            bool yellow = false;
            for (int dy = -2; dy <= 2 && !yellow; ++dy)
                for (int dx = -2; dx <= 2 && !yellow; ++dx)
                    if (chart.valid(p + QPoint(dx, dy)))
                        yellow = near(chart.pixel(p + QPoint(dx, dy)), qRgb(255, 255, 0));
            if (!yellow) return false;
        }
        int magenta = 0, cyan = 0;
        for (int y = 0; y < chart.height(); ++y)
            for (int x = 0; x < chart.width(); ++x) {
                magenta += near(chart.pixel(x, y), qRgb(255, 0, 255));
                cyan += near(chart.pixel(x, y), qRgb(0, 255, 255));
            }
        return magenta > 150 && cyan > 150; // more than the legend's short lines
    };
    EXPECT_TRUE(testsupport::waitUntil(drawn));
    EXPECT_TRUE(shot.save(screenshotDir() + "/vadro-realtime-chart.png"));
}

TEST(HygroVadroChart, TableChartScreenshot) {
    HygroSim meter({"--model", "586", "--seed", "11", "--rh", "61", "--t1", "24", "--t2", "18"});
    auto main = startVadro({meter.path()});
    ASSERT_TRUE(LinkUp);
    manualTicks(*main);
    recordDrift(*main, 90);

    // Saved, opened again, drawn, and a point clicked.
    const QString file = QString::fromStdString(testsupport::makeTempDir()) + "/room-12.txt";
    activate(RealTimeList);
    forms::DialogScript().pushFile(file);
    answerScope([](TfrmScope &s) { s.BitBtn1->click(); });
    ASSERT_TRUE(main->mnuSaveClick());
    forms::DialogScript().pushFile(file);
    main->Open1Click();
    ASSERT_TRUE(frmList);
    TfrmList *list = frmList;
    main->btnOutputGraph->click();
    ASSERT_TRUE(frmGraph);
    TfrmGraph *graph = frmGraph;
    EXPECT_EQ(graph->Caption(), list->Caption());
    EXPECT_EQ(graph->SciGraph1->Subsets(), 3);

    const QRect area = main->MdiArea->contentsRect();
    list->SetBounds(0, 0, 470, area.height());
    graph->SetBounds(470, 0, area.width() - 470, area.height());
    QCoreApplication::processEvents();
    SciGraph *c = graph->SciGraph1;
    const int point = 57;
    const QPoint at = pixelOf(c, c->XDataII(0, point), c->YData(0, point));
    ASSERT_NE(at, QPoint(-1, -1));
    activate(graph);
    mouse(*c, QEvent::MouseButtonPress, at, Qt::LeftButton);
    mouse(*c, QEvent::MouseButtonRelease, at, Qt::NoButton);
    EXPECT_EQ(list->Grid1->Selection().Top, point + 1);
    EXPECT_EQ(c->VertLineAnnotationColor(0), forms::clRed);
    QCoreApplication::processEvents();
    const QImage shot = main->MdiArea->grab().toImage();
    EXPECT_TRUE(shot.save(screenshotDir() + "/vadro-table-chart.png"));
}
