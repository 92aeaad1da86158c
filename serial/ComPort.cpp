#include "ComPort.h"

#include "platform/comm/Comm.h"
#include "platform/forms/Application.h"
#include "platform/forms/Strings.h"
#include "platform/forms/Sync.h"
#include "platform/win/Win32.h"

#include <QDir>

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace serial {

using namespace win;

// ---- mapping tables ----------------------------------------------------------------

int BaudRateValue(TBaudRate rate) {
    static constexpr int rates[] = {0,     50,    75,    110,   150,   300,    600,    1200,   1800,
                                    2000,  2400,  3600,  4800,  7200,  9600,   10400,  14400,  15625,
                                    19200, 28800, 38400, 56000, 57600, 115200, 128000, 256000, 0};
    return unsigned(rate) < std::size(rates) ? rates[rate] : 0;
}

int DataBitsValue(TDataBits bits) { return bits == dbDefault ? 0 : int(bits) + 3; }
int ParityValue(TParity parity) { return int(parity) - 1; }
int StopBitsValue(TStopBits bits) { return int(bits) - 1; }

std::uint32_t DTRControlBits(TDTRControl c) {
    switch (c) {
        case dcEnable: return 0x10;
        case dcHandshake: return 0x20;
        default: return 0;
    }
}

std::uint32_t RTSControlBits(TRTSControl c) {
    switch (c) {
        case rcEnable: return 0x1000;
        case rcHandshake: return 0x2000;
        case rcToggle: return 0x3000;
        default: return 0;
    }
}

std::uint32_t XOnXOffControlBits(TXOnXOffControl c) {
    switch (c) {
        case xcInput: return 0x200;
        case xcOutput: return 0x100;
        case xcInputOutput: return 0x300;
        default: return 0;
    }
}

std::uint32_t OptionBit(TOption o) {
    static constexpr std::uint32_t bits[] = {0x2, 0x4, 0x8, 0x40, 0x80, 0x400, 0x800, 0x4000};
    return bits[o];
}

std::uint32_t PriorityClassValue(TPriorityClass c) {
    static constexpr std::uint32_t values[] = {0, 0x40, 0x20, 0x80, 0x100};
    return values[c];
}

TLineErrors ToLineErrors(std::uint32_t errorWord) {
    static constexpr std::uint32_t bits[] = {CE_BREAK,   CE_DNS, CE_FRAME,  CE_IOE,      CE_MODE,  CE_OOP,
                                             CE_OVERRUN, CE_PTO, CE_RXOVER, CE_RXPARITY, CE_TXFULL};
    TLineErrors set;
    for (unsigned i = 0; i < std::size(bits); ++i)
        if (errorWord & bits[i]) set.Include(TLineError(i));
    return set;
}

TModemStatus ToModemStatus(std::uint32_t modemBits) {
    static constexpr std::uint32_t bits[] = {MS_CTS_ON, MS_DSR_ON, MS_RING_ON, MS_RLSD_ON};
    TModemStatus set;
    for (unsigned i = 0; i < std::size(bits); ++i)
        if (modemBits & bits[i]) set.Include(TModemStatusValue(i));
    return set;
}

// ---- shared state ------------------------------------------------------------------

namespace {

const QString closedPortText = QStringLiteral("Can't perform this operation on a closed port");
const QString openPortText = QStringLiteral("Can't perform this operation on an open port");

// Process priority classes as nice values, applied to every thread of the process.
// Raising priority needs a privilege; without it the value is left as it is.
int niceOfClass(TPriorityClass c) {
    switch (c) {
        case pcIdle: return 19;
        case pcHigh: return -10;
        case pcRealTime: return -20;
        default: return 0;
    }
}

void setProcessNice(int nice) {
    QDir tasks(QStringLiteral("/proc/self/task"));
    const QStringList ids = tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &id : ids) setpriority(PRIO_PROCESS, id_t(id.toInt()), nice);
}

int processNice() {
    errno = 0;
    return getpriority(PRIO_PROCESS, id_t(getpid()));
}

// Calls a copy of the handler: the handler may replace or detach itself.
template <typename E, typename... A> void fire(const E &event, A &&...args) {
    const E handler = event;
    handler(std::forward<A>(args)...);
}

} // namespace

struct TComDevice {
    HANDLE handle = INVALID_HANDLE_VALUE;
    HANDLE readEvent = nullptr;
    HANDLE writeEvent = nullptr;
    OVERLAPPED readOverlapped{};
    OVERLAPPED writeOverlapped{};
    int readLength = 0;
    int writeLength = 0;
    bool prioritySaved = false;
    int savedNice = 0;
};

// The wait record of one event thread. Each thread has its own, so a thread that is
// still finishing cannot take a wake-up meant for its successor.
struct TComThread::Wait {
    HANDLE event = nullptr;
    OVERLAPPED overlapped{};
    DWORD mask = 0;
    ~Wait() {
        if (event) CloseHandle(event);
    }
};

// Shared by a port, its event threads and the calls they queue for the GUI thread.
struct TComLink {
    // Null once the port is destroyed; read on the GUI thread, or on the event thread
    // under dispatchLock when events are not synchronised.
    std::atomic<TCustomComPort *> port{nullptr};
    // A thread starts a device wait only under this lock and only when not told to
    // terminate; StopThread sets the flag and ends the wait under it, so a stopped
    // thread never touches the device again.
    std::mutex waitLock;
    // Held while handlers run on the event thread.
    std::mutex dispatchLock;
    // Wait records a thread left behind while the driver might still complete them;
    // freed with the link, after the device has been closed.
    std::mutex retiredLock;
    std::vector<std::unique_ptr<TComThread::Wait>> retired;
};

// ---- EComError ---------------------------------------------------------------------

EComError::EComError(int code, const QString &message) : forms::Exception(message), errorCode_(code) {}

// ---- sub-objects -------------------------------------------------------------------

#define SUBOBJECT_SETTER(Class, Name, Type, field, apply)                                                              \
    void Class::Set##Name(Type value) {                                                                                \
        if (field == value) return;                                                                                    \
        field = value;                                                                                                 \
        comPort_->apply();                                                                                             \
    }

SUBOBJECT_SETTER(TFlowControl, DTR, TDTRControl, dtr_, ApplyDCB)
SUBOBJECT_SETTER(TFlowControl, RTS, TRTSControl, rts_, ApplyDCB)
SUBOBJECT_SETTER(TFlowControl, XOnXOff, TXOnXOffControl, xOnXOff_, ApplyDCB)
SUBOBJECT_SETTER(TFlowControl, XOnLimit, std::uint16_t, xOnLimit_, ApplyDCB)
SUBOBJECT_SETTER(TFlowControl, XOffLimit, std::uint16_t, xOffLimit_, ApplyDCB)
SUBOBJECT_SETTER(TCharacters, XOn, char, xOn_, ApplyDCB)
SUBOBJECT_SETTER(TCharacters, XOff, char, xOff_, ApplyDCB)
SUBOBJECT_SETTER(TCharacters, Error, char, error_, ApplyDCB)
SUBOBJECT_SETTER(TCharacters, Eof, char, eof_, ApplyDCB)
SUBOBJECT_SETTER(TCharacters, Event, char, event_, ApplyDCB)
SUBOBJECT_SETTER(TBufferSizes, Input, int, input_, ApplyBufferSizes)
SUBOBJECT_SETTER(TBufferSizes, Output, int, output_, ApplyBufferSizes)
SUBOBJECT_SETTER(TTimeouts, ReadInterval, int, readInterval_, ApplyTimeouts)
SUBOBJECT_SETTER(TTimeouts, ReadMultiplier, int, readMultiplier_, ApplyTimeouts)
SUBOBJECT_SETTER(TTimeouts, ReadConstant, int, readConstant_, ApplyTimeouts)
SUBOBJECT_SETTER(TTimeouts, WriteMultiplier, int, writeMultiplier_, ApplyTimeouts)
SUBOBJECT_SETTER(TTimeouts, WriteConstant, int, writeConstant_, ApplyTimeouts)

#undef SUBOBJECT_SETTER

// ---- the port ----------------------------------------------------------------------

TCustomComPort::TCustomComPort(forms::TComponent *AOwner)
    : forms::TComponent(AOwner),
      device_(std::make_unique<TComDevice>()),
      link_(std::make_shared<TComLink>()),
      bufferSizes_(std::make_unique<TBufferSizes>(this)),
      characters_(std::make_unique<TCharacters>(this)),
      flowControl_(std::make_unique<TFlowControl>(this)),
      timeouts_(std::make_unique<TTimeouts>(this)) {
    link_->port = this;
}

TCustomComPort::~TCustomComPort() {
    // A handler running on the event thread finishes before the port is closed and
    // goes; calls it queues for the GUI thread meanwhile are run here so that they
    // cannot block it.
    while (!link_->dispatchLock.try_lock()) {
        forms::CheckSynchronize();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    try {
        Close();
    } catch (...) {
        // A destructor cannot report; the device is released below all the same.
    }
    if (isOpen()) CloseDevice();
    link_->port = nullptr;
    link_->dispatchLock.unlock();
}

void TCustomComPort::Loaded() {
    forms::TComponent::Loaded();
    SetActive(activeFlag_);
}

bool TCustomComPort::isOpen() const { return device_->handle != INVALID_HANDLE_VALUE; }

QString TCustomComPort::About() const { return QStringLiteral("TComPort serial port component 1.0"); }

bool TCustomComPort::Active() const { return Designing() ? activeFlag_ : isOpen(); }

void TCustomComPort::SetActive(bool value) {
    if (value != Active() && !Designing() && !LoadingState()) {
        if (value)
            Open();
        else
            Close();
    }
    activeFlag_ = value;
}

void TCustomComPort::SetBaudRate(TBaudRate value) {
    if (value == baudRate_) return;
    baudRate_ = value;
    ApplyDCB();
}

int TCustomComPort::CustomBaudRate() const {
    return baudRate_ == brCustom ? customBaudRate_ : BaudRateValue(baudRate_);
}

void TCustomComPort::SetCustomBaudRate(int value) {
    if (value == customBaudRate_) return;
    customBaudRate_ = value;
    baudRate_ = brCustom;
    ApplyDCB();
}

void TCustomComPort::SetDataBits(TDataBits value) {
    if (value == dataBits_) return;
    dataBits_ = value;
    ApplyDCB();
}

void TCustomComPort::SetDeviceName(const QString &value) {
    if (value == deviceName_) return;
    CheckClosed();
    deviceName_ = value;
}

void TCustomComPort::SetParity(TParity value) {
    if (value == parity_) return;
    parity_ = value;
    ApplyDCB();
}

void TCustomComPort::SetStopBits(TStopBits value) {
    if (value == stopBits_) return;
    stopBits_ = value;
    ApplyDCB();
}

void TCustomComPort::SetOptions(TOptions value) {
    if (value == options_) return;
    options_ = value;
    ApplyDCB();
}

void TCustomComPort::SetPriorityClass(TPriorityClass value) {
    if (value == priorityClass_) return;
    CheckClosed();
    priorityClass_ = value;
}

void TCustomComPort::SetSynchronizeEvents(bool value) {
    if (value == synchronizeEvents_) return;
    CheckClosed();
    synchronizeEvents_ = value;
}

void TCustomComPort::SetThreadPriority(forms::TThreadPriority value) {
    if (value == threadPriority_) return;
    threadPriority_ = value;
    if (thread_) thread_->SetPriority(value);
}

std::uint32_t TCustomComPort::EventMask() const {
    std::uint32_t mask = 0;
    if (onRxChar_) mask |= EV_RXCHAR;
    if (onRxFlag_) mask |= EV_RXFLAG;
    if (onTxEmpty_) mask |= EV_TXEMPTY;
    if (onCTSChange_) mask |= EV_CTS;
    if (onDSRChange_) mask |= EV_DSR;
    if (onRLSDChange_) mask |= EV_RLSD;
    if (onBreak_) mask |= EV_BREAK;
    if (onLineError_) mask |= EV_ERR;
    if (onRing_) mask |= EV_RING;
    if (onPrinterError_) mask |= EV_PERR;
    if (onRx80PercFull_) mask |= EV_RX80FULL;
    if (onEvent1_) mask |= EV_EVENT1;
    if (onEvent2_) mask |= EV_EVENT2;
    return mask;
}

// ---- errors ------------------------------------------------------------------------

void TCustomComPort::RaiseError(int code, const QString &message) {
    EComError error(code, message);
    TComAction action = caFail;
    if (onError_) {
        const TComErrorEvent handler = onError_;
        handler(this, error, action);
    }
    if (action == caAbort) forms::Abort();
    throw error;
}

void TCustomComPort::CheckResult(bool success) {
    if (success) return;
    const DWORD code = GetLastError();
    if (code == ERROR_SUCCESS || code == ERROR_IO_PENDING) return;
    SetLastError(ERROR_SUCCESS);
    RaiseError(int(code), QString::fromStdString(SysErrorMessage(code)));
}

void TCustomComPort::CheckOpen() {
    if (!isOpen()) RaiseError(0, closedPortText);
}

void TCustomComPort::CheckClosed() {
    if (isOpen() && !Designing()) RaiseError(0, openPortText);
}

// ---- open and close ----------------------------------------------------------------

void TCustomComPort::Open() {
    if (isOpen()) return;
    if (beforeOpen_) fire(beforeOpen_, this);
    OpenDevice();
    if (isOpen() && afterOpen_) fire(afterOpen_, this);
}

void TCustomComPort::OpenDevice() {
    CloseDevice();
    SetLastError(ERROR_SUCCESS);
    TComDevice &d = *device_;
    try {
        if (priorityClass_ != pcDefault) {
            d.savedNice = processNice();
            d.prioritySaved = true;
            setProcessNice(niceOfClass(priorityClass_));
        }
        d.readEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
        CheckResult(d.readEvent != nullptr);
        d.writeEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
        CheckResult(d.writeEvent != nullptr);
        const QByteArray name = deviceName_.toLocal8Bit();
        d.handle = CreateFileA(name.constData(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
        CheckResult(d.handle != INVALID_HANDLE_VALUE);
        PurgeInput();
        PurgeOutput();
        ApplyBufferSizes();
        ApplyDCB();
        ApplyTimeouts();
        ApplyEventMask();
    } catch (...) {
        CloseDevice();
        throw;
    }
}

void TCustomComPort::Close() {
    if (!forms::IsGuiThread()) {
        // Devices are closed on the GUI thread only, where the event thread is stopped.
        std::shared_ptr<TComLink> link = link_;
        forms::Synchronize([link] {
            if (TCustomComPort *port = link->port) port->Close();
        });
        return;
    }
    closeNow();
}

void TCustomComPort::closeNow() {
    if (!isOpen()) return;
    if (beforeClose_) fire(beforeClose_, this);
    CloseDevice();
    if (!isOpen() && afterClose_) fire(afterClose_, this);
}

void TCustomComPort::CloseDevice() {
    StopThread();
    TComDevice &d = *device_;
    if (d.handle != INVALID_HANDLE_VALUE) {
        CloseHandle(d.handle);
        d.handle = INVALID_HANDLE_VALUE;
    }
    if (d.writeEvent) {
        CloseHandle(d.writeEvent);
        d.writeEvent = nullptr;
    }
    if (d.readEvent) {
        CloseHandle(d.readEvent);
        d.readEvent = nullptr;
    }
    if (d.prioritySaved) {
        setProcessNice(d.savedNice);
        d.prioritySaved = false;
    }
}

// ---- device settings ---------------------------------------------------------------

void TCustomComPort::ApplyDCB() {
    if (!isOpen() || Designing()) return;
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    CheckResult(GetCommState(device_->handle, &dcb));
    FillDCB(dcb);
    CheckResult(SetCommState(device_->handle, &dcb));
}

void TCustomComPort::FillDCB(DCB &dcb) const {
    if (baudRate_ != brDefault)
        dcb.BaudRate = DWORD(baudRate_ == brCustom ? customBaudRate_ : BaudRateValue(baudRate_));
    if (dataBits_ != dbDefault) dcb.ByteSize = BYTE(DataBitsValue(dataBits_));
    if (parity_ != paDefault) dcb.Parity = BYTE(ParityValue(parity_));
    if (stopBits_ != sbDefault) dcb.StopBits = BYTE(StopBitsValue(stopBits_));
    dcb.XonChar = characters_->XOn();
    dcb.XoffChar = characters_->XOff();
    dcb.ErrorChar = characters_->Error();
    dcb.EofChar = characters_->Eof();
    dcb.EvtChar = characters_->Event();
    if (flowControl_->DTR() != dcDefault)
        dcb.Flags = (dcb.Flags & ~DCB::fDtrControl) | DTRControlBits(flowControl_->DTR());
    if (flowControl_->RTS() != rcDefault)
        dcb.Flags = (dcb.Flags & ~DCB::fRtsControl) | RTSControlBits(flowControl_->RTS());
    if (flowControl_->XOnXOff() != xcDefault)
        dcb.Flags = (dcb.Flags & ~(DCB::fOutX | DCB::fInX)) | XOnXOffControlBits(flowControl_->XOnXOff());
    dcb.XonLim = flowControl_->XOnLimit();
    dcb.XoffLim = flowControl_->XOffLimit();
    for (int o = opCheckParity; o <= opAbortOnError; ++o) {
        const DWORD bit = OptionBit(TOption(o));
        dcb.Flags = options_.Contains(TOption(o)) ? (dcb.Flags | bit) : (dcb.Flags & ~bit);
    }
}

void TCustomComPort::ApplyBufferSizes() {
    if (!isOpen() || Designing()) return;
    CheckResult(SetupComm(device_->handle, DWORD(bufferSizes_->Input()), DWORD(bufferSizes_->Output())));
}

void TCustomComPort::ApplyTimeouts() {
    if (!isOpen() || Designing()) return;
    COMMTIMEOUTS t{};
    CheckResult(GetCommTimeouts(device_->handle, &t));
    t.ReadIntervalTimeout = DWORD(timeouts_->ReadInterval());
    t.ReadTotalTimeoutMultiplier = DWORD(timeouts_->ReadMultiplier());
    t.ReadTotalTimeoutConstant = DWORD(timeouts_->ReadConstant());
    t.WriteTotalTimeoutMultiplier = DWORD(timeouts_->WriteMultiplier());
    t.WriteTotalTimeoutConstant = DWORD(timeouts_->WriteConstant());
    CheckResult(SetCommTimeouts(device_->handle, &t));
}

// ---- comm events -------------------------------------------------------------------

void TCustomComPort::ApplyEventMask() {
    if (!isOpen() || Designing()) return;
    const DWORD mask = EventMask();
    if (mask == 0) StopThread();
    CheckResult(SetCommMask(device_->handle, mask));
    if (mask != 0) StartThread();
}

void TCustomComPort::StartThread() {
    if (thread_) return;
    TComThread *thread = nullptr;
    try {
        thread = new TComThread(this);
    } catch (...) {
        thread = nullptr;
    }
    if (!thread) RaiseError(0, QStringLiteral("Can't create thread"));
}

void TCustomComPort::StopThread() {
    if (!thread_) return;
    {
        std::lock_guard<std::mutex> g(link_->waitLock);
        thread_->Terminate();
        // Ends the pending wait; the thread then sees its flag and leaves.
        if (isOpen()) SetCommMask(device_->handle, 0);
    }
    // A hand-over it has queued is dropped, so it cannot stay blocked on a GUI thread
    // that stops draining the queue.
    if (threadSync_) threadSync_->Cancel();
    threadSync_.reset();
    thread_ = nullptr;
}

void TCustomComPort::DispatchEvents() {
    const DWORD mask = eventMask_;
    // Handlers are copied before the call: a handler may detach itself.
    auto notify = [this, mask](DWORD bit, const TNotifyEvent &event) {
        if ((mask & bit) && event) fire(event, this);
    };
    try {
        notify(EV_BREAK, onBreak_);
        notify(EV_CTS, onCTSChange_);
        notify(EV_DSR, onDSRChange_);
        if ((mask & EV_ERR) && onLineError_) CheckLineErrors();
        notify(EV_EVENT1, onEvent1_);
        notify(EV_EVENT2, onEvent2_);
        notify(EV_PERR, onPrinterError_);
        notify(EV_RING, onRing_);
        notify(EV_RLSD, onRLSDChange_);
        notify(EV_RX80FULL, onRx80PercFull_);
        notify(EV_RXCHAR, onRxChar_);
        notify(EV_RXFLAG, onRxFlag_);
        notify(EV_TXEMPTY, onTxEmpty_);
    } catch (const forms::Exception &) {
        forms::Application->HandleException(this);
    }
}

void TCustomComPort::RaiseThreadError() {
    const DWORD code = lastWaitError_;
    RaiseError(int(code), QString::fromStdString(SysErrorMessage(code)));
}

// ---- data --------------------------------------------------------------------------

bool TCustomComPort::ReadPending() const {
    return device_->readEvent && WaitForSingleObject(device_->readEvent, 0) != WAIT_OBJECT_0;
}

bool TCustomComPort::WritePending() const {
    return device_->writeEvent && WaitForSingleObject(device_->writeEvent, 0) != WAIT_OBJECT_0;
}

void TCustomComPort::waitForRead() {
    if (ReadPending()) {
        DWORD transferred = 0;
        CheckResult(GetOverlappedResult(device_->handle, &device_->readOverlapped, &transferred, TRUE));
        if (int(transferred) != device_->readLength) RaiseError(0, QStringLiteral("Timeout"));
    }
    CheckLineErrors();
}

void TCustomComPort::waitForWrite() {
    if (WritePending()) {
        DWORD transferred = 0;
        CheckResult(GetOverlappedResult(device_->handle, &device_->writeOverlapped, &transferred, TRUE));
        if (int(transferred) != device_->writeLength) RaiseError(0, QStringLiteral("Timeout"));
    }
    CheckLineErrors();
}

void TCustomComPort::Read(void *Buffer, int Length, bool WaitOnCompletion) {
    CheckOpen();
    // A negative length would let the driver write far past the caller's buffer.
    if (Length < 0)
        RaiseError(int(ERROR_INVALID_PARAMETER), QString::fromStdString(SysErrorMessage(ERROR_INVALID_PARAMETER)));
    if (beforeRead_) fire(beforeRead_, this, Buffer, Length, WaitOnCompletion);
    waitForRead();
    TComDevice &d = *device_;
    d.readLength = Length;
    if (Length != 0) {
        d.readOverlapped = OVERLAPPED{};
        d.readOverlapped.hEvent = d.readEvent;
        ResetEvent(d.readEvent);
        DWORD transferred = 0;
        CheckResult(ReadFile(d.handle, Buffer, DWORD(Length), &transferred, &d.readOverlapped));
        if (WaitOnCompletion) waitForRead();
    }
    if (afterRead_) fire(afterRead_, this, Buffer, Length, WaitOnCompletion);
}

void TCustomComPort::Write(const void *Buffer, int Length, bool WaitOnCompletion) {
    CheckOpen();
    if (Length < 0)
        RaiseError(int(ERROR_INVALID_PARAMETER), QString::fromStdString(SysErrorMessage(ERROR_INVALID_PARAMETER)));
    void *buffer = const_cast<void *>(Buffer);
    if (beforeWrite_) fire(beforeWrite_, this, buffer, Length, WaitOnCompletion);
    waitForWrite();
    TComDevice &d = *device_;
    d.writeLength = Length;
    if (Length != 0) {
        d.writeOverlapped = OVERLAPPED{};
        d.writeOverlapped.hEvent = d.writeEvent;
        ResetEvent(d.writeEvent);
        DWORD transferred = 0;
        CheckResult(WriteFile(d.handle, Buffer, DWORD(Length), &transferred, &d.writeOverlapped));
        if (WaitOnCompletion) waitForWrite();
    }
    if (afterWrite_) fire(afterWrite_, this, buffer, Length, WaitOnCompletion);
}

void TCustomComPort::CheckLineErrors() {
    CheckOpen();
    DWORD errors = 0;
    COMSTAT stat{};
    CheckResult(ClearCommError(device_->handle, &errors, &stat));
    if (errors != 0 && onLineError_) fire(onLineError_, this, ToLineErrors(errors));
}

int TCustomComPort::InputCount() {
    DWORD errors = 0;
    COMSTAT stat{};
    CheckResult(ClearCommError(device_->handle, &errors, &stat));
    if (errors != 0 && onLineError_) fire(onLineError_, this, ToLineErrors(errors));
    return int(stat.cbInQue);
}

void TCustomComPort::PurgeInput() {
    if (isOpen()) CheckResult(PurgeComm(device_->handle, PURGE_RXABORT | PURGE_RXCLEAR));
}

void TCustomComPort::PurgeOutput() {
    if (isOpen()) CheckResult(PurgeComm(device_->handle, PURGE_TXABORT | PURGE_TXCLEAR));
}

TModemStatus TCustomComPort::ModemStatus() {
    if (Designing()) return {};
    CheckOpen();
    DWORD bits = 0;
    CheckResult(GetCommModemStatus(device_->handle, &bits));
    return ToModemStatus(bits);
}

void TCustomComPort::EnumComPorts(forms::TStrings *Ports) {
    if (!Ports) return;
    for (const std::string &name : EnumSerialPorts()) Ports->Add(QString::fromStdString(name));
}

// ---- the event thread --------------------------------------------------------------

TComThread::TComThread(TCustomComPort *AComPort)
    : forms::TThread(true), link_(AComPort->link_), wait_(std::make_unique<Wait>()) {
    wait_->event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!wait_->event) throw forms::Exception("Can't create thread");
    handle_ = AComPort->device_->handle;
    sync_ = std::make_shared<forms::SyncToken>();
    AComPort->threadSync_ = sync_;
    synchronize_ = AComPort->synchronizeEvents_;
    SetFreeOnTerminate(true);
    SetPriority(AComPort->threadPriority_);
    AComPort->thread_ = this;
    try {
        Start();
    } catch (...) {
        // No thread after all: the port must not keep a pointer to this object.
        AComPort->thread_ = nullptr;
        AComPort->threadSync_.reset();
        throw;
    }
}

TComThread::~TComThread() {
    // A wait the driver has not completed may still be written into; keep its record
    // until the device is gone.
    if (wait_ && !HasOverlappedIoCompleted(&wait_->overlapped)) {
        std::lock_guard<std::mutex> g(link_->retiredLock);
        link_->retired.push_back(std::move(wait_));
    }
}

void TComThread::Execute() {
    while (!Terminated()) WaitForEvent();
}

void TComThread::WaitForEvent() {
    BOOL done;
    {
        std::lock_guard<std::mutex> g(link_->waitLock);
        if (Terminated()) return;
        wait_->mask = 0;
        wait_->overlapped = OVERLAPPED{};
        wait_->overlapped.hEvent = wait_->event;
        done = WaitCommEvent(handle_, &wait_->mask, &wait_->overlapped);
    }
    if (done) {
        if (!Terminated()) dispatch(wait_->mask);
        return;
    }
    const DWORD code = GetLastError();
    if (Terminated()) return;
    if (code == ERROR_IO_PENDING) {
        // Sleeps in the comm layer rather than on the event, which lets this thread
        // read the line itself: a byte then wakes this thread alone.
        DWORD transferred = 0;
        if (GetOverlappedResult(handle_, &wait_->overlapped, &transferred, TRUE) && !Terminated())
            dispatch(wait_->mask);
        return;
    }
    SetLastError(ERROR_SUCCESS);
    std::shared_ptr<TComLink> link = link_;
    try {
        forms::Synchronize(
            [this, link, code] {
                TCustomComPort *port = link->port;
                if (!port || Terminated()) return;
                // The thread ends after this cycle: the port must not keep it.
                if (port->thread_ == this) port->thread_ = nullptr;
                port->lastWaitError_ = code;
                port->RaiseThreadError();
            },
            sync_);
    } catch (...) {
        // Raised only to end this thread; OnError has seen it.
    }
    if (code == ERROR_ACCESS_DENIED) {
        // The device has gone: close the port, unless it was closed meanwhile.
        try {
            forms::Synchronize(
                [this, link] {
                    TCustomComPort *port = link->port;
                    if (port && !Terminated()) port->Close();
                },
                sync_);
        } catch (...) {
            // BeforeClose or AfterClose raised; the port is closed all the same.
        }
    }
    Terminate();
}

void TComThread::dispatch(DWORD mask) {
    // A wait completed by a mask change reports nothing.
    if (mask == 0) return;
    if (synchronize_) {
        // Captures only what fits the call's own storage (no allocation on the way to
        // the handler); the thread and its link outlive the call, which runs while the
        // thread waits for it or not at all.
        forms::Synchronize(
            [this, mask] {
                TCustomComPort *port = link_->port;
                if (!port || Terminated()) return;
                try {
                    port->eventMask_ = mask;
                    port->DispatchEvents();
                } catch (...) {
                    // Not of the Exception family: it ends this thread.
                    if (port->thread_ == this) port->thread_ = nullptr;
                    throw;
                }
            },
            sync_);
        return;
    }
    std::shared_ptr<TComLink> link = link_;
    std::unique_lock<std::mutex> g(link->dispatchLock);
    TCustomComPort *port = link->port;
    if (!port || Terminated()) return;
    try {
        port->eventMask_ = mask;
        port->DispatchEvents();
    } catch (...) {
        g.unlock();
        forms::Synchronize(
            [this, link] {
                TCustomComPort *p = link->port;
                if (p && p->thread_ == this) p->thread_ = nullptr;
            },
            sync_);
        throw;
    }
}

} // namespace serial
