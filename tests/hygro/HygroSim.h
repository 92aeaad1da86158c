#pragma once
// Runs tools/hygrosim for a test: its terminal, its control lines and the bytes it
// received.

#include "support/Simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <string>

namespace hygrotest {

class HygroSim : public testsupport::Simulator {
public:
    explicit HygroSim(const QStringList &args) : Simulator("hygrosim", args) {}

    // Sends a control line and waits until the simulator has acted on it; "close" ends
    // the simulator, which then answers nothing.
    bool control(const QString &line) {
        if (line != QLatin1String("close")) return Simulator::control(line);
        send(line);
        return true;
    }
    // Closes the terminal: to the program the device vanishes.
    void closeTerminal() {
        control(QStringLiteral("close"));
        proc_.waitForFinished(5000);
    }
    // What it logged: one line per byte received, "<seconds> <hex>".
    QStringList receivedBytes() {
        proc_.setReadChannel(QProcess::StandardError);
        while (proc_.waitForReadyRead(100)) log();
        proc_.setReadChannel(QProcess::StandardOutput);
        QStringList bytes;
        for (const QString &line : log().split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            QStringList parts = line.split(QLatin1Char(' '));
            if (parts.size() == 2 && parts[1].size() == 2) bytes << parts[1];
        }
        return bytes;
    }
};

// A raw client descriptor on the simulator's terminal, for tests that play the program.
inline int openRaw(const QString &path) {
    int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return fd;
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    return fd;
}

// Reads until `count` bytes came or `ms` passed.
inline std::string readFor(int fd, size_t count, int ms) {
    std::string out;
    for (int waited = 0; out.size() < count && waited < ms; waited += 10) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 10) > 0 && (p.revents & POLLIN)) {
            char buf[512];
            ssize_t n = ::read(fd, buf, std::min(sizeof buf, count - out.size()));
            if (n > 0) out.append(buf, size_t(n));
        }
    }
    return out;
}

} // namespace hygrotest
