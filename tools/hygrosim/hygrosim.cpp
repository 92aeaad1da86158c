// hygrosim: a simulated humidity/temperature meter (582, 583, 585, 586) on a
// pseudo-terminal. Prints the terminal's path, then answers "K" and "A" and the
// key commands as the meter does; every byte received is logged to stderr.
// Lines on stdin change its behaviour while it runs (see --help).

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
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char *Usage =
    "usage: hygrosim [options]\n"
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
    "Keys received: M cycles MAX, MIN, MAX/MIN; N leaves it; H toggles HOLD;\n"
    "  F (582, 583) and C (585, 586) toggle C/F; R (583) toggles REL;\n"
    "  T toggles the clock display (582) or the time mode (585, 586);\n"
    "  E (585, 586) toggles logging; C (582, 583) clears MAX/MIN and HOLD;\n"
    "  X (582) toggles auto power off.\n"
    "Lines on stdin: 'silent|garbage|split|paced|lowbat|fixed on|off',\n"
    "  'key <letter>', 'set <rh> <t1> <t2>', 'close' (closes the terminal and exits);\n"
    "  each is answered on stdout with 'ok <line>' or 'error <line>'.\n";

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

Meter meter;
Behaviour behaviour;
int master = -1;
std::mt19937 rng(12345);
const auto started = std::chrono::steady_clock::now();

double secondsSinceStart() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

// Writes all bytes; a terminal whose other side is full is waited on, not spun on.
bool writeAll(const uint8_t *data, size_t n) {
    size_t done = 0;
    while (done < n) {
        ssize_t w = ::write(master, data + done, n - done);
        if (w > 0) {
            done += size_t(w);
            continue;
        }
        if (w < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{master, POLLOUT, 0};
            ::poll(&p, 1, 50);
            continue;
        }
        return false;
    }
    return true;
}

void send(const std::vector<uint8_t> &bytes) {
    if (behaviour.paced) {
        for (uint8_t b : bytes) {
            writeAll(&b, 1);
            usleep(1042); // ten bits at 9600 baud
        }
    } else if (behaviour.split && bytes.size() > 3) {
        size_t third = bytes.size() / 3;
        writeAll(bytes.data(), third);
        usleep(20000);
        writeAll(bytes.data() + third, third);
        usleep(20000);
        writeAll(bytes.data() + 2 * third, bytes.size() - 2 * third);
    } else {
        writeAll(bytes.data(), bytes.size());
    }
}

bool threeReadings() { return meter.model == 583 || meter.model == 586; }

void drift() {
    if (behaviour.fixed) return;
    std::normal_distribution<double> step(0.0, 0.15);
    meter.rh = std::clamp(meter.rh + step(rng), 20.0, 95.0);
    meter.t1 = std::clamp(meter.t1 + step(rng) * 0.5, -10.0, 45.0);
    meter.t2 = std::clamp(meter.t2 + step(rng) * 0.5, -10.0, 45.0);
}

std::vector<uint8_t> frame() {
    uint8_t a = uint8_t(meter.recordMode & 3);
    if (meter.hold) a |= 0x04;
    if (meter.fahrenheit) a |= 0x08;
    if (meter.logging) a |= 0x10;
    if ((meter.model == 582 && meter.clockHm) || (meter.model == 583 && meter.rel) ||
        ((meter.model == 585 || meter.model == 586) && meter.timeMode))
        a |= 0x20;
    if (meter.autoOff) a |= 0x40;
    if (meter.lowBattery) a |= 0x80;

    auto unit = [](double c) { return meter.fahrenheit ? c * 9.0 / 5.0 + 32.0 : c; };
    double values[3] = {meter.rh, unit(meter.t1), threeReadings() ? unit(meter.t2) : 0.0};
    uint8_t b = 0;
    if (meter.logging && meter.model != 582 && meter.model != 583) b |= 0x01;
    const uint8_t overBits[3] = {0x40, 0x10, 0x04}, negBits[3] = {0x80, 0x20, 0x08};
    uint16_t counts[3];
    for (int k = 0; k < 3; ++k) {
        double v = values[k];
        if (v < 0) b |= negBits[k];
        if ((k == 0 && (v < 0 || v > 100)) || (k > 0 && (v < -200 || v > 2000))) b |= overBits[k];
        counts[k] = uint16_t(std::min(65535.0, std::round(std::fabs(v) * 10.0)));
    }
    if (meter.model == 582) { // the third reading carries the meter's clock
        time_t now = time(nullptr);
        tm t{};
        localtime_r(&now, &t);
        counts[2] = meter.clockHm ? uint16_t(t.tm_hour << 8 | t.tm_min) : uint16_t(t.tm_min << 8 | t.tm_sec);
    }
    std::vector<uint8_t> f{0x02, a, b};
    for (uint16_t c : counts) {
        f.push_back(uint8_t(c >> 8));
        f.push_back(uint8_t(c & 0xFF));
    }
    f.push_back(0x03);
    return f;
}

void pressKey(char key) {
    const bool big = meter.model == 585 || meter.model == 586;
    switch (key) {
    case 'M': meter.recordMode = meter.recordMode == 3 ? 1 : meter.recordMode + 1; break;
    case 'N': meter.recordMode = 0; break;
    case 'H': meter.hold = !meter.hold; break;
    case 'F': if (!big) meter.fahrenheit = !meter.fahrenheit; break;
    case 'C':
        if (big) meter.fahrenheit = !meter.fahrenheit;
        else meter.recordMode = 0, meter.hold = false;
        break;
    case 'R': if (meter.model == 583) meter.rel = !meter.rel; break;
    case 'T':
        if (meter.model == 582) meter.clockHm = !meter.clockHm;
        else if (big) meter.timeMode = !meter.timeMode;
        break;
    case 'E': if (big) meter.logging = !meter.logging; break;
    case 'X': if (meter.model == 582) meter.autoOff = !meter.autoOff; break;
    default: break;
    }
}

void answer(uint8_t byte) {
    if (behaviour.silent) return;
    if (byte == 'K') {
        std::string code = std::to_string(meter.model);
        send({uint8_t(code[0]), uint8_t(code[1]), uint8_t(code[2]), uint8_t(meter.ident)});
    } else if (byte == 'A') {
        drift();
        send(frame());
    } else {
        pressKey(char(byte));
    }
}

bool onOff(const std::string &word, bool &flag) {
    if (word == "on" || word == "1") flag = true;
    else if (word == "off" || word == "0") flag = false;
    else return false;
    return true;
}

// Returns false when the simulator is told to end.
bool control(const std::string &line) {
    std::istringstream in(line);
    std::string cmd, arg;
    in >> cmd >> arg;
    bool ok = true;
    if (cmd == "silent") ok = onOff(arg, behaviour.silent);
    else if (cmd == "garbage") ok = onOff(arg, behaviour.garbage);
    else if (cmd == "split") ok = onOff(arg, behaviour.split);
    else if (cmd == "paced") ok = onOff(arg, behaviour.paced);
    else if (cmd == "fixed") ok = onOff(arg, behaviour.fixed);
    else if (cmd == "lowbat") ok = onOff(arg, meter.lowBattery);
    else if (cmd == "key" && arg.size() == 1) pressKey(arg[0]);
    else if (cmd == "set") {
        std::istringstream values(line.substr(line.find("set") + 3));
        double rh, t1, t2;
        if (values >> rh >> t1 >> t2) meter.rh = rh, meter.t1 = t1, meter.t2 = t2;
        else ok = false;
    } else if (cmd == "close") return false;
    else if (!cmd.empty()) ok = false;
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
            if (meter.model != 582 && meter.model != 583 && meter.model != 585 && meter.model != 586) {
                fprintf(stderr, "hygrosim: model must be 582, 583, 585 or 586\n");
                return 2;
            }
        } else if (a == "--ident") meter.ident = parseInt(value(), "--ident") & 0xFF;
        else if (a == "--rh") meter.rh = parseDouble(value(), "--rh");
        else if (a == "--t1") meter.t1 = parseDouble(value(), "--t1");
        else if (a == "--t2") meter.t2 = parseDouble(value(), "--t2");
        else if (a == "--seed") rng.seed(unsigned(parseInt(value(), "--seed")));
        else if (a == "--fixed") behaviour.fixed = true;
        else if (a == "--low-battery") meter.lowBattery = true;
        else if (a == "--fahrenheit") meter.fahrenheit = true;
        else if (a == "--silent") behaviour.silent = true;
        else if (a == "--garbage") behaviour.garbage = true;
        else if (a == "--split") behaviour.split = true;
        else if (a == "--paced") behaviour.paced = true;
        else {
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

    std::string stdinLine;
    bool stdinOpen = true;
    std::uniform_int_distribution<int> byteDist(0, 255);
    for (;;) {
        pollfd fds[2] = {{master, POLLIN, 0}, {stdinOpen ? 0 : -1, POLLIN, 0}};
        int r = ::poll(fds, 2, behaviour.garbage ? 0 : 100);
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
