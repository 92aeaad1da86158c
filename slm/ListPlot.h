#pragma once
// ListPlot: the levels of the record file in FileList as a line chart, with a value
// scale of eight divisions, a dotted grid and record numbers at fifths of the span.
// "Limit" narrows the value and record ranges; "Print" prints the chart.

#include "platform/vb/Drawing.h"
#include "platform/vb/CommonDialog.h"
#include "platform/vb/FlexGrid.h"
#include "platform/vb/Runtime.h"
#include "slm/core/PlotMaths.h"

#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QToolBar>
#include <QWidget>

#include <functional>

namespace slm {

// The chart's surface: the part of the window that the form canvas covers.
class PlotSurface : public QWidget {
public:
    explicit PlotSurface(QWidget *parent);
    vb::FormCanvas Canvas;
    std::function<void()> OnResize;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
};

class ListPlot : public QWidget {
public:
    ListPlot();
    ~ListPlot() override;

    QToolBar *Toolbar1 = nullptr;
    // The chart and what is drawn on it.
    PlotSurface *Surface = nullptr;
    vb::FormCanvas &Canvas() const { return Surface->Canvas; }
    vb::Timer Timer1;
    vb::CommonDialog Cmd;
    // The limit entry, hidden until "Limit".
    QFrame *PMessage = nullptr;
    QLineEdit *TxtT1 = nullptr, *TxtT2 = nullptr, *TxtR1 = nullptr, *TxtR2 = nullptr;
    QPushButton *CmdOK = nullptr;

    int GridColour = 7;
    // The curve of the current frame is drawn whole.
    bool CurveDrawn = false;
    PlotGeometry Geometry;
    double SweepX = 0, LastX = 0, LastY = 0;

    void Form_Load();
    void Form_Resize();
    void Form_Unload();
    void Timer1_Timer();
    void Toolbar1_ButtonClick(const QString &key);
    void CmdOK_Click();

    // Bumped by every redraw of the frame, so that a curve being drawn for an older
    // frame stops.
    int Generation() const { return generation_; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    int generation_ = 0;
};

// Draws the grid and the curve of rows PlotFirst ... PlotLast of `grid` into the plot
// window, its progress in the caption.
void PlotRecords(ListPlot *frm, vb::MSFlexGrid *grid);

ListPlot *ListPlotForm();
bool ListPlotLoaded();
bool ListPlotVisible();
void UnloadListPlot();

// Outer size limits of the window, in twips.
constexpr int PlotMinWidth = 5355;
constexpr int PlotMinHeight = 5865;

} // namespace slm
