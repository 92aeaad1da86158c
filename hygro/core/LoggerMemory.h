#pragma once
// The data-logger memory that the meter sends after "P": the 256-byte header, the
// checks of both transfer modes, the splitting into data sets, and the decoding of
// one set's records. Pure functions on bytes; no ports and no widgets.
//
// Image: byte 1-2 set count S, bytes 3-5 C = position of the image's last byte (the
// image is C + 1 bytes long), the sets from byte 256 on. All numbers big-endian.
// Set: A5 5A, unused, year - 2000, month, day, hour, minute, second, rate (2), flags
// (bit 3: degrees F), record count N (2), N records, 5A A5.

#include <QDateTime>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace hygro {

inline constexpr int LoggerHeaderSize = 256;
inline constexpr int LoggerMaxImage = 98304; // 0x18000
inline constexpr int LoggerMinStreamLast = 273;
inline constexpr int LoggerMaxSets = 4000;
inline constexpr int LoggerBlockData = 64;
inline constexpr int LoggerBlockSize = LoggerBlockData + 1; // the checksum follows
inline constexpr int LoggerMaxBlockErrors = 20;
inline constexpr int LoggerStreamChunk = 260;

// Result codes of one download.
enum LoggerResult : int {
    lrRefused = 0, // not linked or recording; the message is already shown
    lrNoHeader = 1,
    lrBadLength = 2,
    lrIncomplete = 3,
    lrBadSetCount = 4,
    lrBadFraming = 5,
    lrEmpty = 6,
    lrSuccess = 10,
};

struct LoggerHeader {
    int setCount = 0; // S
    int lastPos = 0;  // C
};

// The header fields; none when fewer than 6 bytes are given.
std::optional<LoggerHeader> ParseLoggerHeader(const uint8_t *data, size_t size);

// Stream mode, after the header: 6 for an empty memory (C = 255), 2 for C outside
// 273 ... 98304, 0 to go on with C - 255 bytes to receive.
int CheckStreamLength(int lastPos);
// Stream mode, after all bytes: 4 for S outside 1 ... 4000, else 0.
int CheckStreamSetCount(int setCount);
// Block mode, after the transfer, on the received image (header included):
// 1 shorter than the header, 3 shorter than C + 1, 6 empty (S = 0, C = 255),
// 4 S above 4000 or 0, else 0.
int CheckBlockImage(const uint8_t *image, size_t size);

// Block mode: the bytes the meter sends, C + 1 raised to a multiple of 64.
long long BlockExpectedLength(int lastPos);
// Sum of the 64 data bytes of a block, modulo 256.
uint8_t BlockChecksum(const uint8_t *data);

// The sets of one image, as the download state keeps them. Offsets count from the
// first byte after the header.
struct LoggerSetTable {
    std::vector<QDateTime> startTimes;
    std::vector<int> rates;
    std::vector<int> recordCounts;
    std::vector<char> unitLetters; // 'C' or 'F'
    std::vector<int> startOffsets; // the set's 0xA5 start byte
    std::vector<int> endOffsets;   // the set's closing 0xA5
};

// Splits `setCount` sets from `data` (the bytes after the header, `size` of them
// received). Returns 0 with `out` filled, or 5 when a set does not lie wholly inside
// the data or is not framed A5 5A ... 5A A5; `out` is then left untouched. A set with
// an invalid stored date or time starts at `now`. Reads nothing outside the data.
int SplitLoggerSets(const uint8_t *data, size_t size, int setCount, int stride, const QDateTime &now,
                    LoggerSetTable &out);

// ---- set decoding ---------------------------------------------------------------

enum class LoggerReading { RH, T1, T2 };

struct DecodedReading {
    float value = 0; // also for a reading shown as "OL"
    bool valid = false;
    QString text; // one decimal, T2 beyond +-200 without; "OL" / "-OL" when not valid
};

// One two-byte reading: magnitude in tenths in the low 15 bits, bit 15 the sign.
// RH ignores the sign and is valid inside 0 ... 100, T1 inside -40 ... 200, T2 inside
// -400 ... 2500 (beyond +-200 truncated toward zero); the limits are not valid.
DecodedReading DecodeLoggerReading(uint8_t hi, uint8_t lo, LoggerReading kind);

struct LoggerExtreme {
    bool seen = false; // at least one valid value
    float max = -99999, min = 99999;
    int maxRow = 1, minRow = 1; // table rows (record index + 1)
    QDateTime maxTime, minTime;
};

struct DecodedRecord {
    QDateTime time;
    std::array<DecodedReading, 3> readings; // RH, T1, T2 (T2 only with three readings)
};

struct DecodedSet {
    std::vector<DecodedRecord> records;
    std::array<LoggerExtreme, 3> extremes; // RH, T1, T2
};

// Decodes the records of the set whose start byte is at `start` and closing byte at
// `end` in `image`: at most `records` of them, `stride` bytes each, while a record
// begins below end - 2 and lies inside the image. Times start at `startTime` and step
// by `rate` seconds. T2 is read only with `threeReadings`. Equal extremes keep the
// earlier record.
DecodedSet DecodeLoggerSet(const uint8_t *image, size_t size, int start, int end, int records, int stride,
                           bool threeReadings, const QDateTime &startTime, int rate);

// The temperature axis of a decoded set: from 105 ... -18 widened to the valid T1
// (and T2) extremes, then 10 % and 20 beyond, never inside -40 ... 140.
struct AxisRange {
    float top = 0, bottom = 0;
};
AxisRange LoggerTemperatureAxis(const DecodedSet &set);

// The set list's rate: minutes ":" seconds, each at least two digits (90 s: "01:30").
QString LoggerRateText(int seconds);

} // namespace hygro
