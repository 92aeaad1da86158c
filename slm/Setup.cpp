#include "Setup.h"

#include "slm/core/Meter.h"
#include "slm/core/MeterLink.h"
#include "Panel.h"
#include "slm/core/Rs232.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace slm {

Setup::Setup() : Timer1(this, 350) {
    setWindowTitle("Setup");
    auto *v = new QVBoxLayout(this);
    FrameTime = new QGroupBox("Time", this);
    auto *f = new QVBoxLayout(FrameTime);
    LblMeterTime = new QLabel("Meter Time", FrameTime);
    LblPCTime = new QLabel("PC System Time", FrameTime);
    for (QLabel *l : {LblMeterTime, LblPCTime}) {
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setAlignment(Qt::AlignCenter);
        l->setMinimumWidth(200);
        l->setCursor(Qt::PointingHandCursor);
        l->installEventFilter(this);
        f->addWidget(l);
    }
    v->addWidget(FrameTime);
    auto *buttons = new QHBoxLayout;
    CmdSetTime = new QPushButton("Set Meter Time To System Time", this);
    CmdExit = new QPushButton("Exit", this);
    buttons->addWidget(CmdSetTime);
    buttons->addWidget(CmdExit);
    v->addLayout(buttons);
    connect(CmdSetTime, &QPushButton::clicked, this, [this] { CmdSetTime_Click(); });
    connect(CmdExit, &QPushButton::clicked, this, [this] { CmdExit_Click(); });
    Timer1.OnTimer = [this] { Timer1_Timer(); };
    Form_Load();
}

Setup::~Setup() {
    if (!unloaded_) Form_Unload();
}

void Setup::Form_Load() {
    adjustSize();
    if (PanelForm) {
        const QRect p = vb::FormGeometry(PanelForm);
        vb::MoveForm(this, p.left() + (p.width() - vb::FormGeometry(this).width()) / 2,
                     p.top() + vb::TwipsToPixelsY(1000));
    }
    showMeterClock_ = false;
    showPcClock_ = false;
    Timer1.SetEnabled(true);
}

void Setup::Form_Unload() {
    unloaded_ = true;
    Timer1.SetEnabled(false);
    if (PanelForm) PanelForm->Timer1.SetEnabled(true);
}

void Setup::closeEvent(QCloseEvent *event) {
    if (!unloaded_) Form_Unload();
    event->accept();
}

bool Setup::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == LblMeterTime) {
            LblMeterTime_Click();
            return true;
        }
        if (watched == LblPCTime) {
            LblPCTime_Click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Setup::LblMeterTime_Click() { showMeterClock_ = !showMeterClock_; }
void Setup::LblPCTime_Click() { showPcClock_ = !showPcClock_; }

bool Setup::queryClock(int what, QString fields[3]) {
    vb::MSComm &COM = PanelForm->COM;
    for (;;) {
        COM.SetInputLen(0);
        COM.Input();
        if (!SendMeterCommand(COM, vb::Bytes({'R', 0, 0, what}))) return false;
        Delay(0.1);
        if (vb::Ended() || unloaded_) return false;
        const QByteArray reply = COM.Input();
        if (IsClockReply(reply)) {
            for (int i = 0; i < 3; ++i) fields[i] = BcdText(quint8(reply[2 + i]));
            return true;
        }
    }
}

void Setup::Timer1_Timer() {
    if (showMeterClock_ && PanelForm && PanelForm->COM.PortOpen()) {
        PanelForm->Timer1.SetEnabled(false);
        QString date[3], time[3];
        if (!queryClock(0x80, date) || !queryClock(0x83, time)) return;
        LblMeterTime->setText(date[0] + "/" + date[1] + "/" + date[2] + " " + time[0] + ":" + time[1] + ":" + time[2]);
    } else {
        LblMeterTime->setText("Meter Time");
    }
    if (showPcClock_) {
        const QDateTime now = QDateTime::currentDateTime();
        LblPCTime->setText(vb::Format(now, "yy/mm/dd") + " " + vb::Format(now, "hh:mm:ss"));
    } else {
        LblPCTime->setText("PC System Time");
    }
}

void Setup::CmdSetTime_Click() {
    if (!PanelForm) return;
    Timer1.SetEnabled(false);
    // One reading of the clock for all six fields, so that they cannot straddle midnight.
    const QDateTime now = QDateTime::currentDateTime();
    if (!SendMeterCommand(PanelForm->COM, SetDateCommand(now))) return;
    Delay(0.02);
    if (vb::Ended()) return;
    if (!SendMeterCommand(PanelForm->COM, SetTimeCommand(now))) return;
    if (!unloaded_) Timer1.SetEnabled(true);
}

void Setup::CmdExit_Click() { close(); }

} // namespace slm
