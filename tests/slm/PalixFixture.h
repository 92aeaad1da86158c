#pragma once
// Palix started as a user starts it, on the simulated meter, for the end-to-end tests:
// the shared state reset before, every window gone after, and steps that run inside
// the program's own waits.

#include "SlmSim.h"
#include "platform/forms/Dialogs.h"
#include "platform/vb/Runtime.h"
#include "slm/core/FileTransfer.h"
#include "slm/core/Meter.h"
#include "slm/Panel.h"
#include "slm/Port.h"
#include "slm/core/Rs232.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <vector>

// Steps run from a timer, so that they also run inside the program's own waits (a
// handshake with a silent meter never returns to the test's loop). Each step waits for
// its condition, then acts; an act that itself waits (a click into a handshake) is
// deferred with QTimer::singleShot, since the steps' timer does not run again while
// its own handler waits. On time-out the program is ended, which unwinds its waits.
class Steps {
public:
    void then(std::function<bool()> cond, std::function<void()> act = {}) {
        steps_.push_back({std::move(cond), std::move(act)});
    }
    bool run(std::chrono::milliseconds timeout) {
        QDeadlineTimer deadline(timeout.count());
        bool timedOut = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            while (next_ < steps_.size() && steps_[next_].cond()) {
                auto act = steps_[next_++].act;
                if (act) act();
            }
            if (next_ < steps_.size() && deadline.hasExpired() && !timedOut) {
                timedOut = true;
                ADD_FAILURE() << "step " << next_ << " not reached";
                vb::End();
            }
        });
        poll.start(10);
        testsupport::waitUntil([&] { return next_ == steps_.size() || timedOut; }, timeout + std::chrono::seconds(30));
        return !timedOut && next_ == steps_.size();
    }

private:
    struct Step {
        std::function<bool()> cond;
        std::function<void()> act;
    };
    std::vector<Step> steps_;
    size_t next_ = 0;
};

class PalixProgram : public ::testing::Test {
protected:
    void SetUp() override {
        slm::ResetMeterState();
        slm::ResetFileTransferState();
        slm::PortNumber = 0;
        vb::ResetEnded();
        forms::DialogScript().reset();
    }
    void TearDown() override {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w != slm::PanelForm) w->close();
        delete slm::PanelForm;
        testsupport::processPendingDeletes();
        qunsetenv("METER_PORTS");
    }

    // The port window with `answer` typed in it, and OK.
    slm::Panel *open(const QString &ports, const QString &answer) {
        qputenv("METER_PORTS", ports.toLocal8Bit());
        auto *port = new slm::Port;
        port->show();
        port->TxtCOM->setEditText(answer);
        port->CmdOK_Click();
        return slm::PanelForm;
    }
    // The program on COM1, the simulated meter, once it shows a level.
    slm::Panel *startLive(SlmSim &sim) {
        EXPECT_TRUE(sim.ok());
        slm::Panel *p = open(sim.path(), "COM1");
        EXPECT_TRUE(p && testsupport::waitUntil([&] { return live(p); }, std::chrono::seconds(10)));
        return p;
    }
    static bool live(slm::Panel *p) { return p->LblCOM->text() == "COM1" && !p->LblValue->text().isEmpty(); }
    // A click on the toolbar button with this key.
    static void press(slm::Panel *p, const QString &key) {
        for (int i = 1; i <= 18; ++i)
            if (p->Buttons(i).Key == key) return p->Toolbar1_ButtonClick(p->Buttons(i));
        ADD_FAILURE() << "no button " << key.toStdString();
    }
};
