// hygrosim: a simulated humidity/temperature meter (582, 583, 585, 586) on a
// pseudo-terminal. Prints the terminal's path, then answers "K" and "A", the key
// commands and (585, 586) the memory transfer "P" as the meter does; every byte
// received is logged to stderr.
// Lines on stdin change its behaviour while it runs (see --help).

#include "tools/hygrosim/HygroMeter.h"

#include "hygro/core/ModelTraits.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace hygrosim;

namespace {

const char *Usage = "usage: hygrosim [options]\n"
                    "  --model N        582, 583, 585 or 586 (default 586)\n"
                    "  --ident N        identification byte after the model code (default 13)\n"
                    "  --rh X --t1 X --t2 X   starting readings (default 52.0, 23.4, 25.1)\n"
                    "  --fixed          readings do not drift\n"
                    "  --low-battery    low battery mark on\n"
                    "  --fahrenheit     start in degrees F\n"
                    "  --silent         answer nothing\n"
                    "  --garbage        send random bytes at full speed besides the answers\n"
                    "  --split          send every frame in three pieces, 20 ms apart\n"
                    "  --paced          send at the real 9600-baud pace (about 1 ms a byte)\n"
                    "  --seed N         seed of the drift and the garbage\n"
                    "Data-logger memory (sent after \"P\": stream mode for --ident 13, else blocks of\n"
                    "  64 bytes and a checksum, each answered y (next), n (again) or Q (stop)):\n"
                    "  --sets N         data sets in memory (default 3)\n"
                    "  --records N      records per set (default 120)\n"
                    "  --rate S         sampling interval of the sets in seconds (default 5)\n"
                    "  --logger-fahrenheit   sets stored in degrees F\n"
                    "  --stride 4|6     record length (default: 4 for 582/585, 6 for 583/586)\n"
                    "  --bad-date K     set K (from 1) stored with month 13\n"
                    "  --empty-memory   no sets (header alone)\n"
                    "  --pad-to N       image padded with FF to N bytes in all (98304: a full memory)\n"
                    "Memory misbehaviour:\n"
                    "  --bad-checksum K      block K (from 0) first sent with a wrong checksum\n"
                    "  --always-bad-checksum K   block K never has a right checksum\n"
                    "  --partial-block K     block K first sent cut after 30 bytes\n"
                    "  --stall-at B     silence after B bytes of the image (blocks: before the block\n"
                    "                   holding byte B)\n"
                    "  --header-sets N  header set count N    --header-last C  header last position C\n"
                    "  --count-beyond K set K's record count points beyond the data\n"
                    "  (on stdin: 'memory <options>' changes them and builds the memory anew)\n"
                    "Keys received: M cycles MAX, MIN, MAX/MIN; N leaves it; H toggles HOLD;\n"
                    "  F (582, 583) and C (585, 586) toggle C/F; R (583) toggles REL;\n"
                    "  T toggles the clock display (582) or the time mode (585, 586);\n"
                    "  E (585, 586) toggles logging; C (582, 583) clears MAX/MIN and HOLD;\n"
                    "  X (582) toggles auto power off.\n"
                    "Lines on stdin: 'silent|garbage|split|paced|lowbat|fixed on|off',\n"
                    "  'key <letter>', 'set <rh> <t1> <t2>', 'memory <memory options>',\n"
                    "  'close' (closes the terminal and exits);\n"
                    "  each is answered on stdout with 'ok <line>' or 'error <line>'.\n";

int master = -1;
const auto started = std::chrono::steady_clock::now();

double secondsSinceStart() { return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(); }

constexpr double ByteTime = 10.0 / 9600; // one start, eight data, one stop bit

// Output waits in a queue and goes out from the main loop, so that the simulator
// keeps reading while it sends at the line's pace.
struct Segment {
    std::vector<uint8_t> bytes;
    size_t done = 0;
    double notBefore = 0;
};
std::deque<Segment> outQueue;
double lineFreeAt = 0; // paced: when the byte in the line has arrived

void queueBytes(std::vector<uint8_t> bytes, double notBefore) {
    if (!bytes.empty()) outQueue.push_back({std::move(bytes), 0, notBefore});
}

} // namespace

void hygrosim::dropQueued() { outQueue.clear(); }

void hygrosim::send(const std::vector<uint8_t> &bytes) {
    const double now = secondsSinceStart();
    if (behaviour.paced) {
        // The command took a byte time to arrive before the meter could answer it.
        queueBytes(bytes, now + ByteTime);
    } else if (behaviour.split && bytes.size() > 3) {
        size_t third = bytes.size() / 3;
        queueBytes({bytes.begin(), bytes.begin() + long(third)}, now);
        queueBytes({bytes.begin() + long(third), bytes.begin() + long(2 * third)}, now + 0.020);
        queueBytes({bytes.begin() + long(2 * third), bytes.end()}, now + 0.040);
    } else {
        queueBytes(bytes, now);
    }
}

namespace {

// Writes what is due; returns the seconds until more is due (-1: nothing queued,
// 0: the terminal is full, wait until it takes more).
double pump(bool &wantWrite) {
    wantWrite = false;
    while (!outQueue.empty()) {
        Segment &seg = outQueue.front();
        const double now = secondsSinceStart();
        if (now < seg.notBefore) return seg.notBefore - now;
        size_t count = seg.bytes.size() - seg.done;
        double start = 0;
        if (behaviour.paced) {
            // A byte is there once its ten bits have passed; late wake-ups catch up.
            start = std::max(lineFreeAt, seg.notBefore);
            const double due = std::floor((now - start) / ByteTime + 1e-9);
            if (due < 1) return start + ByteTime - now;
            count = std::min(count, size_t(due));
        }
        const ssize_t w = ::write(master, seg.bytes.data() + seg.done, count);
        if (w < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                wantWrite = true;
                return 0;
            }
            outQueue.clear(); // the other side is gone
            return -1;
        }
        seg.done += size_t(w);
        if (behaviour.paced) lineFreeAt = start + double(w) * ByteTime;
        if (seg.done == seg.bytes.size()) outQueue.pop_front();
        if (size_t(w) < count) {
            wantWrite = true;
            return 0;
        }
    }
    return -1;
}

bool onOff(const std::string &word, bool &flag) {
    if (word == "on" || word == "1")
        flag = true;
    else if (word == "off" || word == "0")
        flag = false;
    else
        return false;
    return true;
}

// Returns false when the simulator is told to end.
bool control(const std::string &line) {
    std::istringstream in(line);
    std::string cmd, arg;
    in >> cmd >> arg;
    bool ok = true;
    if (cmd == "silent")
        ok = onOff(arg, behaviour.silent);
    else if (cmd == "garbage")
        ok = onOff(arg, behaviour.garbage);
    else if (cmd == "split")
        ok = onOff(arg, behaviour.split);
    else if (cmd == "paced")
        ok = onOff(arg, behaviour.paced);
    else if (cmd == "fixed")
        ok = onOff(arg, behaviour.fixed);
    else if (cmd == "lowbat")
        ok = onOff(arg, meter.lowBattery);
    else if (cmd == "key" && arg.size() == 1)
        pressKey(arg[0]);
    else if (cmd == "set") {
        std::istringstream values(line.substr(line.find("set") + 3));
        double rh, t1, t2;
        if (values >> rh >> t1 >> t2)
            meter.rh = rh, meter.t1 = t1, meter.t2 = t2;
        else
            ok = false;
    } else if (cmd == "memory") {
        // The rest of the line: memory options as on the command line; the image is built anew.
        std::vector<std::string> words;
        for (std::string w; in >> w;) words.push_back(w);
        if (!arg.empty()) words.insert(words.begin(), arg);
        for (size_t i = 0; ok && i < words.size();) {
            const int taken = memoryOption(words[i], i + 1 < words.size() ? words[i + 1].c_str() : nullptr);
            if (taken <= 0)
                ok = false;
            else
                i += size_t(taken);
        }
        buildImage();
    } else if (cmd == "close")
        return false;
    else if (!cmd.empty())
        ok = false;
    if (!ok) fprintf(stderr, "hygrosim: not understood: %s\n", line.c_str());
    // Acknowledged on stdout, so that a test knows the change is in effect.
    printf("%s %s\n", ok ? "ok" : "error", line.c_str());
    fflush(stdout);
    return true;
}

int parseInt(const char *text, const char *what) {
    char *end = nullptr;
    long v = std::strtol(text, &end, 0);
    if (!*text || *end) {
        fprintf(stderr, "hygrosim: %s must be a number\n", what);
        exit(2);
    }
    return int(v);
}

double parseDouble(const char *text, const char *what) {
    char *end = nullptr;
    double v = std::strtod(text, &end);
    if (!*text || *end) {
        fprintf(stderr, "hygrosim: %s must be a number\n", what);
        exit(2);
    }
    return v;
}

} // namespace

int main(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> const char * {
            if (i + 1 >= argc) {
                fprintf(stderr, "hygrosim: %s needs a value\n%s", a.c_str(), Usage);
                exit(2);
            }
            return argv[++i];
        };
        if (a == "--help" || a == "-h") {
            fputs(Usage, stdout);
            return 0;
        } else if (a == "--model") {
            meter.model = parseInt(value(), "--model");
            if (!hygro::FindModel(meter.model)) {
                fprintf(stderr, "hygrosim: model must be 582, 583, 585 or 586\n");
                return 2;
            }
        } else if (a == "--ident")
            meter.ident = parseInt(value(), "--ident") & 0xFF;
        else if (a == "--rh")
            meter.rh = parseDouble(value(), "--rh");
        else if (a == "--t1")
            meter.t1 = parseDouble(value(), "--t1");
        else if (a == "--t2")
            meter.t2 = parseDouble(value(), "--t2");
        else if (a == "--seed")
            rng.seed(unsigned(parseInt(value(), "--seed")));
        else if (a == "--fixed")
            behaviour.fixed = true;
        else if (a == "--low-battery")
            meter.lowBattery = true;
        else if (a == "--fahrenheit")
            meter.fahrenheit = true;
        else if (a == "--silent")
            behaviour.silent = true;
        else if (a == "--garbage")
            behaviour.garbage = true;
        else if (a == "--split")
            behaviour.split = true;
        else if (a == "--paced")
            behaviour.paced = true;
        else if (int taken = memoryOption(a, i + 1 < argc ? argv[i + 1] : nullptr)) {
            if (taken < 0) return 2;
            i += taken - 1;
        } else {
            fprintf(stderr, "hygrosim: unknown option %s\n%s", a.c_str(), Usage);
            return 2;
        }
    }

    signal(SIGPIPE, SIG_IGN);
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        perror("hygrosim: pseudo-terminal");
        return 1;
    }
    const char *path = ptsname(master);
    // Holding the slave open keeps the line alive while the program closes and
    // reopens it (the search does); raw so that no byte is changed or echoed.
    int slave = ::open(path, O_RDWR | O_NOCTTY);
    termios t{};
    if (slave < 0 || tcgetattr(slave, &t) != 0) {
        perror("hygrosim: slave side");
        return 1;
    }
    cfmakeraw(&t);
    tcsetattr(slave, TCSANOW, &t);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    printf("%s\n", path);
    fflush(stdout);

    buildImage();
    std::string stdinLine;
    bool stdinOpen = true;
    std::uniform_int_distribution<int> byteDist(0, 255);
    for (;;) {
        bool wantWrite = false;
        const double due = pump(wantWrite);
        // Paced bytes go out on time to the microsecond, not the millisecond.
        double timeout = behaviour.garbage ? 0 : 0.1;
        if (due > 0)
            timeout = std::min(timeout, due);
        else if (due == 0 && !wantWrite)
            timeout = 0;
        const timespec wait{time_t(timeout), long((timeout - std::floor(timeout)) * 1e9)};
        short masterEvents = POLLIN;
        if (wantWrite) masterEvents |= POLLOUT;
        pollfd fds[2] = {{master, masterEvents, 0}, {stdinOpen ? 0 : -1, POLLIN, 0}};
        int r = ::ppoll(fds, 2, &wait, nullptr);
        if (r < 0 && errno != EINTR) break;
        if (fds[0].revents & POLLIN) {
            uint8_t buf[256];
            ssize_t n = ::read(master, buf, sizeof buf);
            for (ssize_t i = 0; i < n; ++i) {
                fprintf(stderr, "%.3f %02X\n", secondsSinceStart(), buf[i]);
                answer(buf[i]);
            }
        }
        if (fds[1].revents & (POLLIN | POLLHUP)) {
            char buf[256];
            ssize_t n = ::read(0, buf, sizeof buf);
            if (n <= 0) stdinOpen = false; // the parent went away from stdin; keep serving
            for (ssize_t i = 0; i < n; ++i) {
                if (buf[i] != '\n') {
                    stdinLine += buf[i];
                    continue;
                }
                if (!control(stdinLine)) {
                    ::close(master);
                    ::close(slave);
                    return 0;
                }
                stdinLine.clear();
            }
        }
        if (behaviour.garbage && !behaviour.silent) {
            uint8_t junk[512];
            for (uint8_t &b : junk) b = uint8_t(byteDist(rng));
            pollfd p{master, POLLOUT, 0};
            if (::poll(&p, 1, 5) > 0 && (p.revents & POLLOUT)) {
                ssize_t w = ::write(master, junk, sizeof junk);
                (void)w;
            }
        }
    }
    return 0;
}
