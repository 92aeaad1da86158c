#pragma once
// The application object. The program's main creates the QApplication first; Run
// then runs its event loop until Terminate.

#include "Component.h"

#include <QString>

#include <exception>

namespace forms {

class Exception;

class TApplication : public TComponent {
public:
    explicit TApplication(TComponent *AOwner = nullptr);

    void Initialize();
    QString Title() const { return title_; }
    void SetTitle(const QString &title);

    // The event loop; returns at once when Terminate was already called.
    int Run();
    // Handles the events that are waiting (the synchronisation queue included), then
    // returns.
    void ProcessMessages();
    void Terminate();
    bool Terminated() const { return terminated_; }

    // Shows the exception being handled (call it inside a catch block): its message in
    // an error box titled with Title, or on stderr without a GUI. EAbort shows nothing.
    // Called on another thread, the box is shown on the GUI thread and the caller waits.
    void HandleException(TObject *Sender);
    void HandleException(std::exception_ptr error);
    void ShowException(const Exception &E);

private:
    QString title_;
    bool terminated_ = false;
};

extern TApplication *Application;

} // namespace forms
