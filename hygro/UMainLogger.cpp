// The main form's data-logger command: opens the data-logger window, runs the
// download in the meter's transfer mode and hands the port back to the poll loop.

#include "hygro/UMain.h"

#include "hygro/UDataLogger.h"

#include "platform/forms/Dialogs.h"
#include "platform/win/Win32.h"
#include "serial/ComPort.h"

#include <QMdiArea>
#include <QPointer>
#include <QTimer>

namespace hygro {

void TfrmMain::LoadData1Click() {
    // One download at a time; its modal progress window keeps the menus away, this keeps
    // away any other way in.
    if (DownloadBusy) return;
    if (frmDataLogger) {
        frmDataLogger->BringToFront();
    } else {
        auto *logger = new TfrmDataLogger();
        frmDataLogger = logger;
        logger->ShowIn(MdiArea);
        logger->Restore();
        logger->SetBounds(0, 0, MdiArea->width(), MdiArea->height() - 60);
    }
    const QPointer<TfrmDataLogger> logger = frmDataLogger;
    int result = lrRefused;
    try {
        result = IdentByte == 13 ? logger->DownloadStreamMode(this) : logger->DownloadBlockMode(this);
    } catch (const serial::EComError &e) {
        // The port failed under the download (a device that vanished): the poll loop
        // gets the port back and the sets of the last download stay as they were.
        handBackLoggerPort();
        DownloadBusy = false;
        // The port was open when the download began: a denial now means the device went
        // away (the layer's code for a hang-up), not a permission.
        const bool lost =
            e.ErrorCode() == int(win::ERROR_ACCESS_DENIED) || e.ErrorCode() == int(win::ERROR_DEVICE_NOT_CONNECTED);
        const QString reason =
            lost ? QStringLiteral("the meter's port %1 was closed or disconnected.").arg(Comm1->DeviceName())
                 : e.Message();
        forms::ShowMessage(
            QStringLiteral("The connection to the meter failed during the download: ") + reason +
            QStringLiteral(" Please check the cable and click DataLogger from menu to try again; the data "
                           "sets shown are kept."));
        return;
    } catch (...) {
        handBackLoggerPort();
        DownloadBusy = false;
        throw;
    }
    handBackLoggerPort();
    if (result != lrSuccess && result != lrRefused) TfrmDataLogger::ShowDownloadError(result);
    if (result == lrSuccess) LoggerDataUnsaved = true;
}

void TfrmMain::handBackLoggerPort() {
    // Also after a refusal. A port that cannot be reopened is left to the poll loop,
    // which shows the lost link.
    try {
        Comm1->SetActive(false);
    } catch (const forms::Exception &) {
        // Reopened just below; a close that fails leaves the port as it was.
    }
    Comm1->SetOnRxChar(forms::Bind(this, &TfrmMain::Comm1RxChar));
    Delay(LoggerReopenMs);
    try {
        Comm1->SetActive(true);
    } catch (const forms::Exception &) {
        // A port that cannot be reopened is left to the poll loop, which shows the lost link.
    }
    MainTimer->start();
}

} // namespace hygro
