#pragma once
// The resynchronisation handshake: NUL probes until the last six bytes received are
// the meter's idle frame. It has no time-out; its waits process window events.

#include "platform/vb/MSComm.h"

#include <functional>

namespace slm {

// Returns true once the meter answered; false when the program is ending (End was
// called inside a wait), in which case the caller must return at once, or when
// `abandon`, asked after every probe, says the caller no longer waits.
bool ResyncMeter(vb::MSComm &COM, double probeSeconds = 0.2, const std::function<bool()> &abandon = {});

// The handshake, then one write of the four-byte command.
bool SendMeterCommand(vb::MSComm &COM, const QByteArray &command);

} // namespace slm
