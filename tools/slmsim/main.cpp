// slmsim: a simulated sound level meter on a pseudo-terminal. Prints the terminal's
// path, logs every command to stderr and runs until killed.

#include "SlmMeter.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sstream>
#include <string>
#include <termios.h>
#include <vector>
#include <unistd.h>

using namespace slmsim;

namespace {

const char *usage = "usage: slmsim [options]\n"
                    "A simulated sound level meter on a pseudo-terminal (9600 8N1). The first line on\n"
                    "stdout is the terminal's path; every command received is logged to stderr.\n"
                    "\n"
                    "  --range N          range code 0-5 (80/20 ... 130/70), default 2\n"
                    "  --weighting W      FAST, SLOW or IMP, default FAST\n"
                    "  --c                frequency weighting C (default A)\n"
                    "  --level DB         the same level on every sub-frame\n"
                    "  --levels A,B,...   sub-frame levels, repeated in turn\n"
                    "  --subframe-ms MS   time per sub-frame, default 125 (eight make one display)\n"
                    "  --memory N         memory size in 64 K blocks, default 4\n"
                    "  --sampling S       the meter's sampling time in seconds, default 1\n"
                    "  --clock 'YYYY-MM-DD hh:mm:ss'   the meter clock at start (default: PC clock)\n"
                    "  --streaming        stream live frames from the start, without waiting for \"A\"\n"
                    "stored data sets (what \"U\" downloads; lists are used in turn, set by set):\n"
                    "  --sets N           number of stored sets; 0, the default, is an empty memory\n"
                    "  --records A,B,...  records per set, default 100\n"
                    "  --set-sampling A,B,...  sampling time per set in seconds, default 1\n"
                    "  --set-range A,B,...     range code per set, default the --range value\n"
                    "  --set-flags A,B,...     weighting byte per set in hex (time weighting bits 0-1,\n"
                    "                     C bit 5), default 0: FAST, A\n"
                    "  --set-levels A,B,...    record levels in dB, repeated in turn in every set\n"
                    "                     (default: a varying level)\n"
                    "  --set-start 'YYYY-MM-DD hh:mm:ss'  start of the first set (default: a day ago);\n"
                    "                     each later set starts a minute after the one before ends\n"
                    "  --paced            send the memory image at the line's real pace, 960 bytes a\n"
                    "                     second (default: as fast as the terminal takes it)\n"
                    "misbehaviour:\n"
                    "  --silent           answer nothing\n"
                    "  --garbage          random bytes in place of every frame and answer\n"
                    "  --bad-framing      live frames without STX/ETX\n"
                    "  --miss-subframe N  never send sub-frame N\n"
                    "  --bad-replies N    the first N answers to queries are bad (clock replies\n"
                    "                     without their AA byte, the others badly framed)\n"
                    "  --bad-pointer N    the first N memory-pointer replies come without framing\n"
                    "  --unmarked-image N the first N memory images start without the set marker\n"
                    "  --silent-image N   the first N \"U\" requests get no answer\n"
                    "\n"
                    "Lines on stdin change the behaviour while running: silent, answer, garbage, clean,\n"
                    "badframe on|off, miss N|off, level DB, range N, badreplies N, badpointer N,\n"
                    "unmarked N, silentimage N, paced on|off; each is answered on stdout with\n"
                    "'ok <line>' or 'error <line>' once it has taken effect.\n";

bool paced = false;

std::vector<std::string> split(const std::string &text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string v;
    while (std::getline(in, v, ',')) out.push_back(v);
    return out;
}

std::vector<int> intList(const std::string &text, int base = 10) {
    std::vector<int> out;
    for (const std::string &v : split(text)) out.push_back(int(std::strtol(v.c_str(), nullptr, base)));
    return out;
}

template <typename T> T pick(const std::vector<T> &list, size_t k, T fallback) {
    return list.empty() ? fallback : list[k % list.size()];
}

std::int64_t nowMs(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

std::string hex(const Bytes &b) {
    std::string s;
    char buf[4];
    for (size_t i = 0; i < b.size(); ++i) {
        std::snprintf(buf, sizeof buf, i ? " %02X" : "%02X", b[i]);
        s += buf;
    }
    return s;
}

bool control(SlmMeter &m, const std::string &line) {
    std::istringstream in(line);
    std::string word, arg;
    in >> word >> arg;
    if (word == "silent")
        m.mis.silent = true;
    else if (word == "answer")
        m.mis.silent = false;
    else if (word == "garbage")
        m.mis.garbage = true;
    else if (word == "clean") {
        m.mis.garbage = false;
        m.mis.badFraming = false;
        m.mis.missSubFrame = -1;
    } else if (word == "badframe")
        m.mis.badFraming = arg != "off";
    else if (word == "miss")
        m.mis.missSubFrame = arg == "off" ? -1 : std::atoi(arg.c_str());
    else if (word == "level") {
        m.steadyLevel = std::atof(arg.c_str());
        m.levels.clear();
    } else if (word == "range")
        m.rangeCode = std::clamp(std::atoi(arg.c_str()), 0, 5);
    else if (word == "badreplies")
        m.mis.badReplies = std::atoi(arg.c_str());
    else if (word == "badpointer")
        m.mis.badPointer = std::atoi(arg.c_str());
    else if (word == "unmarked")
        m.mis.unmarkedImage = std::atoi(arg.c_str());
    else if (word == "silentimage")
        m.mis.silentImage = std::atoi(arg.c_str());
    else if (word == "paced")
        paced = arg != "off";
    else
        return false;
    return true;
}

} // namespace

int main(int argc, char **argv) {
    SlmMeter meter;
    bool streamAtStart = false;
    int setCount = 0;
    std::vector<int> setRecords, setSampling, setRange, setFlags;
    std::vector<double> setLevels;
    std::time_t setStart = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "slmsim: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--help" || a == "-h") {
            std::fputs(usage, stdout);
            return 0;
        } else if (a == "--range")
            meter.rangeCode = std::clamp(std::atoi(next().c_str()), 0, 5);
        else if (a == "--weighting") {
            const std::string w = next();
            meter.timeWeighting = w == "SLOW" ? 1 : w == "IMP" ? 2 : 0;
        } else if (a == "--c")
            meter.weightC = true;
        else if (a == "--level")
            meter.steadyLevel = std::atof(next().c_str());
        else if (a == "--levels") {
            std::istringstream in(next());
            std::string v;
            while (std::getline(in, v, ',')) meter.levels.push_back(std::atof(v.c_str()));
        } else if (a == "--subframe-ms")
            meter.subFrameMs = std::max(1, std::atoi(next().c_str()));
        else if (a == "--memory")
            meter.memoryBlocks = std::clamp(std::atoi(next().c_str()), 0, 255);
        else if (a == "--sampling")
            meter.samplingTime = std::clamp(std::atoi(next().c_str()), 0, 65535);
        else if (a == "--clock") {
            std::tm tm{};
            const std::string v = next();
            if (!strptime(v.c_str(), "%Y-%m-%d %H:%M:%S", &tm)) {
                std::fprintf(stderr, "slmsim: bad --clock\n");
                return 2;
            }
            tm.tm_isdst = -1;
            meter.clockOffset = std::mktime(&tm) - std::time(nullptr);
        } else if (a == "--streaming")
            streamAtStart = true;
        else if (a == "--silent")
            meter.mis.silent = true;
        else if (a == "--garbage")
            meter.mis.garbage = true;
        else if (a == "--bad-framing")
            meter.mis.badFraming = true;
        else if (a == "--miss-subframe")
            meter.mis.missSubFrame = std::atoi(next().c_str());
        else if (a == "--bad-replies")
            meter.mis.badReplies = std::atoi(next().c_str());
        else if (a == "--bad-pointer")
            meter.mis.badPointer = std::atoi(next().c_str());
        else if (a == "--unmarked-image")
            meter.mis.unmarkedImage = std::atoi(next().c_str());
        else if (a == "--silent-image")
            meter.mis.silentImage = std::atoi(next().c_str());
        else if (a == "--sets")
            setCount = std::clamp(std::atoi(next().c_str()), 0, 100000);
        else if (a == "--records")
            setRecords = intList(next());
        else if (a == "--set-sampling")
            setSampling = intList(next());
        else if (a == "--set-range")
            setRange = intList(next());
        else if (a == "--set-flags")
            setFlags = intList(next(), 16);
        else if (a == "--set-levels") {
            for (const std::string &v : split(next())) setLevels.push_back(std::atof(v.c_str()));
        } else if (a == "--set-start") {
            std::tm tm{};
            const std::string v = next();
            if (!strptime(v.c_str(), "%Y-%m-%d %H:%M:%S", &tm)) {
                std::fprintf(stderr, "slmsim: bad --set-start\n");
                return 2;
            }
            tm.tm_isdst = -1;
            setStart = std::mktime(&tm);
        } else if (a == "--paced")
            paced = true;
        else {
            std::fprintf(stderr, "slmsim: unknown option %s\n%s", a.c_str(), usage);
            return 2;
        }
    }

    if (setCount > 0) {
        std::vector<StoredSetSpec> sets;
        std::time_t start = setStart ? setStart : (std::time(nullptr) - 86400) / 60 * 60;
        // What the memory holds past its 16-byte start and the meter's own last block.
        const size_t capacity = size_t(std::max(1, meter.memoryBlocks)) * 65536 - 16 - 256;
        size_t used = 0;
        for (int k = 0; k < setCount; ++k) {
            StoredSetSpec spec;
            spec.records = std::max(1, pick(setRecords, size_t(k), 100));
            spec.sampling = std::clamp(pick(setSampling, size_t(k), 1), 0, 65535);
            spec.rangeCode = pick(setRange, size_t(k), meter.rangeCode) & 0xFF;
            spec.flags = pick(setFlags, size_t(k), 0) & 0xFF;
            spec.start = start;
            spec.levels = setLevels;
            const size_t bytes = 50 + 2 * size_t(spec.records);
            if (used + bytes > capacity) {
                std::fprintf(stderr, "slmsim: the memory holds only the first %d sets\n", k);
                break;
            }
            used += bytes;
            sets.push_back(spec);
            start += std::time_t(spec.records) * spec.sampling + 60;
        }
        meter.storeSets(sets);
    }

    signal(SIGPIPE, SIG_IGN);
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("slmsim: pty");
        return 1;
    }
    const char *name = ptsname(master);
    if (!name) {
        std::perror("slmsim: ptsname");
        return 1;
    }
    const std::string path = name;
    // Our own slave descriptor keeps the line up between the program's opens, and in
    // raw mode nothing is echoed back before the program sets the line itself.
    const int slave = open(path.c_str(), O_RDWR | O_NOCTTY);
    if (slave >= 0) {
        termios t{};
        tcgetattr(slave, &t);
        cfmakeraw(&t);
        cfsetispeed(&t, B9600);
        cfsetospeed(&t, B9600);
        tcsetattr(slave, TCSANOW, &t);
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);

    const auto start = std::chrono::steady_clock::now();
    auto logBytes = [&](const Bytes &b) {
        std::fprintf(stderr, "%.3f %s\n", double(nowMs(start)) / 1000.0, hex(b).c_str());
        std::fflush(stderr);
    };
    if (streamAtStart) {
        Bytes ignored;
        meter.receive({'A', 0, 0, 0}, ignored, [](const Bytes &) {});
    }

    // 9600 baud, 10 bits a byte: a six-byte frame takes 6.25 ms on the line.
    const double frameMs = 6.25;
    double nextFrame = 0;
    bool stdinOpen = true;
    std::string stdinLine;
    Bytes out;
    // 9600 baud: 0.96 bytes a millisecond.
    const double bytesPerMs = 0.96;
    int downloadSeen = 0;
    std::int64_t downloadStart = 0;
    size_t downloadPaced = 0; // bytes of the current image sent so far
    for (;;) {
        const std::int64_t now = nowMs(start);
        int timeout = -1;
        if (meter.streaming()) timeout = std::max(0, int(std::ceil(nextFrame - double(now))));
        short masterEvents = POLLIN;
        if (meter.downloadLeft() > 0) {
            if (!paced) masterEvents |= POLLOUT;
            // In bursts of about ten bytes, as a USB-serial adapter hands them on.
            else
                timeout = timeout < 0 ? 10 : std::min(timeout, 10);
        }
        pollfd fds[2] = {{master, masterEvents, 0}, {stdinOpen ? 0 : -1, POLLIN, 0}};
        const int n = poll(fds, 2, timeout);
        if (n < 0 && errno != EINTR) {
            std::perror("slmsim: poll");
            return 1;
        }

        out.clear();
        if (fds[0].revents & POLLIN) {
            std::uint8_t buf[256];
            const ssize_t got = read(master, buf, sizeof buf);
            if (got > 0) meter.receive(Bytes(buf, buf + got), out, logBytes);
        }
        if (fds[1].revents & (POLLIN | POLLHUP)) {
            char buf[256];
            const ssize_t got = read(0, buf, sizeof buf);
            if (got <= 0)
                stdinOpen = false;
            else {
                stdinLine.append(buf, size_t(got));
                for (size_t nl; (nl = stdinLine.find('\n')) != std::string::npos;) {
                    const std::string line = stdinLine.substr(0, nl);
                    stdinLine.erase(0, nl + 1);
                    // Answered once it has taken effect, so that a test waits for that.
                    const bool ok = control(meter, line);
                    if (!ok) std::fprintf(stderr, "slmsim: unknown control line: %s\n", line.c_str());
                    std::printf("%s %s\n", ok ? "ok" : "error", line.c_str());
                    std::fflush(stdout);
                }
            }
        }
        const std::int64_t t = nowMs(start);
        if (meter.streaming()) {
            if (nextFrame < double(t) - 50) nextFrame = double(t); // no burst after a pause
            if (double(t) >= nextFrame) {
                const Bytes f = meter.liveFrame(t);
                out.insert(out.end(), f.begin(), f.end());
                nextFrame += frameMs;
            }
        } else {
            nextFrame = double(t);
        }
        if (!out.empty()) {
            // A full line (nobody reading) drops bytes, as a meter does not wait.
            const ssize_t w = write(master, out.data(), out.size());
            (void)w;
        }
        // The memory image is not dropped: it goes out as the line takes it.
        if (meter.downloads() != downloadSeen) {
            downloadSeen = meter.downloads();
            downloadStart = nowMs(start);
            downloadPaced = 0;
        }
        if (meter.downloadLeft() > 0) {
            size_t want = meter.downloadLeft();
            if (paced) {
                const double due = double(nowMs(start) - downloadStart) * bytesPerMs;
                want = std::min(want, due > double(downloadPaced) ? size_t(due) - downloadPaced : size_t(0));
            }
            if (want > 0) {
                const ssize_t w = write(master, meter.downloadData(), want);
                if (w > 0) {
                    meter.downloadSent(size_t(w));
                    downloadPaced += size_t(w);
                }
            }
        }
    }
}
