#pragma once
// Unit Comm: the second, simpler serial port component TComm, with its event thread
// TCommEventThread and its event-character sub-object TCommEventChars. Its types are
// its own, apart from the like-named ones of unit ComPort.
//
// Property scheme as in ComPort: P() reads, SetP(value) writes; events are read with
// OnX() and assigned with SetOnX(...), nullptr detaches.
//
// Open, Close, Read, Write, EscapeComm and the device control block updates are
// serialised by the component's critical section (Lock / Unlock), so they may be
// called from any thread; the line setters write their fields under it too, so an
// update never sends a half-set line. Event handlers run on the GUI thread. Errors are raised as
// forms::Exception whose message ends in "(Error: <code>)".
//
// Device names are device paths ("/dev/ttyUSB0"); a leading "\\.\" is ignored.

#include "platform/forms/Component.h"
#include "platform/forms/Set.h"
#include "platform/forms/Thread.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

namespace win {
struct DCB;
struct OVERLAPPED;
struct COMMTIMEOUTS;
} // namespace win

namespace serial::Comm {

using forms::TNotifyEvent;
using forms::TObject;
using forms::TSet;

enum TBaudRate {
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};
enum TParity { paNone, paOdd, paEven, paMark, paSpace };
enum TStopBits { sb10, sb15, sb20 };
enum TDataBits { da4, da5, da6, da7, da8 };
// Stored only: it does not change the device settings.
enum TFlowControl { fcNone, fcCTS, fcDTR, fcSoftware, fcDefault };
enum TCommOption { coParityCheck, coDsrSensitivity, coIgnoreXOff, coErrorChar, coNullStrip };
using TCommOptions = TSet<TCommOption>;
enum TCommEventType { evBreak, evCts, evDsr, evError, evRing, evRlsd, evRxChar, evRxFlag, evTxEmpty };
using TCommEventTypes = TSet<TCommEventType>;

// The mapping tables onto the device control block and the Win32 bit words.
int BaudRateValue(TBaudRate rate); // the number in the name
int ParityValue(TParity parity);   // DCB Parity 0..4
int StopBitsValue(TStopBits bits); // DCB StopBits 0..2
int DataBitsValue(TDataBits bits); // ByteSize 4..8
std::uint32_t CommOptionBit(TCommOption option);
std::uint32_t CommEventBit(TCommEventType event); // EV_* bit
std::uint32_t CommEventMask(TCommEventTypes events);
// GetModemState's line numbers (1 CTS, 2 DSR, 3 RING, 4 RLSD) as MS_* bits; 0 otherwise.
std::uint32_t ModemStateBit(int line);
// GetComState's numbers (2 DSR hold, 3 RLSD hold, 4 XOFF hold, 5 XOFF sent, any other
// CTS hold) as COMSTAT status bits.
std::uint32_t ComStateBit(int state);
// The time-outs UpdateCommTimeouts sets: reads return what has come within a second;
// writes may take 19200 / baud milliseconds a byte (none from 38400 baud up).
win::COMMTIMEOUTS CommTimeoutsFor(TBaudRate rate);

class TThreadComm;

// Sender, line error word (CE_* bits).
using TCommErrorEvent = forms::TEvent<TObject *, std::uint32_t>;
// Sender, bytes waiting.
using TCommRxCharEvent = forms::TEvent<TObject *, int>;
// Sender, event mask, COMSTAT status bits, input count, output count.
using TCommStatEvent = forms::TEvent<TObject *, std::uint32_t, std::uint32_t, int, int>;

class TCommEventChars : public forms::TPersistent {
public:
    explicit TCommEventChars(TThreadComm *Owner) : owner_(Owner) {}

    // Copies the five characters of another TCommEventChars; anything else cannot be
    // assigned.
    void Assign(forms::TPersistent *Source);

    char XOnChar() const { return xOnChar_; }
    void SetXOnChar(char value);
    char XOffChar() const { return xOffChar_; }
    void SetXOffChar(char value);
    char ErrorChar() const { return errorChar_; }
    void SetErrorChar(char value);
    char EofChar() const { return eofChar_; }
    void SetEofChar(char value);
    char EvtChar() const { return evtChar_; }
    void SetEvtChar(char value);

private:
    void set(char &field, char value);
    TThreadComm *owner_;
    char xOnChar_ = 17;
    char xOffChar_ = 19;
    char errorChar_ = 0;
    char eofChar_ = 0;
    char evtChar_ = 0;
};

class TThreadComm : public forms::TComponent {
public:
    explicit TThreadComm(forms::TComponent *AOwner);
    // Closes an open port first.
    ~TThreadComm() override;

    void Open();
    // Stops the event thread (a hand-over it has queued never runs, and no handler runs
    // once Close has returned) and closes the device.
    void Close();
    bool Enabled() const;
    void Lock();
    void Unlock();
    // Raises "Port already assigned (open)" when the port is open.
    void CheckOpen();

    // Bytes transferred, or -1 on a closed port. A read returns within about a second
    // with what has come; a write returns when it has completed, timed out or failed.
    int Write(const void *Buffer, int Count);
    int Read(void *Buffer, int Count);
    // The COMSTAT input or output count, -1 on a closed port.
    int InQueCount();
    int OutQueCount();
    void PurgeIn();
    void PurgeOut();
    bool GetModemState(int Line);
    bool GetComState(int State);
    void SetDTRState(bool State);
    void SetRTSState(bool State);
    void SetBREAKState(bool State);
    void SetXONState(bool State);

    void UpdateDataControlBlock();
    void UpdateDataControlBlockLock();
    void UpdateCommTimeouts();
    // One cycle of comm events (GUI thread): the line state, then the handlers of the
    // bits in EvtMask in their fixed order, then OnComStatEvent.
    void HandleCommEvent(TObject *Sender, std::uint32_t EvtMask);

    // Properties.
    QString DeviceName() const { return deviceName_; }
    void SetDeviceName(const QString &value);
    int ReadTimeout() const { return readTimeout_; }
    void SetReadTimeout(int value) { readTimeout_ = value; }
    int WriteTimeout() const { return writeTimeout_; }
    void SetWriteTimeout(int value) { writeTimeout_ = value; }
    std::uint16_t ReadBufSize() const { return readBufSize_; }
    void SetReadBufSize(std::uint16_t value);
    std::uint16_t WriteBufSize() const { return writeBufSize_; }
    void SetWriteBufSize(std::uint16_t value);
    std::uint32_t SuspendTime() const { return suspendTime_; }
    void SetSuspendTime(std::uint32_t value);
    TCommEventTypes MonitorEvents() const { return monitorEvents_; }
    void SetMonitorEvents(TCommEventTypes value);
    TBaudRate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudRate value);
    TParity Parity() const { return parity_; }
    void SetParity(TParity value);
    TStopBits StopBits() const { return stopBits_; }
    void SetStopBits(TStopBits value);
    TDataBits DataBits() const { return dataBits_; }
    void SetDataBits(TDataBits value);
    TCommEventChars *EventChars() const { return eventChars_.get(); }
    TCommOptions Options() const { return options_; }
    void SetOptions(TCommOptions value);
    TFlowControl FlowControl() const { return flowControl_; }
    void SetFlowControl(TFlowControl value);

    // Events.
    TNotifyEvent OnBreak() const { return onBreak_; }
    void SetOnBreak(const TNotifyEvent &e) { onBreak_ = e; }
    TNotifyEvent OnCts() const { return onCts_; }
    void SetOnCts(const TNotifyEvent &e) { onCts_ = e; }
    TNotifyEvent OnDsr() const { return onDsr_; }
    void SetOnDsr(const TNotifyEvent &e) { onDsr_ = e; }
    TCommErrorEvent OnError() const { return onError_; }
    void SetOnError(const TCommErrorEvent &e) { onError_ = e; }
    TNotifyEvent OnRing() const { return onRing_; }
    void SetOnRing(const TNotifyEvent &e) { onRing_ = e; }
    TNotifyEvent OnRlsd() const { return onRlsd_; }
    void SetOnRlsd(const TNotifyEvent &e) { onRlsd_ = e; }
    TCommRxCharEvent OnRxChar() const { return onRxChar_; }
    void SetOnRxChar(const TCommRxCharEvent &e) { onRxChar_ = e; }
    TNotifyEvent OnRxFlag() const { return onRxFlag_; }
    void SetOnRxFlag(const TNotifyEvent &e) { onRxFlag_ = e; }
    TNotifyEvent OnTxEmpty() const { return onTxEmpty_; }
    void SetOnTxEmpty(const TNotifyEvent &e) { onTxEmpty_ = e; }
    TCommStatEvent OnComStatEvent() const { return onComStatEvent_; }
    void SetOnComStatEvent(const TCommStatEvent &e) { onComStatEvent_ = e; }

    // Writes the line settings into a device control block read from the driver.
    void FillDCB(win::DCB &dcb) const;

protected:
    // Opens the device; a device that cannot be opened, or is not a character
    // device, leaves the port closed without an error.
    virtual void CreateHandle();

private:
    friend class TCommEventThread;
    friend class TCommEventChars;
    struct Link;
    struct Life;

    void EscapeComm(std::uint32_t function);
    void closeDevice();

    mutable std::recursive_mutex lock_;
    std::atomic<void *> handle_; // the device; INVALID_HANDLE_VALUE = closed
    void *readEvent_ = nullptr;
    void *writeEvent_ = nullptr;
    std::unique_ptr<win::OVERLAPPED> readOverlapped_;
    std::unique_ptr<win::OVERLAPPED> writeOverlapped_;
    std::shared_ptr<Link> link_; // the running event thread's, while open
    std::shared_ptr<Life> life_; // outlives the component for cycles in progress

    QString deviceName_ = QStringLiteral("Com2");
    int readTimeout_ = 1000;
    int writeTimeout_ = 1000;
    std::uint16_t readBufSize_ = 4096;
    std::uint16_t writeBufSize_ = 2048;
    std::uint32_t suspendTime_ = 5;
    TCommEventTypes monitorEvents_{evBreak, evCts, evDsr, evError, evRing, evRlsd, evRxChar, evRxFlag, evTxEmpty};
    TBaudRate baudRate_ = br9600;
    TParity parity_ = paNone;
    TStopBits stopBits_ = sb10;
    TDataBits dataBits_ = da8;
    std::unique_ptr<TCommEventChars> eventChars_;
    TCommOptions options_;
    TFlowControl flowControl_ = fcDefault;

    TNotifyEvent onBreak_, onCts_, onDsr_;
    TCommErrorEvent onError_;
    TNotifyEvent onRing_, onRlsd_;
    TCommRxCharEvent onRxChar_;
    TNotifyEvent onRxFlag_, onTxEmpty_;
    TCommStatEvent onComStatEvent_;
};

// The registered component.
class TComm : public TThreadComm {
public:
    explicit TComm(forms::TComponent *AOwner) : TThreadComm(AOwner) {}
};

// Waits on the device for the monitored comm events and runs the component's
// HandleCommEvent for each of them on the GUI thread. Created suspended; frees itself
// when its loop ends. It holds only the link it shares with its component, never the
// component itself.
class TCommEventThread : public forms::TThread {
public:
    // Sets the device's event mask to the monitored events.
    TCommEventThread(void *Handle, TCommEventTypes Events, std::uint32_t SuspendTime);

protected:
    void Execute() override;

private:
    friend class TThreadComm;
    void dispatch(std::uint32_t mask);

    void *handle_;
    std::uint32_t suspendTime_; // kept, as handed over; the wait needs no pause
    std::shared_ptr<TThreadComm::Link> link_;
};

} // namespace serial::Comm
