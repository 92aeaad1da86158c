#pragma once
// The rules of the one-second poll tick, apart from the port and the windows: the
// MAX/MIN and fourth-key holds, when a sample is due, missed polls and the lost link,
// whether the poll goes out, and the timer's next interval. The main form copies its
// state in, calls PollTick, copies it back and carries out what the result says, in
// the order of the fields below, with NextInterval where the tick's work is done.

#include <string>

namespace hygro {

struct PollTickState {
    int ticksSinceSample = 0;
    int missedPolls = 0;
    bool key0Down = false; // MAX/MIN held
    int key0HoldTicks = 0;
    bool key4Down = false; // the fourth key held
    int key4HoldTicks = 0;
    bool keySent = false;       // a key command went out since the last tick
    bool frameReceived = false; // a frame came since the last tick
    bool linkUp = false;
};

struct PollTickInput {
    int model = 0;
    bool running = false; // the real-time recording runs
    int sampleRate = 1;   // ticks between samples
};

struct PollTickResult {
    // Key commands to send now, in order; a failed send is the lost link's business.
    std::string keyCommands;
    bool maxMinReleased = false; // the MAX/MIN hold ended: its marks go unless HOLD is on
    bool sampleDue = false;      // record the shown readings
    bool linkLost = false;       // third poll in a row unanswered
    bool poll = false;           // send the poll "A" (when the port is open)
};

// One tick. A key sent in the same tick takes the poll's place, and its unanswered
// poll is not counted as missed.
PollTickResult PollTick(PollTickState &s, const PollTickInput &in);

// The timer's interval after a tick that came `elapsedSeconds` after the previous
// one's work ended: unchanged after the first tick, steered towards one second after
// the others, and one second flat while there is no link.
int NextInterval(bool &firstTick, bool linkUp, int interval, double elapsedSeconds);

} // namespace hygro
