#include "hygro/core/MeterLink.h"

#include "hygro/core/ModelTraits.h"

#include <cmath>

namespace hygro {

IdentResult ParseIdentReply(const uint8_t reply[4]) {
    IdentResult r;
    for (int i = 0; i < 4; ++i)
        if (reply[i] == 0) return r; // the text ends before the identification byte
    int number = 0;
    for (int i = 0; i < 3; ++i) {
        if (reply[i] < '0' || reply[i] > '9') return r;
        number = number * 10 + (reply[i] - '0');
    }
    if (FindModel(number)) {
        r.accepted = true;
        r.model = number;
        r.identByte = reply[3];
    }
    return r;
}

std::vector<RealTimeFrame> CutFrames(std::string &rxBuffer) {
    std::vector<RealTimeFrame> frames;
    size_t pos = 0; // consumed prefix; erased once at the end
    while (rxBuffer.size() - pos >= FrameLength) {
        size_t stx = rxBuffer.find(char(STX), pos);
        if (stx == pos) {
            if (uint8_t(rxBuffer[pos + FrameLength - 1]) == ETX) {
                RealTimeFrame f;
                for (size_t i = 0; i < FrameLength; ++i) f[i] = uint8_t(rxBuffer[pos + i]);
                frames.push_back(f);
            }
            // Not a frame: the ten bytes go whole, a later STX among them too.
            pos += FrameLength;
        } else if (stx != std::string::npos) {
            pos = stx;
        } else {
            // No STX in the rest: dropping it ten bytes at a time leaves what dropping
            // the whole tens at once leaves, without searching the rest again each time.
            pos += (rxBuffer.size() - pos) / FrameLength * FrameLength;
        }
    }
    rxBuffer.erase(0, pos);
    return frames;
}

std::vector<RealTimeFrame> ReceiveFrames(std::string &rxBuffer, const uint8_t *bytes, size_t count) {
    if (count > 0) rxBuffer.append(reinterpret_cast<const char *>(bytes), count);
    return CutFrames(rxBuffer);
}

int CorrectInterval(int currentInterval, double elapsedSeconds) {
    double error = (elapsedSeconds - 1.0) * 1000.0;
    double next = std::trunc(double(currentInterval) - error);
    if (!(next > 500.0)) return 500; // also catches NaN from a clock jump
    if (next > 1e9) return 1000000000;
    return int(next);
}

} // namespace hygro
