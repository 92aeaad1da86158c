#pragma once
// The serial control as Palix uses it: CommPort, Settings, PortOpen, InputLen, Input,
// Output and InBufferCount, in binary input mode, over the comm layer. COM n is the
// n-th entry of the serial port list. All reception is polled; the control raises no
// events.

#include "platform/win/Win32.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace vb {

class MSComm {
public:
    static constexpr int InBufferSize = 1024;
    static constexpr int OutBufferSize = 512;

    MSComm() = default;
    ~MSComm();
    MSComm(const MSComm &) = delete;
    MSComm &operator=(const MSComm &) = delete;

    std::int16_t CommPort() const { return commPort_; }
    // 1 ... 16; RuntimeError 8002 otherwise, 8005 while the port is open.
    void SetCommPort(int port);

    QString Settings() const { return settings_; }
    // "baud,parity,data,stop", e.g. "9600,n,8,1"; RuntimeError 380 when malformed.
    // Applied at once when the port is open.
    void SetSettings(const QString &settings);

    bool PortOpen() const { return handle_ != nullptr; }
    // Opening raises RuntimeError 8002 (no such port), 8005 (in use) or 8015 (the line
    // settings could not be applied); closing never fails.
    void SetPortOpen(bool open);

    int InputLen() const { return inputLen_; }
    void SetInputLen(int count);

    // Returns and removes up to InputLen queued bytes (all of them when 0).
    QByteArray Input();
    // Sends the bytes at once, without waiting for an answer. On a port that has
    // vanished the bytes are dropped: the meter's silence shows it.
    void SetOutput(const QByteArray &bytes);
    // Received, unread bytes; 0 when the port is closed or has vanished.
    std::int16_t InBufferCount();
    // The open device has gone away (adapter pulled, far end closed): nothing will
    // arrive on this port again.
    bool Vanished();

    // Path the port was opened on (empty when closed).
    QString DevicePath() const { return path_; }

private:
    void applySettings();
    void closePort();

    std::int16_t commPort_ = 1;
    QString settings_ = "9600,n,8,1";
    int inputLen_ = 0;
    win::HANDLE handle_ = nullptr;
    win::HANDLE readEvent_ = nullptr;
    win::HANDLE writeEvent_ = nullptr;
    QString path_;
};

struct LineSettings {
    unsigned baud = 9600;
    char parity = 'N';
    int dataBits = 8;
    double stopBits = 1;
};
// Parses a Settings text; false when malformed.
bool ParseSettings(const QString &text, LineSettings &out);

} // namespace vb
