#pragma once
// Unit ComPort: the serial port component.
//
// Property scheme: a property P is read with P() and written with SetP(value); a
// sub-object property (FlowControl, Characters, BufferSizes, Timeouts) is read with
// P() and its members are set one by one on the object it returns. Events are read
// with OnX() / BeforeX() and assigned with SetOnX(...) / SetBeforeX(...); assigning
// nullptr (an unassigned TEvent) detaches. Every setter compares first and does
// nothing when the value is unchanged.
//
// All calls belong on the GUI thread, except Close, which may be called from any
// thread (it is carried out on the GUI thread). Errors are raised as EComError after
// OnError has seen them; OnError may turn them into the silent abort (forms::EAbort).
//
// The comm event handlers (OnRxChar, OnBreak, ...) run on the GUI thread while
// SynchronizeEvents is on (the default). With it off they run on the port's event
// thread, one cycle at a time, and the port's destructor waits for a running cycle to
// end. Such a handler touches no widget (Close, as above, is safe from it). In both
// modes a forms::Exception a handler raises is shown on the GUI thread, and anything
// else ends the event thread. The choice is taken when the event
// thread starts, so it can only be changed on a closed port.
//
// Device names are device paths ("/dev/ttyUSB0"); a leading "\\.\" is ignored.

#include "platform/forms/Component.h"
#include "platform/forms/Exceptions.h"
#include "platform/forms/Set.h"
#include "platform/forms/Thread.h"
#include "platform/forms/Sync.h"

#include <QString>

#include <cstdint>
#include <memory>

namespace forms {
class TStrings;
}
namespace win {
struct DCB;
}

namespace serial {

using forms::TNotifyEvent;
using forms::TObject;

using forms::TSet;

enum TBaudRate {
    brDefault,
    br50,
    br75,
    br110,
    br150,
    br300,
    br600,
    br1200,
    br1800,
    br2000,
    br2400,
    br3600,
    br4800,
    br7200,
    br9600,
    br10400,
    br14400,
    br15625,
    br19200,
    br28800,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000,
    brCustom
};
enum TDataBits { dbDefault, db4, db5, db6, db7, db8 };
enum TParity { paDefault, paNone, paOdd, paEven, paMark, paSpace };
enum TStopBits { sbDefault, sb1, sb1_5, sb2 };
enum TDTRControl { dcDefault, dcDisable, dcEnable, dcHandshake };
enum TRTSControl { rcDefault, rcDisable, rcEnable, rcHandshake, rcToggle };
enum TXOnXOffControl { xcDefault, xcDisable, xcInput, xcOutput, xcInputOutput };
enum TOption {
    opCheckParity,
    opOutputCTSFlow,
    opOutputDSRFlow,
    opDSRSensitivity,
    opTXContinueOnXOff,
    opUseErrorChar,
    opDiscardNullBytes,
    opAbortOnError
};
using TOptions = TSet<TOption>;
enum TPriorityClass { pcDefault, pcIdle, pcNormal, pcHigh, pcRealTime };
enum TComAction { caFail, caAbort };
enum TLineError {
    leBreak,
    leDeviceNotSelected,
    leFrame,
    leIO,
    leMode,
    leOutOfPaper,
    leOverrun,
    leDeviceTimeOut,
    leRxOverflow,
    leParity,
    leTxFull
};
using TLineErrors = TSet<TLineError>;
enum TModemStatusValue { msCTS, msDSR, msRing, msRLSD };
using TModemStatus = TSet<TModemStatusValue>;

// The mapping tables onto the device control block and the Win32 bit words.
int BaudRateValue(TBaudRate rate);                   // the number in the name; 0 for brDefault, brCustom
int DataBitsValue(TDataBits bits);                   // ByteSize; 0 for dbDefault
int ParityValue(TParity parity);                     // DCB Parity; -1 for paDefault
int StopBitsValue(TStopBits bits);                   // DCB StopBits; -1 for sbDefault
std::uint32_t DTRControlBits(TDTRControl c);         // under mask 0x30
std::uint32_t RTSControlBits(TRTSControl c);         // under mask 0x3000
std::uint32_t XOnXOffControlBits(TXOnXOffControl c); // under mask 0x300
std::uint32_t OptionBit(TOption o);
std::uint32_t PriorityClassValue(TPriorityClass c);  // 0 for pcDefault
TLineErrors ToLineErrors(std::uint32_t errorWord);   // ClearCommError CE_* bits
TModemStatus ToModemStatus(std::uint32_t modemBits); // GetCommModemStatus MS_* bits

class TCustomComPort;
class TComThread;
struct TComLink;
struct TComDevice;

class EComError : public forms::Exception {
public:
    EComError(int code, const QString &message);
    int ErrorCode() const { return errorCode_; }
    void SetErrorCode(int code) { errorCode_ = code; }

private:
    int errorCode_;
};

using TOpenCloseEvent = forms::TEvent<TCustomComPort *>;
// Sender, Buffer, Length, WaitOnCompletion.
using TReadWriteEvent = forms::TEvent<TObject *, void *, int, bool>;
// ComPort, E, var Action.
using TComErrorEvent = forms::TEvent<TCustomComPort *, EComError &, TComAction &>;
using TLineErrorEvent = forms::TEvent<TObject *, TLineErrors>;

class TFlowControl : public forms::TPersistent {
public:
    explicit TFlowControl(TCustomComPort *AComPort) : comPort_(AComPort) {}
    TCustomComPort *ComPort() const { return comPort_; }

    TDTRControl DTR() const { return dtr_; }
    void SetDTR(TDTRControl value);
    TRTSControl RTS() const { return rts_; }
    void SetRTS(TRTSControl value);
    TXOnXOffControl XOnXOff() const { return xOnXOff_; }
    void SetXOnXOff(TXOnXOffControl value);
    std::uint16_t XOnLimit() const { return xOnLimit_; }
    void SetXOnLimit(std::uint16_t value);
    std::uint16_t XOffLimit() const { return xOffLimit_; }
    void SetXOffLimit(std::uint16_t value);

private:
    TCustomComPort *comPort_;
    TDTRControl dtr_ = dcDefault;
    TRTSControl rts_ = rcDefault;
    TXOnXOffControl xOnXOff_ = xcDefault;
    std::uint16_t xOnLimit_ = 0;
    std::uint16_t xOffLimit_ = 0;
};

class TCharacters : public forms::TPersistent {
public:
    explicit TCharacters(TCustomComPort *AComPort) : comPort_(AComPort) {}
    TCustomComPort *ComPort() const { return comPort_; }

    char XOn() const { return xOn_; }
    void SetXOn(char value);
    char XOff() const { return xOff_; }
    void SetXOff(char value);
    char Error() const { return error_; }
    void SetError(char value);
    char Eof() const { return eof_; }
    void SetEof(char value);
    char Event() const { return event_; }
    void SetEvent(char value);

private:
    void set(char &field, char value);
    TCustomComPort *comPort_;
    char xOn_ = 17;
    char xOff_ = 19;
    char error_ = 0;
    char eof_ = 0;
    char event_ = 0;
};

class TBufferSizes : public forms::TPersistent {
public:
    explicit TBufferSizes(TCustomComPort *AComPort) : comPort_(AComPort) {}
    TCustomComPort *ComPort() const { return comPort_; }

    int Input() const { return input_; }
    void SetInput(int value);
    int Output() const { return output_; }
    void SetOutput(int value);

private:
    TCustomComPort *comPort_;
    int input_ = 4096;
    int output_ = 2048;
};

// Milliseconds. All 0: a read completes only when all its bytes have arrived, and
// writes never time out.
class TTimeouts : public forms::TPersistent {
public:
    explicit TTimeouts(TCustomComPort *AComPort) : comPort_(AComPort) {}
    TCustomComPort *ComPort() const { return comPort_; }

    int ReadInterval() const { return readInterval_; }
    void SetReadInterval(int value);
    int ReadMultiplier() const { return readMultiplier_; }
    void SetReadMultiplier(int value);
    int ReadConstant() const { return readConstant_; }
    void SetReadConstant(int value);
    int WriteMultiplier() const { return writeMultiplier_; }
    void SetWriteMultiplier(int value);
    int WriteConstant() const { return writeConstant_; }
    void SetWriteConstant(int value);

private:
    void set(int &field, int value);
    TCustomComPort *comPort_;
    int readInterval_ = 0;
    int readMultiplier_ = 0;
    int readConstant_ = 0;
    int writeMultiplier_ = 0;
    int writeConstant_ = 0;
};

class TCustomComPort : public forms::TComponent {
public:
    explicit TCustomComPort(forms::TComponent *AOwner);
    // Closes an open port first (BeforeClose and AfterClose run).
    ~TCustomComPort() override;

    void Loaded() override;

    void Open();
    void Close();

    // Starts one overlapped read into (write from) the caller's memory, which must stay
    // valid until the operation has completed: until the next Read (Write) has returned,
    // the direction has been purged, or the port has been closed. Only one read and one
    // write are outstanding; a second one first waits for the first. With
    // WaitOnCompletion the call returns with the operation done. No byte count: ask
    // InputCount first to read only what is there.
    void Read(void *Buffer, int Length, bool WaitOnCompletion);
    void Write(const void *Buffer, int Length, bool WaitOnCompletion);
    bool ReadPending() const;
    bool WritePending() const;
    // Bytes waiting in the input queue. On a closed port: EComError with code 6.
    int InputCount();
    // Discard the queue and end a pending operation of that direction without error;
    // nothing on a closed port.
    void PurgeInput();
    void PurgeOutput();
    // Calls OnLineError when the driver reports line errors.
    void CheckLineErrors();
    // Appends the machine's serial port names; the list is neither cleared nor sorted.
    void EnumComPorts(forms::TStrings *Ports);

    // Properties.
    QString About() const;
    void SetAbout(const QString &) {}
    bool Active() const;
    void SetActive(bool value);
    TBaudRate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudRate value);
    int CustomBaudRate() const;
    void SetCustomBaudRate(int value);
    TDataBits DataBits() const { return dataBits_; }
    void SetDataBits(TDataBits value);
    QString DeviceName() const { return deviceName_; }
    void SetDeviceName(const QString &value);
    TParity Parity() const { return parity_; }
    void SetParity(TParity value);
    TStopBits StopBits() const { return stopBits_; }
    void SetStopBits(TStopBits value);
    TOptions Options() const { return options_; }
    void SetOptions(TOptions value);
    TPriorityClass PriorityClass() const { return priorityClass_; }
    void SetPriorityClass(TPriorityClass value);
    bool SynchronizeEvents() const { return synchronizeEvents_; }
    void SetSynchronizeEvents(bool value);
    forms::TThreadPriority ThreadPriority() const { return threadPriority_; }
    void SetThreadPriority(forms::TThreadPriority value);
    TFlowControl *FlowControl() const { return flowControl_.get(); }
    TCharacters *Characters() const { return characters_.get(); }
    TBufferSizes *BufferSizes() const { return bufferSizes_.get(); }
    TTimeouts *Timeouts() const { return timeouts_.get(); }
    TModemStatus ModemStatus();

    // Events.
    TOpenCloseEvent AfterClose() const { return afterClose_; }
    void SetAfterClose(const TOpenCloseEvent &e) { afterClose_ = e; }
    TOpenCloseEvent AfterOpen() const { return afterOpen_; }
    void SetAfterOpen(const TOpenCloseEvent &e) { afterOpen_ = e; }
    TReadWriteEvent AfterRead() const { return afterRead_; }
    void SetAfterRead(const TReadWriteEvent &e) { afterRead_ = e; }
    TReadWriteEvent AfterWrite() const { return afterWrite_; }
    void SetAfterWrite(const TReadWriteEvent &e) { afterWrite_ = e; }
    TOpenCloseEvent BeforeClose() const { return beforeClose_; }
    void SetBeforeClose(const TOpenCloseEvent &e) { beforeClose_ = e; }
    TOpenCloseEvent BeforeOpen() const { return beforeOpen_; }
    void SetBeforeOpen(const TOpenCloseEvent &e) { beforeOpen_ = e; }
    TReadWriteEvent BeforeRead() const { return beforeRead_; }
    void SetBeforeRead(const TReadWriteEvent &e) { beforeRead_ = e; }
    TReadWriteEvent BeforeWrite() const { return beforeWrite_; }
    void SetBeforeWrite(const TReadWriteEvent &e) { beforeWrite_ = e; }
    TComErrorEvent OnError() const { return onError_; }
    void SetOnError(const TComErrorEvent &e) { onError_ = e; }

    // The comm events. Setting one on an open port updates the device's event mask and
    // starts or stops the event thread.
    TNotifyEvent OnBreak() const { return onBreak_; }
    void SetOnBreak(const TNotifyEvent &e) { setCommEvent(onBreak_, e); }
    TNotifyEvent OnCTSChange() const { return onCTSChange_; }
    void SetOnCTSChange(const TNotifyEvent &e) { setCommEvent(onCTSChange_, e); }
    TNotifyEvent OnDSRChange() const { return onDSRChange_; }
    void SetOnDSRChange(const TNotifyEvent &e) { setCommEvent(onDSRChange_, e); }
    TNotifyEvent OnEvent1() const { return onEvent1_; }
    void SetOnEvent1(const TNotifyEvent &e) { setCommEvent(onEvent1_, e); }
    TNotifyEvent OnEvent2() const { return onEvent2_; }
    void SetOnEvent2(const TNotifyEvent &e) { setCommEvent(onEvent2_, e); }
    TLineErrorEvent OnLineError() const { return onLineError_; }
    void SetOnLineError(const TLineErrorEvent &e) { setCommEvent(onLineError_, e); }
    TNotifyEvent OnPrinterError() const { return onPrinterError_; }
    void SetOnPrinterError(const TNotifyEvent &e) { setCommEvent(onPrinterError_, e); }
    TNotifyEvent OnRing() const { return onRing_; }
    void SetOnRing(const TNotifyEvent &e) { setCommEvent(onRing_, e); }
    TNotifyEvent OnRLSDChange() const { return onRLSDChange_; }
    void SetOnRLSDChange(const TNotifyEvent &e) { setCommEvent(onRLSDChange_, e); }
    TNotifyEvent OnRx80PercFull() const { return onRx80PercFull_; }
    void SetOnRx80PercFull(const TNotifyEvent &e) { setCommEvent(onRx80PercFull_, e); }
    TNotifyEvent OnRxChar() const { return onRxChar_; }
    void SetOnRxChar(const TNotifyEvent &e) { setCommEvent(onRxChar_, e); }
    TNotifyEvent OnRxFlag() const { return onRxFlag_; }
    void SetOnRxFlag(const TNotifyEvent &e) { setCommEvent(onRxFlag_, e); }
    TNotifyEvent OnTxEmpty() const { return onTxEmpty_; }
    void SetOnTxEmpty(const TNotifyEvent &e) { setCommEvent(onTxEmpty_, e); }

    // The Win32 event mask of the attached comm events.
    std::uint32_t EventMask() const;
    // Writes the line settings into a device control block read from the driver;
    // Default members and the fields the port has no property for are left alone.
    void FillDCB(win::DCB &dcb) const;

protected:
    virtual void OpenDevice();
    void CloseDevice();
    void ApplyDCB();
    void ApplyBufferSizes();
    void ApplyTimeouts();
    void ApplyEventMask();
    void StartThread();
    void StopThread();

    void CheckOpen();
    void CheckClosed();
    void CheckResult(bool success);
    [[noreturn]] void RaiseError(int code, const QString &message);

    // One cycle of comm events, for the bits the last wait reported.
    void DispatchEvents();
    // The last wait error, raised on the GUI thread for the event thread.
    void RaiseThreadError();

    bool Designing() const { return (ComponentState() & forms::csDesigning) != 0; }
    bool LoadingState() const { return (ComponentState() & forms::csLoading) != 0; }

private:
    friend class TComThread;
    friend class TFlowControl;
    friend class TCharacters;
    friend class TBufferSizes;
    friend class TTimeouts;

    template <typename E> void setCommEvent(E &field, const E &value) {
        if (field == value) return;
        field = value;
        ApplyEventMask();
    }
    bool isOpen() const;
    void waitForRead();
    void waitForWrite();
    void closeNow();

    bool activeFlag_ = false;
    std::unique_ptr<TComDevice> device_;           // handles and overlapped records
    TComThread *thread_ = nullptr;                 // GUI thread only; none = no thread
    std::shared_ptr<forms::SyncToken> threadSync_; // withdraws the thread's queued hand-overs
    std::uint32_t eventMask_ = 0;                  // what the last wait reported
    std::uint32_t lastWaitError_ = 0;
    std::shared_ptr<TComLink> link_; // liveness shared with threads and queued calls

    forms::TThreadPriority threadPriority_ = forms::tpTimeCritical;
    int customBaudRate_ = 0;
    TBaudRate baudRate_ = brDefault;
    std::unique_ptr<TBufferSizes> bufferSizes_;
    std::unique_ptr<TCharacters> characters_;
    TDataBits dataBits_ = dbDefault;
    QString deviceName_ = QStringLiteral("COM1");
    std::unique_ptr<TFlowControl> flowControl_;
    TParity parity_ = paDefault;
    TPriorityClass priorityClass_ = pcDefault;
    TOptions options_;
    TStopBits stopBits_ = sbDefault;
    bool synchronizeEvents_ = true;
    std::unique_ptr<TTimeouts> timeouts_;

    TOpenCloseEvent afterClose_, afterOpen_;
    TReadWriteEvent afterRead_, afterWrite_;
    TOpenCloseEvent beforeClose_, beforeOpen_;
    TReadWriteEvent beforeRead_, beforeWrite_;
    TNotifyEvent onBreak_, onCTSChange_, onDSRChange_;
    TComErrorEvent onError_;
    TNotifyEvent onEvent1_, onEvent2_;
    TLineErrorEvent onLineError_;
    TNotifyEvent onPrinterError_, onRing_, onRLSDChange_, onRx80PercFull_, onRxChar_, onRxFlag_, onTxEmpty_;
};

// The class placed on forms.
class TComPort : public TCustomComPort {
public:
    explicit TComPort(forms::TComponent *AOwner) : TCustomComPort(AOwner) {}
};

// Waits on the device for comm events and hands each cycle of them to the port.
// It frees itself when it ends; it holds only the shared link, never the port itself,
// so a port that is closed or destroyed meanwhile is never touched.
class TComThread : public forms::TThread {
public:
    explicit TComThread(TCustomComPort *AComPort);
    ~TComThread() override;

protected:
    void Execute() override;

private:
    friend class TCustomComPort;
    friend struct TComLink;
    // One cycle: wait for events and dispatch them.
    void WaitForEvent();
    void dispatch(std::uint32_t mask);

    std::shared_ptr<TComLink> link_;
    struct Wait;
    std::unique_ptr<Wait> wait_; // this thread's own wait record and event
    void *handle_ = nullptr;     // the device, as the port opened it
    bool synchronize_ = true;
    std::shared_ptr<forms::SyncToken> sync_;
};

} // namespace serial
