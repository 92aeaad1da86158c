// The download of the meter's memory in stream and block mode: LoggerTransfer says
// what to send and when the transfer ends; this file reads the port, writes the
// answers, waits and shows the progress. Every wait sleeps in the event loop: the
// progress window repaints and the program costs next to nothing while the line is
// slow; the progress window is modal so that no other command starts meanwhile.

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
#include <memory>

namespace hygro {

namespace {

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
    for (QWidget *w :
         std::initializer_list<QWidget *>{p->Progress1, p->lblTotalBytes, p->lblBytesReceived, p->SText1, p->SText2})
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
    while (port->WritePending() && t.elapsed() < 1000) SleepMs(1);
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
    // The flags are set only by handlers below this one on the stack; those cannot end
    // while we wait for them, so the wait is bounded and the download goes on after it.
    WaitWhile([] { return TimerBusy; });
    main->MainTimer->stop();
    CursorGuard cursor;
    Delay(LoggerQuietMs);
    if (streamMode) {
        port->PurgeOutput();
        port->PurgeInput();
    }
    WaitWhile([] { return RxBusy; });
    // Without a receive handler the port's event thread stops; the download reads the
    // input queue itself.
    port->SetActive(false);
    port->SetOnRxChar(nullptr);
    Delay(LoggerReopenMs);
    port->SetActive(true);
    port->PurgeOutput();
    port->PurgeInput();
    Delay(LoggerSettleMs);
    sendCommand(port, 'P');
    cursor.restore();
}

int TfrmDataLogger::DownloadStreamMode(TfrmMain *main) {
    if (refuse(main)) return lrRefused;
    DownloadBusy = true;
    // Shown from the start, so that the command is modal while it waits for the header.
    Progress progress = showProgress(LoggerMaxImage, QString());
    takePort(main, true);
    LoggerImage image;
    if (const int result = transfer(main, true, progress.get(), image); result != lrSuccess) return result;
    progress.reset();
    publish(std::move(image));
    return lrSuccess;
}

int TfrmDataLogger::DownloadBlockMode(TfrmMain *main) {
    if (refuse(main)) return lrRefused;
    DownloadBusy = true;
    Progress progress = showProgress(LoggerMaxImage, QString());
    update();
    takePort(main, false);
    LoggerImage image;
    if (const int result = transfer(main, false, progress.get(), image); result != lrSuccess) return result;
    progress.reset();
    publish(std::move(image));
    return lrSuccess;
}

int TfrmDataLogger::transfer(TfrmMain *main, bool streamMode, TfrmScope *progress, LoggerImage &image) {
    serial::TComPort *port = main->Comm1.get();
    QElapsedTimer clock;
    clock.start();
    LoggerTransfer t(streamMode, serial::BaudRateValue(port->BaudRate()), clock.elapsed());
    uint8_t chunk[LoggerStreamChunk];
    ProgressCount shown;
    long long counted = 0;
    bool totalShown = false;
    for (;;) {
        const int n = std::min(port->InputCount(), LoggerStreamChunk);
        if (n > 0) {
            port->Read(chunk, n, true);
            t.receive(chunk, size_t(n), clock.elapsed());
        }
        const LoggerStep step = t.next(clock.elapsed());
        if (!totalShown && t.totalKnown()) {
            totalShown = true;
            progress->lblTotalBytes->setText(QString::number(t.total()));
            if (streamMode) {
                progress->Progress1->setRange(0, t.barMaximum());
                progress->Progress1->setValue(0);
                progress->lblBytesReceived->setText(QStringLiteral("0"));
                update();
            } else {
                progress->Progress1->setMaximum(t.barMaximum());
            }
        }
        if (t.progress() != counted) {
            counted = t.progress();
            shown.show(progress, counted);
        }
        if (step.kind == LoggerStep::Finish) {
            if (step.result != 0) return step.result;
            break;
        }
        if (step.kind == LoggerStep::Send) sendCommand(port, step.command);
        // Bytes still queued are read at once; only an empty queue is waited on.
        else if (port->InputCount() == 0)
            SleepMs(step.waitMs);
    }
    return t.takeImage(RecordStride, QDateTime::currentDateTime(), image);
}

void TfrmDataLogger::publish(LoggerImage image) {
    Downloaded = std::move(image);

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
        forms::ShowMessage(
            QStringLiteral("There was error when reading data from meter,please click DataLogger from menu to "
                           "try again. Error number=") +
            QString::number(code));
    DownloadBusy = false;
}

} // namespace hygro
