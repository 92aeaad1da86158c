#pragma once
// The byte side of the meter link: identification reply, cutting the ten-byte
// real-time frames out of the receive buffer, and the poll interval correction.
// No ports and no widgets here, so that every resync path can be driven by tests.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace hygro {

constexpr uint8_t STX = 0x02;
constexpr uint8_t ETX = 0x03;
constexpr size_t FrameLength = 10;
// The receive handler reads at most this many bytes per event; the rest stays queued.
constexpr int RxChunk = 68;

using RealTimeFrame = std::array<uint8_t, FrameLength>;

struct IdentResult {
    bool accepted = false;
    int model = 0;
    int identByte = 0;
};

// The four bytes answered to "K": three ASCII digits of the model code, then the
// identification byte. The reply counts as text up to its first NUL, so "582" + NUL
// is refused.
IdentResult ParseIdentReply(const uint8_t reply[4]);

// Cuts every complete frame out of `rxBuffer`, in order, and drops what cannot
// start one. Fewer than ten bytes are left for the next receive event.
std::vector<RealTimeFrame> CutFrames(std::string &rxBuffer);

// One receive event: appends the `count` bytes read in it (at most RxChunk) to what
// earlier events left in `rxBuffer` and cuts the frames now complete, as CutFrames.
std::vector<RealTimeFrame> ReceiveFrames(std::string &rxBuffer, const uint8_t *bytes, size_t count);

// Next timer interval after a tick that came `elapsedSeconds` after the previous
// one: steers towards one second, never 500 ms or less.
int CorrectInterval(int currentInterval, double elapsedSeconds);

} // namespace hygro
