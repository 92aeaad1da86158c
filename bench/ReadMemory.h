#pragma once
// Peak memory of a file reader, for the readers' memory benchmarks: the resident set's
// high-water mark is reset before the read (clear_refs 5) and read after it, beside the
// resident set that is left while the window still holds what it read.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <malloc.h>

namespace readmemory {

// Kilobytes of a "VmRSS"/"VmHWM" line of /proc/self/status.
inline double statusMb(const char *field) {
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field)) + 1).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

inline void resetPeak() {
    if (FILE *f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
}

// Size in MiB of a benchmark's file: the environment variable, else the default.
inline qint64 sizeMb(const char *env, qint64 fallback) {
    const char *v = std::getenv(env);
    return v && std::atoll(v) > 0 ? std::atoll(v) : fallback;
}

// Writes `path` of at least `bytes` bytes: `head`, then `line` repeated.
inline void makeFile(const QString &path, const QByteArray &head, const QByteArray &line, qint64 bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
    f.write(head);
    QByteArray chunk;
    while (chunk.size() < (1 << 20)) chunk += line;
    qint64 written = head.size();
    while (written < bytes) written += f.write(chunk);
}

// Runs `read`, then `kept` (rows held, what the window shows), then `release`; sets the
// counters file_mb, peak_mb (the reader's high-water mark above the resident set before
// it), kept_mb (what is resident after it, the window still open), rows, and
// peak_over_aim: peak / (2 x file + kept), which the readers keep at most 1.
inline void measure(benchmark::State &state, const QString &path, const std::function<void()> &read,
                    const std::function<double()> &rows, const std::function<void()> &release) {
    const double fileMb = double(QFile(path).size()) / (1 << 20);
    for (auto _ : state) {
        // What earlier reads freed goes back to the system first, or the read reuses
        // it unseen.
        malloc_trim(0);
        const double before = statusMb("VmRSS:");
        resetPeak();
        read();
        const double peak = statusMb("VmHWM:") - before;
        const double kept = statusMb("VmRSS:") - before;
        state.counters["file_mb"] = fileMb;
        state.counters["peak_mb"] = peak;
        state.counters["kept_mb"] = kept;
        state.counters["rows"] = rows();
        state.counters["peak_over_aim"] = peak / (2 * fileMb + kept);
        release();
    }
}

} // namespace readmemory
