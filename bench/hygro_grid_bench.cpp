// The real-time table at volume: 1 000 000 sample rows appended to a shown string grid
// by the main form's own row append (one row, keep the newest in view, nine cells) with the
// memory the grid holds for them; one more row and its repaint at that size (what a
// poll tick costs after twelve days of recording); jumping and repainting there. And
// 100 000 rows beside QTableWidget, the grid a Qt user would take instead (an item for
// each cell, scrolled to the bottom after each row), in the same process.
//
// Memory is the heap in use (malloc's own count) before and after, divided by the rows:
// the cells and what the view keeps for each row; and the growth of the resident set.

#include "hygro/UList.h"
#include "hygro/UMain.h"
#include "platform/forms/StringGrid.h"
#include "BenchSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLocale>
#include <QTemporaryDir>
#include <QTimer>
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

using benchsupport::heapInUse;
using benchsupport::resident;

// The readings of a sample, made once: making them is the meter link's work, not the
// table's; the date and time the program's own row append formats.
struct Sample {
    QString humidity, t1, t2;
};
const std::vector<Sample> &samples() {
    static const std::vector<Sample> all = [] {
        std::vector<Sample> v;
        for (int n = 0; n < 3600; ++n)
            v.push_back({QString::number(40 + n % 50) + QStringLiteral(".5"),
                         QString::number(20 + n % 7) + QStringLiteral(".1"),
                         QString::number(25 + n % 3) + QStringLiteral(".0")});
        return v;
    }();
    return all;
}

const QDateTime Start(QDate(2026, 3, 7), QTime(14, 0, 0));

// The main form without a meter, its poll stopped: its row append is what is measured.
std::unique_ptr<hygro::TfrmMain> mainOwner;
hygro::TfrmMain &mainForm() {
    if (!mainOwner) {
        mainOwner = std::make_unique<hygro::TfrmMain>();
        mainOwner->MainTimer->stop();
        hygro::MeterModel = 586;
    }
    return *mainOwner;
}

// The poll loop's row for sample `n`, appended by the program.
void appendRow(int n) {
    const Sample &s = samples()[size_t(n) % samples().size()];
    hygro::Display.ReadingText = {s.humidity, s.t1, s.t2};
    mainForm().AppendGridRow(Start.addSecs(n));
}

// The real-time table's window, shown at its own size; its grid is what the rows go to.
struct Table {
    std::unique_ptr<hygro::TfrmList> window = std::make_unique<hygro::TfrmList>(QStringLiteral("Table"));
    forms::TStringGrid *grid = window->Grid1;
    Table() {
        window->show();
        QApplication::processEvents();
        hygro::RealTimeList = window.get();
    }
};

void BM_GridAppend1MRows(benchmark::State &state) {
    samples();
    for (auto _ : state) {
        const size_t heap0 = heapInUse(), rss0 = resident();
        auto table = std::make_unique<Table>();
        forms::TStringGrid *grid = table->grid;
        for (int n = 0; n < Rows; ++n) appendRow(n);
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
            for (int n = 0; n < PeerRows; ++n) appendRow(n);
            benchmark::DoNotOptimize(grid->viewport()->grab());
            ours += double(clock.nsecsElapsed());
            oursBytes += double(heapInUse() - heap0) / PeerRows;
        }
        // The peer looks like ours: its headers, row height and window size.
        QStringList headers;
        int rowHeight = 0;
        QSize size;
        {
            Table look;
            for (int c = 0; c < look.grid->ColCount(); ++c) headers << look.grid->Cells(c, 0);
            rowHeight = look.grid->DefaultRowHeight();
            size = look.window->size();
        }
        heap0 = heapInUse();
        clock.start();
        {
            QTableWidget table(1, int(headers.size()));
            table.setHorizontalHeaderLabels(headers);
            table.verticalHeader()->hide();
            table.setEditTriggers(QAbstractItemView::NoEditTriggers);
            table.setSelectionBehavior(QAbstractItemView::SelectRows);
            table.verticalHeader()->setDefaultSectionSize(rowHeight);
            table.resize(size);
            table.show();
            QApplication::processEvents();
            static const QString rh = QStringLiteral("%RH"), unit = QStringLiteral("C");
            const QLocale locale = QLocale::system();
            for (int n = 0; n < PeerRows; ++n) {
                const Sample &smp = samples()[size_t(n) % samples().size()];
                if (n > 0) table.insertRow(n);
                const QDateTime t = Start.addSecs(n);
                const QString texts[hygro::TableColumnCount] = {QString::number(n + 1),
                                                                locale.toString(t.date(), QLocale::ShortFormat),
                                                                t.toString(QStringLiteral("hh:mm:ss")),
                                                                smp.humidity,
                                                                rh,
                                                                smp.t1,
                                                                unit,
                                                                smp.t2,
                                                                unit};
                for (int c = 0; c < hygro::TableColumnCount; ++c) table.setItem(n, c, new QTableWidgetItem(texts[c]));
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
        for (int n = 0; n < Rows; ++n) appendRow(n);
        QApplication::processEvents();
    }
    return *full->grid;
}

void BM_GridAppendAndRepaintAt1MRows(benchmark::State &state) {
    forms::TStringGrid &grid = fullGrid();
    int n = grid.RowCount();
    for (auto _ : state) {
        appendRow(n++);
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
    // Its own settings; no meter: the search fails at once on a path that is not there.
    QTemporaryDir config;
    benchsupport::settingsIn(config.path());
    setenv("METER_PORTS", "/dev/no-meter-here", 1);
    QApplication app(argc, argv);
    mainForm(); // before any heap is counted
    // The windows go before the application, also when the options were refused.
    const int result = benchsupport::runBenchmarks(argc, argv);
    full.reset();
    mainOwner.reset();
    return result;
}
