#pragma once
// A meter simulator of tools/ run as a child process for a test or a benchmark: the
// first line it prints is the path of its terminal; it answers each control line sent
// to its stdin with "ok <line>" or "error <line>", logs what it receives on stderr,
// and is killed with the test.

#include "support/TestSupport.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <chrono>

namespace testsupport {

class Simulator {
public:
    // `program` is the simulator's name in the build's bin folder. Its log is kept for
    // log(), or with a `logFile` written there (a long run unread would fill the pipe
    // and stall the simulator; QProcess::nullDevice() drops it).
    Simulator(const QString &program, const QStringList &args, const QString &logFile = QString()) {
        proc_.setProgram(QString::fromStdString(binDir()) + "/" + program);
        proc_.setArguments(args);
        if (!logFile.isEmpty()) proc_.setStandardErrorFile(logFile);
        proc_.start();
        if (!proc_.waitForStarted(5000)) return;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!proc_.canReadLine() && waitOnPipe(deadline)) {}
        if (proc_.canReadLine()) path_ = QString::fromLocal8Bit(proc_.readLine()).trimmed();
    }
    ~Simulator() { stop(); }
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    const QString &path() const { return path_; }
    bool ok() const { return !path_.isEmpty(); }
    bool running() const { return proc_.state() == QProcess::Running; }
    qint64 pid() const { return proc_.processId(); }

    // Sends a control line and waits until the simulator has acted on it: true when it
    // took it, false when it refused it or did not answer. The wait is on the
    // simulator's pipe alone, not in the event loop: a poll tick run inside it could
    // find the meter silent and start the endless resync there, under this call.
    // Answers to other lines are kept until asked for, so a control line sent from
    // inside this wait (a test step run by the program's own waits) keeps its own.
    bool control(const QString &line) {
        send(line);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        do {
            while (proc_.canReadLine()) answers_ << QString::fromLocal8Bit(proc_.readLine()).trimmed();
            if (answers_.removeOne("ok " + line)) return true;
            if (answers_.removeOne("error " + line)) return false;
        } while (waitOnPipe(deadline));
        return false;
    }
    // Sends a line without waiting for an answer.
    void send(const QString &line) {
        proc_.write((line + "\n").toLocal8Bit());
        proc_.waitForBytesWritten(1000);
    }

    void stop() {
        if (proc_.state() == QProcess::NotRunning) return;
        proc_.kill();
        proc_.waitForFinished(5000);
    }

protected:
    // What the simulator has logged so far.
    const QString &log() {
        log_ += QString::fromLocal8Bit(proc_.readAllStandardError());
        return log_;
    }
    // Waits for output until the deadline; false once it has passed or the simulator ended.
    bool waitOnPipe(std::chrono::steady_clock::time_point deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || proc_.state() == QProcess::NotRunning) return false;
        proc_.waitForReadyRead(int(std::min<long long>(left.count(), 100)));
        return true;
    }

    QProcess proc_;

private:
    QString path_;
    QString log_;
    QStringList answers_;
};

} // namespace testsupport
