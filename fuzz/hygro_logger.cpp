// A data-logger memory downloaded through the program's own transfer: a meter played
// here sends the memory (header, then the sets) in stream mode or in checked blocks,
// answering "y", "n" and "Q" as the meter does; the image the transfer keeps is split
// into its sets and every set decoded as the data-logger window does.
// The first byte: bit 0 the record stride of the model, bit 1 stream mode, the rest a
// pattern of chunk sizes, pauses and damaged blocks. The rest is the memory.

#include "FuzzSupport.h"

#include "hygro/core/LoggerTransfer.h"

#include <algorithm>

namespace {

using Bytes = std::vector<uint8_t>;

struct Meter {
    const uint8_t *memory;
    size_t size;
    unsigned pattern;
    size_t sent = 0; // stream: bytes sent; block: blocks taken
    int sends = 0;
    bool quit = false;

    // The next bytes on the line after `command` ('P' first, 0 for none).
    Bytes answer(char command) {
        Bytes out;
        if (quit || command == 'Q') {
            quit = true;
            return out;
        }
        if (command == 'y') ++sent;
        if (command == 0 || sent * hygro::LoggerBlockData >= size) return out;
        Bytes b(hygro::LoggerBlockData, 0);
        const size_t at = sent * hygro::LoggerBlockData;
        std::copy(memory + at, memory + std::min(size, at + hygro::LoggerBlockData), b.begin());
        b.push_back(hygro::BlockChecksum(b.data()));
        ++sends;
        if (pattern && sends % (pattern % 13 + 2) == 0) b[size_t(sends) % b.size()] ^= 0x5A;
        if (pattern && sends % (pattern % 7 + 3) == 0) b.resize(size_t(sends) % b.size());
        return b;
    }
    // Stream mode: the next chunk, of a size the pattern chooses.
    Bytes chunk() {
        const size_t n = std::min(size - sent, size_t(1 + (pattern * 37 + sent) % hygro::LoggerStreamChunk));
        Bytes out(memory + sent, memory + sent + n);
        sent += n;
        return out;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    const int stride = (data[0] & 1) ? 6 : 4;
    const bool three = stride == 6;
    const bool stream = data[0] & 2;
    Meter meter{data + 1, size - 1, unsigned(data[0] >> 2)};

    long long now = 0;
    hygro::LoggerTransfer t(stream, 9600, now);
    Bytes line = stream ? Bytes{} : meter.answer('P');
    std::string sent;
    for (int step = 0;; ++step) {
        if (step > 1000000) fuzzing::fail("the transfer never finished");
        if (stream && meter.sent < meter.size && step % 4 == 0) line = meter.chunk();
        if (!line.empty()) t.receive(line.data(), line.size(), now);
        line.clear();
        const hygro::LoggerStep s = t.next(now);
        if (s.kind == hygro::LoggerStep::Finish) break;
        if (s.kind == hygro::LoggerStep::Send) {
            if (stream) fuzzing::fail("stream mode answered a block");
            if (!sent.empty() && sent.back() == 'Q') fuzzing::fail("a command after Q");
            sent += s.command;
            line = meter.answer(s.command);
            continue;
        }
        if (s.waitMs < 1) fuzzing::fail("a wait shorter than a millisecond");
        // A pause the pattern asks for: long enough now and then to end a transfer.
        now += s.waitMs + ((meter.pattern & 0x20) && step % 97 == 96 ? 2000 : 0);
    }
    if (t.progress() > (long long)meter.size + hygro::LoggerBlockData) fuzzing::fail("more progress than was sent");

    hygro::LoggerImage image;
    const QDateTime now0(QDate(2026, 12, 10), QTime(10, 0, 0));
    if (t.takeImage(stride, now0, image) != hygro::lrSuccess) {
        if (image.setCount != 0 || !image.bytes.empty()) fuzzing::fail("a refused image was kept");
        return 0;
    }
    // What the meter sent arrives unchanged.
    const size_t n = std::min(image.bytes.size(), meter.size - std::min(meter.size, size_t(hygro::LoggerHeaderSize)));
    if (!std::equal(image.bytes.begin(), image.bytes.begin() + long(n), meter.memory + hygro::LoggerHeaderSize))
        fuzzing::fail("the image differs from what was sent");
    const hygro::LoggerSetTable &table = image.sets;
    const size_t sets = table.startOffsets.size();
    if (int(sets) != image.setCount || table.endOffsets.size() != sets || table.recordCounts.size() != sets ||
        table.rates.size() != sets || table.startTimes.size() != sets || table.unitLetters.size() != sets)
        fuzzing::fail("the set table's columns differ in length");
    for (size_t k = 0; k < sets; ++k) {
        const int start = table.startOffsets[k], end = table.endOffsets[k];
        if (start < 0 || end < start || size_t(end) >= image.bytes.size()) fuzzing::fail("a set lies outside the data");
        const hygro::DecodedSet set = hygro::DecodeImageSet(image, int(k), stride, three);
        if (set.records.size() > size_t(std::max(0, table.recordCounts[k])))
            fuzzing::fail("more records decoded than the set holds");
        hygro::LoggerTemperatureAxis(set);
        hygro::LoggerRateText(table.rates[k]);
    }
    return 0;
}
