// A data-logger memory image as the block mode receives it (header, then the sets),
// checked, split into its sets, and every set decoded as the data-logger window does.

#include "FuzzSupport.h"

#include "hygro/core/LoggerMemory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // The first byte picks the record stride of the model, as the download takes it.
    if (size < 1) return 0;
    const int stride = (data[0] & 1) ? 6 : 4;
    const bool three = stride == 6;
    ++data;
    --size;
    if (hygro::CheckBlockImage(data, size) != 0) return 0;
    const hygro::LoggerHeader h = *hygro::ParseLoggerHeader(data, size);
    const uint8_t *sets = data + hygro::LoggerHeaderSize;
    const size_t setBytes = size - hygro::LoggerHeaderSize;
    hygro::LoggerSetTable table;
    const QDateTime now(QDate(2026, 12, 10), QTime(10, 0, 0));
    if (hygro::SplitLoggerSets(sets, setBytes, h.setCount, stride, now, table) != 0) {
        if (!table.startOffsets.empty()) fuzzing::fail("a refused split filled the table");
        return 0;
    }
    const size_t n = table.startOffsets.size();
    if (table.endOffsets.size() != n || table.recordCounts.size() != n || table.rates.size() != n ||
        table.startTimes.size() != n || table.unitLetters.size() != n)
        fuzzing::fail("the set table's columns differ in length");
    for (size_t k = 0; k < n; ++k) {
        const int start = table.startOffsets[k], end = table.endOffsets[k];
        if (start < 0 || end < start || size_t(end) >= setBytes) fuzzing::fail("a set lies outside the data");
        const hygro::DecodedSet set = hygro::DecodeLoggerSet(sets, setBytes, start, end, table.recordCounts[k], stride,
                                                             three, table.startTimes[k], table.rates[k]);
        if (set.records.size() > size_t(std::max(0, table.recordCounts[k])))
            fuzzing::fail("more records decoded than the set holds");
        hygro::LoggerTemperatureAxis(set);
        hygro::LoggerRateText(table.rates[k]);
    }
    return 0;
}
