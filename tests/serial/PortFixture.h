#pragma once
// A port on the slave side of a fresh pseudo-terminal, with the application's stored
// settings (9600 baud, 8 data bits, no parity, 1 stop bit); the test plays the meter
// on the master.

#include "serial/ComPort.h"

#include "platform/forms/Dialogs.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <termios.h>

#include <memory>

namespace serialtest {

inline bool onGuiThread() { return QThread::currentThread() == QCoreApplication::instance()->thread(); }

struct PortTest : ::testing::Test {
    testsupport::PtyPair pty;
    std::unique_ptr<serial::TComPort> port;

    void SetUp() override {
        forms::DialogScript().reset();
        port = std::make_unique<serial::TComPort>(nullptr);
        port->SetDeviceName(QString::fromStdString(pty.slavePath()));
        port->SetBaudRate(serial::br9600);
        port->SetDataBits(serial::db8);
        port->SetParity(serial::paNone);
        port->SetStopBits(serial::sb1);
    }
    void TearDown() override {
        port.reset();
        forms::DialogScript().reset();
    }

    // The line settings as the other end of the pair sees them.
    termios line() const {
        termios t{};
        tcgetattr(pty.master(), &t);
        return t;
    }
};

} // namespace serialtest
