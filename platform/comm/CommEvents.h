#pragma once
// Comm events and line errors computed from two snapshots of a device's line state,
// so that the rules hold apart from any port.

#include "platform/comm/Comm.h"

#include <cstdint>

namespace win {

struct LineState {
    // Running totals kept by the device's service thread.
    std::uint64_t received = 0;     // bytes moved into the input queue
    std::uint64_t flagChars = 0;    // of those, bytes equal to the DCB's EvtChar
    std::uint64_t outputDrains = 0; // times the output became empty after a write

    DWORD inQueue = 0;     // bytes in the input queue
    DWORD inQueueSize = 0; // its capacity (SetupComm)

    // Modem input lines (MS_* bits); only compared when both snapshots have them.
    bool modemKnown = false;
    DWORD modem = 0;

    // Driver interrupt counters (TIOCGICOUNT); only compared when both have them.
    bool countersKnown = false;
    std::uint32_t cts = 0, dsr = 0, ring = 0, rlsd = 0;
    std::uint32_t frame = 0, overrun = 0, parity = 0, brk = 0, bufferOverrun = 0;
};

// The EV_* events that happened between the two snapshots (not yet masked).
// EV_RXCHAR means new bytes arrived, not that bytes are still queued.
DWORD CommEventsBetween(const LineState &before, const LineState &after);

// The CE_* errors that happened between the two snapshots.
DWORD CommErrorsBetween(const LineState &before, const LineState &after);

} // namespace win
