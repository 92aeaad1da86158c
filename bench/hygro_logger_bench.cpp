// Vadro's data-logger download of a full 98 304-byte memory from the simulated 586 at
// the real 9600-baud pace, in stream and in block mode: how much longer the transfer
// takes than its bytes need on the line, and the share of one core the program uses
// meanwhile; beside it the same transfer written on QSerialPort. Then decoding a
// 4000-record set into the window's table and chart, beside a QTableWidget and a
// QCustomPlot filled with the same records.
//
// Run: build/bench/hygro_logger_bench (about eight minutes; VADRO_LOGGER_RECORDS makes
// the memory smaller, e.g. 400 for a quick look).

#include "hygro/UDataLogger.h"
#include "hygro/UMain.h"
#include "hygro/core/ChartMaths.h"
#include "hygro/core/LoggerMemory.h"
#include "hygro/core/LoggerTransfer.h"

#include "chart/SciGraphCtl.h"
#include "platform/forms/StringGrid.h"

#include "support/CpuTime.h"
#include "support/Simulator.h"
#include "BenchSupport.h"

#include <benchmark/benchmark.h>
#include <qcustomplot.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMdiArea>
#include <QProcess>
#include <QSerialPort>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

namespace {

using testsupport::cpuSeconds;

constexpr double ByteSeconds = 10.0 / 9600;

int recordsPerSet() {
    const char *env = std::getenv("VADRO_LOGGER_RECORDS");
    return env ? std::max(1, std::atoi(env)) : 4080; // four sets of 4080 records fill the memory
}

// The simulated meter on a pseudo-terminal, paced at 9600 baud; its log of the bytes
// it received, with their times, on request.
class Meter : public testsupport::Simulator {
public:
    explicit Meter(bool stream) : Simulator("hygrosim", arguments(stream), logFile(stream)) {}
    int imageBytes() const {
        const int records = recordsPerSet();
        return records == 4080 ? hygro::LoggerMaxImage : hygro::LoggerHeaderSize + 4 * (16 + 6 * records);
    }

private:
    static QStringList arguments(bool stream) {
        const int records = recordsPerSet();
        QStringList args{"--model", "586", "--ident",   stream ? "13" : "7",
                         "--sets",  "4",   "--records", QString::number(records),
                         "--paced"};
        if (records == 4080) args << "--pad-to" << QString::number(hygro::LoggerMaxImage);
        return args;
    }
    static QString logFile(bool stream) {
        const QString log = QString::fromLocal8Bit(qgetenv("VADRO_LOGGER_SIMLOG"));
        return log.isEmpty() ? QProcess::nullDevice() : log + (stream ? ".stream" : ".block");
    }
};

std::map<std::string, double> transferSeconds, cpuShare;

void report(benchmark::State &state, const std::string &name, double transfer, double cpu, double wall, int bytes) {
    const double line = bytes * ByteSeconds;
    state.SetIterationTime(transfer);
    state.counters["line_s"] = line;
    state.counters["transfer_s"] = transfer;
    state.counters["over_line_%"] = (transfer / line - 1) * 100;
    state.counters["cpu_%"] = cpu / wall * 100;
    transferSeconds[name] = transfer;
    cpuShare[name] = cpu / wall * 100;
}

// ---- ours: the menu command of the program -----------------------------------------

void VadroDownload(benchmark::State &state) {
    const bool stream = state.range(0) == 1;
    for (auto _ : state) {
        Meter meter(stream);
        setenv("METER_PORTS", meter.path().toLocal8Bit().constData(), 1);
        auto main = std::make_unique<hygro::TfrmMain>();
        main->resize(1024, 700);
        main->show();
        if (!hygro::LinkUp) {
            state.SkipWithError("no meter found");
            return;
        }
        const double cpu0 = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        main->LoadData1Click();
        const double seconds = wall.nsecsElapsed() / 1e9;
        const double cpu = cpuSeconds() - cpu0;
        if (hygro::SetCount != 4) {
            state.SkipWithError("download failed");
            return;
        }
        // Decoding set 1 ran inside the command; timed again on its own to take it out.
        QElapsedTimer decode;
        decode.start();
        hygro::frmDataLogger->DecodeDataSet(0);
        const double decodeSeconds = decode.nsecsElapsed() / 1e9;
        // The protocol's fixed waits: taking the port before "P", handing it back, and in
        // block mode the silence that ends the transfer.
        const double fixed =
            double(hygro::LoggerTakePortMs + hygro::LoggerHandBackMs + (stream ? 0 : hygro::LoggerSilenceMs)) / 1000;
        report(state, stream ? "stream" : "block", seconds - fixed - decodeSeconds, cpu, seconds, meter.imageBytes());
        state.counters["fixed_s"] = fixed;
        state.counters["decode_s"] = decodeSeconds;
    }
}

// ---- peer: the same transfer on QSerialPort ---------------------------------------

int lastPos(const QByteArray &image) {
    return hygro::ParseLoggerHeader(reinterpret_cast<const uint8_t *>(image.constData()), size_t(image.size()))
        ->lastPos;
}

void QSerialPortDownload(benchmark::State &state) {
    const bool stream = state.range(0) == 1;
    for (auto _ : state) {
        Meter meter(stream);
        QSerialPort port(meter.path());
        port.setBaudRate(9600);
        port.setDataBits(QSerialPort::Data8);
        port.setParity(QSerialPort::NoParity);
        port.setStopBits(QSerialPort::OneStop);
        if (!port.open(QIODevice::ReadWrite)) {
            state.SkipWithError("QSerialPort cannot open the terminal");
            return;
        }
        QByteArray image, pending;
        long long expected = -1;
        int errors = 0;
        QEventLoop loop;
        QTimer silence;
        silence.setSingleShot(true);
        silence.setInterval(3000);
        QObject::connect(&silence, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(&port, &QSerialPort::readyRead, [&] {
            silence.start();
            pending += port.readAll();
            if (stream) {
                image += pending;
                pending.clear();
                if (expected < 0 && image.size() >= 6) expected = lastPos(image) + 1;
                if (expected > 0 && image.size() >= expected) loop.quit();
                return;
            }
            while (pending.size() >= hygro::LoggerBlockSize) {
                const auto *b = reinterpret_cast<const uint8_t *>(pending.constData());
                const bool ok = hygro::BlockChecksum(b) == b[hygro::LoggerBlockData];
                if (ok)
                    image.append(pending.constData(), hygro::LoggerBlockData);
                else
                    ++errors;
                pending.remove(0, hygro::LoggerBlockSize);
                if (ok && expected < 0 && image.size() >= 6) expected = hygro::BlockExpectedLength(lastPos(image));
                if (ok && expected > 0 && image.size() >= expected) {
                    port.write("y", 1);
                    loop.quit();
                    return;
                }
                port.write(ok ? "y" : "n", 1);
            }
        });
        const double cpu0 = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        port.write("P", 1);
        silence.start();
        loop.exec();
        const double seconds = wall.nsecsElapsed() / 1e9;
        const double cpu = cpuSeconds() - cpu0;
        if (expected <= 0 || image.size() < expected) {
            state.SkipWithError("QSerialPort transfer incomplete");
            return;
        }
        report(state, stream ? "qserialport stream" : "qserialport block", seconds, cpu, seconds, meter.imageBytes());
    }
}

// ---- decoding one set into table and chart -------------------------------------------

constexpr int DecodeRecords = 4000;

// One set of DecodeRecords three-reading records as the download keeps it.
void storeSet() {
    std::vector<uint8_t> b{
        0xA5, 0x5A, 0, 26, 3, 7, 8, 0, 0, 0, 5, 0, uint8_t(DecodeRecords >> 8), uint8_t(DecodeRecords & 0xFF)};
    for (int k = 0; k < DecodeRecords; ++k) {
        const int v[3] = {int(550 + 200 * std::sin(k / 40.0)), int(220 + 50 * std::sin(k / 70.0)),
                          int(std::lround(80 + 140 * std::sin(k / 33.0)))};
        for (int x : v) {
            const int stored = x < 0 ? 0x8000 | -x : x;
            b.push_back(uint8_t(stored >> 8));
            b.push_back(uint8_t(stored & 0xFF));
        }
    }
    b.push_back(0x5A);
    b.push_back(0xA5);
    hygro::LoggerImage image;
    image.setCount = 1;
    hygro::SplitLoggerSets(b.data(), b.size(), 1, 6, QDateTime::currentDateTime(), image.sets);
    image.bytes = std::move(b);
    hygro::Downloaded = std::move(image);
}

std::map<std::string, double> decodeMs;

void VadroDecodeSet(benchmark::State &state) {
    setenv("METER_PORTS", "", 1);
    auto main = std::make_unique<hygro::TfrmMain>();
    main->resize(1280, 900);
    main->show();
    hygro::MeterModel = 586;
    hygro::RecordStride = 6;
    storeSet();
    auto *logger = new hygro::TfrmDataLogger();
    logger->ShowIn(main->MdiArea);
    logger->SetBounds(0, 0, 1200, 800);
    QApplication::processEvents();
    QElapsedTimer t;
    t.start();
    for (auto _ : state) {
        logger->DecodeDataSet(0);
        // The chart is painted as the user sees it.
        logger->SciGraph1->repaint();
    }
    decodeMs["ours"] = t.nsecsElapsed() / 1e6 / double(state.iterations());
}

void PeerDecodeSet(benchmark::State &state) {
    storeSet();
    QWidget window;
    window.resize(1200, 800);
    auto *table = new QTableWidget(&window);
    table->setGeometry(0, 400, 1200, 400);
    table->setColumnCount(9);
    auto *plot = new QCustomPlot(&window);
    plot->setGeometry(0, 0, 1200, 400);
    for (int s = 0; s < 3; ++s) plot->addGraph(plot->xAxis, s == 0 ? plot->yAxis : plot->yAxis2);
    QSharedPointer<QCPAxisTickerDateTime> ticker(new QCPAxisTickerDateTime);
    plot->xAxis->setTicker(ticker);
    window.show();
    QApplication::processEvents();
    QElapsedTimer t;
    t.start();
    for (auto _ : state) {
        const hygro::DecodedSet d = hygro::DecodeImageSet(hygro::Downloaded, 0, 6, true);
        table->clearContents();
        table->setRowCount(int(d.records.size()));
        QVector<double> x, y[3];
        const QLocale locale = QLocale::system();
        for (size_t k = 0; k < d.records.size(); ++k) {
            const hygro::DecodedRecord &r = d.records[k];
            const int row = int(k);
            const QString cells[9] = {QString::number(row + 1),
                                      locale.toString(r.time.date(), QLocale::ShortFormat),
                                      r.time.toString(QStringLiteral("hh:mm:ss")),
                                      r.readings[0].text,
                                      QStringLiteral("%RH"),
                                      r.readings[1].text,
                                      QStringLiteral("C"),
                                      r.readings[2].text,
                                      QStringLiteral("C")};
            for (int c = 0; c < 9; ++c) table->setItem(row, c, new QTableWidgetItem(cells[c]));
            x << r.time.toSecsSinceEpoch();
            for (int s = 0; s < 3; ++s) y[s] << r.readings[size_t(s)].value;
        }
        for (int s = 0; s < 3; ++s) plot->graph(s)->setData(x, y[s], true);
        plot->rescaleAxes();
        plot->replot();
        plot->repaint();
    }
    decodeMs["peer"] = t.nsecsElapsed() / 1e6 / double(state.iterations());
}

} // namespace

BENCHMARK(VadroDownload)->Arg(1)->ArgName("stream")->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(QSerialPortDownload)->Arg(1)->ArgName("stream")->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(VadroDownload)->Arg(0)->ArgName("stream")->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(QSerialPortDownload)->Arg(0)->ArgName("stream")->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(VadroDecodeSet)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(PeerDecodeSet)->Unit(benchmark::kMillisecond)->MinTime(2.0);

int main(int argc, char **argv) {
    QTemporaryDir config;
    benchsupport::simulatorStart(config.path(), METER_BIN_DIR);
    QApplication app(argc, argv);
    benchsupport::runBenchmarks(argc, argv, false);
    for (const char *mode : {"stream", "block"}) {
        const std::string peer = std::string("qserialport ") + mode;
        if (!transferSeconds.count(mode) || !transferSeconds.count(peer)) continue;
        std::printf(
            "%s mode: transfer %.2f s (QSerialPort %.2f s, ratio %.3f); CPU %.2f %% of a core (QSerialPort %.2f %%)\n",
            mode, transferSeconds[mode], transferSeconds[peer], transferSeconds[mode] / transferSeconds[peer],
            cpuShare[mode], cpuShare[peer]);
    }
    if (decodeMs.count("ours") && decodeMs.count("peer"))
        std::printf(
            "decoding %d records into table and chart: %.1f ms (QTableWidget and QCustomPlot %.1f ms, ratio %.2f)\n",
            DecodeRecords, decodeMs["ours"], decodeMs["peer"], decodeMs["ours"] / decodeMs["peer"]);
    return 0;
}
