// Received bytes as the receive handler sees them: cut into ten-byte frames in chunks
// of up to 68 bytes, each frame decoded for a model and shown on the LCD rows.
// Inputs of a few receive events: longer ones only repeat the same frames slower.
// libFuzzer: -max_len=1024

#include "FuzzSupport.h"

#include "hygro/core/MeterDisplay.h"
#include "hygro/core/MeterLink.h"

#include <QDateTime>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzzing::Input in(data, size);
    static const int models[] = {582, 583, 585, 586, 0};
    const int model = models[in.byte() % 5];
    const uint8_t chunkSeed = in.byte();
    const QDateTime now(QDate(2025, 12, 9), QTime(10, 7, 5));

    hygro::MeterDisplayState state;
    std::string rx;
    size_t chunk = 1 + chunkSeed % hygro::RxChunk;
    while (in.left()) {
        const std::string read = in.bytes(chunk);
        chunk = 1 + (chunk * 7 + 3) % hygro::RxChunk;
        const auto *bytes = reinterpret_cast<const uint8_t *>(read.data());
        for (const hygro::RealTimeFrame &f : hygro::ReceiveFrames(rx, bytes, read.size())) {
            if (f[0] != hygro::STX || f[9] != hygro::ETX) fuzzing::fail("a frame without STX/ETX was cut");
            hygro::DecodeFrame(state, f, model, now);
            hygro::UpdateAnnunciators(state, model);
        }
        if (rx.size() >= hygro::FrameLength) fuzzing::fail("ten or more bytes left uncut");
    }
    for (const QString &t : state.ReadingText) (void)t.size();
    return 0;
}
