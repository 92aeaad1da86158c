// Vadro's charts at their fullest, in the program's own windows: the real-time chart
// holding 3 x 5000 points on an 800 x 600 chart (one AppendGraphPoint and the repaint
// it causes, the 100-point shift every hundredth sample), and a 100 000-row table
// drawn as a chart with the progress window kept alive. Beside each, QCustomPlot doing
// the same work in the same process, and the ratio.

#include "hygro/UGraph.h"
#include "hygro/UList.h"
#include "hygro/UMain.h"
#include "hygro/core/ChartMaths.h"
#include "hygro/core/TableColumns.h"

#include "chart/SciGraphCtl.h"
#include "platform/forms/StringGrid.h"

#include "PeerChart.h"

#include <qcustomplot.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>

namespace {

using namespace hygro;

constexpr int Points = RealTimePoints;
constexpr int TableRows = 100000;
constexpr double Second = 1.0 / 86400.0;

std::unique_ptr<TfrmMain> startMain() {
    auto main = std::make_unique<TfrmMain>();
    main->resize(1400, 900);
    main->show();
    QCoreApplication::processEvents();
    main->MainTimer->stop();
    return main;
}

// The real-time chart's client at 800 x 600, full: 4999 points written, the next
// sample is the 5000th.
void fillRealTime(TfrmMain &main) {
    TfrmGraph *g = RealTimeGraph;
    const QSize frame = g->Frame()->size() - g->size();
    g->Frame()->resize(QSize(800, 600) + frame);
    QCoreApplication::processEvents();
    SciGraph *c = g->SciGraph1;
    // Three readings, as a 586 gives.
    const double t0 = DateTimeToDays(QDateTime::currentDateTime());
    main.SetupChart(c, Points, t0 + GraphWindow, t0, 586);
    for (int i = 0; i < Points - 1; ++i) {
        const float y[3] = {float(55 + 20 * std::sin(i / 50.0) + i % 7), float(22 + 5 * std::cos(i / 80.0)),
                            float(30 + 10 * std::sin(i / 130.0))};
        for (int s = 0; s < c->Subsets(); ++s) {
            c->SetXDataII(s, i, t0 + i * 2 * Second);
            c->SetYData(s, i, y[s]);
        }
    }
    c->SetManualMaxX(t0 + Points * 2 * Second);
    GraphPointCount = Points - 1;
}

// The same chart in QCustomPlot, with what ours shows: two stacked axis rects with
// their labels, a date-time axis, the three curves in their colours and a legend.
struct RealTimePeer {
    QCustomPlot plot;
    std::array<QCPGraph *, 3> graphs{};
    double t = 0;

    explicit RealTimePeer(bool antialiased) {
        graphs = peer::setUpChart(plot, 800, 600, 1, antialiased);
        for (int i = 0; i < Points - 1; ++i) append(i);
        plot.show();
        plot.replot();
    }
    void append(int i) {
        t = 1.8e9 + i * 2.0;
        graphs[0]->addData(t, 55 + 20 * std::sin(i / 50.0) + i % 7);
        graphs[1]->addData(t, 22 + 5 * std::cos(i / 80.0));
        graphs[2]->addData(t, 30 + 10 * std::sin(i / 130.0));
    }
    // One sample: append, drop the oldest hundred when full, follow the time, repaint.
    void sample(int i) {
        append(i);
        if (graphs[0]->dataCount() > Points)
            for (QCPGraph *g : graphs) g->data()->removeBefore(g->data()->at(ShiftPoints)->key);
        const double from = graphs[0]->data()->constBegin()->key;
        for (QCPGraph *g : graphs) g->keyAxis()->setRange(from, std::max(t, from + Points * 2.0));
        plot.replot(QCustomPlot::rpImmediateRefresh);
    }
};

// One sample into the full real-time chart and the repaint it causes; every hundredth
// is the shift.
void BM_RealTimeAppendAndRepaint(benchmark::State &state) {
    auto main = startMain();
    fillRealTime(*main);
    SciGraph *c = RealTimeGraph->SciGraph1;
    int i = 0;
    for (auto _ : state) {
        hygro::Display.ReadingValue = {50.0 + i % 30, 20.0 + i % 10, 25.0 + i % 12};
        main->AppendGraphPoint(DaysToDateTime(c->ManualMinX() + (Points + i) * 2 * Second));
        c->repaint();
        ++i;
    }
    state.counters["points"] = GraphPointCount;
}
BENCHMARK(BM_RealTimeAppendAndRepaint)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

// The shift alone: every sample finds the chart full.
void BM_RealTimeShiftAndRepaint(benchmark::State &state) {
    auto main = startMain();
    fillRealTime(*main);
    SciGraph *c = RealTimeGraph->SciGraph1;
    int i = 0;
    for (auto _ : state) {
        GraphPointCount = Points;
        main->AppendGraphPoint(DaysToDateTime(c->ManualMinX() + (Points + i) * 2 * Second));
        c->repaint();
        ++i;
    }
}
BENCHMARK(BM_RealTimeShiftAndRepaint)->Unit(benchmark::kMicrosecond);

// Ours and QCustomPlot, without antialiasing and with its default, interleaved sample
// for sample; the ratio is to the one without.
void BM_RealTimeVsQCustomPlot(benchmark::State &state) {
    auto main = startMain();
    fillRealTime(*main);
    SciGraph *c = RealTimeGraph->SciGraph1;
    RealTimePeer peer(false), smooth(true);
    QElapsedTimer clock;
    qint64 ours = 0, theirs = 0, theirsSmooth = 0;
    int i = 0;
    for (auto _ : state) {
        clock.start();
        hygro::Display.ReadingValue = {50.0 + i % 30, 20.0 + i % 10, 25.0 + i % 12};
        main->AppendGraphPoint(DaysToDateTime(c->ManualMinX() + (Points + i) * 2 * Second));
        c->repaint();
        ours += clock.nsecsElapsed();
        clock.start();
        peer.sample(Points - 1 + i);
        theirs += clock.nsecsElapsed();
        clock.start();
        smooth.sample(Points - 1 + i);
        theirsSmooth += clock.nsecsElapsed();
        ++i;
    }
    const double n = double(state.iterations());
    state.counters["vadro_us"] = ours / n / 1e3;
    state.counters["qcustomplot_us"] = theirs / n / 1e3;
    state.counters["qcustomplot_aa_us"] = theirsSmooth / n / 1e3;
    state.counters["ratio"] = double(ours) / double(std::max<qint64>(theirs, 1));
}
BENCHMARK(BM_RealTimeVsQCustomPlot)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

TfrmList *bigTable(TfrmMain &main) {
    auto *list = new TfrmList(QStringLiteral("big.txt"));
    list->ShowIn(main.MdiArea);
    forms::TStringGrid *g = list->Grid1;
    g->setUpdatesEnabled(false);
    g->SetRowCount(TableRows + 1);
    const QLocale locale = QLocale::system();
    QDateTime t(QDate(2026, 3, 7), QTime(0, 0));
    for (int r = 1; r <= TableRows; ++r, t = t.addSecs(2)) {
        const QStringList cells{QString::number(r),
                                locale.toString(t.date(), QLocale::ShortFormat),
                                t.toString("hh:mm:ss"),
                                QString::number(40 + r % 50) + ".5",
                                "%RH",
                                QString::number(20 + r % 10) + ".1",
                                "C",
                                QString::number(25 + r % 7) + ".3",
                                "C"};
        for (int c = 0; c < TableColumnCount; ++c) g->SetCells(c, r, cells[c]);
    }
    g->setUpdatesEnabled(true);
    list->Frame()->mdiArea()->setActiveSubWindow(list->Frame());
    return list;
}

// "Output data to graph" on 100 000 rows; max_gap_ms is the longest the event loop went
// without a turn meanwhile (a 5 ms timer watches it).
void BM_TableChart100kRows(benchmark::State &state) {
    auto main = startMain();
    TfrmList *list = bigTable(*main);
    double maxGap = 0;
    for (auto _ : state) {
        main->MdiArea->setActiveSubWindow(list->Frame());
        QElapsedTimer since;
        since.start();
        QTimer watch;
        watch.setInterval(5);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            maxGap = std::max(maxGap, since.nsecsElapsed() / 1e6);
            since.start();
        });
        watch.start();
        since.start();
        main->btnOutputGraphClick();
        watch.stop();
        state.PauseTiming();
        if (frmGraph) delete frmGraph->Frame();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["max_gap_ms"] = maxGap;
}
BENCHMARK(BM_TableChart100kRows)->Unit(benchmark::kMillisecond)->Iterations(3);

// QCustomPlot given the same table: cells converted, three graphs set, one replot.
void BM_TableChart100kRowsQCustomPlot(benchmark::State &state) {
    auto main = startMain();
    TfrmList *list = bigTable(*main);
    forms::TStringGrid *g = list->Grid1;
    for (auto _ : state) {
        QCustomPlot plot;
        plot.resize(516, 385);
        plot.show();
        QVector<double> x(TableRows), rh(TableRows), t1(TableRows), t2(TableRows);
        TableDateTimeReader dates;
        for (int r = 1; r <= TableRows; ++r) {
            x[r - 1] = dates.read(g->Cells(colDate, r), g->Cells(colTime, r)).value_or(0);
            rh[r - 1] = g->Cells(colHumidity, r).toDouble();
            t1[r - 1] = g->Cells(colT1, r).toDouble();
            t2[r - 1] = g->Cells(colT2, r).toDouble();
        }
        plot.addGraph()->setData(x, rh, true);
        plot.addGraph()->setData(x, t1, true);
        plot.addGraph()->setData(x, t2, true);
        plot.rescaleAxes();
        plot.replot(QCustomPlot::rpImmediateRefresh);
        benchmark::DoNotOptimize(plot.graphCount());
    }
}
BENCHMARK(BM_TableChart100kRowsQCustomPlot)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char **argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Its own settings; no meter: the search fails at once on a path that is not there.
    QTemporaryDir config;
    setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
    setenv("METER_PORTS", "/dev/no-meter-here", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
