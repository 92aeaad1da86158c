#pragma once
// Runs tools/hygrosim for a test: starts it, reads the path of its terminal, sends
// control lines to its stdin and ends it with the test.

#include "support/TestSupport.h"

#include <QProcess>
#include <QStringList>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <string>

namespace hygrotest {

class HygroSim {
public:
    explicit HygroSim(const QStringList &args) {
        proc_.setProgram(QString::fromStdString(testsupport::binDir() + "/hygrosim"));
        proc_.setArguments(args);
        proc_.start();
        if (!proc_.waitForStarted(5000)) return;
        if (proc_.waitForReadyRead(5000)) path_ = QString::fromLocal8Bit(proc_.readLine()).trimmed();
    }
    ~HygroSim() { stop(); }
    HygroSim(const HygroSim &) = delete;
    HygroSim &operator=(const HygroSim &) = delete;

    const QString &path() const { return path_; }
    bool running() const { return proc_.state() == QProcess::Running; }
    // Sends a control line and waits until the simulator has acted on it.
    bool control(const QString &line) {
        proc_.write((line + QLatin1Char('\n')).toLocal8Bit());
        proc_.waitForBytesWritten(1000);
        if (line == QLatin1String("close")) return true;
        for (int i = 0; i < 100; ++i) {
            while (proc_.canReadLine()) {
                QString answer = QString::fromLocal8Bit(proc_.readLine()).trimmed();
                if (answer.endsWith(line)) return answer.startsWith(QLatin1String("ok"));
            }
            proc_.waitForReadyRead(50);
        }
        return false;
    }
    // Closes the terminal: to the program the device vanishes.
    void closeTerminal() {
        control(QStringLiteral("close"));
        proc_.waitForFinished(5000);
    }
    // What it logged: one line per byte received, "<seconds> <hex>".
    QStringList receivedBytes() {
        proc_.setReadChannel(QProcess::StandardError);
        while (proc_.waitForReadyRead(100)) log_ += QString::fromLocal8Bit(proc_.readAllStandardError());
        log_ += QString::fromLocal8Bit(proc_.readAllStandardError());
        proc_.setReadChannel(QProcess::StandardOutput);
        QStringList bytes;
        for (const QString &line : log_.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            QStringList parts = line.split(QLatin1Char(' '));
            if (parts.size() == 2 && parts[1].size() == 2) bytes << parts[1];
        }
        return bytes;
    }
    void stop() {
        if (proc_.state() == QProcess::NotRunning) return;
        proc_.kill();
        proc_.waitForFinished(5000);
    }

private:
    QProcess proc_;
    QString path_;
    QString log_;
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
