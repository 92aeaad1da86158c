#include "hygro/UGraph.h"

#include "hygro/UList.h"
#include "hygro/core/TableColumns.h"

#include "chart/SciGraphCtl.h"
#include "platform/forms/StringGrid.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QToolButton>
#include <QVBoxLayout>

namespace hygro {

QPointer<TfrmGraph> frmGraph;

TfrmGraph::TfrmGraph(const QString &caption) {
    SetCaption(caption);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    SciGraph1 = new SciGraph(this);
    layout->addWidget(SciGraph1);

    SciGraph *c = SciGraph1;
    ApplyStoredChartSettings(c);
    c->Loaded();

    c->OnDataHotSpot = [this](forms::TObject *sender, int dbl, int subset, int point) {
        RunHandler([&] { SciGraph1DataHotSpot(sender, dbl, subset, point); });
    };
    c->OnCustomizeDlg = [this](forms::TObject *sender) { RunHandler([&] { SciGraph1CustomizeDlg(sender); }); };
}

void TfrmGraph::FormActivate() {
    if (!frmMain) return;
    frmMain->btnOutputGraph->setEnabled(false);
    frmMain->Graph1->setEnabled(true);
}

void TfrmGraph::FormCloseQuery(bool &CanClose) {
    // A poll tick never appends to a chart that is going away.
    if (isRealTime()) WaitWhile([] { return TimerBusy; });
    CanClose = true;
}

void TfrmGraph::FormClose() {
    if (isRealTime() && RealTimeGraph == this) RealTimeGraph = nullptr;
}

void TfrmGraph::SciGraph1CustomizeDlg(forms::TObject *) {
    if (frmMain) frmMain->ChartCustomized(SciGraph1);
}

void TfrmGraph::SciGraph1DataHotSpot(forms::TObject *, int, int, int PointIndex) {
    if (!frmMain) return;
    auto *graph = dynamic_cast<TfrmGraph *>(frmMain->ActiveMDIChild());
    if (!graph || graph == RealTimeGraph || graph->Caption() == QLatin1String("Real Time Tabular")) return;
    TfrmList *list = nullptr;
    for (QMdiSubWindow *w : frmMain->MDIChildren()) {
        auto *l = dynamic_cast<TfrmList *>(w->widget());
        if (l && l->Caption() == graph->Caption()) {
            list = l;
            break;
        }
    }
    if (!list) return;

    forms::TStringGrid *g = list->Grid1;
    const int row = PointIndex + 1;
    g->SetSelection({1, row, g->ColCount() - 1, row});
    const int h = g->VisibleRowCount();
    if (row < g->TopRow() + h) {
        g->SetTopRow(h < row ? row - h / 2 : 1);
    } else {
        g->SetTopRow(row - h / 2);
        g->viewport()->update();
    }
    MarkChartRow(graph->SciGraph1, g, row, forms::clRed);
}

void ApplyStoredChartSettings(SciGraph *c) {
    c->SetViewingStyle(sgColor);
    c->SetPlottingMethod(sgLine);
    c->SetGridLineControl(sgYPlusXAxis);
    c->SetDataPrecision(sgThreeDecimals);
    c->SetFontSize(sgMedium);
    c->SetMainTitleFont(QStringLiteral("Times New Roman"));
    c->SetSubTitleFont(QStringLiteral("Times New Roman"));
    c->SetLabelFont(QStringLiteral("Arial"));
    c->SetDefOrientation(sgLandscape);
    c->SetAllowCustomization(true);
    c->SetAllowExporting(true);
    c->SetAllowMaximization(true);
    c->SetAllowPopup(true);
    c->SetAllowUserInterface(sgAllInterface);
    c->SetModalDialogs(false);
    c->SetShowLegend(true);
    c->SetLegendLocation(sgLegendTop);
    c->SetHotSpotSize(sgSmallHotSpots);
    c->SetDataHotSpotLimit(900000);
    c->SetZoomStyle(sgFramed);
    c->SetBorderTypes(sgDropShadow);
    c->SetThreeDDialogs(true);
}

void MarkChartRow(SciGraph *chart, forms::TStringGrid *grid, int row, std::int32_t color) {
    MarkChartRow(chart, grid, row, color, !grid->Cells(colT2, row).isEmpty());
}

void MarkChartRow(SciGraph *chart, forms::TStringGrid *grid, int row, std::int32_t color, bool twoTemperatures) {
    chart->SetLineAnnotationTextSize(100);
    chart->SetVertLineAnnotation(0, chart->XDataII(0, row - 1));
    chart->SetVertLineAnnotationType(0, 2);
    chart->SetVertLineAnnotationColor(0, forms::TColor(color));
    QString text = grid->Cells(colTime, row);
    if (twoTemperatures)
        text += QStringLiteral(" RH:") + grid->Cells(colHumidity, row) + QStringLiteral(" T1:") +
                grid->Cells(colT1, row) + QStringLiteral(" T2:") + grid->Cells(colT2, row);
    else
        text +=
            QStringLiteral(" RH:") + grid->Cells(colHumidity, row) + QStringLiteral(" T:") + grid->Cells(colT1, row);
    chart->SetVertLineAnnotationText(0, text);
    TfrmMain::ApplyChart(chart);
}

std::int32_t RowMarkColor(const SciGraph *chart) {
    return chart->GraphBackColor() == forms::clBlack ? forms::clWhite : forms::clBlack;
}

} // namespace hygro
