// Vadro's table commands at volume, run by the program's own main form (no meter):
// opening a saved 100 000-row table (the Open command with its progress window, from
// the file dialog's answer to the last row shown) and saving it again; and "Output data
// to graph" on a table of two readings one row larger than a chart holds.

#include "hygro/UGraph.h"
#include "hygro/UList.h"
#include "hygro/UMain.h"
#include "hygro/UScope.h"
#include "hygro/core/TableFile.h"

#include "platform/forms/Dialogs.h"
#include "platform/forms/StringGrid.h"

#include "chart/SciGraphCtl.h"
#include "BenchSupport.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QLocale>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRadioButton>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace {

constexpr int Rows = 100000;

std::unique_ptr<QTemporaryDir> folder;
std::unique_ptr<hygro::TfrmMain> mainForm;

QString tableFile() {
    const QString path = folder->filePath(QStringLiteral("table.txt"));
    if (QFile::exists(path)) return path;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return {};
    for (int r = 1; r <= Rows; ++r) {
        const int s = r % 86400;
        const QString time = QStringLiteral("%1:%2:%3")
                                 .arg(s / 3600, 2, 10, QLatin1Char('0'))
                                 .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                                 .arg(s % 60, 2, 10, QLatin1Char('0'));
        f.write(
            hygro::FormatTableLine({"07/03/2026", time, QString::number(40 + r % 50) + ".5", "%RH",
                                    QString::number(20 + r % 7) + ".1", "C", QString::number(25 + r % 3) + ".0", "C"},
                                   '\t') +
            "\r\n");
    }
    return path;
}

hygro::TfrmMain &vadro() {
    if (!mainForm) {
        setenv("METER_PORTS", "", 1);
        mainForm = std::make_unique<hygro::TfrmMain>();
        mainForm->resize(1024, 700);
        mainForm->show();
        QApplication::processEvents();
    }
    return *mainForm;
}

void closeTables() {
    for (QMdiSubWindow *w : vadro().MdiArea->subWindowList())
        if (dynamic_cast<hygro::TfrmList *>(w->widget()) && w->widget() != hygro::RealTimeList) delete w;
    QApplication::processEvents();
}

void BM_VadroOpen100kRowTable(benchmark::State &state) {
    const QString path = tableFile();
    hygro::TfrmMain &main = vadro();
    for (auto _ : state) {
        forms::DialogScript().pushFile(path);
        main.Open1Click();
        // Until the table stands drawn.
        QApplication::processEvents();
        state.PauseTiming();
        if (!hygro::frmList || hygro::frmList->Grid1->RowCount() != Rows + 1) state.SkipWithError("table not read");
        closeTables();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * Rows);
}
BENCHMARK(BM_VadroOpen100kRowTable)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_VadroSave100kRowTable(benchmark::State &state) {
    const QString path = tableFile();
    hygro::TfrmMain &main = vadro();
    forms::DialogScript().pushFile(path);
    main.Open1Click();
    const QString out = folder->filePath(QStringLiteral("saved.txt"));
    for (auto _ : state) {
        forms::DialogScript().pushFile(out);
        // The range question: all rows.
        QTimer::singleShot(0, [] {
            if (auto *scope = dynamic_cast<hygro::TfrmScope *>(QApplication::activeModalWidget()))
                scope->BitBtn1->click();
        });
        main.mnuSaveClick();
    }
    if (QFileInfo(out).size() != QFileInfo(path).size()) state.SkipWithError("saved table differs in size");
    closeTables();
    state.SetItemsProcessed(int64_t(state.iterations()) * Rows);
}
BENCHMARK(BM_VadroSave100kRowTable)->Unit(benchmark::kMillisecond)->Iterations(3);

// 10 000 001 rows of two readings, one more than the 10 000 000 a chart of two subsets
// holds: the time of the whole command, the rows charted, and whether the message that
// says so was shown.
void BM_VadroChartTableLargerThanAChart(benchmark::State &state) {
    constexpr int BigRows = 10'000'001;
    hygro::TfrmMain &main = vadro();
    auto *list = new hygro::TfrmList(QStringLiteral("huge.txt"));
    list->ShowIn(main.MdiArea);
    forms::TStringGrid *g = list->Grid1;
    g->setUpdatesEnabled(false);
    g->SetRowCount(BigRows + 1);
    const QString date = QLocale::system().toString(QDate(2026, 3, 7), QLocale::ShortFormat);
    for (int r = 1; r <= BigRows; ++r) {
        const int s = r % 86400;
        const QString time = QStringLiteral("%1:%2:%3")
                                 .arg(s / 3600, 2, 10, QLatin1Char('0'))
                                 .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                                 .arg(s % 60, 2, 10, QLatin1Char('0'));
        const QString cells[] = {QString::number(r),
                                 date,
                                 time,
                                 QString::number(40 + r % 50) + ".5",
                                 "%RH",
                                 QString::number(20 + r % 7) + ".1",
                                 "C"};
        for (int c = 0; c < 7; ++c) g->SetCells(c, r, cells[c]);
    }
    g->setUpdatesEnabled(true);
    double charted = 0, said = 0;
    for (auto _ : state) {
        main.MdiArea->setActiveSubWindow(list->Frame());
        forms::DialogScript().reset();
        main.btnOutputGraphClick();
        state.PauseTiming();
        for (const forms::DialogRecord &r : forms::DialogScript().log())
            if (r.text.startsWith(QLatin1String("The table has"))) said = 1;
        if (hygro::frmGraph) {
            charted = hygro::frmGraph->SciGraph1->Points();
            delete hygro::frmGraph->Frame();
        }
        QApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["rows_charted"] = charted;
    state.counters["message"] = said;
    delete list->Frame();
}
BENCHMARK(BM_VadroChartTableLargerThanAChart)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char **argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    folder = std::make_unique<QTemporaryDir>();
    // Settings go to the temporary folder, not the user's.
    benchsupport::settingsIn(folder->path());
    // The windows go before the application, also when the options were refused.
    const int result = benchsupport::runBenchmarks(argc, argv);
    closeTables();
    mainForm.reset();
    folder.reset();
    return result;
}
