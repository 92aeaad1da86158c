#pragma once
// The simulated sound level meter without its line: bytes in, bytes out, and the
// live stream paced by the caller. Commands are four bytes (a letter and three
// arguments); a NUL byte outside a command is the handshake probe.

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace slmsim {

using Bytes = std::vector<std::uint8_t>;

struct Misbehaviour {
    bool silent = false;     // reads and logs, answers nothing
    bool garbage = false;    // every answer and frame replaced by random bytes
    bool badFraming = false; // live frames without STX/ETX
    int missSubFrame = -1;   // this sub-frame index is never sent
    int badReplies = 0;      // so many query answers come bad: AA replies without AA, others unframed
    int badPointer = 0;      // so many memory-pointer replies come without their framing
    int unmarkedImage = 0;   // so many memory images start without the set marker
    int silentImage = 0;     // so many "U" requests get no answer
};

// One data set in the meter's memory, as the options describe it.
struct StoredSetSpec {
    int records = 1;
    int sampling = 1; // s
    int rangeCode = 2;
    int flags = 0;              // weighting byte: time weighting bits 0-1, C bit 5
    std::time_t start = 0;      // local time of the first record
    std::vector<double> levels; // dB, cycled; empty = a varying level
};

class SlmMeter {
public:
    SlmMeter();

    // Feeds received bytes; answers go to `out`, every complete command to `log`.
    void receive(const Bytes &in, Bytes &out, const std::function<void(const Bytes &)> &log);
    // The next live frame when streaming, at time `ms` since start; empty otherwise.
    Bytes liveFrame(std::int64_t ms);
    bool streaming() const { return streaming_; }

    // The memory: the stored sets one after another, as "U" sends them between a
    // leading and a trailing byte; the pointer is 16 past their end.
    void storeSets(const std::vector<StoredSetSpec> &sets);
    const Bytes &memory() const { return memory_; }
    std::uint32_t pointer() const { return 16 + std::uint32_t(memory_.size()); }
    // The memory image being sent: the bytes not yet on the line, and the number of
    // "U" answers begun so far (a new one restarts the line's pacing).
    const std::uint8_t *downloadData() const { return download_.data() + downloadSent_; }
    size_t downloadLeft() const { return download_.size() - downloadSent_; }
    void downloadSent(size_t n) { downloadSent_ += std::min(n, downloadLeft()); }
    int downloads() const { return downloads_; }

    // Settings.
    int rangeCode = 2;     // 0-5: 80/20 ... 130/70
    int timeWeighting = 0; // 0 FAST, 1 SLOW, 2 IMP
    bool weightC = false;
    std::vector<double> levels; // per sub-frame, cycled; empty = a varying level
    double steadyLevel = -1;    // >= 0: this level on every sub-frame
    int subFrameMs = 125;
    int memoryBlocks = 4;        // 64 K each
    int samplingTime = 1;        // s
    std::time_t clockOffset = 0; // meter clock minus PC clock, s
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
    Bytes memory_;
    Bytes download_;
    size_t downloadSent_ = 0;
    int downloads_ = 0;
    bool streaming_ = false;
    bool resume_ = false; // streaming was on before the handshake paused it
    std::uint32_t random_ = 12345;
};

int fromBcd(int b);
int toBcd(int v);
// A set's bytes: marker, sampling time, range, flags, start date and time in BCD, the
// unused rest of the 50-byte header, and the records in tenths of a dB.
Bytes EncodeSet(const StoredSetSpec &spec);

} // namespace slmsim
