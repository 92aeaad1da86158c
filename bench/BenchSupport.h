#pragma once
// What the benchmarks of the programs share: the heap and resident set they measure
// rows by, an event-loop wait, and the start of a benchmark program.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QString>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <malloc.h>
#include <unistd.h>

namespace benchsupport {

// Bytes malloc has handed out and not had back, mapped blocks included.
inline size_t heapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

// Resident bytes of the process.
inline size_t resident() {
    long pages = 0, rss = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &rss) != 2) rss = 0;
        std::fclose(f);
    }
    return size_t(rss) * size_t(sysconf(_SC_PAGESIZE));
}

// Sleeps in the event loop until `done` holds (checked after every event and every
// `tickMs`) or `ms` pass.
inline bool waitFor(const std::function<bool()> &done, int ms, int tickMs) {
    QDeadlineTimer deadline(ms);
    QTimer tick;
    tick.start(tickMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Settings go to `folder`, not the user's.
inline void settingsIn(const QString &folder) { setenv("XDG_CONFIG_HOME", folder.toLocal8Bit().constData(), 1); }

// Before the application of a benchmark that runs the simulators: the offscreen platform
// unless one is set, the simulators of this build unless others are named, settings in
// `folder`.
inline void simulatorStart(const QString &folder, const char *binDir) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("METER_BIN_DIR", binDir, 0);
    settingsIn(folder);
}

// Runs the benchmarks the command line picks; with `strict` an option Google Benchmark
// does not know ends the program with 1 before any runs.
inline int runBenchmarks(int &argc, char **argv, bool strict = true) {
    benchmark::Initialize(&argc, argv);
    if (strict && benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace benchsupport
