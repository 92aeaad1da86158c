#pragma once
// Running code on the GUI thread from another thread. A call is queued and the caller
// blocks until the GUI thread has run it: the event loop and every other event
// processing (TApplication::ProcessMessages, QCoreApplication::processEvents) drain the
// queue. An exception thrown by the call is carried back and rethrown in the caller.
// Called on the GUI thread itself, the call runs at once.

#include <atomic>
#include <functional>
#include <memory>

namespace forms {

// The GUI thread is the thread of the QCoreApplication; without one, every thread
// counts as the GUI thread and calls run at once.
bool IsGuiThread();

void Synchronize(const std::function<void()> &call);

// Lets a thread's owner withdraw the calls that thread queues: once cancelled, a queued
// call of the token returns to its caller without running, and so does every later one.
// A thread stopped while the GUI thread no longer drains the queue (shutting down)
// would otherwise stay blocked for good.
class SyncToken {
public:
    void Cancel();
    bool Cancelled() const { return cancelled_; }

private:
    std::atomic<bool> cancelled_{false};
};

void Synchronize(const std::function<void()> &call, const std::shared_ptr<SyncToken> &token);

// Runs the calls queued so far, without processing other events (GUI thread only).
// Returns whether any ran.
bool CheckSynchronize();

} // namespace forms
