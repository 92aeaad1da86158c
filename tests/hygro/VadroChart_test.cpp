// Vadro's charts: the real-time chart made at start-up and fed by the poll loop, the
// chart of a table with its row marks, the scale, zoom and print commands.

#include "hygro/VadroFixture.h"

#include "hygro/UGraph.h"
#include "hygro/core/ChartMaths.h"

#include "chart/ChartEngineApi.h"
#include "chart/SciGraphCtl.h"
#include "platform/forms/Printer.h"

#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include <cmath>

using namespace hygrotest;
using namespace hygro;

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
