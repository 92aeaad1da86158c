// TfrmMain's tables: the real-time table's rows and window, the table files (save and
// open) and printing a table.

#include "hygro/UMain.h"

#include "hygro/UDataLogger.h"
#include "hygro/UGraph.h"
#include "hygro/UList.h"
#include "hygro/UScope.h"
#include "hygro/core/TableFile.h"

#include "platform/forms/Dialogs.h"
#include "platform/forms/Printer.h"
#include "platform/forms/RegularFile.h"
#include "platform/forms/StringGrid.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

namespace hygro {

namespace {

const QString RealTimeTabularCaption = QStringLiteral("Real Time Tabular");

} // namespace

// ---- real-time table ----------------------------------------------------------------

void TfrmMain::AppendGridRow(const QDateTime &time) {
    forms::TStringGrid *g = RealTimeList->Grid1;
    if (!g->Cells(colNo, 1).isEmpty()) g->SetRowCount(g->RowCount() + 1);
    if (g->VisibleRowCount() < g->RowCount()) g->SetTopRow(g->RowCount() - g->VisibleRowCount());
    const int r = g->RowCount() - 1;
    const ModelTraits *model = FindModel(MeterModel);
    const bool three = model && model->temperatures == 2;
    g->SetCells(colNo, r, QString::number(r));
    g->SetCells(colDate, r, QLocale::system().toString(time.date(), QLocale::ShortFormat));
    g->SetCells(colTime, r, time.toString(QStringLiteral("hh:mm:ss")));
    g->SetCells(colHumidity, r, Display.ReadingText[0]);
    g->SetCells(colHumidityUnit, r, QString::fromLatin1(HumidityUnit));
    g->SetCells(colT1Unit, r, Display.UnitLetter);
    if (three) g->SetCells(colT2Unit, r, Display.UnitLetter);
    g->SetCells(colT1, r, Display.ReadingText[1]);
    if (three) g->SetCells(colT2, r, Display.ReadingText[2]);
}

TfrmList *TfrmMain::createRealTimeList() {
    auto *list = new TfrmList(RealTimeTabularCaption);
    list->ShowIn(MdiArea);
    list->Grid1->SetOptions(list->Grid1->Options() & ~forms::goRowSelect);
    return list;
}

void TfrmMain::setModelHeaders(TfrmList *list) {
    const ModelTraits *model = FindModel(MeterModel);
    const bool one = model && model->temperatures == 1;
    const auto headers = TemperatureHeaders(one ? 1 : 2);
    for (int c = 0; c < 4; ++c) list->Grid1->SetCells(colT1 + c, 0, QString::fromLatin1(headers[size_t(c)]));
}

// ---- table files and printing ---------------------------------------------------------

bool TfrmMain::mnuSaveClick() {
    forms::TStringGrid *grid = nullptr;
    // The Stop command and the real-time table's close question ask for the real-time
    // table by name; another active table must not be saved in its place.
    if (SaveRealTimeList && RealTimeList)
        grid = RealTimeList->Grid1;
    else if (auto *list = dynamic_cast<TfrmList *>(ActiveMDIChild()))
        grid = list->Grid1;
    else if (auto *logger = dynamic_cast<TfrmDataLogger *>(ActiveMDIChild()))
        grid = logger->Grid1;
    else if (LoggerDataUnsaved && frmDataLogger)
        grid = frmDataLogger->Grid1;
    LoggerDataUnsaved = false;
    SaveRealTimeList = false;
    if (!grid) return false;
    // The window may be closed while the dialogs and the loop let events through.
    const QPointer<forms::TStringGrid> alive(grid);
    const int lastRow = grid->RowCount() - 1;
    const int lastCol = grid->ColCount() - 1;

    SaveDialog1->InitialDir = ProgramFolder();
    if (!SaveDialog1->Execute()) return false;

    RowRange range;
    {
        TfrmScope scope;
        scope.setWindowTitle(QStringLiteral("Save File"));
        scope.GroupBox1->show();
        scope.BitBtn1->show();
        scope.BitBtn2->show();
        scope.edtSelFrom->setText(QStringLiteral("1"));
        scope.edtSelTo->setText(QString::number(lastRow));
        if (scope.ShowModal() != forms::mrOk) return false;
        auto resolved =
            ResolveSaveRange(scope.radAll->isChecked(), scope.edtSelFrom->text(), scope.edtSelTo->text(), lastRow);
        if (!resolved) {
            forms::ShowMessage(QStringLiteral("invalid integer"));
            return false;
        }
        range = *resolved;
    }

    TfrmScope progress;
    progress.setWindowTitle(QStringLiteral("Saving Progress"));
    progress.Progress1->setRange(0, std::max(0, range.to - range.from + 1));
    progress.Progress1->setValue(0);
    progress.Progress1->show();
    progress.SText1->setText(QStringLiteral("saving....."));
    progress.SText1->show();
    progress.BitBtn2->show();
    progress.Show();
    progress.ModalResult = forms::mrNone;

    QFile file(SaveDialog1->FileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        progress.close();
        // Said plainly: the rows the user meant to keep are not on disk.
        forms::ShowMessage(QStringLiteral("Cannot create file ") + SaveDialog1->FileName);
        return false;
    }
    const char sep = SeparatorForFileName(SaveDialog1->FileName);
    bool complete = true;
    for (int r = range.from; r <= range.to; ++r) {
        if (!alive) {
            complete = false;
            break;
        }
        progress.Progress1->setValue(progress.Progress1->value() + 1);
        QStringList cells;
        for (int c = colDate; c <= lastCol; ++c) cells << alive->Cells(c, r); // the number is not saved
        file.write(FormatTableLine(cells, sep) + "\r\n");
        QCoreApplication::processEvents();
        if (progress.ModalResult == forms::mrCancel) {
            complete = false;
            break;
        }
    }
    progress.close();
    file.close();
    return complete;
}

void TfrmMain::Open1Click() {
    OpenDialog1->InitialDir = ProgramFolder();
    if (!OpenDialog1->Execute()) return;
    const QString name = OpenDialog1->FileName;

    TfrmScope progress;
    progress.setWindowTitle(QStringLiteral("Open Progress"));
    progress.SText1->setText(QStringLiteral("0"));
    progress.SText1->show();
    progress.BitBtn2->show();
    progress.Show();
    progress.ModalResult = forms::mrOk;

    QFile file;
    QString error;
    // A pipe or a device would block the open for ever, or never end: refused, and said.
    const forms::FileOpen opened = forms::OpenRegularFile(file, name, &error);
    if (opened != forms::FileOpen::Opened) {
        progress.close();
        if (opened == forms::FileOpen::NotAFile) forms::ShowMessage(error);
        return;
    }
    auto *list = new TfrmList(name);
    frmList = list;
    list->ShowIn(MdiArea);
    forms::TStringGrid *g = list->Grid1;
    const char sep = SeparatorForFileName(name);
    g->SetRedraw(false);

    TableFileReader reader(file, sep, g->ColCount());
    QStringList cells;
    int n = 0;
    // The count is drawn a few times a second: drawing it for every line was most of
    // the time a large file took.
    QElapsedTimer countShown;
    countShown.start();
    while (reader.nextRow(cells)) {
        if (progress.ModalResult == forms::mrCancel) break;
        n += 1;
        if (n == 1 || countShown.elapsed() >= 100) {
            progress.SText1->setText(QString::number(n));
            countShown.restart();
        }
        QCoreApplication::processEvents();
        if (!list || progress.ModalResult == forms::mrCancel) break;
        if (g->RowCount() - 1 < n) g->SetRowCount(g->RowCount() + 1);
        for (int i = 0; i < cells.size(); ++i) g->SetCells(colDate + i, n, cells[i]);
        g->SetCells(colNo, n, QString::number(n));
    }
    progress.SText1->setText(QString::number(n));
    file.close();
    progress.close();
    if (!list) return; // closed while it was being read
    if (reader.cutAtMaxRows())
        forms::ShowMessage(QStringLiteral("%1 holds more than %2 rows; the first %2 are shown.")
                               .arg(QDir::toNativeSeparators(name))
                               .arg(TableFileReader::MaxRows));
    const bool one = g->Cells(colT2, 1).isEmpty();
    const auto headers = TemperatureHeaders(one ? 1 : 2);
    for (int c = 0; c < 4; ++c) g->SetCells(colT1 + c, 0, QString::fromLatin1(headers[size_t(c)]));
    g->SetRedraw(true);
}

void TfrmMain::btnPrintClick() {
    if (auto *list = dynamic_cast<TfrmList *>(ActiveMDIChild()))
        PrintGrid(list->Grid1, list->Caption());
    else if (auto *logger = dynamic_cast<TfrmDataLogger *>(ActiveMDIChild()))
        PrintGrid(logger->Grid1, logger->Caption());
    else if (auto *graph = dynamic_cast<TfrmGraph *>(ActiveMDIChild()))
        PrintChart(graph->SciGraph1);
}

void TfrmMain::PrintGrid(forms::TStringGrid *grid, const QString &) {
    if (!PrintDialog1->Execute()) return;
    forms::TPrinter *printer = forms::Printer();
    printer->BeginDoc();
    forms::TCanvas *canvas = printer->Canvas();
    canvas->Font.Name = QStringLiteral("FixedSys");
    canvas->Font.SetSize(8);
    canvas->Font.Pitch = forms::fpDefault;
    const int h = 100;
    // A page too short for ten lines prints one line per page rather than none.
    const int lines = LinesPerPage(printer->PageHeight());
    for (int i = 0; i < grid->RowCount(); ++i) {
        if (i > 0 && i % lines == 0) printer->NewPage();
        QStringList cells;
        for (int c = 0; c < grid->ColCount(); ++c) cells << grid->Cells(c, i);
        const QString line = PrintLine(cells);
        if (line.contains(QStringLiteral("empty"))) break;
        canvas->TextOut(1, (i % lines) * h + h, line);
    }
    printer->EndDoc();
}

void TfrmMain::mnuPrinterSetupClick() { PrinterSetupDialog1->Execute(); }

} // namespace hygro
