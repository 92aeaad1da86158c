#include "platform/win/Win32.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace win {

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

struct HandleTable {
    std::mutex lock;
    std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> objects;
    // Handles are multiples of 4 as on Windows, start away from 0 and are never
    // reused, so a stale handle fails instead of reaching a newer object.
    std::uintptr_t next = 0x100;
};

HandleTable &table() {
    static HandleTable *t = new HandleTable; // outlives static destructors of callers
    return *t;
}

class Event final : public KernelObject {
public:
    Event(int fd, bool manual) : fd_(fd), manual_(manual) {}
    ~Event() override { ::close(fd_); }

    int fd() const { return fd_; }

    void set() {
        std::lock_guard g(lock_);
        if (!signalled_) {
            std::uint64_t one = 1;
            (void)!::write(fd_, &one, sizeof one);
            signalled_ = true;
        }
    }

    void reset() {
        std::lock_guard g(lock_);
        if (signalled_) {
            std::uint64_t value;
            (void)!::read(fd_, &value, sizeof value);
            signalled_ = false;
        }
    }

    // Called after poll saw the descriptor readable: a manual-reset event stays
    // signalled, an auto-reset one is taken by this waiter if still there.
    bool acquire() {
        if (manual_) return true;
        std::lock_guard g(lock_);
        if (!signalled_) return false;
        std::uint64_t value;
        (void)!::read(fd_, &value, sizeof value);
        signalled_ = false;
        return true;
    }

private:
    std::mutex lock_;
    int fd_;
    bool manual_;
    bool signalled_ = false;
};

using Clock = std::chrono::steady_clock;

// Milliseconds left until the deadline for poll; -1 without a limit.
int pollTimeout(DWORD milliseconds, Clock::time_point deadline) {
    if (milliseconds == INFINITE) return -1;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return 0;
    // Round up so a short remainder does not turn into a busy zero-timeout poll.
    return int(std::min<long long>(left + 1, 1 << 30));
}

} // namespace

KernelObject::~KernelObject() = default;

DWORD GetLastError() { return lastError; }
void SetLastError(DWORD code) { lastError = code; }

std::string SysErrorMessage(DWORD code) {
    switch (code) {
        case ERROR_SUCCESS: return "The operation completed successfully.";
        case ERROR_INVALID_FUNCTION: return "Incorrect function.";
        case ERROR_FILE_NOT_FOUND: return "The system cannot find the file specified.";
        case ERROR_PATH_NOT_FOUND: return "The system cannot find the path specified.";
        case ERROR_TOO_MANY_OPEN_FILES: return "The system cannot open the file.";
        case ERROR_ACCESS_DENIED: return "Access is denied.";
        case ERROR_INVALID_HANDLE: return "The handle is invalid.";
        case ERROR_NOT_ENOUGH_MEMORY: return "Not enough memory resources are available to process this command.";
        case ERROR_NOT_READY: return "The device is not ready.";
        case ERROR_GEN_FAILURE: return "A device attached to the system is not functioning.";
        case ERROR_SHARING_VIOLATION:
            return "The process cannot access the file because it is being used by another process.";
        case ERROR_NOT_SUPPORTED: return "The request is not supported.";
        case ERROR_FILE_EXISTS: return "The file exists.";
        case ERROR_INVALID_PARAMETER: return "The parameter is incorrect.";
        case ERROR_DISK_FULL: return "There is not enough space on the disk.";
        case ERROR_INSUFFICIENT_BUFFER: return "The data area passed to a system call is too small.";
        case ERROR_BUSY: return "The requested resource is in use.";
        case ERROR_FILENAME_EXCED_RANGE: return "The filename or extension is too long.";
        case WAIT_TIMEOUT: return "The wait operation timed out.";
        case ERROR_OPERATION_ABORTED:
            return "The I/O operation has been aborted because of either a thread exit or an application request.";
        case ERROR_IO_INCOMPLETE: return "Overlapped I/O event is not in a signaled state.";
        case ERROR_IO_PENDING: return "Overlapped I/O operation is in progress.";
        case ERROR_IO_DEVICE: return "The request could not be performed because of an I/O device error.";
        case ERROR_DEVICE_NOT_CONNECTED: return "The device is not connected.";
        case ERROR_TIMEOUT: return "This operation returned because the timeout period expired.";
        default: return "Unknown error " + std::to_string(code) + ".";
    }
}

DWORD ErrorFromErrno(int err) {
    switch (err) {
        case 0: return ERROR_SUCCESS;
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:
        case EIO:
        case ENXIO:
        case ENODEV: return ERROR_ACCESS_DENIED;
        case EBADF: return ERROR_INVALID_HANDLE;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        case EBUSY:
        case EWOULDBLOCK: return ERROR_SHARING_VIOLATION;
        case EEXIST: return ERROR_FILE_EXISTS;
        case EINVAL:
        case EFAULT:
        case ERANGE: return ERROR_INVALID_PARAMETER;
        case EMFILE:
        case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
        case ENOSPC: return ERROR_DISK_FULL;
        case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
        case ENOTTY: return ERROR_INVALID_FUNCTION;
        case ENOSYS:
        case EOPNOTSUPP: return ERROR_NOT_SUPPORTED;
        case ECANCELED:
        case EINTR: return ERROR_OPERATION_ABORTED;
        case ETIMEDOUT: return ERROR_TIMEOUT;
        default: return ERROR_GEN_FAILURE;
    }
}

HANDLE AddHandle(std::shared_ptr<KernelObject> object) {
    auto &t = table();
    std::lock_guard g(t.lock);
    std::uintptr_t value = t.next;
    t.next += 4;
    t.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> ReferenceHandle(HANDLE h) {
    auto &t = table();
    std::lock_guard g(t.lock);
    auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(h));
    return it == t.objects.end() ? nullptr : it->second;
}

BOOL CloseHandle(HANDLE h) {
    std::shared_ptr<KernelObject> object;
    {
        auto &t = table();
        std::lock_guard g(t.lock);
        auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(h));
        if (it == t.objects.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        object = std::move(it->second);
        t.objects.erase(it);
    }
    // Outside the table lock: closing a device joins its service thread, which
    // signals events through the table.
    object->close();
    return TRUE;
}

HANDLE CreateEventA(SECURITY_ATTRIBUTES *, BOOL manualReset, BOOL initialState, const char *) {
    int fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fd < 0) {
        SetLastError(ErrorFromErrno(errno));
        return nullptr;
    }
    auto event = std::make_shared<Event>(fd, manualReset != FALSE);
    if (initialState) event->set();
    return AddHandle(std::move(event));
}

BOOL SetEvent(HANDLE h) {
    auto event = ReferenceHandleAs<Event>(h);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    event->set();
    return TRUE;
}

BOOL ResetEvent(HANDLE h) {
    auto event = ReferenceHandleAs<Event>(h);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    event->reset();
    return TRUE;
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE *handles, BOOL waitAll, DWORD milliseconds) {
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    if (waitAll) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<Event>> events;
    std::vector<pollfd> fds;
    for (DWORD i = 0; i < count; ++i) {
        auto event = ReferenceHandleAs<Event>(handles[i]);
        if (!event) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        fds.push_back({event->fd(), POLLIN, 0});
        events.push_back(std::move(event));
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds == INFINITE ? 0 : milliseconds);
    for (;;) {
        for (auto &p : fds) p.revents = 0;
        int r = ::poll(fds.data(), fds.size(), pollTimeout(milliseconds, deadline));
        if (r < 0) {
            if (errno == EINTR) continue;
            SetLastError(ErrorFromErrno(errno));
            return WAIT_FAILED;
        }
        for (DWORD i = 0; i < count; ++i)
            if ((fds[i].revents & POLLIN) && events[i]->acquire()) return WAIT_OBJECT_0 + i;
        // Another waiter took an auto-reset event first; keep waiting unless time is up.
        if (r == 0 || (milliseconds != INFINITE && Clock::now() >= deadline)) return WAIT_TIMEOUT;
    }
}

DWORD WaitForSingleObject(HANDLE h, DWORD milliseconds) { return WaitForMultipleObjects(1, &h, FALSE, milliseconds); }

DWORD GetTickCount() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return DWORD(std::uint64_t(ts.tv_sec) * 1000u + std::uint64_t(ts.tv_nsec) / 1000000u);
}

void Sleep(DWORD milliseconds) {
    timespec ts{time_t(milliseconds / 1000), long(milliseconds % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {}
}

} // namespace win
