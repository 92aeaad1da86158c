#pragma once
// The resynchronisation handshake: NUL probes until the last six bytes received are
// the meter's idle frame. It has no time-out; its waits process window events.

#include "platform/vb/MSComm.h"

namespace slm {

// Returns true once the meter answered; false only when the program is ending (End
// was called inside a wait), in which case the caller must return at once.
bool ResyncMeter(vb::MSComm &COM, double probeSeconds = 0.2);

// The handshake, then one write of the four-byte command.
bool SendMeterCommand(vb::MSComm &COM, const QByteArray &command);

} // namespace slm
