// The program entry of Vadro: the splash, the main form and the report form.

#include "hygro/UAbout.h"
#include "hygro/UMain.h"
#include "hygro/UQRP.h"

#include "platform/forms/Application.h"

#include <QApplication>
#include <QPushButton>

#include <memory>

int main(int argc, char **argv) {
    // The plain Unix event loop unless the user chose otherwise: the meter's waits sleep
    // and wake in it hundreds of times a second, and glib's loop costs more a turn.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB")) qputenv("QT_NO_GLIB", "1");
    QApplication app(argc, argv);
    forms::TApplication &application = *forms::Application;
    try {
        application.Initialize();
        application.SetTitle(QStringLiteral("Vadro"));
        // The splash is owned here; frmAbout only points at it while it is up.
        auto splash = std::make_unique<hygro::TfrmAbout>();
        hygro::frmAbout = splash.get();
        struct Forget {
            ~Forget() { hygro::frmAbout = nullptr; }
        } forget;
        hygro::frmAbout->BitBtn1->hide();
        hygro::frmAbout->show();
        hygro::frmAbout->repaint();
        QCoreApplication::processEvents();
        hygro::TfrmMain main;
        hygro::TfrmQRP report;
        hygro::frmQRP = &report;
        main.showMaximized();
        // The splash closed itself at the end of the start-up; it goes with it.
        hygro::frmAbout = nullptr;
        splash.reset();
        // Closed during the start-up: there is no window left to run for.
        if (main.isHidden()) return 0;
        const int rc = application.Run();
        hygro::frmQRP = nullptr;
        return rc;
    } catch (...) {
        application.HandleException(std::current_exception());
        return 0;
    }
}
