#pragma once
// Panel: the main window and front panel. It owns the serial control COM that all
// meter traffic goes through, the 10 ms live poll Timer1, the level bar, the
// annunciators, the meter's keys and the toolbar.

#include "LevelBar.h"
#include "slm/core/SlmFile.h"
#include "platform/vb/CommonDialog.h"
#include "platform/vb/MSComm.h"
#include "platform/vb/Runtime.h"

#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QToolBar>

#include <array>
#include <vector>

class QAction;

namespace slm {

// A toolbar button as the dispatcher sees it: its key and its tooltip.
struct ToolbarButton {
    QString Key;
    QString ToolTipText;
    QAction *Action = nullptr;
    bool Enabled() const;
    void SetEnabled(bool on) const;
};

// The toolbar's buttons by name, numbered as Buttons() takes them.
enum ToolbarButtonIndex : int {
    tbSave = 1,
    tbOpen,
    tbSampling,
    tbList,
    tbGraph,
    tbRun,
    tbStop,
    tbPause,
    tbAC,
    tbFSI,
    tbUp,
    tbDown,
    tbRTC,
    tbREC,
    tbMemory,
    tbStopRec, // picture holders for the Save button, never pressed themselves
    tbSave1,
    tbErase,
    ToolbarButtonCount = tbErase,
};

class Panel : public QMainWindow {
public:
    Panel();
    ~Panel() override;

    vb::MSComm COM;
    vb::Timer Timer1;
    // The sampling tick (980 ms): PC-side recording and the live list.
    vb::Timer Timer2;
    vb::CommonDialog Cmd;

    QToolBar *Toolbar1 = nullptr;
    // Buttons(tbSave) ... Buttons(tbErase), in collection order.
    const ToolbarButton &Buttons(int index) const { return buttons_.at(size_t(index - 1)); }

    LevelBar *SoundBar = nullptr;
    QLabel *LblBarMax = nullptr, *LblBarMin = nullptr, *LblValue = nullptr, *LblCOM = nullptr;
    QLabel *LblOver = nullptr, *LblUnder = nullptr, *LblFast = nullptr, *LblSlow = nullptr, *LblIMP = nullptr;
    QLabel *LblA = nullptr, *LblC = nullptr, *LblPause = nullptr, *LblRun = nullptr, *LblStop = nullptr;
    QLabel *LblNo = nullptr;
    std::array<QLabel *, 8> L{};
    QLabel *LblRomSize = nullptr;
    QLineEdit *TxtSize = nullptr;
    QPushButton *CmdL = nullptr, *CmdR = nullptr;
    // Recording: the record number, the "Rec" annunciator, the file's name.
    QLabel *LblCount = nullptr, *LblRec = nullptr, *LblFileName = nullptr;
    // The picture that the sampling prompt's access code shows and hides.
    QLabel *P8593 = nullptr;
    QPushButton *BtnCA = nullptr, *BtnFastSlow = nullptr, *BtnLeq = nullptr, *BtnMax = nullptr, *BtnPlayPause = nullptr,
                *BtnRecord = nullptr, *BtnDate = nullptr, *BtnInteg = nullptr, *BtnUp = nullptr, *BtnDown = nullptr;

    // The bar in dB (the control keeps tenths).
    double SoundBarMin() const;
    double SoundBarMax() const;
    double SoundBarValue() const;

    void Form_Load();
    void Form_Unload();
    void LblCOM_Click();
    void Timer1_Timer();

    void BtnCA_Click();
    void BtnFastSlow_Click();
    void BtnLeq_Click();
    void BtnMax_Click();
    void BtnPlayPause_Click();
    void BtnRecord_Click();
    void BtnDate_Click();
    void BtnInteg_Click();
    void BtnUp_Click();
    void BtnDown_Click();
    void CmdL_Click();
    void CmdR_Click();
    void TxtSize_Change();
    void Timer2_Timer();

    void Toolbar1_ButtonClick(const ToolbarButton &Button);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Holds the live poll off for one exchange with the meter. An exchange run inside
    // another one's wait (a key clicked while a command waits for the meter's idle
    // answer) leaves it off until the outermost one ends: the poll's frames would
    // otherwise keep that handshake from ever seeing the idle answer.
    class PollHold {
    public:
        explicit PollHold(Panel &panel);
        ~PollHold();
        PollHold(const PollHold &) = delete;
        PollHold &operator=(const PollHold &) = delete;

    private:
        Panel &panel_;
    };

    void NoDataRoutine();
    void MeterKey(int code);
    void RtcKey();
    // The strip chart and the PC Leq/SEL period.
    void GraphKey();
    void RunKey();
    void StopKey();
    void PauseKey();
    void SaveKey();
    void OpenKey();
    void SamplingKey();
    void ListKey();
    void recordSample(const QString &level);
    void feedList(const QString &level);
    void autoSaveList();
    void finishRecording(const QString &settings);
    void recordFailed(const vb::RuntimeError &e);
    void recordWritten();
    void setSaveButton(int pictureOf, const QString &tip);
    QWidget *buildRecordRow();
    void setBar(double min, double max, double value);
    void buildForm();
    QWidget *buildDisplay();
    QWidget *buildKeys();
    void buildToolbar();

    std::vector<ToolbarButton> buttons_;
    SlmRecordFile RecordFile;
    QString recordPath_; // the recording's path; its split parts are named from it
    bool recordFailing_ = false;
    double barMin_ = 70, barMax_ = 130, barValue_ = 70;
    // A readout's text is made again only when its number changed.
    void showNumber(QLabel *label, double value);
    std::vector<std::pair<QLabel *, double>> shownNumbers_;
    bool unloading_ = false;
    bool sizeSending_ = false; // TxtSize_Change's exchange is under way
    int pollHolds_ = 0;        // exchanges under way, nested ones included
};

// The program's one Panel, created by Port.
extern Panel *PanelForm;

} // namespace slm
