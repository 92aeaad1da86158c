#pragma once
// The simulated sound level meter without its line: bytes in, bytes out, and the
// live stream paced by the caller. Commands are four bytes (a letter and three
// arguments); a NUL byte outside a command is the handshake probe.

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace slmsim {

using Bytes = std::vector<std::uint8_t>;

struct Misbehaviour {
    bool silent = false;      // reads and logs, answers nothing
    bool garbage = false;     // every answer and frame replaced by random bytes
    bool badFraming = false;  // live frames without STX/ETX
    int missSubFrame = -1;    // this sub-frame index is never sent
    int badReplies = 0;       // so many query answers come bad: AA replies without AA, others unframed
};

class SlmMeter {
public:
    SlmMeter();

    // Feeds received bytes; answers go to `out`, every complete command to `log`.
    void receive(const Bytes &in, Bytes &out, const std::function<void(const Bytes &)> &log);
    // The next live frame when streaming, at time `ms` since start; empty otherwise.
    Bytes liveFrame(std::int64_t ms);
    bool streaming() const { return streaming_; }

    // Settings.
    int rangeCode = 2;                // 0-5: 80/20 ... 130/70
    int timeWeighting = 0;            // 0 FAST, 1 SLOW, 2 IMP
    bool weightC = false;
    std::vector<double> levels;       // per sub-frame, cycled; empty = a varying level
    double steadyLevel = -1;          // >= 0: this level on every sub-frame
    int subFrameMs = 125;
    int memoryBlocks = 4;             // 64 K each
    int samplingTime = 1;             // s
    std::time_t clockOffset = 0;      // meter clock minus PC clock, s
    bool recording = false;
    Misbehaviour mis;

    std::time_t meterTime() const;
    int subIndexAt(std::int64_t ms) const;
    double levelAt(std::int64_t ms) const;

private:
    void command(const Bytes &cmd, Bytes &out);
    void answer(Bytes frame, Bytes &out, bool query);
    void key(int code);
    void setDate(int yy, int mm, int dd);
    void setTime(int hh, int nn, int ss);

    Bytes pending_;
    bool streaming_ = false;
    bool resume_ = false;  // streaming was on before the handshake paused it
    std::uint32_t random_ = 12345;
};

int fromBcd(int b);
int toBcd(int v);

} // namespace slmsim
