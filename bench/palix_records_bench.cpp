// Palix's records at volume: opening the largest file a recording writes (349 950
// records) into a shown FileList with its progress repainted; printing 10 000 records
// of a FileList to PDF; and the share of one core that recording (one record and one
// list row a tick) costs beyond the live poll, on the simulated meter (the program in
// this process, PALIX_RECORD_CPU_SECONDS per half, 30 by default).

#include "platform/forms/Dialogs.h"
#include "platform/forms/Printer.h"
#include "platform/vb/Runtime.h"
#include "slm/FileList.h"
#include "slm/core/FileTransfer.h"
#include "slm/List.h"
#include "slm/core/Meter.h"
#include "slm/Panel.h"
#include "slm/Port.h"
#include "slm/core/SlmFile.h"

#include "tests/support/CpuTime.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "support/Simulator.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdlib>

namespace {

QTemporaryDir &workDir() {
    static QTemporaryDir dir;
    return dir;
}

// A record file as a recording writes it.
QString recordFile(int records) {
    const QString path = workDir().filePath(QString("rec%1.slm").arg(records));
    if (QFile::exists(path)) return path;
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    QByteArray data = slm::SlmFileLine(slm::SlmHeaderLine());
    for (int i = 1; i <= records; ++i) {
        const int s = i % 86400;
        const QString stamp = QString("2026/12/09 %1:%2:%3")
                                  .arg(s / 3600, 2, 10, QChar('0'))
                                  .arg(s / 60 % 60, 2, 10, QChar('0'))
                                  .arg(s % 60, 2, 10, QChar('0'));
        data += slm::SlmFileLine(slm::SlmRecordLine(i, stamp, QString::number(40 + i % 600 / 10.0, 'f', 1)));
        if (data.size() > (1 << 20)) {
            f.write(data);
            data.clear();
        }
    }
    data += slm::SlmTrailer("Time: FAST   Frequency: A   Range: 40-100", "Max : 99.9 dB ----2026/12/09 00:09:59",
                            "Min : 40.0 dB ----2026/12/09 00:00:00");
    f.write(data);
    return path;
}

void BM_OpenLargestRecordFile(benchmark::State &state) {
    const QString path = recordFile(int(slm::RecordsPerPart));
    for (auto _ : state) {
        slm::FileList *list = slm::FileListForm();
        list->ReadFile(path);
        benchmark::DoNotOptimize(list->grab()); // what the window shows at the end
        state.counters["records"] = list->RecordCount();
        list->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}
BENCHMARK(BM_OpenLargestRecordFile)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PrintFileList10000(benchmark::State &state) {
    forms::SetPrintToPdf(workDir().filePath("print.pdf"));
    slm::FileList *list = slm::FileListForm();
    list->ReadFile(recordFile(10000));
    for (auto _ : state) {
        slm::PrintFileList(*list, int(state.range(0)));
        state.counters["pages"] = forms::Printer()->LastPageCount();
    }
    list->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
BENCHMARK(BM_PrintFileList10000)->Arg(1)->Arg(5)->ArgName("per_line")->Unit(benchmark::kMillisecond)->Iterations(3);

// CPU of this process over `seconds` of running its event loop, as a share of one core.
double cpuPercentOver(int seconds) {
    const double c0 = testsupport::cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    while (wall.elapsed() < seconds * 1000) vb::DoEvents(100);
    return 100.0 * (testsupport::cpuSeconds() - c0) / (double(wall.elapsed()) / 1000.0);
}

void BM_RecordingCpuBeyondLivePoll(benchmark::State &state) {
    const char *env = std::getenv("PALIX_RECORD_CPU_SECONDS");
    const int seconds = env ? std::max(2, std::atoi(env)) : 30;
    for (auto _ : state) {
        testsupport::Simulator sim("slmsim", {"--level", "62.4"}, QProcess::nullDevice());
        const QString pty = sim.path();
        qputenv("METER_PORTS", pty.toLocal8Bit());
        slm::ResetMeterState();
        slm::ResetFileTransferState();
        vb::ResetEnded();
        auto *port = new slm::Port;
        port->Port1_Click();
        slm::Panel *p = slm::PanelForm;
        QElapsedTimer up;
        up.start();
        while (p->LblValue->text().isEmpty() && up.elapsed() < 10000) vb::DoEvents(50);

        const double live = cpuPercentOver(seconds);
        forms::DialogScript().pushFile(workDir().filePath("cpu.slm"));
        p->Toolbar1_ButtonClick(p->Buttons(slm::tbSave)); // recording
        p->Toolbar1_ButtonClick(p->Buttons(slm::tbList));
        const double recording = cpuPercentOver(seconds);
        state.counters["records"] = slm::RecordNo;
        p->Toolbar1_ButtonClick(p->Buttons(slm::tbSave));

        state.counters["live_poll_cpu_percent"] = live;
        state.counters["with_recording_cpu_percent"] = recording;
        state.counters["recording_cpu_percent"] = recording - live;
        slm::UnloadList();
        delete slm::PanelForm;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        sim.stop();
    }
}
BENCHMARK(BM_RecordingCpuBeyondLivePoll)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

int main(int argc, char **argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    forms::DialogScript().setStrict(true);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
