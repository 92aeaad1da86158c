#pragma once
// The data-logger download after "P", on bytes and a millisecond clock: the caller
// reads the port, hands over what it read, and does what next() says (write a byte,
// wait, or stop). No ports, no waits, no widgets.
//
// Stream mode: the meter sends the 256-byte header and then C - 255 bytes at once;
// 3 s without the header or without data ends it. Block mode: 64 bytes and their sum
// at a time, each answered "y" (taken) or "n" (send it again); a block that stops short
// for 1.5 s is dropped and asked for again; 3 s of silence ends the transfer, and more
// than 20 bad blocks or an image beyond the memory end it with "Q".

#include "hygro/core/LoggerMemory.h"

#include <QDateTime>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace hygro {

inline constexpr long long LoggerSilenceMs = 3000;      // end of the transfer, or no header
inline constexpr long long LoggerPartialBlockMs = 1500; // a block that stopped short is asked for again
// The waits around a transfer: before "P" the poll loop's last answer dies away, the
// port is closed and reopened and then settles; handing it back reopens it again.
inline constexpr int LoggerQuietMs = 2000, LoggerReopenMs = 300, LoggerSettleMs = 1000;
inline constexpr long long LoggerTakePortMs = LoggerQuietMs + LoggerReopenMs + LoggerSettleMs;
inline constexpr long long LoggerHandBackMs = LoggerReopenMs;

// Milliseconds that `bytes` need on the line at `baud` (9600 when unknown), at least one.
long long LoggerLineMs(int baud, int bytes);

struct LoggerStep {
    enum Kind { Wait, Send, Finish };
    Kind kind = Wait;
    long long waitMs = 0; // Wait: at most this long, or until bytes come
    char command = 0;     // Send: "y", "n" or "Q"
    int result = 0;       // Finish: a LoggerResult code, or 0 when the image came whole
};

// A downloaded memory as the data-logger window keeps it.
struct LoggerImage {
    std::vector<uint8_t> bytes; // without the 256-byte header
    int setCount = 0;
    LoggerSetTable sets;
};

// The records of set `set` (from 0) of a downloaded memory, `stride` bytes a record,
// T2 read only with `threeReadings`; none for a set the memory does not have.
DecodedSet DecodeImageSet(const LoggerImage &image, int set, int stride, bool threeReadings);

class LoggerTransfer {
public:
    // Starts when "P" has been written, at `nowMs`.
    LoggerTransfer(bool streamMode, int baud, long long nowMs);

    // Bytes read from the port at `nowMs`.
    void receive(const uint8_t *data, size_t size, long long nowMs);
    // What to do at `nowMs`, with every byte the port held handed over. One Send at a
    // time: the caller writes it and asks again. After Finish it says Finish again.
    LoggerStep next(long long nowMs);

    // Once the header has come: the bytes announced (the progress window's total) and
    // the progress bar's end.
    bool totalKnown() const { return totalKnown_; }
    long long total() const { return total_; }
    int barMaximum() const { return barMaximum_; }
    // The bytes received so far as the progress window counts them.
    long long progress() const;

    // After Finish with 0: checks the image and splits it into its sets (`stride`
    // bytes a record; an invalid stored start is `now`). Returns lrSuccess with `out`
    // filled, or the code of what is wrong.
    int takeImage(int stride, const QDateTime &now, LoggerImage &out);

private:
    LoggerStep nextStream(long long nowMs);
    LoggerStep nextBlock(long long nowMs);
    LoggerStep finish(int result);

    bool stream_;
    int baud_;
    bool finished_ = false;
    int result_ = 0;
    std::vector<uint8_t> pending_; // received, not yet taken
    std::vector<uint8_t> image_;
    long long last_; // stream: start, then the last data; block: the last block
    bool totalKnown_ = false;
    long long total_ = 0;
    int barMaximum_ = LoggerMaxImage;
    // Stream mode.
    LoggerHeader header_;
    long long count_ = 0; // every byte after the header, also those beyond the total
    // Block mode.
    int errors_ = 0;
    bool answered_ = true; // "P" is on its way
};

} // namespace hygro
