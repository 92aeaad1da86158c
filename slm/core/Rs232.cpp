#include "slm/core/Rs232.h"

#include <cmath>

namespace slm {

std::int16_t PortNumber = 0;
QString StampText;
QByteArray CmdStart;

float DelayDeadline(float clock, float seconds) {
    float deadline = clock + seconds;
    if (deadline >= 86400.0f) deadline = seconds;
    return deadline;
}

bool DelayOver(float start, float deadline, float clock) { return clock >= deadline || clock < start; }

void Delay(double seconds) {
    const float start = vb::SecondsOfDay();
    const float deadline = DelayDeadline(start, float(seconds));
    for (;;) {
        const float now = vb::SecondsOfDay();
        const int leftMs = int(std::ceil((deadline - now) * 1000.0f));
        vb::DoEvents(leftMs > 0 ? leftMs : 0);
        const float clock = vb::SecondsOfDay();
        if (DelayOver(start, deadline, clock)) break;
    }
}

} // namespace slm
