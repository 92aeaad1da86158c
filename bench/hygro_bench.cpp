// Vadro's pure paths at volume: the receive handler's frame cutting and decoding on a
// stream of frames mixed with garbage, in 68-byte reads, and the table file reader on
// a file of 100 000 rows; a large buffer of noise cut at once.

#include "hygro/core/MeterDisplay.h"
#include "hygro/core/MeterLink.h"
#include "hygro/core/TableFile.h"

#include <QBuffer>
#include <algorithm>

#include <benchmark/benchmark.h>

#include <random>

namespace {

std::string noisyStream(size_t bytes) {
    std::mt19937 rng(1);
    std::string s;
    while (s.size() < bytes) {
        const uint8_t frame[10] = {0x02, 0x40, 0x00, 0x01, 0xC7, 0x00, 0xE7, 0x00, 0xFB, 0x03};
        s.append(reinterpret_cast<const char *>(frame), 10);
        for (int i = int(rng() % 12); i > 0; --i) s += char(rng() & 0xFF);
    }
    return s;
}

void BM_CutAndDecode(benchmark::State &state) {
    const std::string stream = noisyStream(1 << 20);
    const QDateTime now = QDateTime::currentDateTime();
    for (auto _ : state) {
        std::string rx;
        hygro::MeterDisplayState display;
        size_t frames = 0;
        for (size_t pos = 0; pos < stream.size(); pos += hygro::RxChunk) {
            const size_t n = std::min(stream.size() - pos, size_t(hygro::RxChunk));
            const auto *bytes = reinterpret_cast<const uint8_t *>(stream.data() + pos);
            for (const auto &f : hygro::ReceiveFrames(rx, bytes, n)) {
                hygro::DecodeFrame(display, f, 586, now);
                hygro::UpdateAnnunciators(display, 586);
                ++frames;
            }
        }
        benchmark::DoNotOptimize(frames);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(stream.size()));
}
BENCHMARK(BM_CutAndDecode)->Unit(benchmark::kMillisecond);

// A buffer without STX in one piece (a port that sent megabytes of noise): time that
// grows with its size, not with its square.
void BM_CutBufferWithoutStx(benchmark::State &state) {
    const std::string noise(size_t(state.range(0)), 'x');
    for (auto _ : state) {
        std::string rx = noise;
        benchmark::DoNotOptimize(hygro::CutFrames(rx));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_CutBufferWithoutStx)->Arg(1 << 20)->Arg(4 << 20)->Unit(benchmark::kMillisecond);

void BM_ReadTableFile(benchmark::State &state) {
    QByteArray file;
    for (int r = 1; r <= 100000; ++r)
        file +=
            hygro::FormatTableLine({"07/03/2026", "14:05:09", "45.5", "%RH", "23.1", "C", "25.0", "C"}, ',') + "\r\n";
    for (auto _ : state) {
        QBuffer buf(&file);
        buf.open(QIODevice::ReadOnly);
        hygro::TableFileReader reader(buf, ',', 9);
        QStringList cells;
        int rows = 0;
        while (reader.nextRow(cells)) ++rows;
        benchmark::DoNotOptimize(rows);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 100000);
}
BENCHMARK(BM_ReadTableFile)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
