#include "platform/comm/CommEvents.h"

namespace win {

namespace {

// The queue filled past 80 % of its size during the interval.
bool crossed80(const LineState &before, const LineState &after) {
    if (after.inQueueSize == 0) return false;
    const std::uint64_t limit = (std::uint64_t(after.inQueueSize) * 8 + 9) / 10;
    return before.inQueue < limit && after.inQueue >= limit;
}

} // namespace

DWORD CommEventsBetween(const LineState &before, const LineState &after) {
    DWORD events = 0;
    if (after.received != before.received) events |= EV_RXCHAR;
    if (after.flagChars != before.flagChars) events |= EV_RXFLAG;
    if (after.outputDrains != before.outputDrains) events |= EV_TXEMPTY;
    if (crossed80(before, after)) events |= EV_RX80FULL;

    const bool counters = before.countersKnown && after.countersKnown;
    const bool modem = before.modemKnown && after.modemKnown;
    // The counters also see a line that went and came back between two snapshots;
    // the line bits are the fallback for drivers without them.
    auto line = [&](std::uint32_t a, std::uint32_t b, DWORD bit, DWORD event) {
        if (counters ? a != b : (modem && ((before.modem ^ after.modem) & bit))) events |= event;
    };
    line(before.cts, after.cts, MS_CTS_ON, EV_CTS);
    line(before.dsr, after.dsr, MS_DSR_ON, EV_DSR);
    line(before.rlsd, after.rlsd, MS_RLSD_ON, EV_RLSD);
    // A ring is the end of the ring signal, not any change of it.
    if (counters ? before.ring != after.ring : (modem && (before.modem & MS_RING_ON) && !(after.modem & MS_RING_ON)))
        events |= EV_RING;

    if (counters) {
        if (after.brk != before.brk) events |= EV_BREAK;
        if (after.frame != before.frame || after.overrun != before.overrun || after.parity != before.parity ||
            after.bufferOverrun != before.bufferOverrun)
            events |= EV_ERR;
    }
    return events;
}

DWORD CommErrorsBetween(const LineState &before, const LineState &after) {
    if (!before.countersKnown || !after.countersKnown) return 0;
    DWORD errors = 0;
    if (after.bufferOverrun != before.bufferOverrun) errors |= CE_RXOVER;
    if (after.overrun != before.overrun) errors |= CE_OVERRUN;
    if (after.parity != before.parity) errors |= CE_RXPARITY;
    if (after.frame != before.frame) errors |= CE_FRAME;
    if (after.brk != before.brk) errors |= CE_BREAK;
    return errors;
}

} // namespace win
