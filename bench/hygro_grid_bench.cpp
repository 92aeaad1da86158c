// The real-time table at volume: 1 000 000 sample rows appended to a shown string grid
// the way the poll loop does (one row, keep the newest in view, nine cells) with the
// memory the grid holds for them; one more row and its repaint at that size (what a
// poll tick costs after twelve days of recording); jumping and repainting there. And
// 100 000 rows beside QTableWidget, the grid a Qt user would take instead (an item for
// each cell, scrolled to the bottom after each row), in the same process.
//
// Memory is the heap in use (malloc's own count) before and after, divided by the rows:
// the cells and what the view keeps for each row; and the growth of the resident set.

#include "hygro/UList.h"
#include "platform/forms/StringGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QPixmap>
#include <QStringList>
#include <QTableWidget>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Rows = 1000000;

size_t heapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

// Resident bytes of the process.
size_t resident() {
    long pages = 0, rss = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &rss) != 2) rss = 0;
        std::fclose(f);
    }
    return size_t(rss) * size_t(sysconf(_SC_PAGESIZE));
}

// The texts of a sample row but its number, made once: making them is the poll
// loop's work, not the grid's, and the grid keeps its own copy of every cell.
struct Sample {
    QString date, time, humidity, t1, t2;
};
const std::vector<Sample> &samples() {
    static const std::vector<Sample> all = [] {
        std::vector<Sample> v;
        for (int n = 0; n < 3600; ++n)
            v.push_back({QStringLiteral("07/03/2026"),
                         QStringLiteral("14:%1:%2").arg(n / 60, 2, 10, QLatin1Char('0')).arg(n % 60, 2, 10, QLatin1Char('0')),
                         QString::number(40 + n % 50) + QStringLiteral(".5"), QString::number(20 + n % 7) + QStringLiteral(".1"),
                         QString::number(25 + n % 3) + QStringLiteral(".0")});
        return v;
    }();
    return all;
}

// What the poll loop does with each sample, in its order.
void appendRow(forms::TStringGrid &g, int n) {
    static const QString rh = QStringLiteral("%RH"), unit = QStringLiteral("C");
    const Sample &s = samples()[size_t(n) % samples().size()];
    if (!g.Cells(0, 1).isEmpty()) g.SetRowCount(g.RowCount() + 1);
    if (g.VisibleRowCount() < g.RowCount()) g.SetTopRow(g.RowCount() - g.VisibleRowCount());
    const int r = g.RowCount() - 1;
    g.SetCells(0, r, QString::number(r));
    g.SetCells(1, r, s.date);
    g.SetCells(2, r, s.time);
    g.SetCells(3, r, s.humidity);
    g.SetCells(4, r, rh);
    g.SetCells(6, r, unit);
    g.SetCells(8, r, unit);
    g.SetCells(5, r, s.t1);
    g.SetCells(7, r, s.t2);
}

// The real-time table's window, shown at its own size; its grid is what the rows go to.
struct Table {
    std::unique_ptr<hygro::TfrmList> window = std::make_unique<hygro::TfrmList>(QStringLiteral("Table"));
    forms::TStringGrid *grid = window->Grid1;
    Table() {
        window->show();
        QApplication::processEvents();
    }
};

void BM_GridAppend1MRows(benchmark::State &state) {
    samples();
    for (auto _ : state) {
        const size_t heap0 = heapInUse(), rss0 = resident();
        auto table = std::make_unique<Table>();
        forms::TStringGrid *grid = table->grid;
        for (int n = 0; n < Rows; ++n) appendRow(*grid, n);
        benchmark::DoNotOptimize(grid->viewport()->grab());
        state.PauseTiming();
        state.counters["bytes_per_row"] = double(heapInUse() - heap0) / Rows;
        // Freed memory stays resident for the next iteration: the first one tells.
        if (!state.counters.count("resident_bytes_per_row"))
            state.counters["resident_bytes_per_row"] = double(resident() - std::min(resident(), rss0)) / Rows;
        table.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * Rows);
}
BENCHMARK(BM_GridAppend1MRows)->Unit(benchmark::kMillisecond)->Iterations(3);

// Ours and QTableWidget, 100 000 rows each, one after the other in every iteration.
void BM_Grid100kRowsVsQTableWidget(benchmark::State &state) {
    constexpr int PeerRows = 100000;
    samples();
    double ours = 0, theirs = 0, oursBytes = 0, theirBytes = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        size_t heap0 = heapInUse();
        clock.start();
        {
            Table table;
            forms::TStringGrid *grid = table.grid;
            for (int n = 0; n < PeerRows; ++n) appendRow(*grid, n);
            benchmark::DoNotOptimize(grid->viewport()->grab());
            ours += double(clock.nsecsElapsed());
            oursBytes += double(heapInUse() - heap0) / PeerRows;
        }
        heap0 = heapInUse();
        clock.start();
        {
            QTableWidget table(1, 9);
            table.setHorizontalHeaderLabels({"NO", "DATE", "TIME", "HUMIDITY", "UNIT", "T1", "UNIT", "T2", "UNIT"});
            table.verticalHeader()->hide();
            table.setEditTriggers(QAbstractItemView::NoEditTriggers);
            table.setSelectionBehavior(QAbstractItemView::SelectRows);
            table.verticalHeader()->setDefaultSectionSize(20);
            table.resize(500, 330);
            table.show();
            QApplication::processEvents();
            static const QString rh = QStringLiteral("%RH"), unit = QStringLiteral("C");
            for (int n = 0; n < PeerRows; ++n) {
                const Sample &smp = samples()[size_t(n) % samples().size()];
                if (n > 0) table.insertRow(n);
                const QString texts[9] = {QString::number(n + 1), smp.date, smp.time, smp.humidity, rh, smp.t1, unit, smp.t2, unit};
                for (int c = 0; c < 9; ++c) table.setItem(n, c, new QTableWidgetItem(texts[c]));
                table.scrollToBottom();
            }
            benchmark::DoNotOptimize(table.viewport()->grab());
            theirs += double(clock.nsecsElapsed());
            theirBytes += double(heapInUse() - heap0) / PeerRows;
        }
        QApplication::processEvents();
    }
    const double n = double(state.iterations());
    state.counters["ours_ms"] = ours / n / 1e6;
    state.counters["qtablewidget_ms"] = theirs / n / 1e6;
    state.counters["ratio"] = ours / theirs;
    state.counters["ours_bytes_per_row"] = oursBytes / n;
    state.counters["qtablewidget_bytes_per_row"] = theirBytes / n;
}
BENCHMARK(BM_Grid100kRowsVsQTableWidget)->Unit(benchmark::kMillisecond)->Iterations(1);

// Shared by the benchmarks at volume: filled once, gone before the application.
std::unique_ptr<Table> full;

forms::TStringGrid &fullGrid() {
    if (!full) {
        full = std::make_unique<Table>();
        for (int n = 0; n < Rows; ++n) appendRow(*full->grid, n);
        QApplication::processEvents();
    }
    return *full->grid;
}

void BM_GridAppendAndRepaintAt1MRows(benchmark::State &state) {
    forms::TStringGrid &grid = fullGrid();
    int n = grid.RowCount();
    for (auto _ : state) {
        appendRow(grid, n++);
        benchmark::DoNotOptimize(grid.viewport()->grab());
    }
}
BENCHMARK(BM_GridAppendAndRepaintAt1MRows)->Unit(benchmark::kMicrosecond);

void BM_GridJumpAndRepaintAt1MRows(benchmark::State &state) {
    forms::TStringGrid &grid = fullGrid();
    int top = 1;
    for (auto _ : state) {
        top = (top + 370117) % grid.RowCount();
        grid.SetTopRow(top);
        // grab paints even where the platform shows nothing.
        benchmark::DoNotOptimize(grid.viewport()->grab());
    }
}
BENCHMARK(BM_GridJumpAndRepaintAt1MRows)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    full.reset();
    return 0;
}
