#include "hygro/core/PollTick.h"

#include "hygro/core/MeterLink.h"
#include "hygro/core/ModelTraits.h"

namespace hygro {

PollTickResult PollTick(PollTickState &s, const PollTickInput &in) {
    PollTickResult r;
    s.ticksSinceSample += 1;

    // A key held for two ticks sends its hold command once.
    if (s.key0Down) {
        s.key0HoldTicks += 1;
        if (s.key0HoldTicks == 2) {
            s.key0Down = false;
            s.keySent = true;
            r.keyCommands += 'N';
            r.maxMinReleased = true;
        }
    }
    const ModelTraits *model = FindModel(in.model);
    if (s.key4Down && model && model->fourthKeyHoldCommand) {
        s.key4HoldTicks += 1;
        if (s.key4HoldTicks == 2) {
            s.key4Down = false;
            s.keySent = true;
            r.keyCommands += model->fourthKeyHoldCommand;
        }
    }

    if (s.frameReceived) {
        s.frameReceived = false;
        s.missedPolls = 0;
        if (in.running && s.ticksSinceSample >= in.sampleRate) {
            s.ticksSinceSample = 0;
            r.sampleDue = true;
        }
    } else if (s.linkUp) {
        s.ticksSinceSample = 0;
        s.missedPolls += 1;
        if (s.missedPolls >= 3) {
            s.linkUp = false;
            s.missedPolls = 0;
            r.linkLost = true;
        }
    }

    if (s.keySent) {
        s.keySent = false;
        s.missedPolls -= 1;
    } else {
        r.poll = true;
    }
    return r;
}

int NextInterval(bool &firstTick, bool linkUp, int interval, double elapsedSeconds) {
    if (firstTick)
        firstTick = false;
    else
        interval = CorrectInterval(interval, elapsedSeconds);
    return linkUp ? interval : 1000;
}

} // namespace hygro
