#include "platform/comm/TtyIo.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <iterator>

namespace win::tty {

namespace {

struct Rate {
    unsigned code;
    std::uint32_t baud;
};

constexpr Rate rates[] = {
    {B0, 0},
    {B50, 50},
    {B75, 75},
    {B110, 110},
    {B134, 134},
    {B150, 150},
    {B200, 200},
    {B300, 300},
    {B600, 600},
    {B1200, 1200},
    {B1800, 1800},
    {B2400, 2400},
    {B4800, 4800},
    {B9600, 9600},
    {B19200, 19200},
    {B38400, 38400},
    {B57600, 57600},
    {B115200, 115200},
    {B230400, 230400},
    {B460800, 460800},
    {B500000, 500000},
    {B576000, 576000},
    {B921600, 921600},
    {B1000000, 1000000},
    {B1152000, 1152000},
    {B1500000, 1500000},
    {B2000000, 2000000},
    {B2500000, 2500000},
    {B3000000, 3000000},
    {B3500000, 3500000},
    {B4000000, 4000000},
};

bool get(int fd, termios2 &t) { return ::ioctl(fd, TCGETS2, &t) == 0; }
bool set(int fd, const termios2 &t) { return ::ioctl(fd, TCSETS2, &t) == 0; }

void raw(termios2 &t) {
    t.c_iflag &= ~tcflag_t(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXANY | IUCLC | IMAXBEL);
    t.c_oflag &= ~tcflag_t(OPOST);
    t.c_lflag &= ~tcflag_t(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    // The line is ours whatever the carrier says; reads are non-blocking anyway.
    t.c_cflag |= CREAD | CLOCAL;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
}

} // namespace

bool readSettings(int fd, LineSettings &s) {
    termios2 t{};
    if (!get(fd, t)) return false;
    const unsigned code = t.c_cflag & CBAUD;
    s.baud = t.c_ospeed;
    if (code != BOTHER)
        for (const Rate &r : rates)
            if (r.code == code) s.baud = r.baud;
    switch (t.c_cflag & CSIZE) {
        case CS5: s.dataBits = 5; break;
        case CS6: s.dataBits = 6; break;
        case CS7: s.dataBits = 7; break;
        default: s.dataBits = 8; break;
    }
    if (!(t.c_cflag & PARENB))
        s.parity = 0;
    else if (t.c_cflag & CMSPAR)
        s.parity = (t.c_cflag & PARODD) ? 3 : 4;
    else
        s.parity = (t.c_cflag & PARODD) ? 1 : 2;
    s.twoStopBits = (t.c_cflag & CSTOPB) != 0;
    s.parityCheck = (t.c_iflag & INPCK) != 0;
    s.rtsCts = (t.c_cflag & CRTSCTS) != 0;
    s.xonOutput = (t.c_iflag & IXON) != 0;
    s.xonInput = (t.c_iflag & IXOFF) != 0;
    s.xonChar = char(t.c_cc[VSTART]);
    s.xoffChar = char(t.c_cc[VSTOP]);
    return true;
}

bool writeSettings(int fd, const LineSettings &s) {
    termios2 t{};
    if (!get(fd, t)) return false;
    raw(t);

    t.c_cflag &= ~tcflag_t(CBAUD | CIBAUD);
    unsigned code = BOTHER;
    for (const Rate &r : rates)
        if (r.baud == s.baud) code = r.code;
    t.c_cflag |= code;
    t.c_ispeed = t.c_ospeed = s.baud;

    t.c_cflag &= ~tcflag_t(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    switch (s.dataBits) {
        case 5: t.c_cflag |= CS5; break;
        case 6: t.c_cflag |= CS6; break;
        case 7: t.c_cflag |= CS7; break;
        case 8: t.c_cflag |= CS8; break;
        default: errno = EINVAL; return false;
    }
    switch (s.parity) {
        case 0: break;
        case 1: t.c_cflag |= PARENB | PARODD; break;
        case 2: t.c_cflag |= PARENB; break;
        case 3: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
        case 4: t.c_cflag |= PARENB | CMSPAR; break;
        default: errno = EINVAL; return false;
    }
    if (s.twoStopBits) t.c_cflag |= CSTOPB;
    if (s.rtsCts) t.c_cflag |= CRTSCTS;

    t.c_iflag &= ~tcflag_t(INPCK | IXON | IXOFF);
    if (s.parityCheck) t.c_iflag |= INPCK;
    if (s.xonOutput) t.c_iflag |= IXON;
    if (s.xonInput) t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = cc_t(s.xonChar);
    t.c_cc[VSTOP] = cc_t(s.xoffChar);

    if (!set(fd, t)) return false;
    // Drivers round or refuse rates silently; a rate they did not take is an error.
    termios2 back{};
    if (!get(fd, back)) return false;
    if ((back.c_cflag & CBAUD) == BOTHER && code == BOTHER && back.c_ospeed != s.baud) {
        // Within 2 % is what the hardware divisor can do; anything further is refused.
        const double ratio = double(back.c_ospeed) / double(s.baud);
        if (ratio < 0.98 || ratio > 1.02) {
            errno = EINVAL;
            return false;
        }
    }
    return true;
}

bool makeRaw(int fd) {
    termios2 t{};
    if (!get(fd, t)) return false;
    raw(t);
    // A terminal starts with XON/XOFF output flow on; on a binary line it would
    // swallow every 0x11 and 0x13 from the device and stall our output.
    t.c_iflag &= ~tcflag_t(IXON | IXOFF);
    return set(fd, t);
}

} // namespace win::tty
