#pragma once
// Code module Rs232: the port choice, the start command, the start stamp and the
// event-processing wait.

#include "platform/vb/Runtime.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace slm {

extern std::int16_t PortNumber;
extern QString StampText;
extern QByteArray CmdStart;

// The deadline of a wait of `seconds` begun at `clock` (seconds of the day). A wait
// that would end after midnight ends at `seconds` instead, which the clock is already
// past: such a wait ends at once.
float DelayDeadline(float clock, float seconds);
// Whether a wait begun at `start` towards `deadline` is over at `clock`. The clock
// falling below the start means midnight passed while events were processed.
bool DelayOver(float start, float deadline, float clock);

// Waits `seconds` seconds (fractions allowed), processing window events, at least once.
void Delay(double seconds);

} // namespace slm
