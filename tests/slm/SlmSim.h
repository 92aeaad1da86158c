#pragma once
// The simulated meter as a child process, for tests: its terminal path, its command
// log and its control lines.

#include "support/Simulator.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

class SlmSim : public testsupport::Simulator {
public:
    explicit SlmSim(const QStringList &args = {}) : Simulator("slmsim", args) {}

    // Sends a control line and waits until the simulator says it has taken effect; one
    // it did not take fails the test.
    bool control(const QString &line) {
        if (Simulator::control(line)) return true;
        ADD_FAILURE() << "slmsim did not take the control line " << line.toStdString();
        return false;
    }

    // Every command logged so far, as its hex bytes ("4B 00 00 01").
    QStringList commands() {
        QStringList out;
        for (const QString &line : log().split('\n', Qt::SkipEmptyParts)) {
            const int blank = line.indexOf(' ');
            if (blank > 0) out << line.mid(blank + 1);
        }
        return out;
    }
    int count(const QString &hex) { return int(commands().count(hex)); }
};
