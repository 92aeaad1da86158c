#include "LnGraph.h"

#include "ToolbarIcons.h"
#include "chart/SciGraphCtl.h"

#include "platform/forms/Graphics.h"
#include "platform/forms/WinControl.h"
#include "platform/forms/Printer.h"
#include "platform/vb/Drawing.h"
#include "platform/vb/Interaction.h"
#include "platform/vb/Runtime.h"

#include <QAction>
#include <QCloseEvent>
#include <algorithm>

namespace slm {

LnGraph *LnGraphForm = nullptr;

namespace {

void setBackground(QWidget *w, forms::TColor colour) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, forms::ColorToQColor(colour));
    w->setPalette(p);
}

} // namespace

LnGraph::LnGraph() {
    LnGraphForm = this;
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Percentile Sound Level (Y axis - Percent   X axis - dB)");
    buildForm();
    Form_Load();
}

LnGraph::~LnGraph() {
    if (LnGraphForm == this) LnGraphForm = nullptr;
}

void LnGraph::buildForm() {
    setAutoFillBackground(true);
    setBackground(this, forms::clBtnFace);
    Toolbar1 = new QToolBar(this);
    Toolbar1->setMovable(false);
    Toolbar1->setIconSize(QSize(24, 24));
    QAction *print = Toolbar1->addAction(ToolbarIcon("Print"), "Print");
    print->setToolTip("Print");
    connect(print, &QAction::triggered, this, [this] { Toolbar1_ButtonClick(); });

    // The chart's stored content: an empty grid of percent over dB.
    Chart = new SciGraph(this);
    Chart->SetSubsets(1);
    Chart->SetPoints(1);
    // No reading: the one point holds the null value and draws nothing.
    Chart->SetYData(0, 0, Chart->NullDataValueY());
    Chart->SetShowLegend(false);
    // Painted through an image: replayed straight onto the window under a toolbar,
    // the chart's picture crashed the raster engine when another window opened.
    Chart->SetPrepareImages(true);
    Chart->SetYAxisLabel("Percent");
    Chart->SetXAxisLabel("dB");
    Chart->SetManualScaleControlY(sgManualMinAndMax);
    Chart->SetManualMinY(0);
    Chart->SetManualMaxY(100);
    Chart->SetManualScaleControlX(sgManualMinAndMax);
    Chart->SetManualMinX(20);
    Chart->SetManualMaxX(130);
    Chart->Loaded();
    resize(vb::TwipsToPixelsX(6000), vb::TwipsToPixelsY(4500));
}

void LnGraph::resizeEvent(QResizeEvent *) {
    const int bar = Toolbar1->sizeHint().height();
    Toolbar1->setGeometry(0, 0, width(), bar);
    Chart->setGeometry(0, bar, width(), std::max(1, height() - bar));
}

void LnGraph::closeEvent(QCloseEvent *event) {
    // The window is deleted later: the next load must not hand it back meanwhile.
    if (LnGraphForm == this) LnGraphForm = nullptr;
    event->accept();
}

void LnGraph::Form_Load() { vb::MoveForm(this, 0, 0); }

void LnGraph::Toolbar1_ButtonClick() {
    // A cancelled dialog prints nothing.
    if (!Cmd.ShowPrinter()) return;
    Toolbar1->hide();
    setBackground(this, forms::clCaptionText);
    try {
        vb::PrintForm(this);
    } catch (const forms::EPrinter &e) {
        vb::MsgBox(e.Message() + "\r\nThe chart was not printed.", vb::vbCritical);
    }
    setBackground(this, forms::clBtnFace);
    Toolbar1->show();
}

LnGraph *LoadLnGraph() {
    if (!LnGraphForm) new LnGraph;
    return LnGraphForm;
}

bool LnGraphVisible() { return LnGraphForm && LnGraphForm->isVisible(); }

void UnloadLnGraph() {
    if (LnGraphForm) LnGraphForm->close();
}

} // namespace slm
