#pragma once
// The class library's thread. Execute runs on a thread of its own; Terminate only
// asks it to stop (Execute polls Terminated). A thread made with FreeOnTerminate
// deletes itself when Execute returns, so nobody may touch it after that.
//
// C++ cannot start a virtual Execute from the base constructor, so a class derived
// from TThread calls AfterConstruction() at the end of its own constructor: that
// starts the thread unless it was created suspended (then Start() does).

#include "Component.h"

#include <atomic>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace forms {

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TThread : public TObject {
public:
    explicit TThread(bool CreateSuspended);
    // Waits for a running thread that does not free itself (after Terminate).
    ~TThread() override;
    TThread(const TThread &) = delete;
    TThread &operator=(const TThread &) = delete;

    void AfterConstruction();
    void Start();
    void Resume() { Start(); }

    void Terminate() { terminated_ = true; }
    bool Terminated() const { return terminated_; }
    bool Finished() const { return finished_; }

    // Takes effect when set before the thread starts.
    bool FreeOnTerminate() const { return freeOnTerminate_; }
    void SetFreeOnTerminate(bool on) { freeOnTerminate_ = on; }

    // Mapped onto the thread's nice value (tpNormal = the process's value, tpIdle the
    // lowest). Raising it beyond what the process may do is silently not applied.
    TThreadPriority Priority() const { return priority_; }
    void SetPriority(TThreadPriority priority);

    // Blocks until Execute has returned (not for FreeOnTerminate threads). Returns
    // ReturnValue.
    int WaitFor();
    int ReturnValue() const { return returnValue_; }

    // What escaped Execute, if anything.
    std::exception_ptr FatalException() const { return fatal_; }

    // The TThread whose Execute runs on the calling thread, or nullptr.
    static TThread *CurrentThread();

    // Runs `method` on the GUI thread and waits for it (see Sync.h).
    static void Synchronize(const std::function<void()> &method);

protected:
    virtual void Execute() = 0;
    void SetReturnValue(int value) { returnValue_ = value; }

private:
    void run();
    void applyPriority();

    bool suspended_;
    bool started_ = false;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> freeOnTerminate_{false};
    std::atomic<TThreadPriority> priority_{tpNormal};
    std::atomic<int> tid_{0};
    int returnValue_ = 0;
    std::exception_ptr fatal_;
    std::mutex startLock_;
    std::thread thread_;
};

} // namespace forms
