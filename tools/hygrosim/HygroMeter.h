#pragma once
// The simulated humidity meter without its line: its readings and keys, the frame it
// answers "A" with, its data-logger memory and the block transfer of that memory.
// What it sends goes to send(), which the line in hygrosim.cpp paces and writes.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace hygrosim {

struct Meter {
    int model = 586;
    int ident = 13;
    double rh = 52.0, t1 = 23.4, t2 = 25.1; // always held in degrees C
    int recordMode = 0;
    bool hold = false, fahrenheit = false, logging = false, timeMode = false;
    bool rel = false, clockHm = true, autoOff = true, lowBattery = false;
    // What a held display shows is the meter's business; the frame carries the flags.
};

struct Behaviour {
    bool silent = false, garbage = false, split = false, paced = false, fixed = false;
};

struct Memory {
    int sets = 3, records = 120, rate = 5, stride = 0; // stride 0: by model
    bool fahrenheit = false, empty = false;
    int badDate = 0, padTo = 0;
    int badChecksum = -1, alwaysBadChecksum = -1, partialBlock = -1, stallAt = -1;
    int headerSets = -1, headerLast = -1, countBeyond = 0;
};

// The block-mode transfer under way.
struct BlockTransfer {
    bool active = false;
    int block = 0; // index of the block last sent
    int sends = 0; // times that block was sent
};

extern Meter meter;
extern Behaviour behaviour;
extern Memory memory;
extern std::vector<uint8_t> image; // built at start from the options
extern BlockTransfer transfer;
extern std::mt19937 rng;

// The line (hygrosim.cpp): queues bytes to go out; drops what is still queued.
void send(const std::vector<uint8_t> &bytes);
void dropQueued();

// One byte received from the program.
void answer(uint8_t byte);
void pressKey(char key);
// Builds the memory image from `memory`.
void buildImage();
// A memory option (name and the text after it); returns 0 when `name` is none, the
// number of words it took, or -1 with a message when its value is wrong.
int memoryOption(const std::string &name, const char *next);

} // namespace hygrosim
