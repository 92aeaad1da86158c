#pragma once
// Running code on the GUI thread from another thread. A call is queued and the caller
// blocks until the GUI thread has run it: the event loop and every other event
// processing (TApplication::ProcessMessages, QCoreApplication::processEvents) drain the
// queue. An exception thrown by the call is carried back and rethrown in the caller.
// Called on the GUI thread itself, the call runs at once.

#include <functional>

namespace forms {

// The GUI thread is the thread of the QCoreApplication; without one, every thread
// counts as the GUI thread and calls run at once.
bool IsGuiThread();

void Synchronize(const std::function<void()> &call);

// Runs the calls queued so far, without processing other events (GUI thread only).
// Returns whether any ran.
bool CheckSynchronize();

} // namespace forms
