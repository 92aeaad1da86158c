// Reading a registry key value by value: a read is one pass over the key's file, so its
// time grows with the file's size and no faster (each name found by a search over all
// the names before it once made a read of a 1 MiB key take seconds). Prints the time a
// read takes at 128 KiB and at 1 MiB, and that growth beside the growth of the size:
// about 1 for one pass, about 8 for a search over the names.
#include "platform/win/Registry.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

int writeKey(const char *key, int bytes) {
    const QString file = win::TRegistry::KeyFile(win::HKEY_CURRENT_USER, key);
    QDir().mkpath(QFileInfo(file).absolutePath());
    QByteArray text = "[Values]\n";
    int count = 0;
    for (; text.size() < bytes - 40; ++count)
        text += "Value" + QByteArray::number(count) + "=dword:" + QByteArray::number(count) + "\n";
    QFile f(file);
    f.open(QIODevice::WriteOnly);
    f.write(text);
    return count;
}

// Seconds one ReadInteger takes, over `reads` names spread through the key.
double secondsPerRead(const char *key, int count, int reads) {
    win::TRegistry reg;
    reg.OpenKey(key, false);
    const auto t0 = std::chrono::steady_clock::now();
    int sum = 0;
    for (int i = 0; i < reads; ++i)
        sum += reg.ReadInteger("VALUE" + QString::number(std::int64_t(i) * (count - 1) / reads));
    benchmark::DoNotOptimize(sum);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / reads;
}

void BM_RegistryReadBySize(benchmark::State &state) {
    const int small = writeKey("\\Small", 1 << 17), large = writeKey("\\Large", 1 << 20);
    double perSmall = 0, perLarge = 0;
    for (auto _ : state) {
        perSmall = secondsPerRead("\\Small", small, 50);
        perLarge = secondsPerRead("\\Large", large, 50);
    }
    state.counters["values_small"] = small;
    state.counters["values_large"] = large;
    state.counters["small_read_ms"] = perSmall * 1e3;
    state.counters["large_read_ms"] = perLarge * 1e3;
    state.counters["ratio_per_byte"] = (perLarge / perSmall) / (double(large) / small);
}
BENCHMARK(BM_RegistryReadBySize)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    QTemporaryDir home;
    setenv("XDG_CONFIG_HOME", home.path().toLocal8Bit().constData(), 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
