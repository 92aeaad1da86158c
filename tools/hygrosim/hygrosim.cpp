// hygrosim: a simulated humidity/temperature meter (582, 583, 585, 586) on a
// pseudo-terminal. Prints the terminal's path, then answers "K" and "A", the key
// commands and (585, 586) the memory transfer "P" as the meter does; every byte
// received is logged to stderr.
// Lines on stdin change its behaviour while it runs (see --help).

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
    int block = 0;    // index of the block last sent
    int sends = 0;    // times that block was sent
};

Meter meter;
Behaviour behaviour;
Memory memory;
std::vector<uint8_t> image; // built at start from the options
BlockTransfer transfer;
int master = -1;
std::mt19937 rng(12345);
const auto started = std::chrono::steady_clock::now();

double secondsSinceStart() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

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

void send(const std::vector<uint8_t> &bytes) {
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

const hygro::ModelTraits &traits() { return *hygro::FindModel(meter.model); }

bool threeReadings() { return traits().temperatures == 2; }

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
    switch (traits().modeKey) {
    case hygro::ModeKey::ClockFormat: if (meter.clockHm) a |= 0x20; break;
    case hygro::ModeKey::Rel: if (meter.rel) a |= 0x20; break;
    case hygro::ModeKey::TimeMode: if (meter.timeMode) a |= 0x20; break;
    }
    if (meter.autoOff) a |= 0x40;
    if (meter.lowBattery) a |= 0x80;

    auto unit = [](double c) { return meter.fahrenheit ? c * 9.0 / 5.0 + 32.0 : c; };
    double values[3] = {meter.rh, unit(meter.t1), threeReadings() ? unit(meter.t2) : 0.0};
    uint8_t b = 0;
    if (meter.logging && traits().logger) b |= 0x01;
    const uint8_t overBits[3] = {0x40, 0x10, 0x04}, negBits[3] = {0x80, 0x20, 0x08};
    uint16_t counts[3];
    for (int k = 0; k < 3; ++k) {
        double v = values[k];
        if (v < 0) b |= negBits[k];
        if ((k == 0 && (v < 0 || v > 100)) || (k > 0 && (v < -200 || v > 2000))) b |= overBits[k];
        counts[k] = uint16_t(std::min(65535.0, std::round(std::fabs(v) * 10.0)));
    }
    if (traits().thirdRow == hygro::ThirdRow::Clock) {
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
    const hygro::ModelTraits &m = traits();
    switch (key) {
    case 'M': meter.recordMode = meter.recordMode == 3 ? 1 : meter.recordMode + 1; break;
    case 'N': meter.recordMode = 0; break;
    case 'H': meter.hold = !meter.hold; break;
    default:
        // The keys that differ by model do what the model's key of that letter does.
        if (key == m.unitKey.command) {
            meter.fahrenheit = !meter.fahrenheit;
        } else if (key == m.thirdKey.command) {
            if (m.logger) meter.logging = !meter.logging;
            else meter.recordMode = 0, meter.hold = false;
        } else if (key == m.fourthKey.command) {
            switch (m.modeKey) {
            case hygro::ModeKey::ClockFormat: meter.clockHm = !meter.clockHm; break;
            case hygro::ModeKey::Rel: meter.rel = !meter.rel; break;
            case hygro::ModeKey::TimeMode: meter.timeMode = !meter.timeMode; break;
            }
        } else if (m.fourthKeyHoldCommand && key == m.fourthKeyHoldCommand) {
            meter.autoOff = !meter.autoOff;
        }
        break;
    }
}

int recordStride() { return memory.stride ? memory.stride : traits().recordStride; }

void put16(std::vector<uint8_t> &b, int v) {
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v & 0xFF));
}

// A logged reading: tenths, the sign in the top bit.
int logged(double v) {
    const int tenths = std::min(0x7FFF, int(std::lround(std::fabs(v) * 10.0)));
    return v < 0 ? 0x8000 | tenths : tenths;
}

void buildImage() {
    image.assign(256, 0);
    const int stride = recordStride();
    std::vector<uint8_t> data;
    const int sets = memory.empty ? 0 : memory.sets;
    for (int s = 0; s < sets; ++s) {
        // Set s starts on 2 March 2026 + s days at 08:00.
        tm t{};
        t.tm_year = 126;
        t.tm_mon = 2;
        t.tm_mday = 2 + s;
        t.tm_hour = 8;
        t.tm_isdst = -1;
        mktime(&t);
        const size_t at = data.size();
        data.insert(data.end(), {0xA5, 0x5A, 0, uint8_t(t.tm_year - 100), uint8_t(t.tm_mon + 1), uint8_t(t.tm_mday),
                                 uint8_t(t.tm_hour), uint8_t(t.tm_min), uint8_t(t.tm_sec)});
        if (memory.badDate == s + 1) data[at + 4] = 13;
        put16(data, memory.rate);
        data.push_back(memory.fahrenheit ? 0x08 : 0x00);
        put16(data, memory.countBeyond == s + 1 ? memory.records + 1000 : memory.records);
        auto unit = [](double c) { return memory.fahrenheit ? c * 9.0 / 5.0 + 32.0 : c; };
        for (int k = 0; k < memory.records; ++k) {
            const double rh = 55 + 20 * std::sin(k / 23.0 + s);
            const double t1 = 22 + 5 * std::sin(k / 31.0 + 2 * s);
            const double t2 = 8 + 14 * std::sin(k / 19.0 + s); // goes below zero
            put16(data, logged(rh));
            put16(data, logged(unit(t1)));
            if (stride >= 6) put16(data, logged(unit(t2)));
            for (int extra = 6; extra < stride; ++extra) data.push_back(0);
        }
        data.push_back(0x5A);
        data.push_back(0xA5);
    }
    image.insert(image.end(), data.begin(), data.end());
    if (memory.padTo > int(image.size())) image.resize(size_t(memory.padTo), 0xFF);
    const int setCount = memory.headerSets >= 0 ? memory.headerSets : sets;
    const int last = memory.headerLast >= 0 ? memory.headerLast : int(image.size()) - 1;
    image[1] = uint8_t(setCount >> 8);
    image[2] = uint8_t(setCount);
    image[3] = uint8_t(last >> 16);
    image[4] = uint8_t(last >> 8);
    image[5] = uint8_t(last);
}

size_t blockCount() { return (image.size() + 63) / 64; }

void sendBlock() {
    const size_t from = size_t(transfer.block) * 64;
    if (memory.stallAt >= 0 && from + 64 > size_t(memory.stallAt)) return; // silence from here on
    std::vector<uint8_t> b(image.begin() + long(from), image.begin() + long(std::min(from + 64, image.size())));
    b.resize(64, 0xFF);
    unsigned sum = 0;
    for (uint8_t x : b) sum += x;
    uint8_t checksum = uint8_t(sum);
    transfer.sends += 1;
    if (transfer.block == memory.alwaysBadChecksum || (transfer.block == memory.badChecksum && transfer.sends == 1))
        checksum ^= 0x5A;
    b.push_back(checksum);
    if (transfer.block == memory.partialBlock && transfer.sends == 1) b.resize(30);
    send(b);
}

void startMemoryTransfer() {
    if (meter.ident == 13) {
        transfer.active = false;
        size_t n = image.size();
        if (memory.stallAt >= 0) n = std::min(n, size_t(memory.stallAt));
        send({image.begin(), image.begin() + long(n)});
        return;
    }
    transfer = BlockTransfer{true, 0, 0};
    sendBlock();
}

// Block mode: the PC's answer to the block last sent.
bool blockAnswer(uint8_t byte) {
    if (!transfer.active) return false;
    if (byte == 'y') {
        if (size_t(transfer.block) + 1 >= blockCount()) {
            transfer.active = false; // that was the last: the meter falls silent
        } else {
            transfer.block += 1;
            transfer.sends = 0;
            sendBlock();
        }
    } else if (byte == 'n') {
        sendBlock();
    } else if (byte == 'Q') {
        transfer.active = false;
        outQueue.clear();
    } else {
        return false;
    }
    return true;
}

void answer(uint8_t byte) {
    if (behaviour.silent) return;
    if (blockAnswer(byte)) return;
    if (byte == 'P' && traits().logger) {
        startMemoryTransfer();
    } else if (byte == 'K') {
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

int memoryOption(const std::string &name, const char *next);

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
    } else if (cmd == "memory") {
        // The rest of the line: memory options as on the command line; the image is built anew.
        std::vector<std::string> words;
        for (std::string w; in >> w;) words.push_back(w);
        if (!arg.empty()) words.insert(words.begin(), arg);
        for (size_t i = 0; ok && i < words.size();) {
            const int taken = memoryOption(words[i], i + 1 < words.size() ? words[i + 1].c_str() : nullptr);
            if (taken <= 0) ok = false;
            else i += size_t(taken);
        }
        buildImage();
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

// A memory option (name and the text after it); returns 0 when `name` is none, the
// number of words it took, or -1 with a message when its value is wrong.
int memoryOption(const std::string &name, const char *next) {
    if (name == "--logger-fahrenheit") return memory.fahrenheit = true, 1;
    if (name == "--empty-memory") return memory.empty = true, 1;
    int *field = nullptr;
    int low = -1, high = 1 << 24, mask = 0;
    if (name == "--sets") field = &memory.sets, low = 0, high = 65535;
    else if (name == "--records") field = &memory.records, low = 0, high = 65535;
    else if (name == "--rate") field = &memory.rate, low = 0, high = 65535;
    else if (name == "--stride") field = &memory.stride, low = 4, high = 6;
    else if (name == "--bad-date") field = &memory.badDate;
    else if (name == "--pad-to") field = &memory.padTo, low = 0;
    else if (name == "--bad-checksum") field = &memory.badChecksum;
    else if (name == "--always-bad-checksum") field = &memory.alwaysBadChecksum;
    else if (name == "--partial-block") field = &memory.partialBlock;
    else if (name == "--stall-at") field = &memory.stallAt;
    else if (name == "--header-sets") field = &memory.headerSets, mask = 0xFFFF;
    else if (name == "--header-last") field = &memory.headerLast, mask = 0xFFFFFF;
    else if (name == "--count-beyond") field = &memory.countBeyond;
    else return 0;
    char *end = nullptr;
    const long v = next ? std::strtol(next, &end, 0) : 0;
    if (!next || !*next || *end || v < low || v > high || (name == "--stride" && v == 5)) {
        fprintf(stderr, "hygrosim: %s needs a number%s\n", name.c_str(), name == "--stride" ? " (4 or 6)" : "");
        return -1;
    }
    *field = mask ? int(v) & mask : int(v);
    return 2;
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
        else if (int taken = memoryOption(a, i + 1 < argc ? argv[i + 1] : nullptr)) {
            if (taken < 0) return 2;
            i += taken - 1;
        }
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

    buildImage();
    std::string stdinLine;
    bool stdinOpen = true;
    std::uniform_int_distribution<int> byteDist(0, 255);
    for (;;) {
        bool wantWrite = false;
        const double due = pump(wantWrite);
        // Paced bytes go out on time to the microsecond, not the millisecond.
        double timeout = behaviour.garbage ? 0 : 0.1;
        if (due > 0) timeout = std::min(timeout, due);
        else if (due == 0 && !wantWrite) timeout = 0;
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
