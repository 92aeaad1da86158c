#include "hygro/core/LoggerMemory.h"

#include "hygro/core/ChartMaths.h"

#include <cmath>

namespace hygro {

namespace {

int be16(const uint8_t *p) { return p[0] << 8 | p[1]; }

} // namespace

std::optional<LoggerHeader> ParseLoggerHeader(const uint8_t *data, size_t size) {
    if (!data || size < 6) return std::nullopt;
    LoggerHeader h;
    h.setCount = be16(data + 1);
    h.lastPos = data[3] << 16 | data[4] << 8 | data[5];
    return h;
}

int CheckStreamLength(int lastPos) {
    if (lastPos == LoggerHeaderSize - 1) return lrEmpty;
    if (lastPos < LoggerMinStreamLast || lastPos > LoggerMaxImage) return lrBadLength;
    return 0;
}

int CheckStreamSetCount(int setCount) { return setCount < 1 || setCount > LoggerMaxSets ? lrBadSetCount : 0; }

int CheckBlockImage(const uint8_t *image, size_t size) {
    if (size < size_t(LoggerHeaderSize)) return lrNoHeader;
    const LoggerHeader h = *ParseLoggerHeader(image, size);
    if (size < size_t(h.lastPos) + 1) return lrIncomplete;
    if (h.setCount == 0 && h.lastPos == LoggerHeaderSize - 1) return lrEmpty;
    if (h.setCount > LoggerMaxSets || h.setCount == 0) return lrBadSetCount;
    return 0;
}

long long BlockExpectedLength(int lastPos) {
    const long long n = (long long)lastPos + 1;
    return (n + LoggerBlockData - 1) / LoggerBlockData * LoggerBlockData;
}

uint8_t BlockChecksum(const uint8_t *data) {
    unsigned sum = 0;
    for (int i = 0; i < LoggerBlockData; ++i) sum += data[i];
    return uint8_t(sum & 0xFF);
}

int SplitLoggerSets(const uint8_t *data, size_t size, int setCount, int stride, const QDateTime &now,
                    LoggerSetTable &out) {
    LoggerSetTable t;
    long long pos = 0;
    for (int s = 0; s < setCount; ++s) {
        // The set's own fields must be there before its count can be read.
        if (!data || stride <= 0 || pos + 14 > (long long)size) return lrBadFraming;
        const uint8_t *p = data + pos;
        const int n = be16(p + 12);
        const long long end = pos + 15 + (long long)n * stride;
        if (end >= (long long)size) return lrBadFraming;
        if (p[0] != 0xA5 || p[1] != 0x5A || data[end - 1] != 0x5A || data[end] != 0xA5) return lrBadFraming;

        const QDate date(2000 + p[3], p[4], p[5]);
        const QTime time(p[6], p[7], p[8]);
        t.startTimes.push_back(date.isValid() && time.isValid() ? QDateTime(date, time) : now);
        t.unitLetters.push_back((p[11] & 0x08) ? 'F' : 'C');
        t.rates.push_back(be16(p + 9));
        t.recordCounts.push_back(n);
        t.startOffsets.push_back(int(pos));
        t.endOffsets.push_back(int(end));
        pos = end + 1;
    }
    out = std::move(t);
    return 0;
}

DecodedReading DecodeLoggerReading(uint8_t hi, uint8_t lo, LoggerReading kind) {
    DecodedReading r;
    const bool negative = hi & 0x80;
    const int magnitude = (hi & 0x7F) << 8 | lo;
    float v = float(magnitude * 0.1);
    // A zero stored with the sign is a zero, not "-0.0".
    if (negative && kind != LoggerReading::RH && magnitude != 0) v = -v;
    bool whole = false;
    switch (kind) {
        case LoggerReading::RH: r.valid = v > 0 && v < 100; break;
        case LoggerReading::T1: r.valid = v > -40 && v < 200; break;
        case LoggerReading::T2:
            if (v > 200 || v < -200) {
                v = std::trunc(v);
                whole = true;
            }
            r.valid = v > -400 && v < 2500;
            break;
    }
    r.value = v;
    if (!r.valid)
        r.text = negative ? QStringLiteral("-OL") : QStringLiteral("OL");
    else
        r.text = QString::number(double(v), 'f', whole ? 0 : 1);
    return r;
}

DecodedSet DecodeLoggerSet(const uint8_t *image, size_t size, int start, int end, int records, int stride,
                           bool threeReadings, const QDateTime &startTime, int rate) {
    DecodedSet set;
    if (!image || stride < 4 || (threeReadings && stride < 6) || records <= 0 || start < 0) return set;
    set.records.reserve(size_t(records));
    QDateTime time = startTime;
    const int readings = threeReadings ? 3 : 2;
    const LoggerReading kinds[3] = {LoggerReading::RH, LoggerReading::T1, LoggerReading::T2};
    for (int k = 0; k < records; ++k) {
        const long long pos = (long long)start + 14 + (long long)k * stride;
        if (pos >= (long long)end - 2 || pos + stride > (long long)size) break;
        const uint8_t *p = image + pos;
        DecodedRecord rec;
        rec.time = time;
        for (int j = 0; j < readings; ++j) {
            rec.readings[size_t(j)] = DecodeLoggerReading(p[2 * j], p[2 * j + 1], kinds[j]);
            const DecodedReading &r = rec.readings[size_t(j)];
            if (!r.valid) continue;
            LoggerExtreme &e = set.extremes[size_t(j)];
            e.seen = true;
            if (r.value > e.max) {
                e.max = r.value;
                e.maxRow = k + 1;
                e.maxTime = time;
            }
            if (r.value < e.min) {
                e.min = r.value;
                e.minRow = k + 1;
                e.minTime = time;
            }
        }
        set.records.push_back(std::move(rec));
        time = time.addSecs(rate);
    }
    return set;
}

AxisRange LoggerTemperatureAxis(const DecodedSet &set) {
    TemperatureSpan span;
    for (size_t j = 1; j < 3; ++j) {
        const LoggerExtreme &e = set.extremes[j];
        if (!e.seen) continue;
        span.add(e.max);
        span.add(e.min);
    }
    return {span.axisTop(), span.axisBottom()};
}

QString LoggerRateText(int seconds) {
    const int minutes = seconds / 60, rest = seconds % 60;
    return QStringLiteral("%1:%2").arg(minutes, 2, 10, QLatin1Char('0')).arg(rest, 2, 10, QLatin1Char('0'));
}

} // namespace hygro
