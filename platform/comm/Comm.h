#pragma once
// The Win32 communications API over termios: opening a serial device, its line
// settings, time-outs, overlapped reads, writes and comm-event waits, errors, purges,
// modem lines, and the list of the machine's serial ports.
//
// Each open device has a service thread blocked in poll on the device and a wake-up
// descriptor. It drains the device into the handle's own input queue (sized by
// SetupComm), completes pending operations and signals their events. A thread that
// waits in GetOverlappedResult reads the line itself meanwhile, so that a byte wakes
// the waiter directly; the service thread then keeps only writes and timers.

#include "platform/win/Win32.h"

#include <string>
#include <vector>

namespace win {

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000u;

constexpr DWORD FILE_TYPE_UNKNOWN = 0;
constexpr DWORD FILE_TYPE_CHAR = 2;

// Device control block, laid out as Win32's (28 bytes). The bit fields of the flag
// word are one DWORD here; the masks below give its fields.
struct DCB {
    DWORD DCBlength;
    DWORD BaudRate;
    DWORD Flags;
    WORD wReserved;
    WORD XonLim;
    WORD XoffLim;
    BYTE ByteSize;
    BYTE Parity;
    BYTE StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    WORD wReserved1;

    static constexpr DWORD fBinary = 0x0001;
    static constexpr DWORD fParity = 0x0002;
    static constexpr DWORD fOutxCtsFlow = 0x0004;
    static constexpr DWORD fOutxDsrFlow = 0x0008;
    static constexpr DWORD fDtrControl = 0x0030; // DTR_CONTROL_* << 4
    static constexpr DWORD fDsrSensitivity = 0x0040;
    static constexpr DWORD fTXContinueOnXoff = 0x0080;
    static constexpr DWORD fOutX = 0x0100;
    static constexpr DWORD fInX = 0x0200;
    static constexpr DWORD fErrorChar = 0x0400;
    static constexpr DWORD fNull = 0x0800;
    static constexpr DWORD fRtsControl = 0x3000; // RTS_CONTROL_* << 12
    static constexpr DWORD fAbortOnError = 0x4000;

    static constexpr int fDtrControlShift = 4;
    static constexpr int fRtsControlShift = 12;
};
static_assert(sizeof(DCB) == 28, "DCB must keep the Win32 layout");

// Values of the DTR and RTS control fields (before shifting into Flags).
constexpr DWORD DTR_CONTROL_DISABLE = 0;
constexpr DWORD DTR_CONTROL_ENABLE = 1;
constexpr DWORD DTR_CONTROL_HANDSHAKE = 2;
constexpr DWORD RTS_CONTROL_DISABLE = 0;
constexpr DWORD RTS_CONTROL_ENABLE = 1;
constexpr DWORD RTS_CONTROL_HANDSHAKE = 2;
constexpr DWORD RTS_CONTROL_TOGGLE = 3;

constexpr BYTE NOPARITY = 0;
constexpr BYTE ODDPARITY = 1;
constexpr BYTE EVENPARITY = 2;
constexpr BYTE MARKPARITY = 3;
constexpr BYTE SPACEPARITY = 4;

constexpr BYTE ONESTOPBIT = 0;
constexpr BYTE ONE5STOPBITS = 1;
constexpr BYTE TWOSTOPBITS = 2;

struct COMMTIMEOUTS {
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
};

// Communications status; the status bit fields of Win32 are one DWORD here.
struct COMSTAT {
    DWORD Flags;
    DWORD cbInQue;
    DWORD cbOutQue;

    static constexpr DWORD fCtsHold = 0x01;
    static constexpr DWORD fDsrHold = 0x02;
    static constexpr DWORD fRlsdHold = 0x04;
    static constexpr DWORD fXoffHold = 0x08;
    static constexpr DWORD fXoffSent = 0x10;
    static constexpr DWORD fEof = 0x20;
    static constexpr DWORD fTxim = 0x40;
};
static_assert(sizeof(COMSTAT) == 12, "COMSTAT must keep the Win32 layout");

// Comm events (SetCommMask / WaitCommEvent).
constexpr DWORD EV_RXCHAR = 0x0001;
constexpr DWORD EV_RXFLAG = 0x0002;
constexpr DWORD EV_TXEMPTY = 0x0004;
constexpr DWORD EV_CTS = 0x0008;
constexpr DWORD EV_DSR = 0x0010;
constexpr DWORD EV_RLSD = 0x0020;
constexpr DWORD EV_BREAK = 0x0040;
constexpr DWORD EV_ERR = 0x0080;
constexpr DWORD EV_RING = 0x0100;
constexpr DWORD EV_PERR = 0x0200;
constexpr DWORD EV_RX80FULL = 0x0400;
constexpr DWORD EV_EVENT1 = 0x0800;
constexpr DWORD EV_EVENT2 = 0x1000;

// Line errors (ClearCommError).
constexpr DWORD CE_RXOVER = 0x0001;
constexpr DWORD CE_OVERRUN = 0x0002;
constexpr DWORD CE_RXPARITY = 0x0004;
constexpr DWORD CE_FRAME = 0x0008;
constexpr DWORD CE_BREAK = 0x0010;
constexpr DWORD CE_TXFULL = 0x0100;
constexpr DWORD CE_PTO = 0x0200;
constexpr DWORD CE_IOE = 0x0400;
constexpr DWORD CE_DNS = 0x0800;
constexpr DWORD CE_OOP = 0x1000;
constexpr DWORD CE_MODE = 0x8000;

constexpr DWORD PURGE_TXABORT = 0x1;
constexpr DWORD PURGE_RXABORT = 0x2;
constexpr DWORD PURGE_TXCLEAR = 0x4;
constexpr DWORD PURGE_RXCLEAR = 0x8;

// EscapeCommFunction.
constexpr DWORD SETXOFF = 1;
constexpr DWORD SETXON = 2;
constexpr DWORD SETRTS = 3;
constexpr DWORD CLRRTS = 4;
constexpr DWORD SETDTR = 5;
constexpr DWORD CLRDTR = 6;
constexpr DWORD RESETDEV = 7;
constexpr DWORD SETBREAK = 8;
constexpr DWORD CLRBREAK = 9;

constexpr DWORD MS_CTS_ON = 0x0010;
constexpr DWORD MS_DSR_ON = 0x0020;
constexpr DWORD MS_RING_ON = 0x0040;
constexpr DWORD MS_RLSD_ON = 0x0080;

// Opens a serial device by path (a leading "\\.\" is ignored). Only OPEN_EXISTING;
// the device is held exclusively: a second open, here or in another process, fails
// with ERROR_SHARING_VIOLATION. A missing device gives ERROR_FILE_NOT_FOUND, a path
// that is not a terminal ERROR_INVALID_FUNCTION.
HANDLE CreateFileA(const char *name, DWORD access, DWORD share, SECURITY_ATTRIBUTES *sa, DWORD disposition, DWORD flags,
                   HANDLE templateFile);

// Why CreateFileA failed with `code` on `device`, for the user to read: the device,
// then the reason. A port that is there but that this user may not open names the
// group that owns it and what to do; any other failure gives the system's text.
std::string OpenFailureText(const std::string &device, DWORD code);

// FILE_TYPE_CHAR for a comm device; FILE_TYPE_UNKNOWN with last error 6 otherwise.
DWORD GetFileType(HANDLE h);

BOOL SetupComm(HANDLE h, DWORD inQueue, DWORD outQueue);
BOOL GetCommState(HANDLE h, DCB *dcb);
BOOL SetCommState(HANDLE h, const DCB *dcb);
BOOL GetCommTimeouts(HANDLE h, COMMTIMEOUTS *timeouts);
BOOL SetCommTimeouts(HANDLE h, const COMMTIMEOUTS *timeouts);

// With an OVERLAPPED record: TRUE when complete at once (its event is then set too),
// else FALSE with ERROR_IO_PENDING. Without one the call waits for completion.
// At most one read and one write may be pending per handle (ERROR_BUSY otherwise).
// A read or write ended by PurgeComm or CloseHandle completes without error.
BOOL ReadFile(HANDLE h, void *buffer, DWORD count, DWORD *transferred, OVERLAPPED *ov);
BOOL WriteFile(HANDLE h, const void *buffer, DWORD count, DWORD *transferred, OVERLAPPED *ov);
// From the record's status; ERROR_IO_INCOMPLETE when still pending and wait is FALSE.
// With wait TRUE the call sleeps until the operation completes (no time limit).
BOOL GetOverlappedResult(HANDLE h, OVERLAPPED *ov, DWORD *transferred, BOOL wait);

BOOL SetCommMask(HANDLE h, DWORD mask);
BOOL GetCommMask(HANDLE h, DWORD *mask);
// Completes with the events since the previous wait (or SetCommMask) that are in the
// mask. SetCommMask completes a pending wait with mask 0; a device that vanished ends
// it with ERROR_ACCESS_DENIED, and later calls fail with that code at once.
BOOL WaitCommEvent(HANDLE h, DWORD *eventMask, OVERLAPPED *ov);

BOOL ClearCommError(HANDLE h, DWORD *errors, COMSTAT *stat);
BOOL PurgeComm(HANDLE h, DWORD flags);
BOOL EscapeCommFunction(HANDLE h, DWORD function);
BOOL GetCommModemStatus(HANDLE h, DWORD *modemStatus);

// Serial port list: the entries of METER_PORTS (colon-separated) first, then the
// machine's serial ports with hardware behind them, as device paths in a stable order.
std::vector<std::string> EnumSerialPorts();

} // namespace win
