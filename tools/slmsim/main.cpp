// slmsim: a simulated sound level meter on a pseudo-terminal. Prints the terminal's
// path, logs every command to stderr and runs until killed.

#include "SlmMeter.h"

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
#include <unistd.h>

using namespace slmsim;

namespace {

const char *usage =
    "usage: slmsim [options]\n"
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
    "misbehaviour:\n"
    "  --silent           answer nothing\n"
    "  --garbage          random bytes in place of every frame and answer\n"
    "  --bad-framing      live frames without STX/ETX\n"
    "  --miss-subframe N  never send sub-frame N\n"
    "  --bad-replies N    the first N answers to queries are bad (clock replies\n"
    "                     without their AA byte, the others badly framed)\n"
    "\n"
    "Lines on stdin change the behaviour while running: silent, answer, garbage, clean,\n"
    "badframe on|off, miss N|off, level DB, range N, badreplies N; each is answered on\n"
    "stdout with 'ok <line>' or 'error <line>' once it has taken effect.\n";

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
    if (word == "silent") m.mis.silent = true;
    else if (word == "answer") m.mis.silent = false;
    else if (word == "garbage") m.mis.garbage = true;
    else if (word == "clean") { m.mis.garbage = false; m.mis.badFraming = false; m.mis.missSubFrame = -1; }
    else if (word == "badframe") m.mis.badFraming = arg != "off";
    else if (word == "miss") m.mis.missSubFrame = arg == "off" ? -1 : std::atoi(arg.c_str());
    else if (word == "level") { m.steadyLevel = std::atof(arg.c_str()); m.levels.clear(); }
    else if (word == "range") m.rangeCode = std::clamp(std::atoi(arg.c_str()), 0, 5);
    else if (word == "badreplies") m.mis.badReplies = std::atoi(arg.c_str());
    else return false;
    return true;
}

} // namespace

int main(int argc, char **argv) {
    SlmMeter meter;
    bool streamAtStart = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) { std::fprintf(stderr, "slmsim: %s needs a value\n", a.c_str()); std::exit(2); }
            return argv[++i];
        };
        if (a == "--help" || a == "-h") { std::fputs(usage, stdout); return 0; }
        else if (a == "--range") meter.rangeCode = std::clamp(std::atoi(next().c_str()), 0, 5);
        else if (a == "--weighting") {
            const std::string w = next();
            meter.timeWeighting = w == "SLOW" ? 1 : w == "IMP" ? 2 : 0;
        } else if (a == "--c") meter.weightC = true;
        else if (a == "--level") meter.steadyLevel = std::atof(next().c_str());
        else if (a == "--levels") {
            std::istringstream in(next());
            std::string v;
            while (std::getline(in, v, ',')) meter.levels.push_back(std::atof(v.c_str()));
        } else if (a == "--subframe-ms") meter.subFrameMs = std::max(1, std::atoi(next().c_str()));
        else if (a == "--memory") meter.memoryBlocks = std::clamp(std::atoi(next().c_str()), 0, 255);
        else if (a == "--sampling") meter.samplingTime = std::clamp(std::atoi(next().c_str()), 0, 65535);
        else if (a == "--clock") {
            std::tm tm{};
            const std::string v = next();
            if (!strptime(v.c_str(), "%Y-%m-%d %H:%M:%S", &tm)) { std::fprintf(stderr, "slmsim: bad --clock\n"); return 2; }
            tm.tm_isdst = -1;
            meter.clockOffset = std::mktime(&tm) - std::time(nullptr);
        } else if (a == "--streaming") streamAtStart = true;
        else if (a == "--silent") meter.mis.silent = true;
        else if (a == "--garbage") meter.mis.garbage = true;
        else if (a == "--bad-framing") meter.mis.badFraming = true;
        else if (a == "--miss-subframe") meter.mis.missSubFrame = std::atoi(next().c_str());
        else if (a == "--bad-replies") meter.mis.badReplies = std::atoi(next().c_str());
        else { std::fprintf(stderr, "slmsim: unknown option %s\n%s", a.c_str(), usage); return 2; }
    }

    signal(SIGPIPE, SIG_IGN);
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) { std::perror("slmsim: pty"); return 1; }
    const char *name = ptsname(master);
    if (!name) { std::perror("slmsim: ptsname"); return 1; }
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
    for (;;) {
        const std::int64_t now = nowMs(start);
        int timeout = -1;
        if (meter.streaming()) timeout = std::max(0, int(std::ceil(nextFrame - double(now))));
        pollfd fds[2] = {{master, POLLIN, 0}, {stdinOpen ? 0 : -1, POLLIN, 0}};
        const int n = poll(fds, 2, timeout);
        if (n < 0 && errno != EINTR) { std::perror("slmsim: poll"); return 1; }

        out.clear();
        if (fds[0].revents & POLLIN) {
            std::uint8_t buf[256];
            const ssize_t got = read(master, buf, sizeof buf);
            if (got > 0) meter.receive(Bytes(buf, buf + got), out, logBytes);
        }
        if (fds[1].revents & (POLLIN | POLLHUP)) {
            char buf[256];
            const ssize_t got = read(0, buf, sizeof buf);
            if (got <= 0) stdinOpen = false;
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
    }
}
