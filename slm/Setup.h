#pragma once
// Setup: the meter clock window. Shows the meter's clock beside the PC clock and sets
// the meter clock to the PC time, through Panel's COM.

#include "platform/vb/Runtime.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace slm {

class Setup : public QWidget {
public:
    Setup();
    ~Setup() override;

    QGroupBox *FrameTime = nullptr;
    QLabel *LblMeterTime = nullptr, *LblPCTime = nullptr;
    QPushButton *CmdSetTime = nullptr, *CmdExit = nullptr;
    vb::Timer Timer1;

    void Form_Load();
    void Form_Unload();
    void Timer1_Timer();
    void CmdSetTime_Click();
    void CmdExit_Click();
    void LblMeterTime_Click();
    void LblPCTime_Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The clock query "R" 0 0 `what`, repeated until a clock reply arrives; its three
    // BCD fields as two-digit texts. False when the program is ending.
    bool queryClock(int what, QString fields[3]);

    bool showMeterClock_ = false;
    bool showPcClock_ = false;
    bool unloaded_ = false;
};

} // namespace slm
