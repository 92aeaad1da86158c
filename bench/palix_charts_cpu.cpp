// The share of one core that Palix uses with its Leq/SEL windows open (List, Ln, the
// strip chart and LnGraph) while it records to a ".slm" file and polls the simulated
// meter live. Run it under a real X server (xvfb-run) so that painting counts:
//
//     xvfb-run -a -s "-screen 0 1280x1024x24" build/bench/palix_charts_cpu [--seconds=60]
//
// The program runs in this process as it does on its own (the port window, Panel, the
// Save and Run keys with their dialogs answered); the figure is this process's user and
// system time over the measured stretch. The panel alone, polling and recording without
// the windows, is measured first for comparison, and the simulator's share beside both.

#include "platform/forms/Dialogs.h"
#include "slm/core/FileTransfer.h"
#include "slm/List.h"
#include "slm/core/Meter.h"
#include "slm/Panel.h"
#include "slm/Port.h"
#include "slm/RealTimeSLM.h"

#include "support/CpuTime.h"
#include "support/Simulator.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>

namespace {

void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Share {
    double palix, sim;
};

Share measure(int seconds, qint64 simPid) {
    const double own0 = testsupport::cpuSeconds(), sim0 = testsupport::cpuSeconds(simPid);
    QElapsedTimer wall;
    wall.start();
    runFor(seconds * 1000);
    const double s = double(wall.nsecsElapsed()) / 1e9;
    return {100 * (testsupport::cpuSeconds() - own0) / s, 100 * (testsupport::cpuSeconds(simPid) - sim0) / s};
}

void press(slm::Panel *p, const char *key) {
    for (int i = 1; i <= 18; ++i)
        if (p->Buttons(i).Key == key) return p->Toolbar1_ButtonClick(p->Buttons(i));
}

} // namespace

int main(int argc, char **argv) {
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QApplication::setApplicationName("Palix");
    int seconds = 60;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--seconds=", 10) == 0) seconds = std::max(1, std::atoi(argv[i] + 10));

    testsupport::Simulator sim("slmsim", {"--levels", "58,61,64,66,63,60,57,55,59,62,65,68,64,61", "--range", "2"},
                               QProcess::nullDevice());
    if (!sim.ok()) {
        std::fprintf(stderr, "palix_charts_cpu: slmsim did not start\n");
        return 1;
    }
    const QString path = sim.path();
    qputenv("METER_PORTS", path.toLocal8Bit());

    QTemporaryDir dir;
    forms::DialogScript().setStrict(true);
    auto *port = new slm::Port;
    port->show();
    port->Port1_Click();
    slm::Panel *panel = slm::PanelForm;
    QElapsedTimer wait;
    wait.start();
    while (panel->LblValue->text().isEmpty() && wait.elapsed() < 10000) runFor(50);
    if (panel->LblValue->text().isEmpty()) {
        std::fprintf(stderr, "palix_charts_cpu: no level from the meter\n");
        return 1;
    }

    // Recording first: the Save key does nothing once a period is armed.
    forms::DialogScript().pushFile(dir.filePath("rec.slm"));
    press(panel, "Save");
    runFor(2000);
    const Share alone = measure(seconds, sim.pid());

    forms::DialogScript().pushText("00:01:00");
    press(panel, "Run");
    runFor(2000); // the windows show and settle
    const Share windows = measure(seconds, sim.pid());
    const bool allOpen = slm::ListVisible() && slm::RealTimeSLMVisible() && slm::FileRecording;

    std::printf("Palix on slmsim, %d s each, platform %s, CPU in %% of one core\n", seconds,
                qPrintable(QGuiApplication::platformName()));
    std::printf("%-52s | %6s | %6s\n", "", "palix", "slmsim");
    std::printf("%-52s | %6.2f | %6.2f\n", "panel polling and recording", alone.palix, alone.sim);
    std::printf("%-52s | %6.2f | %6.2f\n", "  + List, Ln, strip chart, LnGraph (Leq/SEL period)", windows.palix,
                windows.sim);
    if (!allOpen) std::printf("(a window closed or the recording stopped during the run)\n");
    std::fflush(stdout);

    press(panel, "Stop");
    press(panel, "Save"); // ends the recording
    delete slm::PanelForm;
    sim.stop();
    return 0;
}
