// Palix's Open key on large files: the peak memory of reading a record file into
// FileList against the file's size and what the grids keep. Files are made in a
// temporary folder: a file of one line without any line end (PALIX_ONE_LINE_MB, 1024 by
// default), 50 MB of minimal records ("\t\t\t" each) and 50 MB of records as a recording
// writes them (PALIX_RECORDS_MB).

#include "ReadMemory.h"

#include "slm/FileList.h"
#include "slm/core/SlmFile.h"
#include "platform/forms/Dialogs.h"
#include "BenchSupport.h"

#include <QApplication>
#include <QTemporaryDir>

#include <memory>

namespace {

std::unique_ptr<QTemporaryDir> folder;

void readInto(benchmark::State &state, const QString &path) {
    slm::FileList *list = nullptr;
    readmemory::measure(
        state, path,
        [&] {
            list = slm::FileListForm();
            list->ReadFile(path);
        },
        [&] { return double(list->RecordCount()); },
        [&] {
            list->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        });
    QFile::remove(path);
}

void BM_PalixOpenOneLine(benchmark::State &state) {
    const QString path = folder->filePath("one-line.slm");
    readmemory::makeFile(path, "No.s\tDate Time\tSPL\r\n1\t2026/12/09 08:58:07\t85.3\t\r\n*", "x",
                         readmemory::sizeMb("PALIX_ONE_LINE_MB", 1024) << 20);
    readInto(state, path);
}
BENCHMARK(BM_PalixOpenOneLine)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_PalixOpenMinimalRecords(benchmark::State &state) {
    const QString path = folder->filePath("minimal.slm");
    readmemory::makeFile(path, "No.s\tDate Time\tSPL\r\n", "\t\t\t\r\n",
                         readmemory::sizeMb("PALIX_RECORDS_MB", 50) << 20);
    readInto(state, path);
}
BENCHMARK(BM_PalixOpenMinimalRecords)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_PalixOpenRecordedRecords(benchmark::State &state) {
    const QString path = folder->filePath("recorded.slm");
    readmemory::makeFile(path, slm::SlmFileLine(slm::SlmHeaderLine()),
                         slm::SlmFileLine(slm::SlmRecordLine(123456, "2026/12/09 08:58:07", "85.3")),
                         readmemory::sizeMb("PALIX_RECORDS_MB", 50) << 20);
    readInto(state, path);
}
BENCHMARK(BM_PalixOpenRecordedRecords)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char **argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    folder = std::make_unique<QTemporaryDir>();
    // A message box of the reader is answered and logged, never waited for.
    forms::DialogScript().setStrict(false);
    // The windows go before the application, also when the options were refused.
    const int result = benchsupport::runBenchmarks(argc, argv);
    folder.reset();
    return result;
}
