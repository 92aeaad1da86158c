#pragma once
// Line settings of a terminal through the kernel's termios2 interface, which takes
// any baud rate. Kept apart because its header cannot live beside <termios.h>.

#include <cstdint>

namespace win::tty {

struct LineSettings {
    std::uint32_t baud = 0;
    int dataBits = 8; // 5..8
    int parity = 0;   // NOPARITY .. SPACEPARITY
    bool twoStopBits = false;
    bool parityCheck = false; // INPCK
    bool rtsCts = false;      // CRTSCTS
    bool xonOutput = false;   // IXON
    bool xonInput = false;    // IXOFF
    char xonChar = 17;
    char xoffChar = 19;
};

// Each returns false with errno set on failure.
bool readSettings(int fd, LineSettings &settings);
// Writes the settings in raw mode: no echo, no line editing, no translation.
bool writeSettings(int fd, const LineSettings &settings);
// Raw mode, keeping the driver's rate, framing and hardware flow control; software
// flow control off.
bool makeRaw(int fd);

} // namespace win::tty
