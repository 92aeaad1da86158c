#include "slm/core/MeterLink.h"

#include "slm/core/Meter.h"
#include "slm/core/Rs232.h"

namespace slm {

bool ResyncMeter(vb::MSComm &COM, double probeSeconds, const std::function<bool()> &abandon) {
    static const QByteArray nul(1, '\0');
    while (!vb::Ended()) {
        if (abandon && abandon()) return false;
        COM.SetInputLen(0);
        COM.Input();
        do {
            COM.SetOutput(nul);
            Delay(probeSeconds);
            if (vb::Ended() || (abandon && abandon())) return false;
        } while (COM.InBufferCount() < 6);
        if (EndsInIdleFrame(COM.Input())) return true;
    }
    return false;
}

bool SendMeterCommand(vb::MSComm &COM, const QByteArray &command) {
    if (!ResyncMeter(COM)) return false;
    COM.SetOutput(command);
    return true;
}

} // namespace slm
