// Vadro's Open command on large table files: the peak memory of reading a table into a
// table window against the file's size and what its grid keeps. Files are made in a
// temporary folder: 50 MB (VADRO_TABLE_MB) of minimal rows (one TAB each) and of rows
// as the program saves them.

#include "ReadMemory.h"

#include "hygro/UList.h"
#include "hygro/UMain.h"
#include "hygro/core/TableFile.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/StringGrid.h"
#include "BenchSupport.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>

#include <memory>

namespace {

std::unique_ptr<QTemporaryDir> folder;
std::unique_ptr<hygro::TfrmMain> mainForm;

void readInto(benchmark::State &state, const QString &path) {
    readmemory::measure(
        state, path,
        [&] {
            forms::DialogScript().pushFile(path);
            mainForm->Open1Click();
            QApplication::processEvents();
        },
        [&] { return hygro::frmList ? double(hygro::frmList->Grid1->RowCount() - 1) : 0.0; },
        [&] {
            for (QMdiSubWindow *w : mainForm->MdiArea->subWindowList())
                if (dynamic_cast<hygro::TfrmList *>(w->widget()) && w->widget() != hygro::RealTimeList) delete w;
            QApplication::processEvents();
        });
    QFile::remove(path);
}

void BM_VadroOpenMinimalRows(benchmark::State &state) {
    const QString path = folder->filePath("minimal.txt");
    readmemory::makeFile(path, {}, "\t\r\n", readmemory::sizeMb("VADRO_TABLE_MB", 50) << 20);
    readInto(state, path);
}
BENCHMARK(BM_VadroOpenMinimalRows)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_VadroOpenSavedRows(benchmark::State &state) {
    const QString path = folder->filePath("saved.txt");
    readmemory::makeFile(
        path, {},
        hygro::FormatTableLine({"07/03/2026", "14:05:09", "45.5", "%RH", "23.1", "C", "25.0", "C"}, '\t') + "\r\n",
        readmemory::sizeMb("VADRO_TABLE_MB", 50) << 20);
    readInto(state, path);
}
BENCHMARK(BM_VadroOpenSavedRows)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char **argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    folder = std::make_unique<QTemporaryDir>();
    // Settings go to the temporary folder, not the user's.
    benchsupport::settingsIn(folder->path());
    setenv("METER_PORTS", "", 1);
    mainForm = std::make_unique<hygro::TfrmMain>();
    mainForm->resize(1024, 700);
    mainForm->show();
    QApplication::processEvents();
    // The windows go before the application, also when the options were refused.
    const int result = benchsupport::runBenchmarks(argc, argv);
    mainForm.reset();
    folder.reset();
    return result;
}
