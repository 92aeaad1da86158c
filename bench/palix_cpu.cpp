// Palix on the simulated meter: the share of one core it uses while it polls live
// (argument 0), while it waits in the handshake for a silent meter (argument 1) and after
// the meter's end of the line has closed (argument 2), with the simulator's share for
// comparison.

#include "support/CpuTime.h"
#include "support/Simulator.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

pid_t spawn(const std::string &program, const char *arg1 = nullptr, const char *arg2 = nullptr) {
    const pid_t pid = fork();
    if (pid == 0) {
        // The program's messages would drown the report.
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) dup2(null, 2);
        execl(program.c_str(), program.c_str(), arg1, arg2, static_cast<char *>(nullptr));
        _exit(127);
    }
    return pid;
}

void LivePollCpu(benchmark::State &state) {
    const char *env = std::getenv("PALIX_CPU_SECONDS");
    const int seconds = env ? std::max(1, std::atoi(env)) : 60;
    const std::string bin = testsupport::binDir();
    for (auto _ : state) {
        testsupport::Simulator sim("slmsim", state.range(0) == 1 ? QStringList{"--silent"} : QStringList{},
                                   QProcess::nullDevice());
        if (!sim.ok()) {
            state.SkipWithError("slmsim did not start");
            break;
        }
        const pid_t simPid = pid_t(sim.pid());
        setenv("METER_PORTS", sim.path().toLocal8Bit().constData(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        const pid_t palix = spawn(bin + "/palix", "--port", "COM1");
        // Start-up and the first handshake are not part of the figure.
        std::this_thread::sleep_for(std::chrono::seconds(2));
        if (state.range(0) == 2) {
            // The port vanishes under the live poll: the program must not spin on it.
            sim.stop();
        }
        const double palix0 = testsupport::cpuSeconds(palix), sim0 = testsupport::cpuSeconds(simPid);
        const auto t0 = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const double palixCpu = testsupport::cpuSeconds(palix) - palix0,
                     simCpu = testsupport::cpuSeconds(simPid) - sim0;
        kill(palix, SIGTERM);
        waitpid(palix, nullptr, 0);
        sim.stop();
        state.SetIterationTime(wall);
        state.counters["palix_cpu_percent"] = 100.0 * palixCpu / wall;
        state.counters["slmsim_cpu_percent"] = 100.0 * simCpu / wall;
        state.counters["seconds"] = wall;
    }
}
BENCHMARK(LivePollCpu)
    ->ArgName("meter_silent_gone")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv) {
    // For the simulator's launcher, which finds it beside this program.
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
