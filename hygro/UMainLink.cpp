// TfrmMain's meter link: the search for the meter on the ports, its identification,
// the poll tick, the receive handler and the choice of port.

#include "hygro/UMain.h"

#include "hygro/UAbout.h"
#include "hygro/UGraph.h"
#include "hygro/UList.h"
#include "hygro/UPanel.h"
#include "hygro/core/PollTick.h"

#include "platform/comm/Comm.h"
#include "platform/forms/Exceptions.h"
#include "platform/forms/Sync.h"
#include "serial/ComPort.h"

#include <QAction>
#include <QComboBox>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

namespace hygro {

const QString DevicePrefix;

namespace {

const QString NoConnection = QStringLiteral("No Connection");

} // namespace

bool TfrmMain::ParseIdentReply(const unsigned char *reply) {
    const IdentResult r = hygro::ParseIdentReply(reply);
    MeterModel = r.model;
    IdentByte = r.identByte;
    return r.accepted;
}

namespace {

// Switches the port on; a failure to open is not raised but told in words.
void openPort(serial::TComPort *port, QStringList *failures) {
    try {
        port->SetActive(true);
    } catch (const serial::EComError &e) {
        if (failures && e.ErrorCode() != 0)
            *failures << QString::fromStdString(
                win::OpenFailureText(port->DeviceName().toStdString(), win::DWORD(e.ErrorCode())));
    } catch (const forms::Exception &) {
        // Not a system error: the port simply stays closed and the caller goes on.
    }
}

// Status bar panel 0: why the ports tried could not be opened; empty once one answers.
void showOpenFailures(TfrmMain &main, const QStringList &failures) {
    main.SetStatusText(0, failures.join(QStringLiteral("  ")));
    main.statusBar()->setToolTip(failures.join(QLatin1Char('\n')));
}

} // namespace

void TfrmMain::SearchMeter() {
    Comm1->SetOnRxChar(nullptr);
    QStringList failures;
    for (int i = 0; i < ComboBoxDeviceName->count(); ++i) {
        ComboBoxDeviceName->setCurrentIndex(i);
        Comm1->SetDeviceName(DevicePrefix + ComboBoxDeviceName->currentText());
        if (frmAbout) frmAbout->SetProgress(QStringLiteral("Searching Meter on ") + Comm1->DeviceName());
        Delay(300);
        openPort(Comm1.get(), &failures);
        if (!Comm1->Active()) continue;
        try {
            commandByte_ = 'K';
            Comm1->Write(&commandByte_, 1, false);
            Delay(1000);
            if (Comm1->InputCount() >= 4) {
                unsigned char reply[4] = {};
                Comm1->Read(reply, 4, true);
                LinkUp = ParseIdentReply(reply);
            }
        } catch (const forms::Exception &) {
            LinkUp = false; // a port that fails while asked is no meter
        }
        if (LinkUp) break;
        try {
            Comm1->SetActive(false);
        } catch (const forms::Exception &) {
            // The next port takes the control's device either way; nothing was read from this one.
        }
    }
    Comm1->SetOnRxChar(forms::Bind(this, &TfrmMain::Comm1RxChar));

    if (LinkUp) {
        MissedPolls = 0;
        SetStatusText(1, Comm1->DeviceName());
        if (frmPanel) frmPanel->lblnolink->hide();
    } else {
        SetStatusText(1, NoConnection);
        showOpenFailures(*this, failures);
        if (frmPanel) frmPanel->lblnolink->show();
        ComboBoxDeviceName->setCurrentIndex(0);
        Comm1->SetDeviceName(DevicePrefix + ComboBoxDeviceName->currentText());
        openPort(Comm1.get(), nullptr); // its failure, if any, is told already
    }
}

void TfrmMain::writePortByte(char command) {
    if (!Comm1->Active()) return;
    commandByte_ = static_cast<unsigned char>(command);
    Comm1->Write(&commandByte_, 1, false);
}

void TfrmMain::MainTimerTimer() {
    TimerBusy = true;
    struct Clear {
        ~Clear() { TimerBusy = false; }
    } clearBusy;
    const QDateTime now = QDateTime::currentDateTime();
    const bool wasLinked = LinkUp; // the MAX/MIN blink goes on in the tick that loses the link

    PollTickState state{TicksSinceSample, MissedPolls, Key0Down,      Key0HoldTicks, Key4Down,
                        Key4HoldTicks,    KeySent,     FrameReceived, LinkUp};
    const PollTickResult tick = PollTick(state, {MeterModel, Running, RealTimeRate});
    TicksSinceSample = state.ticksSinceSample;
    MissedPolls = state.missedPolls;
    Key0Down = state.key0Down;
    Key0HoldTicks = state.key0HoldTicks;
    Key4Down = state.key4Down;
    Key4HoldTicks = state.key4HoldTicks;
    KeySent = state.keySent;
    FrameReceived = state.frameReceived;
    LinkUp = state.linkUp;

    for (const char command : tick.keyCommands) {
        try {
            writePortByte(command);
        } catch (const forms::Exception &) {
            // The port is gone: the poll tick reports the lost link.
        }
    }
    if (tick.maxMinReleased && !Display.HoldMode) {
        if (frmPanel) {
            frmPanel->imgMAX->hide();
            frmPanel->imgMIN->hide();
        }
        Display.MaxMinBlink = false;
    }

    if (Display.MaxMinBlink && frmPanel && wasLinked) {
        MaxMinBlinkPhase = !MaxMinBlinkPhase;
        frmPanel->imgMAX->setVisible(MaxMinBlinkPhase);
        frmPanel->imgMIN->setVisible(MaxMinBlinkPhase);
    }
    if (Display.RecBlink && frmPanel) {
        RecBlinkPhase = !RecBlinkPhase;
        frmPanel->imgREC->setVisible(RecBlinkPhase && !Display.TimeMode);
    }

    if (tick.sampleDue) {
        if (RealTimeGraph) AppendGraphPoint(now);
        if (RealTimeList) {
            RowsAdded = true;
            AppendGridRow(now);
        }
    }
    if (tick.linkLost) {
        btnRun->setEnabled(false);
        mnuRun->setEnabled(false);
        try {
            Comm1->PurgeInput();
        } catch (const forms::Exception &) {
            // The link is dropped anyway; stale bytes are what the purge would lose.
        }
        // A reading byte of 0x02 can hold the cutter's ten-byte steps on it frame
        // after frame (RH 51.2 to 76.7 % puts one in every frame): start afresh.
        RxBuffer.clear();
        Display.MaxMinBlink = false;
        SetStatusText(1, NoConnection);
    }

    const bool firstTick = FirstTick;
    const double elapsed = tickClock_.nsecsElapsed() / 1e9;
    const int interval = NextInterval(FirstTick, LinkUp, MainTimer->interval(), elapsed);
    tickClock_.start();
    // Setting the interval restarts the timer: the first tick of a linked meter leaves
    // it running as it was started.
    if (!firstTick || !LinkUp) MainTimer->setInterval(interval);

    // A port that closed under a linked meter (the device vanished) takes no poll, and
    // the silence counts towards the lost link.
    if (tick.poll && Comm1->Active()) {
        try {
            writePortByte('A');
        } catch (const forms::Exception &) {
            // A port that vanished takes no poll; the silence then counts as a lost link.
        }
    }
}

void TfrmMain::Comm1RxChar(forms::TObject *) {
    RxBusy = true;
    struct Clear {
        ~Clear() { RxBusy = false; }
    } clearBusy;
    int count = 0;
    try {
        const int n = Comm1->InputCount();
        if (n > 0) {
            count = std::min(n, RxChunk);
            Comm1->Read(rxChunk_, count, true);
        }
    } catch (const forms::Exception &) {
        return; // the device is gone; the poll tick reports the lost link
    }
    for (const RealTimeFrame &frame : ReceiveFrames(RxBuffer, rxChunk_, size_t(count))) {
        FrameReceived = true;
        if (!LinkUp) {
            LinkUp = true;
            SetStatusText(1, Comm1->DeviceName());
            showOpenFailures(*this, {});
        }
        DecodeFrame(frame);
        UpdateAnnunciators();
        if (frmPanel) frmPanel->RefreshPanel();
    }
}

void TfrmMain::ComboBoxDeviceNameChange() {
    WaitWhile([] { return TimerBusy; });
    try {
        Comm1->SetActive(false);
    } catch (const forms::Exception &) {
        // A port that fails to close is given up; the control opens the new one.
    }
    Comm1->SetDeviceName(DevicePrefix + ComboBoxDeviceName->currentText());
    QStringList failures;
    openPort(Comm1.get(), &failures);
    showOpenFailures(*this, failures);
}

void TfrmMain::DecodeFrame(const RealTimeFrame &frame) {
    hygro::DecodeFrame(Display, frame, MeterModel, QDateTime::currentDateTime());
}

void TfrmMain::UpdateAnnunciators() { hygro::UpdateAnnunciators(Display, MeterModel); }

} // namespace hygro
