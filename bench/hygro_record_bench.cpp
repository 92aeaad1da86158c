// A long recording in Vadro: the main form linked to the simulated 586 on its
// pseudo-terminal, Run at rate 1, and then one poll tick after another, each answered
// by the meter and each recording a row into the real-time table and a point into the
// real-time chart, with the windows repainted between ticks as the event loop does.
//
// Figures: bytes a recorded row costs, as the heap in use (malloc's count) and as the
// growth of the resident set, over VADRO_RECORD_ROWS rows (default 20 000) after a
// warm-up of 300 rows, and the resident growth a row once the chart is full: it holds
// at most 5000 points, so rows past that cost the table and what else the program
// keeps for each row.
//
// Beside it, the same rows the way a Qt user would keep them: a QTableWidget (an item a
// cell, scrolled to the newest row) and a QCustomPlot of three curves holding the last
// 5000 points, shown and repainted between rows; its bytes a row and the ratio.

#include "hygro/UList.h"
#include "hygro/UMain.h"

#include "platform/forms/StringGrid.h"
#include "serial/ComPort.h"

#include "support/Simulator.h"
#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#ifdef HAVE_QCUSTOMPLOT
#include "PeerChart.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLocale>
#include <QTableWidget>
#endif

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace {

std::map<std::string, double> bytesPerRow;

using benchsupport::heapInUse;
using benchsupport::resident;

int rows() {
    const char *env = std::getenv("VADRO_RECORD_ROWS");
    return env ? std::max(1000, std::atoi(env)) : 20000;
}

bool waitFor(const std::function<bool()> &done, int ms) { return benchsupport::waitFor(done, ms, 5); }

// The simulated 586; its log is dropped, ten thousand polls would fill the pipe.
class Meter : public testsupport::Simulator {
public:
    Meter() : Simulator("hygrosim", {"--model", "586"}, QProcess::nullDevice()) {}
};

// One poll tick that records, and the meter's answer for the next one.
bool recordRow(hygro::TfrmMain &main) {
    main.MainTimerTimer();
    return waitFor([] { return hygro::FrameReceived; }, 5000);
}

void VadroRecordAtRateOne(benchmark::State &state) {
    const int n = rows();
    for (auto _ : state) {
        Meter meter;
        setenv("METER_PORTS", meter.path().toLocal8Bit().constData(), 1);
        auto main = std::make_unique<hygro::TfrmMain>();
        main->resize(1024, 700);
        main->show();
        if (!waitFor([] { return hygro::LinkUp; }, 10000)) {
            state.SkipWithError("no meter");
            return;
        }
        main->MainTimer->stop();
        hygro::RealTimeRate = 1;
        main->btnRunClick();
        for (int i = 0; i < 300; ++i)
            if (!recordRow(*main)) {
                state.SkipWithError("the meter stopped answering");
                return;
            }
        forms::TStringGrid *grid = hygro::RealTimeList->Grid1;
        const int before = grid->RowCount();
        const double heap0 = double(heapInUse()), rss0 = double(resident());
        double rssFull = 0;
        int rowsFull = 0;
        for (int i = 0; i < n; ++i) {
            if (!recordRow(*main)) {
                state.SkipWithError("the meter stopped answering");
                return;
            }
            if (hygro::GraphPointCount >= 5000 && !rowsFull) {
                rowsFull = grid->RowCount();
                rssFull = double(resident());
            }
            if (std::getenv("VADRO_RECORD_TRACE") && (i + 1) % 2500 == 0)
                std::fprintf(stderr, "%6d rows: heap %+.0f bytes, resident %+.0f bytes\n", i + 1,
                             double(heapInUse()) - heap0, double(resident()) - rss0);
        }
        const int recorded = grid->RowCount() - before;
        const double heap = (double(heapInUse()) - heap0) / recorded, rss = (double(resident()) - rss0) / recorded;
        const double rssPast = rowsFull && grid->RowCount() > rowsFull
                                   ? (double(resident()) - rssFull) / (grid->RowCount() - rowsFull)
                                   : 0;
        state.counters["rows"] = recorded;
        state.counters["heap_bytes_per_row"] = heap;
        state.counters["resident_bytes_per_row"] = rss;
        state.counters["resident_bytes_per_row_chart_full"] = rssPast;
        bytesPerRow["ours"] = heap;
        std::printf("recording at rate 1: %d rows, %.0f bytes a row on the heap, %.0f bytes a row resident "
                    "(%.0f a row once the chart holds its 5000 points)\n",
                    recorded, heap, rss, rssPast);
        hygro::RowsAdded = false; // closes without the save question
        main->close();
        main.reset();
    }
}
BENCHMARK(VadroRecordAtRateOne)->Iterations(1)->Unit(benchmark::kSecond);

#ifdef HAVE_QCUSTOMPLOT
void PeerRecordAtRateOne(benchmark::State &state) {
    const int n = rows();
    for (auto _ : state) {
        QWidget window;
        auto *layout = new QHBoxLayout(&window);
        auto *table = new QTableWidget(0, 9);
        table->setHorizontalHeaderLabels({"NO", "DATE", "TIME", "HUMIDITY", "UNIT", "T1", "UNIT", "T2", "UNIT"});
        auto *plot = new QCustomPlot;
        const auto graphs = peer::setUpChart(*plot, 516, 385, 1, false);
        layout->addWidget(plot);
        layout->addWidget(table);
        window.resize(1100, 420);
        window.show();
        const QLocale locale = QLocale::system();
        const QDateTime start = QDateTime::currentDateTime();
        auto addRow = [&](int r) {
            const QDateTime t = start.addSecs(r);
            const double values[3] = {40 + r % 500 / 10.0, 20 + r % 70 / 10.0, 25 + r % 30 / 10.0};
            const QString cells[9] = {QString::number(r + 1),
                                      locale.toString(t.date(), QLocale::ShortFormat),
                                      t.toString(QStringLiteral("hh:mm:ss")),
                                      QString::number(values[0], 'f', 1),
                                      QStringLiteral("%RH"),
                                      QString::number(values[1], 'f', 1),
                                      QStringLiteral("C"),
                                      QString::number(values[2], 'f', 1),
                                      QStringLiteral("C")};
            table->insertRow(r);
            for (int c = 0; c < 9; ++c) table->setItem(r, c, new QTableWidgetItem(cells[c]));
            table->scrollToBottom();
            const double x = double(t.toSecsSinceEpoch());
            for (int s = 0; s < 3; ++s) {
                graphs[size_t(s)]->addData(x, values[s]);
                // The last 5000 points, as the program's chart holds.
                if (graphs[size_t(s)]->dataCount() > 5000) graphs[size_t(s)]->data()->removeBefore(x - 4999.5);
            }
            plot->xAxis->setRange(x - 4999, x + 1);
            plot->replot(QCustomPlot::rpQueuedReplot);
            QCoreApplication::processEvents();
        };
        for (int r = 0; r < 300; ++r) addRow(r);
        const double heap0 = double(heapInUse());
        for (int r = 300; r < 300 + n; ++r) addRow(r);
        const double heap = (double(heapInUse()) - heap0) / n;
        state.counters["heap_bytes_per_row"] = heap;
        bytesPerRow["peer"] = heap;
    }
}
BENCHMARK(PeerRecordAtRateOne)->Iterations(1)->Unit(benchmark::kSecond);
#endif

} // namespace

int main(int argc, char **argv) {
    QTemporaryDir config;
    benchsupport::simulatorStart(config.path(), METER_BIN_DIR);
    QApplication app(argc, argv);
    benchsupport::runBenchmarks(argc, argv, false);
    if (bytesPerRow.count("ours") && bytesPerRow.count("peer"))
        std::printf(
            "a recorded row on the heap: ours %.0f bytes, QTableWidget and QCustomPlot %.0f bytes, ratio %.2f\n",
            bytesPerRow["ours"], bytesPerRow["peer"], bytesPerRow["ours"] / bytesPerRow["peer"]);
    return 0;
}
