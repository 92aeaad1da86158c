// The sound level meter's bytes: live frames through the three decoders, the replies
// to the size and clock queries, the handshake check and the run mean.
// A handful of frames and replies: longer inputs only repeat them slower.
// libFuzzer: -max_len=1024

#include "FuzzSupport.h"

#include "slm/core/Meter.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzzing::Input in(data, size);
    const QByteArray all(reinterpret_cast<const char *>(data), qsizetype(size));
    (void)slm::EndsInIdleFrame(all);
    (void)slm::MemorySizeFromReply(all);
    (void)slm::IsClockReply(all);
    while (in.left() >= 6) {
        const QByteArray frame = QByteArray::fromStdString(in.bytes(6));
        if (!slm::IsFramed(frame)) continue;
        int s1 = uint8_t(frame[1]), s2 = uint8_t(frame[2]);
        slm::AssignMeterState(slm::DecodeRange(s1));
        slm::AssignMeterState(slm::DecodeMode(s2));
        slm::AssignMeterState(slm::DecodeLevel(uint8_t(frame[3]), uint8_t(frame[4])));
        if (slm::SubIndex < 0 || slm::SubIndex > 7) fuzzing::fail("sub-frame index out of 0-7");
        const double level = vb::Val(slm::LevelText);
        const double top = std::isnan(slm::RangeTop) ? 130 : slm::RangeTop;
        const double bottom = std::isnan(slm::RangeBottom) ? 70 : slm::RangeBottom;
        const double bar = slm::BarValue(level, top, bottom);
        if (bar > top || bar < bottom) fuzzing::fail("bar outside the range");
        for (int b = 1; b <= 4; ++b) (void)slm::BcdText(uint8_t(frame[b]));
        if (slm::SubIndex == 7) {
            (void)slm::RunMeanText(slm::SubLevels);
            slm::SubLevels.fill(0);
        }
    }
    std::array<double, 8> levels{};
    for (double &l : levels) l = in.take<double>();
    (void)slm::RunMeanText(levels);
    slm::ResetMeterState();
    return 0;
}
