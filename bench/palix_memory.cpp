// Palix's memory download and set decoding.
//
// MemoryDownload: the Memory key against the simulated meter sending a 64 KB memory at
// the line's real pace (9600 baud, 960 bytes a second): the time from the key to the
// listed sets beside the line time of the image's bytes, and the share of one core the
// program uses meanwhile. The same image read by a plain QSerialPort reader (handshake,
// "U", readyRead until the last byte) gives the peer's figures and the ratio.
// SetDecode: a click on a set of 30 000 records until DataList holds them.
//
// PALIX_MEMORY_BYTES sets the image size (default 65 000 bytes of sets).

#include "slm/DataList.h"
#include "slm/core/FileTransfer.h"
#include "slm/Memory.h"
#include "slm/core/Meter.h"
#include "slm/core/MeterMemory.h"
#include "slm/Panel.h"
#include "slm/Port.h"
#include "slm/core/Rs232.h"

#include "tests/support/CpuTime.h"
#include "BenchSupport.h"

#include "support/Simulator.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#ifdef HAVE_QT_SERIALPORT
#include <QSerialPort>
#endif

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

// Sleeps in the event loop until `done` holds (checked after every event and every
// 10 ms) or `ms` pass.
bool waitFor(const std::function<bool()> &done, int ms) { return benchsupport::waitFor(done, ms, 10); }

// Ten sets of 50 + 2 x r bytes filling about `bytes`.
struct Memory64 {
    int sets = 10;
    int records = 0;
    int dataBytes() const { return sets * (50 + 2 * records); }
    Memory64() {
        const char *env = std::getenv("PALIX_MEMORY_BYTES");
        const int bytes = env ? std::max(1000, std::atoi(env)) : 65000;
        records = std::max(1, (bytes / sets - 50) / 2);
    }
    QStringList simArgs() const {
        return {
            "--level", "60", "--memory", "1", "--sets", QString::number(sets), "--records", QString::number(records),
            "--paced"};
    }
};

// The shared launcher, with the simulator's log dropped (a long run would fill its pipe).
class Sim : public testsupport::Simulator {
public:
    explicit Sim(const QStringList &args) : Simulator("slmsim", args, QProcess::nullDevice()) {}
};

void MemoryDownload(benchmark::State &state) {
    const Memory64 memory;
    const double L = slm::DataLength(16 + memory.dataBytes());
    const double lineSeconds = L / 960.0;
    for (auto _ : state) {
        Sim sim(memory.simArgs());
        qputenv("METER_PORTS", sim.path().toLocal8Bit());
        slm::ResetMeterState();
        slm::ResetFileTransferState();
        auto *port = new slm::Port;
        port->CmdOK_Click();
        slm::Panel *panel = slm::PanelForm;
        if (!panel || !waitFor([&] { return !panel->LblValue->text().isEmpty(); }, 10000)) {
            state.SkipWithError("no live frames from the simulator");
            return;
        }
        QElapsedTimer wall;
        const double cpu0 = testsupport::cpuSeconds();
        wall.start();
        slm::MemoryKey(*panel);
        const double took = double(wall.nsecsElapsed()) / 1e9;
        const double cpu = testsupport::cpuSeconds() - cpu0;
        if (!slm::MemoryForm || slm::MemoryForm->GridSet->Rows() != memory.sets + 1) {
            state.SkipWithError("the sets were not listed");
            return;
        }
        state.SetIterationTime(took);
        state.counters["image_bytes"] = L;
        state.counters["line_s"] = lineSeconds;
        state.counters["took_s"] = took;
        state.counters["over_line_percent"] = 100.0 * (took - lineSeconds) / lineSeconds;
        state.counters["cpu_percent"] = 100.0 * cpu / took;
        delete slm::PanelForm;

#ifdef HAVE_QT_SERIALPORT
        // The peer: the same image through QSerialPort, with nothing but the reading.
        Sim peerSim(memory.simArgs());
        QSerialPort serial(peerSim.path());
        serial.setBaudRate(9600);
        if (!serial.open(QIODevice::ReadWrite)) {
            state.SkipWithError("QSerialPort could not open the simulator");
            return;
        }
        QByteArray got;
        QObject::connect(&serial, &QSerialPort::readyRead, [&] { got += serial.readAll(); });
        serial.write(QByteArray(1, '\0'));
        waitFor([&] { return got.endsWith(QByteArray("\x02\xff\xff\xff\xff\x03", 6)); }, 5000);
        got.clear();
        QElapsedTimer peerWall;
        const double peerCpu0 = testsupport::cpuSeconds();
        peerWall.start();
        serial.write(QByteArray("U\0\0\0", 4));
        waitFor([&] { return got.size() >= L; }, int(lineSeconds * 1000) + 20000);
        const double peerTook = double(peerWall.nsecsElapsed()) / 1e9;
        const double peerCpu = testsupport::cpuSeconds() - peerCpu0;
        state.counters["peer_took_s"] = peerTook;
        state.counters["peer_cpu_percent"] = 100.0 * peerCpu / peerTook;
        state.counters["cpu_ratio_ours_to_peer"] = peerCpu > 0 ? cpu / peerCpu : 0;
#endif
    }
}
BENCHMARK(MemoryDownload)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// A set of 30 000 records, listed in a Memory window, clicked; the time until DataList
// holds every record with its settings, maximum and minimum.
void SetDecode(benchmark::State &state) {
    const int records = int(state.range(0));
    QByteArray set(50, '\0');
    set[1] = char(0x55);
    set[2] = char(0xAA);
    set[5] = 1; // 1 s
    set[6] = 2;
    const char start[6] = {0x26, 0x12, 0x09, 0x23, 0x10, 0x00};
    for (int i = 0; i < 6; ++i) set[10 + i] = start[i];
    for (int i = 0; i < records; ++i) {
        const int tenths = 600 + (i * 37) % 300;
        set.append(char(tenths >> 8));
        set.append(char(tenths & 0xFF));
    }
    slm::ResetMeterState();
    slm::ResetFileTransferState();
    slm::DataSets[1] = set;
    auto *panel = new slm::Panel; // not connected: its poll stays idle
    slm::PanelForm = panel;
    auto *memory = new slm::Memory(panel);
    memory->show();
    memory->GridSet->AddItem("1\t1\t" + QString::number(records));
    memory->GridSet->SetRow(1);
    for (auto _ : state) {
        QElapsedTimer wall;
        wall.start();
        memory->GridSet_Click();
        const double took = double(wall.nsecsElapsed()) / 1e9;
        slm::DataList *list = slm::DataListForm();
        if (list->RecordCount() != records) {
            state.SkipWithError("the records did not all reach DataList");
            break;
        }
        state.SetIterationTime(took);
        state.counters["records"] = records;
        state.counters["took_s"] = took;
    }
    slm::UnloadDataList();
    delete panel;
    QCoreApplication::processEvents();
}
BENCHMARK(SetDecode)->Arg(30000)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchsupport::runBenchmarks(argc, argv, false);
    return 0;
}
