// Palix: the program for the integrating sound level meter.

#include "Panel.h"
#include "Port.h"

#include "platform/forms/Application.h"
#include "platform/vb/Runtime.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {

// Each handler traps the runtime errors it expects itself; anything else that escapes
// one is shown by the application object, as Vadro's handlers do, instead of being
// thrown through the event loop, which would end the program mid-recording.
class GuardedApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (...) {
            forms::Application->HandleException(std::current_exception());
            return false;
        }
    }
};

} // namespace

int main(int argc, char **argv) {
    // The plain Unix event loop unless the user chose otherwise: the meter's waits sleep
    // and wake in it hundreds of times a second, and glib's loop costs more a turn.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB")) qputenv("QT_NO_GLIB", "1");
    GuardedApplication app(argc, argv);
    QApplication::setApplicationName("Palix");

    // --port COMn answers the port choice as if it had been typed and confirmed, so
    // that a script can start the program on a given port.
    QString answer;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc)
            answer = QString::fromLocal8Bit(argv[++i]);
        else if (std::strcmp(argv[i], "--help") == 0) {
            std::puts("usage: palix [--port COMn]\nCOM n is the n-th entry of METER_PORTS, then of the machine's "
                      "serial ports.");
            return 0;
        }
    }

    auto *port = new slm::Port;
    port->show();
    if (!answer.isEmpty()) {
        QTimer::singleShot(0, port, [port, answer] {
            port->TxtCOM->setEditText(answer);
            port->CmdOK_Click();
        });
    }
    const int rc = QApplication::exec();
    // Panel lives as long as the program: its waits may still be on the stack when it
    // closes.
    delete slm::PanelForm;
    return rc;
}
