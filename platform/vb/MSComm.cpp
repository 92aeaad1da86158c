#include "MSComm.h"

#include "Runtime.h"
#include "platform/comm/Comm.h"

#include <QStringList>

#include <algorithm>

#include <vector>

namespace vb {

namespace {
constexpr int errInvalidPropertyValue = 380;
constexpr int errInvalidPort = 8002;
constexpr int errPortOpen = 8005;
constexpr int errSettings = 8015;
constexpr int errNotOpen = 8012;
} // namespace

bool ParseSettings(const QString &text, LineSettings &out) {
    const QStringList parts = text.split(',');
    if (parts.size() != 4) return false;
    bool ok = false;
    const unsigned baud = parts[0].trimmed().toUInt(&ok);
    if (!ok || baud == 0) return false;
    const QString parity = parts[1].trimmed().toUpper();
    if (parity.size() != 1 || !QString("NEOMS").contains(parity)) return false;
    const int data = parts[2].trimmed().toInt(&ok);
    if (!ok || data < 4 || data > 8) return false;
    const QString stop = parts[3].trimmed();
    double stopBits = 0;
    if (stop == "1")
        stopBits = 1;
    else if (stop == "1.5")
        stopBits = 1.5;
    else if (stop == "2")
        stopBits = 2;
    else
        return false;
    out.baud = baud;
    out.parity = char(parity[0].unicode());
    out.dataBits = data;
    out.stopBits = stopBits;
    return true;
}

MSComm::~MSComm() { closePort(); }

void MSComm::SetCommPort(int port) {
    if (port < 1 || port > 16) throw RuntimeError(errInvalidPort, "Invalid Port Number");
    if (PortOpen()) throw RuntimeError(errPortOpen, "Port already open");
    commPort_ = std::int16_t(port);
}

void MSComm::SetSettings(const QString &settings) {
    LineSettings parsed;
    if (!ParseSettings(settings, parsed)) throw RuntimeError(errInvalidPropertyValue, "Invalid property value");
    settings_ = settings;
    if (PortOpen()) applySettings();
}

void MSComm::SetInputLen(int count) {
    if (count < 0) throw RuntimeError(errInvalidPropertyValue, "Invalid property value");
    inputLen_ = count;
}

void MSComm::applySettings() {
    LineSettings s;
    ParseSettings(settings_, s);
    win::DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!win::GetCommState(handle_, &dcb))
        throw RuntimeError(errSettings, QString::fromStdString(win::SysErrorMessage(win::GetLastError())));
    dcb.BaudRate = s.baud;
    dcb.ByteSize = win::BYTE(s.dataBits);
    dcb.Flags |= win::DCB::fBinary;
    dcb.Flags &= ~(win::DCB::fOutxCtsFlow | win::DCB::fOutxDsrFlow | win::DCB::fOutX | win::DCB::fInX |
                   win::DCB::fNull | win::DCB::fAbortOnError);
    switch (s.parity) {
        case 'E': dcb.Parity = win::EVENPARITY; break;
        case 'O': dcb.Parity = win::ODDPARITY; break;
        case 'M': dcb.Parity = win::MARKPARITY; break;
        case 'S': dcb.Parity = win::SPACEPARITY; break;
        default: dcb.Parity = win::NOPARITY; break;
    }
    if (dcb.Parity == win::NOPARITY)
        dcb.Flags &= ~win::DCB::fParity;
    else
        dcb.Flags |= win::DCB::fParity;
    dcb.StopBits = s.stopBits == 2 ? win::TWOSTOPBITS : s.stopBits == 1.5 ? win::ONE5STOPBITS : win::ONESTOPBIT;
    if (!win::SetCommState(handle_, &dcb))
        throw RuntimeError(errSettings, QString::fromStdString(win::SysErrorMessage(win::GetLastError())));
}

void MSComm::SetPortOpen(bool open) {
    if (!open) {
        closePort();
        return;
    }
    if (PortOpen()) throw RuntimeError(errPortOpen, "Port already open");
    const std::vector<std::string> ports = win::EnumSerialPorts();
    if (commPort_ < 1 || size_t(commPort_) > ports.size()) throw RuntimeError(errInvalidPort, "Invalid Port Number");
    const std::string &path = ports[size_t(commPort_) - 1];
    win::HANDLE h = win::CreateFileA(path.c_str(), win::GENERIC_READ | win::GENERIC_WRITE, 0, nullptr,
                                     win::OPEN_EXISTING, win::FILE_FLAG_OVERLAPPED, nullptr);
    if (h == win::INVALID_HANDLE_VALUE) {
        const win::DWORD err = win::GetLastError();
        throw RuntimeError(err == win::ERROR_SHARING_VIOLATION ? errPortOpen : errInvalidPort,
                           QString::fromStdString(win::OpenFailureText(path, err)));
    }
    handle_ = h;
    path_ = QString::fromStdString(path);
    try {
        if (!win::SetupComm(h, InBufferSize, OutBufferSize))
            throw RuntimeError(errSettings, QString::fromStdString(win::SysErrorMessage(win::GetLastError())));
        applySettings();
        // Reads return at once with what is queued: every reader polls.
        win::COMMTIMEOUTS t{win::MAXDWORD, 0, 0, 0, 0};
        if (!win::SetCommTimeouts(h, &t))
            throw RuntimeError(errSettings, QString::fromStdString(win::SysErrorMessage(win::GetLastError())));
        readEvent_ = win::CreateEventA(nullptr, win::TRUE, win::FALSE, nullptr);
        writeEvent_ = win::CreateEventA(nullptr, win::TRUE, win::FALSE, nullptr);
        win::PurgeComm(h, win::PURGE_RXCLEAR | win::PURGE_TXCLEAR);
    } catch (...) {
        closePort();
        throw;
    }
}

void MSComm::closePort() {
    if (handle_) win::CloseHandle(handle_);
    if (readEvent_) win::CloseHandle(readEvent_);
    if (writeEvent_) win::CloseHandle(writeEvent_);
    handle_ = readEvent_ = writeEvent_ = nullptr;
    path_.clear();
}

std::int16_t MSComm::InBufferCount() {
    if (!PortOpen()) throw RuntimeError(errNotOpen, "Operation valid only when the port is open");
    win::DWORD errors = 0;
    win::COMSTAT stat{};
    if (!win::ClearCommError(handle_, &errors, &stat)) return 0;
    return std::int16_t(std::min<win::DWORD>(stat.cbInQue, 0x7FFF));
}

bool MSComm::Vanished() {
    if (!PortOpen()) return false;
    win::DWORD errors = 0;
    win::COMSTAT stat{};
    if (win::ClearCommError(handle_, &errors, &stat)) return false;
    return win::GetLastError() == win::ERROR_ACCESS_DENIED;
}

QByteArray MSComm::Input() {
    if (!PortOpen()) throw RuntimeError(errNotOpen, "Operation valid only when the port is open");
    win::DWORD errors = 0;
    win::COMSTAT stat{};
    if (!win::ClearCommError(handle_, &errors, &stat) || stat.cbInQue == 0) return {};
    win::DWORD want = stat.cbInQue;
    if (inputLen_ > 0 && win::DWORD(inputLen_) < want) want = win::DWORD(inputLen_);
    QByteArray data(int(want), '\0');
    win::OVERLAPPED ov{};
    ov.hEvent = readEvent_;
    win::ResetEvent(readEvent_);
    win::DWORD got = 0;
    if (!win::ReadFile(handle_, data.data(), want, &got, &ov)) {
        if (win::GetLastError() != win::ERROR_IO_PENDING || !win::GetOverlappedResult(handle_, &ov, &got, win::TRUE))
            return {};
    }
    data.truncate(int(std::min(got, want)));
    return data;
}

void MSComm::SetOutput(const QByteArray &bytes) {
    if (!PortOpen()) throw RuntimeError(errNotOpen, "Operation valid only when the port is open");
    if (bytes.isEmpty()) return;
    win::OVERLAPPED ov{};
    ov.hEvent = writeEvent_;
    win::ResetEvent(writeEvent_);
    win::DWORD sent = 0;
    if (!win::WriteFile(handle_, bytes.constData(), win::DWORD(bytes.size()), &sent, &ov)) {
        if (win::GetLastError() != win::ERROR_IO_PENDING) return;
        // A line that takes nothing for half a second (flow stopped, far end gone) must
        // not hold the window: the bytes are dropped.
        if (win::WaitForSingleObject(writeEvent_, 500) != win::WAIT_OBJECT_0)
            win::PurgeComm(handle_, win::PURGE_TXABORT | win::PURGE_TXCLEAR);
        win::GetOverlappedResult(handle_, &ov, &sent, win::TRUE);
    }
}

} // namespace vb
