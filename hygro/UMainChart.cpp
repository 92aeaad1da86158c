// TfrmMain's chart members: preparing a chart and its template file, the real-time
// chart's points, and the chart commands.

#include "hygro/UMain.h"

#include "hygro/UGraph.h"
#include "hygro/UList.h"
#include "hygro/UScope.h"
#include "hygro/core/ChartMaths.h"

#include "chart/ChartEngineApi.h"
#include "chart/SciGraphCtl.h"
#include "chart/engine/PropertyStore.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/Exceptions.h"
#include "platform/forms/RegularFile.h"
#include "platform/forms/StringGrid.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMdiArea>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QLineEdit>
#include <QSaveFile>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <cstring>
#include <exception>
#include <functional>
#include <vector>

namespace hygro {

namespace {

// Shows an error through the application object without ending the caller.
void report(std::exception_ptr error) {
    if (error) RunHandler([&] { std::rethrow_exception(error); });
}

// A block of the engine's saved state, freed when it goes.
struct GlobalBlock {
    HGLOBAL h = nullptr;
    ~GlobalBlock() {
        if (h) GlobalFree(h);
    }
};

bool threeReadings(int model) {
    const ModelTraits *t = FindModel(model);
    return t && t->temperatures == 2;
}

QIcon outputGraphIcon() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QColor(0x30, 0x30, 0x30));
    p.drawLine(2, 1, 2, 14);
    p.drawLine(2, 14, 15, 14);
    p.setPen(QPen(QColor(0xc0, 0x20, 0x20), 1.5));
    p.drawPolyline(QPolygon({QPoint(3, 11), QPoint(6, 7), QPoint(9, 9), QPoint(14, 3)}));
    return QIcon(pm);
}

} // namespace

QString TfrmMain::ChartTemplateFolder() { return ProgramFolder() + QStringLiteral("template/"); }

QString TfrmMain::ChartTemplatePath() { return ProgramFolder() + QStringLiteral("template/graph.ghf"); }

void TfrmMain::ApplyChart(SciGraph *chart) {
    chart->SGnarg1 = 0;
    chart->SGnarg2 = 0;
    chart->SetSGactions(sgResetImage);
    chart->SetSGactions(sgInvalidateImage);
}

// ---- chart template ------------------------------------------------------------------

void TfrmMain::SaveChartTemplate(SciGraph *chart, const QString &path) {
    GlobalBlock block;
    std::uint32_t size = 0;
    chart::ceSaveState(chart->GethObject(), &block.h, &size);
    if (!block.h) return;
    const void *data = GlobalLock(block.h);
    // Written aside and put in place whole: a template is never left half written.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        GlobalUnlock(block.h);
        throw forms::Exception(
            QStringLiteral("Cannot create file \"%1\". %2").arg(QDir::toNativeSeparators(path), file.errorString()));
    }
    const unsigned char length[4] = {static_cast<unsigned char>(size), static_cast<unsigned char>(size >> 8),
                                     static_cast<unsigned char>(size >> 16), static_cast<unsigned char>(size >> 24)};
    const bool written = file.write(reinterpret_cast<const char *>(length), 4) == 4 &&
                         (size == 0 || file.write(static_cast<const char *>(data), size) == qint64(size));
    GlobalUnlock(block.h);
    if (!written || !file.commit()) throw forms::Exception(QStringLiteral("Stream write error"));
}

bool TfrmMain::LoadChartTemplate(SciGraph *chart, const QString &path) {
    QFile file;
    QString error;
    // A pipe or a device in its place is refused at once instead of blocking the open.
    if (forms::OpenRegularFile(file, path, &error) != forms::FileOpen::Opened) throw forms::Exception(error);
    unsigned char length[4] = {};
    if (file.read(reinterpret_cast<char *>(length), 4) != 4)
        throw forms::Exception(QStringLiteral("Stream read error"));
    const std::uint32_t size = std::uint32_t(length[0]) | std::uint32_t(length[1]) << 8 |
                               std::uint32_t(length[2]) << 16 | std::uint32_t(length[3]) << 24;
    // A length beyond the file's end cannot be read; it is refused before anything is
    // allocated for it.
    if (qint64(size) > file.size() - 4) throw forms::Exception(QStringLiteral("Stream read error"));
    GlobalBlock block;
    block.h = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block.h) throw forms::Exception(QStringLiteral("Out of memory"));
    void *data = GlobalLock(block.h);
    const bool read = size == 0 || file.read(static_cast<char *>(data), size) == qint64(size);
    GlobalUnlock(block.h);
    file.close();
    if (!read) throw forms::Exception(QStringLiteral("Stream read error"));
    return chart::ceLoadState(chart->GethObject(), &block.h) != 0;
}

void TfrmMain::ChartCustomized(SciGraph *chart) {
    const QString folder = ChartTemplateFolder();
    if (chart->DialogResult() == 0) return;
    if (!QDir().mkpath(folder))
        throw forms::Exception(QStringLiteral("Cannot create ") + QDir::toNativeSeparators(folder) +
                               QStringLiteral(" directory."));
    SaveChartTemplate(chart, ChartTemplatePath());
    ApplyChart(chart);
}

// ---- chart preparation --------------------------------------------------------------

void TfrmMain::SetupChart(SciGraph *chart, int points, double maxX, double minX, int model) {
    const bool three = threeReadings(model);
    const QString path = ChartTemplatePath();
    // A template that cannot be read or that the engine refuses is as good as none: the
    // chart gets the defaults and a fresh template, and the error is shown afterwards.
    std::exception_ptr templateError;
    bool fromTemplate = QFileInfo::exists(path);
    if (fromTemplate) {
        try {
            fromTemplate = LoadChartTemplate(chart, path);
        } catch (const forms::Exception &) {
            templateError = std::current_exception();
            fromTemplate = false;
        }
    }

    chart->SetPrepareImages(true);
    // Through one point first: whatever sizes a template brought, neither step is
    // refused for a chart within the engine's bound.
    const int subsets = three ? 3 : 2;
    chart->SetPoints(1);
    chart->SetSubsets(subsets);
    chart->SetPoints(points);
    chart->SetShowVertLineAnnotations(true);
    chart->SetCurveGranularity(sgCoarseLines);
    chart->SetAllowDataHotSpots(true);
    chart->SetMainTitle(QString());
    chart->SetSubTitle(QString());
    chart->SetDateTimeMode(sgSerialDateTime);
    chart->SetUsingXDataII(true);
    chart->SetXAxisLabel(QStringLiteral("Time"));
    chart->SetNullDataValueY(9999.0);
    for (int s = 0; s < subsets; ++s) {
        chart->SetXDataII(s, -1, 0.0);
        chart->SetYData(s, -1, 0.0f);
    }
    chart->SetSubsetLabels(0, QStringLiteral("%RH"));
    chart->SetSubsetLabels(1, QStringLiteral("T1"));
    chart->SetSubsetLabels(2, QStringLiteral("T2"));
    chart->SetGridStyle(sgDot);
    chart->SetAllowZooming(sgHorzPlusVertZooming);
    chart->SetMouseCursorControl(true);
    chart->SetCursorMode(sgFloatingXY);
    chart->SetCursorPromptTracking(true);
    chart->SetCursorPromptStyle(sgYValue);
    chart->SetMultiAxesSubsets(0, 1);
    chart->SetMultiAxesSubsets(1, three ? 2 : 1);
    chart->SetMultiAxesSeparators(sgThickLine);

    auto timeAxis = [&] {
        if (minX == 0) return;
        chart->SetManualScaleControlX(sgManualMinAndMax);
        chart->SetManualMinX(minX);
        chart->SetManualMaxX(maxX);
    };
    chart->SetWorkingAxis(0);
    chart->SetYAxisLabel(QStringLiteral("HUMIDITY"));
    chart->SetManualScaleControlY(sgManualMinAndMax);
    chart->SetManualMinY(0.0);
    chart->SetManualMaxY(110.0);
    timeAxis();
    chart->SetAllowSpline(false);
    chart->SetAllowPointsPlusSpline(false);

    chart->SetWorkingAxis(1);
    chart->SetYAxisLabel(QStringLiteral("TEMPERATURE"));
    chart->SetAllowSpline(false);
    chart->SetAllowPointsPlusSpline(false);
    chart->SetYAxisColor(forms::clRed);
    chart->SetManualScaleControlY(sgManualMinAndMax);
    chart->SetManualMinY(-20.0);
    chart->SetManualMaxY(140.0);
    timeAxis();

    chart->SetWorkingAxis(0);
    chart->SetDataShadows(sgNo3D);

    if (!fromTemplate) {
        chart->SetGraphForeColor(forms::clGreen);
        chart->SetGraphBackColor(forms::clBlack);
        chart->SetDeskColor(forms::clSilver);
        chart->SetTextColor(forms::clBlack);
        chart->SetSubsetColors(0, forms::clYellow);
        chart->SetSubsetColors(1, forms::clFuchsia);
        chart->SetSubsetColors(2, forms::clAqua);
        for (int s = 0; s < 3; ++s) chart->SetSubsetLineTypes(s, 0);
    }
    ApplyChart(chart);

    // The chart is ready whatever happens to its template now; errors are shown
    // without ending the caller, which goes on with the windows and the poll.
    std::exception_ptr saveError;
    if (!fromTemplate) {
        try {
            const QString folder = ChartTemplateFolder();
            if (!QDir().mkpath(folder))
                throw forms::Exception(QStringLiteral("Cannot create ") + QDir::toNativeSeparators(folder) +
                                       QStringLiteral(" directory."));
            SaveChartTemplate(chart, path);
        } catch (const forms::Exception &) {
            saveError = std::current_exception();
        }
    }
    report(templateError);
    report(saveError);
}

// ---- the real-time chart -------------------------------------------------------------

void TfrmMain::buildChartCommands(QToolBar *bar) {
    btnOutputGraph = new QToolButton(bar);
    btnOutputGraph->setIcon(outputGraphIcon());
    btnOutputGraph->setToolTip(QStringLiteral("Output data to graph"));
    btnOutputGraph->setAutoRaise(true);
    bar->addWidget(btnOutputGraph);
    connect(btnOutputGraph, &QToolButton::clicked, this, [this] { RunHandler([this] { btnOutputGraphClick(); }); });
    SpeedButton1 = new QToolButton(bar);
    SpeedButton1->setText(QStringLiteral("Undo Zoom"));
    SpeedButton1->setToolTip(QStringLiteral("Zoom out the graph"));
    SpeedButton1->setAutoRaise(true);
    bar->addWidget(SpeedButton1);
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { RunHandler([this] { SpeedButton1Click(); }); });
}

TfrmGraph *TfrmMain::createRealTimeGraph() {
    auto *graph = new TfrmGraph();
    graph->ShowIn(MdiArea);
    return graph;
}

void TfrmMain::prepareRealTimeGraph() {
    if (!RealTimeGraph) return;
    const double now = DateTimeToDays(QDateTime::currentDateTime());
    SetupChart(RealTimeGraph->SciGraph1, RealTimePoints, now + GraphWindow, now, MeterModel);
    if (RealTimeGraph) RealTimeGraph->SciGraph1->SetAllowPopup(false);
}

void TfrmMain::runRealTimeGraph() {
    if (RealTimeGraph) {
        RealTimeGraph->SciGraph1->SetSGactions(sgUndoZoom);
        RealTimeGraph->Restore();
        return;
    }
    GraphPointCount = 0;
    RealTimeGraph = createRealTimeGraph();
    prepareRealTimeGraph();
    if (RealTimeGraph) RealTimeGraph->SetBounds(GraphRect.x(), GraphRect.y(), GraphRect.width(), GraphRect.height());
}

void TfrmMain::resumeRealTimeGraph() {
    if (!RealTimeGraph) return;
    SciGraph *chart = RealTimeGraph->SciGraph1;
    if (GraphPointCount == 0) {
        // The first sample is taken at the next tick, and the time axis starts now.
        TicksSinceSample = RealTimeRate;
        const double now = DateTimeToDays(QDateTime::currentDateTime());
        chart->SetWorkingAxis(0);
        chart->SetManualMinX(now);
        chart->SetManualMaxX(now + GraphWindow);
    }
    ApplyChart(chart);
}

void TfrmMain::clearRealTimeGraph() {
    if (!RealTimeGraph) return;
    SciGraph *chart = RealTimeGraph->SciGraph1;
    const int subsets = chart->Subsets(), points = chart->Points();
    for (int s = 0; s < subsets; ++s)
        for (int i = 0; i < points; ++i) chart->SetYData(s, i, 9999.0f);
    GraphPointCount = 0;
    const double now = DateTimeToDays(QDateTime::currentDateTime());
    chart->SetManualMinX(now);
    chart->SetManualMaxX(now + GraphWindow);
    ApplyChart(chart);
}

void TfrmMain::AppendGraphPoint(const QDateTime &when) {
    SciGraph *chart = RealTimeGraph->SciGraph1;
    const double time = DateTimeToDays(when);
    int n = GraphPointCount;
    if (n >= RealTimePoints) {
        // The engine drops the oldest 100 points of every subset and puts these null
        // points at the end.
        n -= ShiftPoints;
        const size_t count = size_t(std::max(0, chart->Subsets())) * ShiftPoints;
        const std::vector<double> xs(count, 0.0);
        const std::vector<float> ys(count, 9999.0f);
        chart::ceSetMem(chart->GethObject(), chart::kIdShiftXData, xs.data(), ShiftPoints);
        chart::ceSetMem(chart->GethObject(), chart::kIdShiftYData, ys.data(), ShiftPoints);
        chart->SetManualMinX(chart->XDataII(0, 0));
    }
    try {
        chart->SetXDataII(0, n, time);
        chart->SetYData(0, n, float(Display.ReadingValue[0]));
        chart->SetXDataII(1, n, time);
        chart->SetYData(1, n, float(Display.ReadingValue[1]));
        if (chart->Subsets() == 3) {
            chart->SetXDataII(2, n, time);
            chart->SetYData(2, n, float(Display.ReadingValue[2]));
            chart->SetWorkingAxis(1);
            const float top = float(chart->ManualMaxY());
            const float bottom = float(chart->ManualMinY());
            if (!Display.ReadingOverLimit[2]) {
                const float v = float(Display.ReadingValue[2]);
                if (v > top) {
                    chart->SetWorkingAxis(1);
                    chart->SetManualMaxY(TemperatureAxisTop(v));
                }
                if (v < bottom) {
                    chart->SetWorkingAxis(1);
                    chart->SetManualMinY(TemperatureAxisBottom(v));
                }
            }
        }
    } catch (const std::exception &) {
        // The chart's setters raise nothing of their own; only a failed allocation ends up
        // here, and the reading still goes to the table.
    }
    GraphPointCount = n + 1;
    try {
        if (time >= chart->ManualMaxX() && !chart->ZoomMode()) {
            chart->SetManualMaxX(chart->ManualMaxX() + GraphScrollStep);
            chart->SetManualMinX(chart->XDataII(0, 0));
        }
    } catch (const std::exception &) {
        // As above: the axis keeps its range, the point is already stored.
    }
    ApplyChart(chart);
}

// ---- chart commands ------------------------------------------------------------------

void TfrmMain::btnOutputGraphClick() {
    auto *list = dynamic_cast<TfrmList *>(ActiveMDIChild());
    if (!list) return;
    forms::TStringGrid *g = list->Grid1;
    if (g->Cells(colDate, 1).isEmpty()) {
        forms::ShowMessage(QStringLiteral("No data to graph !"));
        return;
    }
    const QString t2Unit = g->Cells(colT2Unit, 1);
    const bool three = t2Unit.contains(QLatin1Char('F')) || t2Unit.contains(QLatin1Char('C'));
    // The engine holds so many values at most: the user hears it before the graphing,
    // and the rows that fit are charted.
    const int tableRows = g->RowCount() - 1;
    const int fit = int(chart::engine::kMaxDataCells / (three ? 3 : 2));
    const int rows = std::min(tableRows, fit);
    if (tableRows > fit)
        forms::ShowMessage(
            QStringLiteral("The table has %1 rows; a chart holds %2 of them. The first %2 rows are charted.")
                .arg(tableRows)
                .arg(fit));

    auto *graph = new TfrmGraph(list->Caption());
    frmGraph = graph;
    graph->ShowIn(MdiArea);
    SciGraph *chart = graph->SciGraph1;

    TableDateTimeReader dates;
    auto dateTimeOf = [&](int row) {
        const auto t = dates.read(g->Cells(colDate, row), g->Cells(colTime, row));
        if (!t)
            throw forms::EConvertError(
                InvalidDateTimeMessage(g->Cells(colDate, row) + QLatin1Char(' ') + g->Cells(colTime, row)));
        return *t;
    };
    const double first = dateTimeOf(1);
    const double last = dateTimeOf(rows);
    // A table read from a file names no model: the chart is set up as for one with its
    // number of temperatures.
    SetupChart(chart, rows, last, first, FindModelWithTemperatures(three ? 2 : 1)->number);

    // Both windows may be closed while the loop lets events through.
    const QPointer<TfrmList> aliveList(list);
    const QPointer<TfrmGraph> aliveGraph(graph);
    TfrmScope progress;
    progress.setWindowTitle(QStringLiteral("Graphing Progress"));
    progress.SText1->setText(QStringLiteral("graphing....."));
    progress.SText1->show();
    progress.Progress1->setRange(0, rows);
    progress.Progress1->setValue(0);
    progress.Progress1->show();
    progress.Show();
    progress.ModalResult = forms::mrNone;

    TemperatureSpan span;
    double x = first;
    // The bar moves and window messages are let through every few milliseconds rather
    // than at every row: as responsive, and a long table is not drawn at the pace of the
    // event loop.
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    for (int i = 1; i <= rows; ++i) {
        if (progress.ModalResult == forms::mrCancel) break;
        if (sinceEvents.elapsed() >= 5 || i == 1) {
            progress.Progress1->setValue(i);
            QCoreApplication::processEvents();
            sinceEvents.start();
        }
        if (!aliveList || !aliveGraph || progress.ModalResult == forms::mrCancel) break;
        if (const auto t = dates.read(g->Cells(colDate, i), g->Cells(colTime, i))) {
            x = *t;
            chart->SetXDataII(0, i - 1, x);
            if (const auto v = TableCellValue(g->Cells(colHumidity, i))) chart->SetYData(0, i - 1, *v);
        }
        for (int s = 1; s <= (three ? 2 : 1); ++s) {
            chart->SetXDataII(s, i - 1, x);
            bool overLimit = false;
            const auto v = TableCellValue(g->Cells(s == 1 ? colT1 : colT2, i), &overLimit);
            if (!v) continue;
            chart->SetYData(s, i - 1, *v);
            if (!overLimit) span.add(*v);
        }
    }
    if (aliveList && aliveGraph) progress.Progress1->setValue(rows);
    progress.close();
    if (!aliveGraph) return;
    graph->Restore();
    chart->SetWorkingAxis(1);
    chart->SetManualMaxY(span.axisTop());
    chart->SetManualMinY(span.axisBottom());
    ApplyChart(chart);
}

void TfrmMain::Scale1Click(QObject *Sender) {
    SciGraph *chart = nullptr;
    if (auto *form = dynamic_cast<TChartForm *>(ActiveMDIChild()))
        chart = form->SciGraph1;
    else if (RealTimeGraph)
        chart = RealTimeGraph->SciGraph1;
    if (!chart) return;
    const QPointer<SciGraph> alive(chart);
    const int axis = Sender && Sender->objectName() == QLatin1String("Scale1") ? 0 : 1;
    chart->SetWorkingAxis(axis);

    TfrmScope scope;
    scope.setWindowTitle(QStringLiteral("Customize graph scale"));
    scope.GroupBox1->show();
    scope.BitBtn1->show();
    scope.BitBtn2->show();
    scope.radAll->hide();
    scope.radNo->hide();
    scope.edtSelFrom->setText(QString::number(TruncToInt(chart->ManualMaxY())));
    scope.edtSelTo->setText(QString::number(TruncToInt(chart->ManualMinY())));
    if (scope.ShowModal() != forms::mrOk || !alive) return;

    const ScaleEntries e = ResolveScale(scope.edtSelFrom->text(), scope.edtSelTo->text());
    for (const QString &text : e.invalid) forms::ShowMessage(text + QStringLiteral(" is invalid number !"));
    if (!e.invalid.isEmpty() || !alive) return;
    chart->SetWorkingAxis(axis);
    chart->SetManualMaxY(*e.max);
    chart->SetManualMinY(*e.min);
    chart->SetSGactions(sgReinitAndReset);
    chart->SetSGactions(sgReinitAndReset);
}

void TfrmMain::SpeedButton1Click() {
    auto *form = dynamic_cast<TChartForm *>(ActiveMDIChild());
    if (!form) return;
    SciGraph *chart = form->SciGraph1;
    chart->SetSGactions(sgUndoZoom);
    chart->SGnarg1 = 0;
    chart->SGnarg2 = 0;
    chart->SetSGactions(sgResetImage);
}

void TfrmMain::PrintChart(SciGraph *chart) {
    const forms::TColor subsetColors[3] = {chart->SubsetColors(0), chart->SubsetColors(1), chart->SubsetColors(2)};
    const forms::TColor back = chart->GraphBackColor(), fore = chart->GraphForeColor(), desk = chart->DeskColor(),
                        text = chart->TextColor(), mark = chart->VertLineAnnotationColor(0);
    // The screen colours come back however the printing ends.
    const QPointer<SciGraph> alive(chart);
    struct Restore {
        std::function<void()> run;
        ~Restore() { run(); }
    } restore{[&] {
        if (!alive) return;
        for (int s = 0; s < 3; ++s) chart->SetSubsetColors(s, subsetColors[s]);
        chart->SetGraphBackColor(back);
        chart->SetGraphForeColor(fore);
        chart->SetDeskColor(desk);
        chart->SetTextColor(text);
        chart->SetVertLineAnnotationColor(0, mark);
        chart->SetSubsetLineTypes(1, 0);
        chart->SetSubsetLineTypes(2, 0);
    }};
    for (int s = 0; s < 3; ++s) chart->SetSubsetColors(s, forms::clBlack);
    chart->SetGraphBackColor(forms::clWhite);
    chart->SetGraphForeColor(forms::clGray);
    chart->SetDeskColor(forms::clWhite);
    chart->SetTextColor(forms::clBlack);
    // A row's mark may be white for the black screen: on paper it is black like the rest.
    chart->SetVertLineAnnotationColor(0, forms::clBlack);
    chart->SetSubsetLineTypes(1, 2);
    chart->SetSubsetLineTypes(2, 1);
    chart->SetSGactions(sgPrintDialog);
}

} // namespace hygro
