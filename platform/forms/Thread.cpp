#include "Thread.h"

#include "Sync.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace forms {

namespace {

thread_local TThread *currentThread = nullptr;

int niceOf(TThreadPriority p) {
    switch (p) {
        case tpIdle: return 19;
        case tpLowest: return 10;
        case tpLower: return 5;
        case tpNormal: return 0;
        case tpHigher: return -5;
        case tpHighest: return -10;
        case tpTimeCritical: return -20;
    }
    return 0;
}

// Without the privilege to raise priority, RLIMIT_NICE bounds how far we may go;
// a value beyond it is clamped rather than refused. The bound never pushes a thread
// below where it already stands: a refused raise must not turn into a drop.
void setThreadNice(int tid, int nice) {
    if (setpriority(PRIO_PROCESS, id_t(tid), nice) == 0) return;
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, id_t(tid));
    rlimit lim{};
    if (errno != 0 || getrlimit(RLIMIT_NICE, &lim) != 0) return;
    const int floor = 20 - int(std::min<rlim_t>(lim.rlim_cur, 40));
    const int target = std::max(nice, std::min(floor, current));
    if (target != current) setpriority(PRIO_PROCESS, id_t(tid), target);
}

} // namespace

TThread::TThread(bool CreateSuspended) : suspended_(CreateSuspended) {}

TThread::~TThread() {
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id()) {
            thread_.detach();
        } else {
            Terminate();
            thread_.join();
        }
    }
}

void TThread::AfterConstruction() {
    if (!suspended_) Start();
}

void TThread::Start() {
    std::lock_guard<std::mutex> g(startLock_);
    if (started_) return;
    started_ = true;
    thread_ = std::thread([this] { run(); });
    // A thread that frees itself cannot be joined by anyone.
    if (freeOnTerminate_) thread_.detach();
}

void TThread::run() {
    bool freeSelf;
    {
        std::lock_guard<std::mutex> g(startLock_); // Start has finished with thread_
        freeSelf = !thread_.joinable();
    }
    currentThread = this;
    tid_ = int(syscall(SYS_gettid));
    applyPriority();
    try {
        Execute();
    } catch (...) {
        fatal_ = std::current_exception();
    }
    tid_ = 0;
    currentThread = nullptr;
    if (freeSelf) {
        delete this;
        return;
    }
    finished_ = true;
}

void TThread::SetPriority(TThreadPriority priority) {
    priority_ = priority;
    applyPriority();
}

void TThread::applyPriority() {
    if (int tid = tid_) setThreadNice(tid, niceOf(priority_));
}

int TThread::WaitFor() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
    return returnValue_;
}

TThread *TThread::CurrentThread() { return currentThread; }

void TThread::Synchronize(const std::function<void()> &method) { forms::Synchronize(method); }

} // namespace forms
