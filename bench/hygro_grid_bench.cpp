// The real-time table at volume: appending 100 000 sample rows to a shown string grid
// the way the poll loop does (one row, keep the newest in view, nine cells), and
// repainting a grid of 100 000 rows after a jump.

#include "platform/forms/StringGrid.h"

#include <QApplication>
#include <QPixmap>
#include <QStringList>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

constexpr int Rows = 100000;

void appendRow(forms::TStringGrid &g, int n) {
    if (!g.Cells(0, 1).isEmpty()) g.SetRowCount(g.RowCount() + 1);
    if (g.VisibleRowCount() < g.RowCount()) g.SetTopRow(g.RowCount() - g.VisibleRowCount());
    const int r = g.RowCount() - 1;
    const QStringList cells{QString::number(r), "07/03/2026", "14:05:09", QString::number(40 + n % 50) + ".5",
                            "%RH", "23.1", "C", "25.0", "C"};
    for (int c = 0; c < 9; ++c) g.SetCells(c, r, cells[c]);
}

void BM_GridAppend100kRows(benchmark::State &state) {
    for (auto _ : state) {
        forms::TStringGrid grid;
        grid.SetColCount(9);
        grid.SetFixedCols(0);
        grid.SetRowCount(2);
        grid.resize(508, 221);
        grid.show();
        for (int n = 0; n < Rows; ++n) appendRow(grid, n);
        benchmark::DoNotOptimize(grid.viewport()->grab());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * Rows);
}
BENCHMARK(BM_GridAppend100kRows)->Unit(benchmark::kMillisecond);

void BM_GridJumpAndRepaintAt100kRows(benchmark::State &state) {
    forms::TStringGrid grid;
    grid.SetColCount(9);
    grid.SetFixedCols(0);
    grid.resize(508, 221);
    grid.show();
    for (int n = 0; n < Rows; ++n) appendRow(grid, n);
    int top = 1;
    for (auto _ : state) {
        top = (top + 37117) % Rows;
        grid.SetTopRow(top);
        // grab paints even where the platform shows nothing.
        benchmark::DoNotOptimize(grid.viewport()->grab());
    }
}
BENCHMARK(BM_GridJumpAndRepaintAt100kRows)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
