#pragma once
// Waiting on another thread's state instead of on the clock: whether a thread of this
// process is asleep in a wait that only an event can end.

#include "support/TestSupport.h"

#include <sys/syscall.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// The system call a thread is blocked in, "<number> <arguments...>", or "running".
inline std::string syscallOf(int tid) {
    std::ifstream f("/proc/self/task/" + std::to_string(tid) + "/syscall");
    std::string line;
    std::getline(f, line);
    return line;
}

// Asleep in poll, ppoll or a futex wait without a time-out: such a thread is not
// polling on a timer, and wakes only when something happens.
inline bool asleepWithoutTimeout(int tid) {
    if (threadState(tid) != 'S') return false;
    std::istringstream in(syscallOf(tid));
    long nr = -1;
    std::string a[4];
    in >> nr >> a[0] >> a[1] >> a[2] >> a[3];
    switch (nr) {
#ifdef SYS_poll
        case SYS_poll: return a[2] == "0xffffffff" || a[2] == "0xffffffffffffffff"; // -1
#endif
        case SYS_ppoll: return a[2] == "0x0";
        case SYS_futex: return a[3] == "0x0";
        default: return false;
    }
}

// The threads that are not in `before`.
inline std::vector<int> threadsSince(const std::vector<int> &before) {
    std::vector<int> added;
    for (int id : threadIds())
        if (std::find(before.begin(), before.end(), id) == before.end()) added.push_back(id);
    return added;
}

// Asleep in poll or ppoll without a time-out: waiting for a descriptor or an event,
// not on a lock.
inline bool asleepInPoll(int tid) {
    if (!asleepWithoutTimeout(tid)) return false;
    long nr = -1;
    std::istringstream(syscallOf(tid)) >> nr;
#ifdef SYS_poll
    if (nr == SYS_poll) return true;
#endif
    return nr == SYS_ppoll;
}

// Checks `done` every millisecond until it holds or `timeout` passes; for threads
// without an event loop, or where the GUI thread must run no events.
template <typename F> bool pollUntil(F &&done, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace testsupport
