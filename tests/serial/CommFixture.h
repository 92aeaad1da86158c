#pragma once
// A TComm on the slave side of a fresh pseudo-terminal; the test plays the far end on
// the master.

#include "serial/Comm.h"

#include "platform/forms/Dialogs.h"
#include "platform/forms/Exceptions.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <termios.h>

#include <memory>
#include <string>

namespace commtest {

inline bool onGuiThread() { return QThread::currentThread() == QCoreApplication::instance()->thread(); }

using testsupport::threadCount;

// The message of the forms::Exception that `call` raises, or "" when none.
template <typename F> QString raised(F &&call) {
    try {
        call();
    } catch (const forms::Exception &e) {
        return e.Message();
    }
    return {};
}

struct TCommPty : ::testing::Test {
    testsupport::PtyPair pty;
    std::unique_ptr<serial::Comm::TComm> comm;

    void SetUp() override {
        forms::DialogScript().reset();
        comm = std::make_unique<serial::Comm::TComm>(nullptr);
        comm->SetDeviceName(QString::fromStdString(pty.slavePath()));
    }
    void TearDown() override {
        comm.reset();
        forms::DialogScript().reset();
    }

    termios line() const {
        termios t{};
        tcgetattr(pty.master(), &t);
        return t;
    }

    // Reads whatever is queued, as a receive handler does.
    std::string drain() {
        std::string bytes(size_t(std::max(0, comm->InQueCount())), '\0');
        if (!bytes.empty()) bytes.resize(size_t(std::max(0, comm->Read(bytes.data(), int(bytes.size())))));
        return bytes;
    }
};

} // namespace commtest
