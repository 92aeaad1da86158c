#pragma once
// Unit UMain: the MDI main form of Vadro and the shared state of the program: the
// meter link, the meter display state, the real-time recording and the settings.

#include "hygro/core/MeterDisplay.h"
#include "hygro/core/MeterLink.h"
#include "hygro/core/ModelTraits.h"
#include "hygro/core/TableColumns.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QIcon>
#include <QMainWindow>
#include <QImage>
#include <QPointer>
#include <QRect>

#include <array>
#include <memory>
#include <string>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QTimer;
class QToolBar;
class QToolButton;

namespace forms {
class TObject;
class TOpenDialog;
class TPrintDialog;
class TPrinterSetupDialog;
class TSaveDialog;
class TStringGrid;
} // namespace forms

namespace serial {
class TComPort;
}

class SciGraph;

namespace hygro {

class TfrmGraph;
class TfrmList;
class TfrmPanel;
class TMdiChild;

// A chart window (TfrmGraph, and the data-logger window): the chart commands (scale,
// undo zoom) act on the active one's SciGraph1.
class TChartForm {
public:
    virtual ~TChartForm() = default;
    SciGraph *SciGraph1 = nullptr;
};

// ---- globals of the unit -----------------------------------------------------------
extern int MeterModel;
extern int RegModel;
extern int RealTimeRate;
extern int RecordStride;
extern std::array<QImage, 16> LcdMainBitmaps;
extern std::array<QImage, 16> LcdSubBitmaps;
extern QPointer<TfrmList> RealTimeList;
extern QPointer<TfrmGraph> RealTimeGraph;
extern double GraphWindow, GraphScrollStep;
// Points the real-time chart holds, and how many the oldest ones are dropped by.
inline constexpr int RealTimePoints = 5000, ShiftPoints = 100;
extern QRect GraphRect, ListRect;

// Link state.
extern bool LinkUp;
extern int IdentByte;
extern bool FrameReceived;
extern int MissedPolls;
extern int TicksSinceSample;
extern bool TimerBusy;
extern bool RxBusy;
extern bool Key0Down, Key4Down;
extern int Key0HoldTicks, Key4HoldTicks;
extern bool FirstTick;
extern std::string RxBuffer;
extern bool MaxMinBlinkPhase, RecBlinkPhase;

// The meter display state (decoded readings, latches, LCD digits, annunciators).
extern MeterDisplayState Display;

// Recording.
extern bool Running;
extern bool RowsAdded;
extern bool SaveRealTimeList;
extern bool LoggerDataUnsaved;
extern int GraphPointCount;

// Put before the port names given to Comm1. The Win32 device prefix "\\.\" is empty
// here: device names are paths.
extern const QString DevicePrefix;

// Waits `ms` milliseconds on the tick count, processing window messages; returns the
// milliseconds that passed.
unsigned Delay(unsigned ms);

class TfrmMain : public QMainWindow {
public:
    TfrmMain();
    ~TfrmMain() override;

    // Components other forms use.
    std::unique_ptr<serial::TComPort> Comm1;
    QTimer *MainTimer = nullptr;
    QComboBox *ComboBoxDeviceName = nullptr;
    QLineEdit *MaskEdit1 = nullptr;
    QMdiArea *MdiArea = nullptr;
    QToolButton *btnOpen = nullptr, *btnSave = nullptr, *btnPrint = nullptr, *btnRun = nullptr, *btnStop = nullptr,
                *btnHelp = nullptr;
    QAction *mnuRun = nullptr, *mnuStop = nullptr, *LoadData1 = nullptr;
    // Chart commands: "Output data to graph", "Undo Zoom", "&Option" -> "&Graph" (Graph1)
    // -> "&Humidity Scale" (Scale1), "&Temperature Scale" (TemperatureScale1).
    QToolButton *btnOutputGraph = nullptr, *SpeedButton1 = nullptr;
    QAction *Graph1 = nullptr, *Scale1 = nullptr, *TemperatureScale1 = nullptr;
    QAction *Open1 = nullptr, *mnuSave = nullptr, *mnuPrint = nullptr, *mnuPrinterSetup = nullptr, *Exit1 = nullptr,
            *Clear1 = nullptr, *mnuPanel = nullptr, *RealTimeGraph1 = nullptr, *RealTimeTabular1 = nullptr,
            *Title1 = nullptr, *Cascade1 = nullptr, *ArrangeIcons1 = nullptr, *Content1 = nullptr,
            *AboutCorvale1 = nullptr;
    QIcon imgRun, imgPause;
    std::unique_ptr<forms::TSaveDialog> SaveDialog1;
    std::unique_ptr<forms::TOpenDialog> OpenDialog1;
    std::unique_ptr<forms::TPrintDialog> PrintDialog1;
    std::unique_ptr<forms::TPrinterSetupDialog> PrinterSetupDialog1;

    // Status bar panel text (panel 1 carries the link).
    QString StatusText(int panel) const;
    void SetStatusText(int panel, const QString &text);

    // Form events.
    void FormCreate();
    void FormShow();
    bool FormCloseQuery();
    void FormClose();
    void ApplyModel();

    // Meter link.
    void SearchMeter();
    bool ParseIdentReply(const unsigned char *reply);
    void MainTimerTimer();
    void Comm1RxChar(forms::TObject *Sender);
    void ComboBoxDeviceNameChange();
    void DecodeFrame(const RealTimeFrame &frame);
    void UpdateAnnunciators();

    // Real-time table and chart.
    void AppendGridRow(const QDateTime &time);
    void AppendGraphPoint(const QDateTime &time);

    // Charts (also the data-logger window's). SetupChart prepares a chart: the template
    // first, then the fixed settings; times are chart x values (days, DateTimeToDays).
    // minX 0 leaves the time axis to the template or the engine. Template errors are
    // shown and the chart is still prepared.
    void SetupChart(SciGraph *chart, int points, double maxX, double minX, int model);
    // The chart template file: length, then the engine's saved state. Save raises the
    // stream errors; Load too, and returns false when the engine refused the block.
    void SaveChartTemplate(SciGraph *chart, const QString &path);
    bool LoadChartTemplate(SciGraph *chart, const QString &path);
    // The steps of a chart window's OnCustomizeDlg: after OK the chart's look becomes
    // the template of every chart prepared afterwards.
    void ChartCustomized(SciGraph *chart);
    // SGnarg1 := 0, SGnarg2 := 0, sgResetImage, sgInvalidateImage.
    static void ApplyChart(SciGraph *chart);
    static QString ChartTemplateFolder();
    static QString ChartTemplatePath();

    // Chart commands.
    void btnOutputGraphClick();
    // Sender: Scale1 (humidity axis) or TemperatureScale1 (temperature axis).
    void Scale1Click(QObject *Sender);
    void SpeedButton1Click();
    void PrintChart(SciGraph *chart);

    // Commands.
    void btnRunClick();
    void btnStopClick();
    void Clear1Click();
    void MaskEdit1Change();
    void mnuPanelClick();
    void RealTimeGraph1Click();
    void RealTimeTabular1Click();
    void Title1Click();
    void Cascade1Click();
    void ArrangeIcons1Click();
    void Content1Click();
    void AboutCorvale1Click();
    void Exit1Click();
    void btnRunMouseMove();

    // Table files and printing.
    // True when every chosen row was written; the close question and Stop keep the
    // real-time rows when it is false.
    bool mnuSaveClick();
    void Open1Click();
    void btnPrintClick();
    void PrintGrid(forms::TStringGrid *grid, const QString &title);
    void mnuPrinterSetupClick();

    // Data logger (UMainLogger.cpp).
    void LoadData1Click();

    // The active MDI child form, or none.
    QWidget *ActiveMDIChild() const;
    // The children's frames from the topmost down, as the class library lists them.
    QList<QMdiSubWindow *> MDIChildren() const;
    // The program's folder, with a trailing '/'.
    static QString ProgramFolder();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenus();
    void buildToolBar();
    void writePortByte(char command);
    void setModelHeaders(TfrmList *list);
    TfrmList *createRealTimeList();
    void handBackLoggerPort();
    // The real-time chart window, shown; then prepared with the time axis from now on.
    TfrmGraph *createRealTimeGraph();
    void prepareRealTimeGraph();
    // The chart steps of Run (before the table's) and of its start or resume, and of Clear.
    void runRealTimeGraph();
    void resumeRealTimeGraph();
    void clearRealTimeGraph();
    void buildChartCommands(QToolBar *bar);

    QLabel *statusPanels_[2] = {nullptr, nullptr};
    bool shown_ = false;
    bool closing_ = false;
    bool editorUpdating_ = false;
    QElapsedTimer tickClock_;       // the interval correction runs on a clock that never jumps
    unsigned char commandByte_ = 0; // write buffer of the poll and long-press bytes
    unsigned char rxChunk_[RxChunk] = {};
};

extern TfrmMain *frmMain;

} // namespace hygro
