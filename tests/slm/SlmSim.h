#pragma once
// The simulated meter as a child process, for tests: its terminal path, its command
// log and its control lines.

#include "support/TestSupport.h"

#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

class SlmSim {
public:
    explicit SlmSim(const QStringList &args = {}) {
        proc_.setProgram(QString::fromStdString(testsupport::binDir() + "/slmsim"));
        proc_.setArguments(args);
        proc_.start();
        if (!proc_.waitForStarted(5000)) return;
        testsupport::waitUntil([&] { return proc_.canReadLine(); }, std::chrono::seconds(5));
        path_ = QString::fromLocal8Bit(proc_.readLine()).trimmed();
    }
    ~SlmSim() { stop(); }

    const QString &path() const { return path_; }
    bool ok() const { return !path_.isEmpty(); }

    // Sends a control line and waits until the simulator says it has taken effect. The
    // wait is on the simulator's pipe alone, not in the event loop: a poll tick run
    // inside it could find the meter silent and start the endless resync there, under
    // this call, which would then never return.
    bool control(const QString &line) {
        proc_.write((line + "\n").toLocal8Bit());
        proc_.waitForBytesWritten(1000);
        // Answers are kept until asked for: a control line sent from inside this wait
        // (a test step run by the program's own waits) must not swallow this one's.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (;;) {
            while (proc_.canReadLine()) answers_ << QString::fromLocal8Bit(proc_.readLine()).trimmed();
            if (answers_.removeOne("ok " + line)) return true;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || proc_.state() == QProcess::NotRunning) break;
            proc_.waitForReadyRead(int(std::min<long long>(left.count(), 100)));
        }
        ADD_FAILURE() << "slmsim did not take the control line " << line.toStdString();
        return false;
    }

    // Every command logged so far, as its hex bytes ("4B 00 00 01").
    QStringList commands() {
        log_ += QString::fromLocal8Bit(proc_.readAllStandardError());
        QStringList out;
        for (const QString &line : log_.split('\n', Qt::SkipEmptyParts)) {
            const int blank = line.indexOf(' ');
            if (blank > 0) out << line.mid(blank + 1);
        }
        return out;
    }
    int count(const QString &hex) { return int(commands().count(hex)); }

    void stop() {
        if (proc_.state() != QProcess::NotRunning) {
            proc_.kill();
            proc_.waitForFinished(3000);
        }
    }

private:
    QProcess proc_;
    QString path_;
    QString log_;
    QStringList answers_;
};
