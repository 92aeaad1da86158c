#pragma once
// RealTimeSLM: the strip chart "Real Time Graph". Once a second it samples the level
// that Panel shows and draws it on a sweeping trace; the Limit panel sets the level
// range and the number of samples per sweep.

#include "platform/vb/CommonDialog.h"
#include "platform/vb/Drawing.h"
#include "platform/vb/Runtime.h"
#include "slm/core/StripChartMaths.h"

#include <QLineEdit>
#include <QPushButton>
#include <QToolBar>
#include <QWidget>

class QFrame;

namespace slm {

class RealTimeSLM : public QWidget {
public:
    RealTimeSLM();
    ~RealTimeSLM() override;

    vb::Timer Timer1;
    QToolBar *Toolbar1 = nullptr;
    QFrame *PMessage = nullptr;
    QLineEdit *TxtMax = nullptr, *TxtMin = nullptr, *TxtCounts = nullptr;
    QPushButton *CmdOK = nullptr;
    vb::CommonDialog Cmd;
    // The window's drawing methods and its persistent picture.
    vb::FormCanvas Canvas;

    double ChartMax = 0, ChartMin = 0;
    double ChartLeft = 0, ChartWidth = 0, ChartHeight = 0, ChartBase = 0;
    double SweepStep = 1, SweepX = 0;
    double LastX = 0, LastY = 0;
    double ShownLevel = 0;
    QString MarkText;
    std::int32_t GridColour = 0;

    void Form_Load();
    void Form_Resize();
    void Form_Unload();
    void Timer1_Timer();
    void Toolbar1_ButtonClick(const QString &key);
    void CmdOK_Click();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildForm();
    void computeGeometry();
    QAction *addButton(const QString &key);

    bool unloaded_ = false;
    // The grid lies over the whole of the current frame.
    bool gridDrawn_ = false;
};

// The loaded window (nullptr when it is not loaded).
extern RealTimeSLM *RealTimeSLMForm;
// The window, loaded first when it is not (as a reference to a form loads it).
RealTimeSLM *LoadRealTimeSLM();
bool RealTimeSLMVisible();
// Unloads the window when it is loaded.
void UnloadRealTimeSLM();

} // namespace slm
