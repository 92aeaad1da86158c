#include "Application.h"

#include "Exceptions.h"
#include "Sync.h"

#include "Dialogs.h"

#include <QApplication>
#include <QEventLoop>

#include <cstdio>

namespace forms {

namespace {
TApplication theApplication;
}

TApplication *Application = &theApplication;

TApplication::TApplication(TComponent *AOwner) : TComponent(AOwner) {}

void TApplication::Initialize() { terminated_ = false; }

void TApplication::SetTitle(const QString &title) { title_ = title; }

int TApplication::Run() {
    if (terminated_ || !QCoreApplication::instance()) return 0;
    return QCoreApplication::exec();
}

void TApplication::ProcessMessages() {
    if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents);
    CheckSynchronize();
}

void TApplication::Terminate() {
    terminated_ = true;
    if (QCoreApplication::instance()) QCoreApplication::quit();
}

void TApplication::HandleException(TObject *) { HandleException(std::current_exception()); }

void TApplication::HandleException(std::exception_ptr error) {
    if (!error) return;
    try {
        std::rethrow_exception(error);
    } catch (const EAbort &) {
    } catch (const Exception &e) {
        ShowException(e);
    } catch (const std::exception &e) {
        ShowException(Exception(e.what()));
    } catch (...) {
        ShowException(Exception("Unknown exception"));
    }
}

void TApplication::ShowException(const Exception &E) {
    // Widgets live on the GUI thread only: a handler failing on an event thread has
    // its box shown there, and waits for it as it would for its own.
    if (!IsGuiThread()) {
        const Exception copy = E;
        Synchronize([this, copy] { ShowException(copy); });
        return;
    }
    if (qobject_cast<QApplication *>(QCoreApplication::instance())) {
        MessageBox(E.Message(), title_, MB_OK | MB_ICONSTOP);
        return;
    }
    std::fprintf(stderr, "%s\n", E.what());
}

} // namespace forms
