#include "platform/comm/Comm.h"

#include "platform/comm/CommDevice.h"
#include "platform/comm/TtyIo.h"

#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>

namespace win {

namespace {

using device::CommDevice;
using device::fail;
using device::kStatusSuccess;
using device::loadStatus;

// Looks up a comm handle and takes its lock; calls on anything else fail with 6.
template <class F> BOOL withDevice(HANDLE h, F &&body, bool allowVanished = false) {
    auto dev = ReferenceHandleAs<CommDevice>(h);
    if (!dev) return fail(ERROR_INVALID_HANDLE);
    dev->lock_.lock();
    // First, so that a device found gone on the way is refused like any other.
    dev->reclaimInput();
    const DWORD state = dev->usable();
    BOOL result;
    if (state == ERROR_INVALID_HANDLE || (state != ERROR_SUCCESS && !allowVanished))
        result = fail(state);
    else
        result = body(*dev);
    dev->lock_.unlock();
    return result;
}

std::string stripDevicePrefix(const char *name) {
    std::string path = name;
    if (path.rfind("\\\\.\\", 0) == 0) path.erase(0, 4);
    return path;
}

} // namespace

HANDLE CreateFileA(const char *name, DWORD access, DWORD, SECURITY_ATTRIBUTES *, DWORD disposition, DWORD,
                   HANDLE templateFile) {
    if (!name || !*name || disposition != OPEN_EXISTING || templateFile) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const std::string path = stripDevicePrefix(name);
    const int mode = (access & GENERIC_READ) && !(access & GENERIC_WRITE)   ? O_RDONLY
                     : (access & GENERIC_WRITE) && !(access & GENERIC_READ) ? O_WRONLY
                                                                            : O_RDWR;
    int fd = ::open(path.c_str(), mode | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        SetLastError(ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    auto failOpen = [&](int err) {
        ::close(fd);
        SetLastError(err == EWOULDBLOCK ? ERROR_SHARING_VIOLATION : ErrorFromErrno(err));
        return INVALID_HANDLE_VALUE;
    };
    if (!::isatty(fd)) return failOpen(ENOTTY);
    // TIOCEXCL keeps other users out, but not root; the lock covers everyone who
    // opens through this layer, in any process.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return failOpen(errno);
    ::ioctl(fd, TIOCEXCL);
    if (!tty::makeRaw(fd)) return failOpen(errno);
    const int wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd < 0) return failOpen(errno);
    const int helperFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (helperFd < 0) {
        const int err = errno;
        ::close(wakeFd);
        return failOpen(err);
    }

    auto dev = std::make_shared<CommDevice>(fd, wakeFd, helperFd, access ? access : (GENERIC_READ | GENERIC_WRITE));
    dev->start();
    return AddHandle(std::move(dev));
}

DWORD GetFileType(HANDLE h) {
    if (ReferenceHandleAs<CommDevice>(h)) return FILE_TYPE_CHAR;
    SetLastError(ERROR_INVALID_HANDLE);
    return FILE_TYPE_UNKNOWN;
}

BOOL SetupComm(HANDLE h, DWORD in, DWORD out) {
    return withDevice(h, [&](CommDevice &d) { return d.setupComm(in, out); });
}

BOOL GetCommState(HANDLE h, DCB *dcb) {
    if (!dcb) return fail(ERROR_INVALID_PARAMETER);
    return withDevice(h, [&](CommDevice &d) { return d.getState(dcb); });
}

BOOL SetCommState(HANDLE h, const DCB *dcb) {
    if (!dcb) return fail(ERROR_INVALID_PARAMETER);
    return withDevice(h, [&](CommDevice &d) { return d.setState(dcb); });
}

BOOL GetCommTimeouts(HANDLE h, COMMTIMEOUTS *t) {
    if (!t) return fail(ERROR_INVALID_PARAMETER);
    return withDevice(
        h, [&](CommDevice &d) { return d.getTimeouts(t); }, true);
}

BOOL SetCommTimeouts(HANDLE h, const COMMTIMEOUTS *t) {
    if (!t) return fail(ERROR_INVALID_PARAMETER);
    return withDevice(
        h, [&](CommDevice &d) { return d.setTimeouts(t); }, true);
}

BOOL ReadFile(HANDLE h, void *buffer, DWORD count, DWORD *transferred, OVERLAPPED *ov) {
    return withDevice(h, [&](CommDevice &d) { return d.read(buffer, count, transferred, ov); });
}

BOOL WriteFile(HANDLE h, const void *buffer, DWORD count, DWORD *transferred, OVERLAPPED *ov) {
    return withDevice(h, [&](CommDevice &d) { return d.write(buffer, count, transferred, ov); });
}

BOOL GetOverlappedResult(HANDLE h, OVERLAPPED *ov, DWORD *transferred, BOOL wait) {
    if (!ov) return fail(ERROR_INVALID_PARAMETER);
    // A finished record answers by itself, even after its handle was closed.
    if (loadStatus(ov) != STATUS_PENDING) {
        if (transferred) *transferred = DWORD(ov->InternalHigh);
        const ULONG_PTR status = loadStatus(ov);
        return status == kStatusSuccess ? TRUE : fail(DWORD(status & 0xFFFF));
    }
    return withDevice(
        h, [&](CommDevice &d) { return d.overlappedResult(ov, transferred, wait); }, true);
}

BOOL SetCommMask(HANDLE h, DWORD mask) {
    return withDevice(
        h, [&](CommDevice &d) { return d.setMask(mask); }, true);
}

BOOL GetCommMask(HANDLE h, DWORD *mask) {
    if (!mask) return fail(ERROR_INVALID_PARAMETER);
    return withDevice(
        h, [&](CommDevice &d) { return d.getMask(mask); }, true);
}

BOOL WaitCommEvent(HANDLE h, DWORD *mask, OVERLAPPED *ov) {
    if (!mask) return fail(ERROR_INVALID_PARAMETER);
    return withDevice(h, [&](CommDevice &d) { return d.waitEvent(mask, ov); });
}

BOOL ClearCommError(HANDLE h, DWORD *errors, COMSTAT *stat) {
    return withDevice(h, [&](CommDevice &d) { return d.clearError(errors, stat); });
}

BOOL PurgeComm(HANDLE h, DWORD flags) {
    return withDevice(
        h, [&](CommDevice &d) { return d.purge(flags); }, true);
}

BOOL EscapeCommFunction(HANDLE h, DWORD function) {
    return withDevice(h, [&](CommDevice &d) { return d.escape(function); });
}

BOOL GetCommModemStatus(HANDLE h, DWORD *status) {
    if (!status) return fail(ERROR_INVALID_PARAMETER);
    return withDevice(h, [&](CommDevice &d) { return d.modemStatus(status); });
}

} // namespace win
