// The download of the meter's memory in stream mode (the meter sends the whole image
// at once) and block mode (64 bytes and a checksum at a time, each answered "y", "n"
// or "Q"). Every wait sleeps in the event loop: the progress window repaints and the
// program costs next to nothing while the line is slow; the progress window is modal
// so that no other command starts meanwhile.

#include "hygro/UDataLogger.h"

#include "hygro/UMain.h"
#include "hygro/UScope.h"

#include "platform/forms/Dialogs.h"
#include "platform/forms/StringGrid.h"
#include "serial/ComPort.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <memory>

namespace hygro {

namespace {

constexpr qint64 SilenceMs = 3000;      // end of the transfer, or no header
constexpr qint64 PartialBlockMs = 1500; // a block that stopped short is asked for again
constexpr qint64 BusyWaitLimitMs = 3000;

// Sleeps in the event loop for `ms` (at least one).
void sleepMs(qint64 ms) {
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(int(std::clamp<qint64>(ms, 1, 1000)));
    loop.exec();
}

// Milliseconds that `bytes` need on the line at the port's speed, at least one.
qint64 lineMs(serial::TComPort *port, int bytes) {
    const int baud = serial::BaudRateValue(port->BaudRate());
    const double perByte = 10000.0 / (baud > 0 ? baud : 9600);
    return std::max<qint64>(1, std::llround(perByte * bytes));
}

// The flags are set only by handlers below this one on the stack; those cannot end
// while we wait for them, so the wait is bounded and the download goes on after it.
void waitIdle(bool &flag) {
    QElapsedTimer t;
    t.start();
    while (flag && t.elapsed() < BusyWaitLimitMs) sleepMs(1);
}

struct CursorGuard {
    CursorGuard() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CursorGuard() { restore(); }
    void restore() {
        if (on) QApplication::restoreOverrideCursor();
        on = false;
    }
    bool on = true;
};

// The progress window; freed (not closed: it refuses while DownloadBusy) when done.
struct ProgressDeleter {
    void operator()(TfrmScope *s) const {
        s->hide();
        delete s;
    }
};
using Progress = std::unique_ptr<TfrmScope, ProgressDeleter>;

Progress showProgress(int maximum, const QString &total) {
    Progress p(new TfrmScope());
    p->setWindowTitle(QStringLiteral("Data Retriving Progress"));
    for (QWidget *w : std::initializer_list<QWidget *>{p->Progress1, p->lblTotalBytes, p->lblBytesReceived, p->SText1, p->SText2})
        w->show();
    p->Progress1->setRange(0, maximum);
    p->Progress1->setValue(0);
    p->lblTotalBytes->setText(total);
    p->lblBytesReceived->setText(QStringLiteral("0"));
    p->setWindowModality(Qt::ApplicationModal);
    p->show();
    p->raise();
    return p;
}

// The received count on the progress window, redrawn at most ten times a second: a
// block comes every 70 ms, and a redraw for each would cost more than the transfer.
class ProgressCount {
public:
    void show(TfrmScope *p, long long count) {
        if (shown_.isValid() && shown_.elapsed() < 100) return;
        shown_.start();
        p->lblBytesReceived->setText(QString::number(count));
        p->Progress1->setValue(int(std::min<long long>(count, p->Progress1->maximum())));
    }

private:
    QElapsedTimer shown_;
};

void sendCommand(serial::TComPort *port, char command) {
    // The write buffer is the one byte LoggerCommand: a write still pending keeps it.
    QElapsedTimer t;
    t.start();
    while (port->WritePending() && t.elapsed() < 1000) sleepMs(1);
    LoggerCommand = static_cast<unsigned char>(command);
    port->Write(&LoggerCommand, 1, false);
}

} // namespace

int TfrmDataLogger::refuse(TfrmMain *) {
    if (!LinkUp) {
        forms::ShowMessage(QStringLiteral("No thermometer is connected !"));
        return 1;
    }
    if (Display.Recording) {
        forms::ShowMessage(QStringLiteral("The meter is recording data, please stop recording before loading data."));
        return 1;
    }
    return 0;
}

void TfrmDataLogger::takePort(TfrmMain *main, bool streamMode) {
    serial::TComPort *port = main->Comm1.get();
    waitIdle(TimerBusy);
    main->MainTimer->stop();
    CursorGuard cursor;
    Delay(2000);
    if (streamMode) {
        port->PurgeOutput();
        port->PurgeInput();
    }
    waitIdle(RxBusy);
    // Without a receive handler the port's event thread stops; the download reads the
    // input queue itself.
    port->SetActive(false);
    port->SetOnRxChar(nullptr);
    Delay(300);
    port->SetActive(true);
    port->PurgeOutput();
    port->PurgeInput();
    Delay(1000);
    sendCommand(port, 'P');
    cursor.restore();
}

int TfrmDataLogger::DownloadStreamMode(TfrmMain *main) {
    if (refuse(main)) return lrRefused;
    serial::TComPort *port = main->Comm1.get();
    DownloadBusy = true;
    // Shown from the start, so that the command is modal while it waits for the header.
    Progress progress = showProgress(LoggerMaxImage, QString());
    takePort(main, true);

    QElapsedTimer clock;
    clock.start();
    int waiting = 0;
    for (;;) {
        waiting = port->InputCount();
        if (waiting >= LoggerHeaderSize || clock.elapsed() > SilenceMs) break;
        sleepMs(std::min(SilenceMs + 1 - clock.elapsed(), lineMs(port, LoggerHeaderSize - waiting)));
    }
    if (waiting < LoggerHeaderSize) return lrNoHeader;
    uint8_t header[LoggerHeaderSize];
    port->Read(header, LoggerHeaderSize, true);
    const LoggerHeader h = *ParseLoggerHeader(header, sizeof header);
    if (const int bad = CheckStreamLength(h.lastPos)) return bad;
    const int total = h.lastPos - (LoggerHeaderSize - 1);

    progress->Progress1->setRange(0, total);
    progress->Progress1->setValue(0);
    progress->lblTotalBytes->setText(QString::number(total));
    progress->lblBytesReceived->setText(QStringLiteral("0"));
    update();

    std::vector<uint8_t> image;
    image.reserve(size_t(total));
    uint8_t chunk[LoggerStreamChunk];
    ProgressCount shown;
    int count = 0;
    QElapsedTimer lastData;
    lastData.start();
    while (count < total) {
        const int n = std::min(port->InputCount(), LoggerStreamChunk);
        if (n == 0) {
            if (lastData.elapsed() > SilenceMs) return lrIncomplete;
            // Sleep until a chunk's worth can be there, or until the silence ends it.
            sleepMs(std::min(SilenceMs + 1 - lastData.elapsed(),
                             lineMs(port, std::min(total - count, LoggerStreamChunk))));
            continue;
        }
        port->Read(chunk, n, true);
        // Bytes beyond the announced length are dropped.
        const int keep = std::min(n, total - count);
        image.insert(image.end(), chunk, chunk + keep);
        count += n;
        lastData.start();
        shown.show(progress.get(), std::min(count, total));
    }
    progress.reset();

    if (const int bad = CheckStreamSetCount(h.setCount)) return bad;
    LoggerSetTable sets;
    if (const int bad = SplitLoggerSets(image.data(), image.size(), h.setCount, RecordStride, QDateTime::currentDateTime(), sets))
        return bad;
    publish(std::move(image), std::move(sets), h.setCount);
    return lrSuccess;
}

int TfrmDataLogger::DownloadBlockMode(TfrmMain *main) {
    if (refuse(main)) return lrRefused;
    serial::TComPort *port = main->Comm1.get();
    DownloadBusy = true;
    Progress progress = showProgress(LoggerMaxImage, QString());
    update();
    takePort(main, false);

    std::vector<uint8_t> image;
    int errors = 0;
    long long expected = 0;
    bool headerSeen = false;
    uint8_t block[LoggerBlockSize];
    bool answered = true; // "P" is on its way
    ProgressCount shown;
    QElapsedTimer lastBlock;
    lastBlock.start();
    for (;;) {
        if (lastBlock.elapsed() >= SilenceMs) break;
        if (expected > LoggerMaxImage || errors > LoggerMaxBlockErrors) {
            sendCommand(port, 'Q');
            break;
        }
        const int waiting = port->InputCount();
        if (waiting >= LoggerBlockSize) {
            port->Read(block, LoggerBlockSize, true);
            if (BlockChecksum(block) == block[LoggerBlockData]) {
                image.insert(image.end(), block, block + LoggerBlockData);
                sendCommand(port, 'y');
                shown.show(progress.get(), (long long)image.size());
            } else {
                errors += 1;
                sendCommand(port, 'n');
            }
            if (!headerSeen && image.size() >= size_t(LoggerBlockData)) {
                const LoggerHeader h = *ParseLoggerHeader(image.data(), image.size());
                expected = BlockExpectedLength(h.lastPos);
                progress->lblTotalBytes->setText(QString::number(expected));
                progress->Progress1->setMaximum(int(std::min<long long>(h.lastPos + 1LL, INT32_MAX)));
                headerSeen = true;
            }
            lastBlock.start();
            answered = true;
            continue;
        }
        if (waiting > 0 && lastBlock.elapsed() > PartialBlockMs) {
            port->Read(block, waiting, true);
            errors += 1;
            sendCommand(port, 'n');
            lastBlock.start();
            answered = true;
            continue;
        }
        // Sleep until the rest of a block can be there (right after an answer, its byte
        // on the way to the meter counts too), or until a deadline.
        qint64 ms = std::min(SilenceMs - lastBlock.elapsed(),
                             lineMs(port, LoggerBlockSize - waiting + (answered ? 1 : 0)));
        answered = false;
        if (waiting > 0) ms = std::min(ms, PartialBlockMs + 1 - lastBlock.elapsed());
        sleepMs(ms);
    }
    progress.reset();

    if (const int bad = CheckBlockImage(image.data(), image.size())) return bad;
    const LoggerHeader h = *ParseLoggerHeader(image.data(), image.size());
    LoggerSetTable sets;
    if (const int bad = SplitLoggerSets(image.data() + LoggerHeaderSize, image.size() - LoggerHeaderSize, h.setCount,
                                        RecordStride, QDateTime::currentDateTime(), sets))
        return bad;
    image.erase(image.begin(), image.begin() + LoggerHeaderSize);
    publish(std::move(image), std::move(sets), h.setCount);
    return lrSuccess;
}

void TfrmDataLogger::publish(std::vector<uint8_t> image, LoggerSetTable sets, int setCount) {
    MemoryImage = std::move(image);
    SetCount = setCount;
    SetStartTimes = std::move(sets.startTimes);
    SetRates = std::move(sets.rates);
    SetRecordCounts = std::move(sets.recordCounts);
    SetUnitLetters = std::move(sets.unitLetters);
    SetStartOffsets = std::move(sets.startOffsets);
    SetEndOffsets = std::move(sets.endOffsets);

    Grid2->SetRowCount(SetCount + 1);
    const QLocale locale = QLocale::system();
    for (int r = 1; r <= SetCount; ++r) {
        const size_t s = size_t(r - 1);
        Grid2->SetCells(0, r, QString::number(r));
        Grid2->SetCells(1, r, locale.toString(SetStartTimes[s].date(), QLocale::ShortFormat));
        Grid2->SetCells(2, r, SetStartTimes[s].toString(QStringLiteral("hh:mm:ss")));
        Grid2->SetCells(3, r, LoggerRateText(SetRates[s]));
        Grid2->SetCells(4, r, QString::number(SetRecordCounts[s]));
    }
    DownloadBusy = false;
    Grid2->SetSelection({0, 1, 4, 1});
    DecodeDataSet(0);
}

void TfrmDataLogger::ShowDownloadError(int code) {
    if (code == lrEmpty)
        forms::ShowMessage(QStringLiteral("There was not any data recorded in momery of meter !"));
    else
        forms::ShowMessage(QStringLiteral("There was error when reading data from meter,please click DataLogger from menu to "
                                          "try again. Error number=") +
                           QString::number(code));
    DownloadBusy = false;
}

} // namespace hygro
