#pragma once
// The small part of the Win32 base API that the serial layers stand on: basic types,
// handles, per-thread error codes with their system texts, event objects, waits and
// the tick count. Events are eventfd descriptors, so every wait blocks in poll.

#include <cstdint>
#include <memory>
#include <string>

namespace win {

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = unsigned int;
using ULONG_PTR = std::uintptr_t;
using HANDLE = void *;

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;
constexpr DWORD MAXDWORD = 0xFFFFFFFFu;

inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~std::uintptr_t(0));

constexpr DWORD INFINITE = 0xFFFFFFFFu;
constexpr DWORD WAIT_OBJECT_0 = 0x00000000u;
constexpr DWORD WAIT_ABANDONED = 0x00000080u;
constexpr DWORD WAIT_TIMEOUT = 0x00000102u;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;

// Win32 error codes (the ones these layers produce).
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_INVALID_FUNCTION = 1;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_NOT_READY = 21;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_BUSY = 170;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD ERROR_OPERATION_ABORTED = 995;
constexpr DWORD ERROR_IO_INCOMPLETE = 996;
constexpr DWORD ERROR_IO_PENDING = 997;
constexpr DWORD ERROR_IO_DEVICE = 1117;
constexpr DWORD ERROR_DEVICE_NOT_CONNECTED = 1167;
constexpr DWORD ERROR_TIMEOUT = 1460;

// Per-thread last error, as Win32 keeps it.
DWORD GetLastError();
void SetLastError(DWORD code);

// The system's message text for a code, e.g. 5 -> "Access is denied.".
// Codes without a text give "Unknown error <code>." rather than an empty string.
std::string SysErrorMessage(DWORD code);

// Translates an errno value into the Win32 code a caller of these layers expects.
// A device that went away (EIO, ENXIO, ENODEV) gives ERROR_ACCESS_DENIED, as Windows
// reports for a removed adapter.
DWORD ErrorFromErrno(int err);

struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    void *lpSecurityDescriptor;
    BOOL bInheritHandle;
};

// Internal = completion status (STATUS_PENDING while the operation runs),
// InternalHigh = bytes transferred, as Win32 marks them.
struct OVERLAPPED {
    ULONG_PTR Internal;
    ULONG_PTR InternalHigh;
    DWORD Offset;
    DWORD OffsetHigh;
    HANDLE hEvent;
};

constexpr ULONG_PTR STATUS_PENDING = 0x103;

inline bool HasOverlappedIoCompleted(const OVERLAPPED *ov) { return ov->Internal != STATUS_PENDING; }

// Event objects. Manual-reset events stay signalled until ResetEvent; auto-reset
// events release exactly one waiter and become non-signalled again.
HANDLE CreateEventA(SECURITY_ATTRIBUTES *sa, BOOL manualReset, BOOL initialState, const char *name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// Closes any handle of these layers (events and comm devices alike); 6 when invalid.
BOOL CloseHandle(HANDLE h);

// Waits on event objects; WAIT_FAILED with last error 6 for a handle that is not one.
DWORD WaitForSingleObject(HANDLE h, DWORD milliseconds);
// Wait-any only: waitAll TRUE fails with ERROR_NOT_SUPPORTED (nothing here needs it).
DWORD WaitForMultipleObjects(DWORD count, const HANDLE *handles, BOOL waitAll, DWORD milliseconds);

// Milliseconds since an arbitrary start, wrapping at 2^32 like the system tick count.
DWORD GetTickCount();
void Sleep(DWORD milliseconds);

// --- Handle table, for the layers that add their own kinds of handle ---

// An object behind a handle. close() runs once, when CloseHandle removes it from the
// table; references still held by running calls keep the object itself alive.
class KernelObject {
public:
    virtual ~KernelObject();
    virtual void close() {}
};

// Enters the object in the table and returns its new handle (never reused).
HANDLE AddHandle(std::shared_ptr<KernelObject> object);
// The object behind a handle, or null when the handle is closed or unknown.
std::shared_ptr<KernelObject> ReferenceHandle(HANDLE h);

template <class T> std::shared_ptr<T> ReferenceHandleAs(HANDLE h) {
    return std::dynamic_pointer_cast<T>(ReferenceHandle(h));
}

} // namespace win
