#pragma once
// The device behind a comm handle: its service thread, its queues and the termios and
// ioctl work. Comm.cpp puts the Win32 entry points in front of it.

#include "platform/comm/Comm.h"
#include "platform/comm/CommEvents.h"

#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace win::device {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::milliseconds;

constexpr DWORD kDefaultInQueue = 4096;
constexpr DWORD kDefaultOutQueue = 2048;
// Larger requests are refused rather than taking the machine's memory.
constexpr DWORD kMaxQueue = 16u << 20;

// Status values written to OVERLAPPED::Internal; errors carry the Win32 code.
constexpr ULONG_PTR kStatusSuccess = 0;
constexpr ULONG_PTR kStatusErrorBase = 0xC0070000u;

inline ULONG_PTR statusFor(DWORD error) { return error == ERROR_SUCCESS ? kStatusSuccess : kStatusErrorBase | error; }

inline void storeStatus(OVERLAPPED *ov, ULONG_PTR status, ULONG_PTR bytes) {
    std::atomic_ref<ULONG_PTR>(ov->InternalHigh).store(bytes, std::memory_order_relaxed);
    std::atomic_ref<ULONG_PTR>(ov->Internal).store(status, std::memory_order_release);
}

inline ULONG_PTR loadStatus(OVERLAPPED *ov) {
    return std::atomic_ref<ULONG_PTR>(ov->Internal).load(std::memory_order_acquire);
}

inline BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

struct Operation {
    bool active = false;
    OVERLAPPED *ov = nullptr;
    HANDLE event = nullptr; // taken from the record at the start, as Win32 does
    unsigned char *readBuffer = nullptr;
    const unsigned char *writeBuffer = nullptr;
    DWORD *eventMask = nullptr;
    DWORD length = 0;
    DWORD done = 0;
    Clock::time_point lastByte;
    bool hasDeadline = false;
    Clock::time_point deadline;
    Millis interval{0};         // read: longest gap between bytes, 0 = none
    bool firstByteEnds = false; // read: complete as soon as any byte is there
};

class CommDevice final : public KernelObject {
public:
    CommDevice(int fd, int wakeFd, int helperFd, DWORD access)
        : fd_(fd), wakeFd_(wakeFd), helperFd_(helperFd), access_(access) {
        queue_.resize(kDefaultInQueue);
        int lines = 0;
        modemKnown_ = ::ioctl(fd_, TIOCMGET, &lines) == 0;
        if (modemKnown_) {
            dtrOn_ = lines & TIOCM_DTR;
            rtsOn_ = lines & TIOCM_RTS;
        }
        serial_icounter_struct counters{};
        countersKnown_ = ::ioctl(fd_, TIOCGICOUNT, &counters) == 0;
        struct stat st {};
        // Unix98 pty slaves have majors 136 to 143.
        isPty_ = ::fstat(fd_, &st) == 0 && major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
        std::lock_guard g(lock_);
        errorBase_ = eventBase_ = snapshot();
    }

    ~CommDevice() override {
        close();
        ::close(wakeFd_);
        ::close(helperFd_);
    }

    void start() {
        service_ = std::thread([this] { serviceLoop(); });
    }

    void close() override {
        {
            std::unique_lock g(lock_);
            if (closed_) return;
            closed_ = true;
            // Closing ends whatever is pending, without error, as a purge does.
            finish(read_, ERROR_SUCCESS);
            finish(write_, ERROR_SUCCESS);
            finishWait(0, ERROR_SUCCESS);
            // A thread still reading the line for its wait lets go of the descriptor first.
            wakeHelper();
            completed_.wait(g, [&] { return !helping_; });
        }
        wake();
        if (service_.joinable()) service_.join();
        stopWatcher();
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_); // also drops the flock
        fd_ = -1;
    }

    // Every entry point takes the lock and checks the handle's state first.
    // Returns 0 when the device may be used.
    DWORD usable() const {
        if (closed_) return ERROR_INVALID_HANDLE;
        if (vanished_) return ERROR_ACCESS_DENIED;
        return ERROR_SUCCESS;
    }

    // Called at the start of every call on the device while nobody polls the line
    // (a waiter read it and has left): the bytes that came meanwhile reach the queue,
    // and a device that went is found gone. The service thread takes the line again
    // when an operation is left pending without a waiter reading it.
    void reclaimInput() {
        if (inputIdle_ && !closed_ && !vanished_) readDevice();
    }

    std::mutex lock_;
    std::condition_variable completed_;

    BOOL setupComm(DWORD in, DWORD out);
    BOOL getState(DCB *dcb);
    BOOL setState(const DCB *dcb);
    BOOL getTimeouts(COMMTIMEOUTS *t);
    BOOL setTimeouts(const COMMTIMEOUTS *t);
    BOOL read(void *buffer, DWORD count, DWORD *transferred, OVERLAPPED *ov);
    BOOL write(const void *buffer, DWORD count, DWORD *transferred, OVERLAPPED *ov);
    BOOL overlappedResult(OVERLAPPED *ov, DWORD *transferred, BOOL wait);
    BOOL setMask(DWORD mask);
    BOOL getMask(DWORD *mask);
    BOOL waitEvent(DWORD *mask, OVERLAPPED *ov);
    BOOL clearError(DWORD *errors, COMSTAT *stat);
    BOOL purge(DWORD flags);
    BOOL escape(DWORD function);
    BOOL modemStatus(DWORD *status);

private:
    // Tells the service thread, and a waiter reading the line, that something changed
    // (room in the queue, a new operation, a new mask).
    // Wakes that come before the service thread has run are one wake: it looks at
    // everything each time it runs.
    void wake() {
        if (!serviceWakePending_.exchange(true)) {
            std::uint64_t one = 1;
            (void)!::write(wakeFd_, &one, sizeof one);
        }
        wakeHelper();
    }
    void wakeHelper() {
        if (!helperAsleep_) return;
        std::uint64_t one = 1;
        (void)!::write(helperFd_, &one, sizeof one);
    }

    LineState snapshot();
    DWORD outQueueBytes();
    void pushReceived(const unsigned char *data, size_t n);
    size_t takeQueued(unsigned char *out, size_t n);
    void finish(Operation &op, DWORD error);
    void finishWait(DWORD events, DWORD error);
    void vanish();
    void feedRead();
    void pumpWrite();
    void checkDrain();
    // Only a wait for EV_TXEMPTY needs the output watched while it drains.
    bool drainTimerArmed() const { return awaitingDrain_ && !write_.active && wait_.active && (mask_ & EV_TXEMPTY); }
    void checkWait();
    // A full queue leaves new bytes in the driver, so they never count as received;
    // a wait for EV_RXCHAR is told of them all the same, or a program that reads
    // only on that event would never hear the line again.
    bool heldBackWanted() const { return wait_.active && (mask_ & EV_RXCHAR) && count_ >= queue_.size(); }
    void reportHeldBack();
    void checkTimers(Clock::time_point now);
    int nextTimeout(Clock::time_point now);
    void readDevice();
    void serviceInput(short revents);
    void serviceLoop();
    void help(std::unique_lock<std::mutex> &held, OVERLAPPED *ov);
    void waitDone(std::unique_lock<std::mutex> &held, OVERLAPPED *ov);
    void startWatcher();
    void watchLoop();
    void stopWatcher();
    BOOL blockUntilDone(std::unique_lock<std::mutex> &held, OVERLAPPED &local, DWORD *transferred);

    int fd_;
    int wakeFd_;
    int helperFd_; // wakes a thread that reads the line for its own wait
    std::atomic<bool> serviceWakePending_{false};
    DWORD access_;
    std::thread service_;
    std::thread watcher_;
    bool watcherDone_ = false;
    std::condition_variable watcherEnded_;
    bool closed_ = false;
    bool vanished_ = false;
    // A thread blocked in GetOverlappedResult reads the line itself while it waits, so
    // that a byte wakes that thread alone rather than the service thread first and the
    // waiter after it. Meanwhile the service thread leaves input to it.
    bool helping_ = false;
    bool helperAsleep_ = false;
    // The helper has left and nobody polls the line.
    bool inputIdle_ = false;
    // Whether the service thread's current poll covers input.
    bool servicePollsInput_ = true;

    // Input queue, a ring of SetupComm's size.
    std::vector<unsigned char> queue_;
    size_t head_ = 0;
    size_t count_ = 0;
    DWORD outQueueSize_ = kDefaultOutQueue;

    // Settings termios has no place for are kept here and read back from here.
    bool haveStored_ = false;
    DCB stored_{};
    COMMTIMEOUTS timeouts_{};
    DWORD mask_ = 0;
    bool outputSuspended_ = false; // SETXOFF
    bool dtrOn_ = true, rtsOn_ = true;

    bool isPty_ = false;
    bool modemKnown_ = false;
    bool countersKnown_ = false;
    std::uint64_t received_ = 0;
    std::uint64_t flagChars_ = 0;
    std::uint64_t outputDrains_ = 0;
    bool awaitingDrain_ = false;
    Clock::time_point drainCheck_{};
    LineState eventBase_;
    LineState errorBase_;

    Operation read_, write_, wait_;
};

} // namespace win::device
