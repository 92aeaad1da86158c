#pragma once
// Unit UDataLogger: the data-logger window and the download of the meter's memory.
// The window lists the data sets of the last download and shows one set as a table,
// a chart and the maximum and minimum of each reading. The download state outlives
// the window: it is replaced only by the next successful download.

#include "hygro/MdiChild.h"
#include "hygro/UMain.h"
#include "hygro/core/LoggerMemory.h"
#include "hygro/core/LoggerTransfer.h"

#include <QDateTime>
#include <QPixmap>
#include <QPointer>

#include <array>
#include <cstdint>
#include <vector>

class QLabel;
class QSplitter;
class SciGraph;

namespace forms {
class TObject;
class TStringGrid;
} // namespace forms

namespace hygro {

class TfrmScope;

// ---- download state of the unit --------------------------------------------------
// The last downloaded memory; the names below are its fields.
extern LoggerImage Downloaded;
extern int &SetCount;
extern std::vector<uint8_t> &MemoryImage; // without the 256-byte header
extern std::vector<QDateTime> &SetStartTimes;
extern std::vector<int> &SetRates;
extern std::vector<int> &SetRecordCounts;
extern std::vector<char> &SetUnitLetters;
extern std::vector<int> &SetStartOffsets;
extern std::vector<int> &SetEndOffsets;
// A download is running; the progress dialog refuses to close meanwhile.
extern bool DownloadBusy;
// A new program run (the tests make several main forms in one process) starts empty.
void ResetLoggerState();
// The one-byte write buffer of "P", "y", "n" and "Q"; it stays valid while a write is pending.
extern unsigned char LoggerCommand;

// A chart window too: the chart commands act on its SciGraph1.
class TfrmDataLogger : public TMdiChild, public TChartForm {
public:
    explicit TfrmDataLogger(QWidget *owner = nullptr);
    ~TfrmDataLogger() override;

    // Left column.
    QLabel *StaticText1 = nullptr; // "Data Sets"
    forms::TStringGrid *Grid2 = nullptr;
    QWidget *Panel4 = nullptr;
    QLabel *lblRHMAX = nullptr, *lblRHMIN = nullptr, *lblT1MAX = nullptr, *lblT1MIN = nullptr, *lblT2MAX = nullptr,
           *lblT2MIN = nullptr;
    QLabel *RHMAX = nullptr, *RHMIN = nullptr, *T1MAX = nullptr, *T1MIN = nullptr, *T2MAX = nullptr, *T2MIN = nullptr;
    QLabel *imgT1Max = nullptr, *imgT1Min = nullptr, *imgT2Max = nullptr, *imgT2Min = nullptr;
    // The hidden source pictures of the unit glyphs.
    QPixmap imgT1C, imgT1F, imgT2C, imgT2F;
    // Right part.
    QLabel *StaticText3 = nullptr; // "Graph", above SciGraph1
    QLabel *StaticText4 = nullptr; // "Tabular"
    forms::TStringGrid *Grid1 = nullptr;
    QSplitter *Splitter1 = nullptr, *Splitter2 = nullptr, *Splitter3 = nullptr;

    // Grid1 rows of RH max, RH min, T1 max, T1 min, T2 max, T2 min (panel Tag order).
    std::array<int, 6> ExtremeRows{1, 1, 1, 1, 1, 1};

    // The download on `main`'s port; returns a result code (LoggerResult).
    int DownloadStreamMode(TfrmMain *main);
    int DownloadBlockMode(TfrmMain *main);
    // The message of a failed download; clears DownloadBusy.
    static void ShowDownloadError(int code);

    void DecodeDataSet(int set);
    void ShowRowAnnotation(int record);
    void HighlightCaptionBar(int bar);

    // Event handlers.
    void FormCreate();
    void StaticText1Click();
    void StaticText3Click();
    void SciGraph1Click();
    void StaticText4Click();
    void Grid1Click();
    void Grid2Click();
    void lblRHMAXClick(QLabel *Sender);
    // Bound to the chart's OnDataHotSpot, whose arguments come in this order.
    void SciGraph1DataHotSpot(forms::TObject *Sender, int DblClick, int SubsetIndex, int PointIndex);
    void SciGraph1CustomizeDlg(forms::TObject *Sender);

protected:
    void FormActivate() override;
    void FormCloseQuery(bool &CanClose) override;
    void FormClose() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int refuse(TfrmMain *main);
    void takePort(TfrmMain *main, bool streamMode);
    // Runs the transfer on the port, the progress shown in `progress`; returns
    // lrSuccess with `image` filled, or the code of the failure.
    int transfer(TfrmMain *main, bool streamMode, TfrmScope *progress, LoggerImage &image);
    void publish(LoggerImage image);
    void jumpToRow(int row);
};

// The data-logger window while it exists.
extern QPointer<TfrmDataLogger> frmDataLogger;

} // namespace hygro
