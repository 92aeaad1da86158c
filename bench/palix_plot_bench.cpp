// The plot window's drawing (PlotRecords) on the largest file a recording writes,
// 349 950 records in the levels grid, in the window at its opening size: as the program
// draws it (a pixel column's first, lowest, highest and last level), and, as the
// reference, with a line to every record. Both keep the caption's progress and the
// window's events; the frame is drawn again before each run and is not timed.

#include "platform/vb/Drawing.h"
#include "platform/vb/FlexGrid.h"
#include "platform/vb/Runtime.h"
#include "slm/core/FileTransfer.h"
#include "slm/FileTransferForms.h"
#include "slm/ListPlot.h"

#include <QApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

constexpr int records = 349950;

vb::MSFlexGrid &levels() {
    static vb::MSFlexGrid *grid = [] {
        auto *g = new vb::MSFlexGrid;
        g->SetCols(2);
        g->SetRows(records + 1);
        g->SetCol(1);
        for (int r = 1; r <= records; ++r)
            g->SetTextMatrix(
                r, 1, QString::number(40 + (std::int64_t(r) * 7919 % 600) / 10.0 + (r % 997 == 0 ? 30 : 0), 'f', 1));
        return g;
    }();
    return *grid;
}

slm::ListPlot *window() {
    static slm::ListPlot *plot = [] {
        slm::PlotTop = slm::PlotHigh = 100;
        slm::PlotBottom = slm::PlotLow = 40;
        slm::PlotCount = slm::PlotLast = slm::PlotSpan = records;
        slm::PlotFirst = 1;
        slm::ListPlot *p = slm::ListPlotForm();
        p->show();
        QApplication::processEvents();
        return p;
    }();
    return plot;
}

// A line to every record, as the curve was drawn before.
void plotEveryRecord(slm::ListPlot *frm, vb::MSFlexGrid *rows) {
    vb::FormCanvas &c = frm->Canvas();
    const slm::PlotGeometry g = slm::PlotGeometry::Of(c.ScaleWidth(), c.ScaleHeight(), slm::PlotSpan);
    const double left = g.ChartLeft, base = g.ChartBase, height = g.ChartHeight, width = g.ChartWidth;
    const std::int32_t gray = vb::QBColor(frm->GridColour);
    const QString caption = frm->windowTitle();
    c.Line(left - 2, base - height / 2, left + width + 2, base - height / 2, gray);
    c.DrawStyle = vb::vbDot;
    for (int k : {1, 7, 6, 5, 8, 3, 2}) c.Line(left, base - k * height / 8, left + width, base - k * height / 8, gray);
    c.DrawStyle = vb::vbSolid;
    const auto span = std::int64_t(slm::PlotSpan);
    slm::CaptionProgress progress(frm, " Records Completed");
    double sweep = -g.SweepStep, lastX = 0, lastY = 0;
    for (double r = slm::PlotFirst; r <= slm::PlotLast; r += 1) {
        rows->SetRow(int(r));
        if (!progress.Step(std::int64_t(r))) return;
        sweep += g.SweepStep;
        const double v = vb::Val(rows->Text());
        const double h = v > slm::PlotHigh  ? height + 5
                         : v < slm::PlotLow ? -3
                                            : (v - slm::PlotLow) / (slm::PlotHigh - slm::PlotLow) * height;
        const double x = left + sweep;
        if (lastX != 0 && sweep != 0) c.Line(lastX, lastY, x, base - h, 0);
        lastX = x;
        lastY = base - h;
        const auto n = std::int64_t(r - slm::PlotFirst + 1);
        bool mark = n == 1, tick = false;
        for (int k = 1; k <= 5 && !mark; ++k) mark = n == k * span / 5;
        for (int k = 1; k <= 10 && !mark && !tick; ++k) tick = n == k * span / 10;
        if (mark) {
            c.DrawStyle = vb::vbDot;
            c.Line(x, base, x, base - height - 10, gray);
            c.DrawStyle = vb::vbSolid;
            c.CurrentX = x - c.TextWidth(QString::number(rows->Row()));
            c.CurrentY = base + 10;
            c.Print(QString::number(rows->Row()));
        } else if (tick) {
            c.Line(x, base - 4.2 * height / 8, x, base - 3.8 * height / 8, gray);
        }
    }
    frm->setWindowTitle(caption);
}

double meanMs[2];

template <bool everyRecord> void BM_PlotLargestFile(benchmark::State &state) {
    vb::MSFlexGrid &grid = levels();
    slm::ListPlot *plot = window();
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        plot->Form_Resize();
        plot->Timer1.SetEnabled(false);
        state.ResumeTiming();
        QElapsedTimer clock;
        clock.start();
        if (everyRecord)
            plotEveryRecord(plot, &grid);
        else
            slm::PlotRecords(plot, &grid);
        total += clock.nsecsElapsed() / 1e6;
    }
    meanMs[everyRecord] = total / double(state.iterations());
    state.counters["records"] = records;
    state.counters["chart_width_px"] = plot->Geometry.ChartWidth;
}
BENCHMARK(BM_PlotLargestFile<false>)->Name("PlotRecords/columns")->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PlotLargestFile<true>)->Name("PlotRecords/line_per_record")->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char **argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (meanMs[0] > 0 && meanMs[1] > 0)
        std::printf("PlotRecords on %d records: %.1f ms by columns, %.1f ms a line a record (%.1fx faster)\n", records,
                    meanMs[0], meanMs[1], meanMs[1] / meanMs[0]);
    return 0;
}
