#include "Comm.h"

#include "platform/comm/Comm.h"
#include "platform/forms/Application.h"
#include "platform/forms/Exceptions.h"
#include "platform/forms/Sync.h"
#include "platform/win/Win32.h"

#include <cxxabi.h>

#include <cstdlib>
#include <iterator>
#include <typeinfo>

namespace serial::Comm {

using namespace win;

// ---- mapping tables ----------------------------------------------------------------

int BaudRateValue(TBaudRate rate) {
    static constexpr int rates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                    19200, 38400, 56000, 57600, 115200, 128000, 256000};
    return unsigned(rate) < std::size(rates) ? rates[rate] : 9600;
}

int ParityValue(TParity parity) { return int(parity); }
int StopBitsValue(TStopBits bits) { return int(bits); }
int DataBitsValue(TDataBits bits) { return int(bits) + 4; }

std::uint32_t CommOptionBit(TCommOption option) {
    static constexpr std::uint32_t bits[] = {DCB::fParity, DCB::fDsrSensitivity, DCB::fTXContinueOnXoff,
                                             DCB::fErrorChar, DCB::fNull};
    return bits[option];
}

std::uint32_t CommEventBit(TCommEventType event) {
    static constexpr std::uint32_t bits[] = {EV_BREAK, EV_CTS,    EV_DSR,    EV_ERR,    EV_RING,
                                             EV_RLSD,  EV_RXCHAR, EV_RXFLAG, EV_TXEMPTY};
    return bits[event];
}

std::uint32_t CommEventMask(TCommEventTypes events) {
    std::uint32_t mask = 0;
    for (int e = evBreak; e <= evTxEmpty; ++e)
        if (events.Contains(TCommEventType(e))) mask |= CommEventBit(TCommEventType(e));
    return mask;
}

std::uint32_t ModemStateBit(int line) {
    switch (line) {
        case 1: return MS_CTS_ON;
        case 2: return MS_DSR_ON;
        case 3: return MS_RING_ON;
        case 4: return MS_RLSD_ON;
        default: return 0;
    }
}

std::uint32_t ComStateBit(int state) {
    switch (state) {
        case 2: return COMSTAT::fDsrHold;
        case 3: return COMSTAT::fRlsdHold;
        case 4: return COMSTAT::fXoffHold;
        case 5: return COMSTAT::fXoffSent;
        default: return COMSTAT::fCtsHold;
    }
}

// ---- shared state ------------------------------------------------------------------

namespace {

[[noreturn]] void raise(const char *text, long long code) {
    throw forms::Exception(QStringLiteral("%1 (Error: %2)").arg(QLatin1String(text)).arg(code));
}

HANDLE closedHandle() { return INVALID_HANDLE_VALUE; }

} // namespace

// Shared by a component and one event thread, for as long as either needs it.
struct TThreadComm::Link {
    // A wait starts only under this lock and only while not stopped; Close stops and
    // ends the pending wait under it, so a stopped thread never waits on the device again.
    std::mutex waitLock;
    std::atomic<bool> stopped{false};
    // The component the thread's cycles go to; null once detached.
    std::atomic<TThreadComm *> comm{nullptr};
    // Held on the GUI thread while a cycle runs.
    std::mutex dispatchLock;
    std::shared_ptr<forms::SyncToken> sync = std::make_shared<forms::SyncToken>();
    // The thread's wait record. It lives here, not on the thread's stack, so that
    // the device may still complete it after the thread has left.
    HANDLE event = nullptr;
    OVERLAPPED overlapped{};
    DWORD mask = 0;

    ~Link() {
        if (event) CloseHandle(event);
    }
};

// Outlives the component for a cycle in progress: the session changes when the port
// is closed or the component destroyed, and the cycle then calls nothing more.
struct TThreadComm::Life {
    std::atomic<unsigned> session{0};
};

// ---- TCommEventChars ---------------------------------------------------------------

void TCommEventChars::set(char &field, char value) {
    std::lock_guard<std::recursive_mutex> g(owner_->lock_);
    field = value;
    owner_->UpdateDataControlBlock();
}

void TCommEventChars::SetXOnChar(char value) { set(xOnChar_, value); }
void TCommEventChars::SetXOffChar(char value) { set(xOffChar_, value); }
void TCommEventChars::SetErrorChar(char value) { set(errorChar_, value); }
void TCommEventChars::SetEofChar(char value) { set(eofChar_, value); }
void TCommEventChars::SetEvtChar(char value) { set(evtChar_, value); }

void TCommEventChars::Assign(forms::TPersistent *Source) {
    if (auto *chars = dynamic_cast<TCommEventChars *>(Source)) {
        std::lock_guard<std::recursive_mutex> g(owner_->lock_);
        xOnChar_ = chars->xOnChar_;
        xOffChar_ = chars->xOffChar_;
        errorChar_ = chars->errorChar_;
        eofChar_ = chars->eofChar_;
        evtChar_ = chars->evtChar_;
        return;
    }
    QString from = QStringLiteral("nil");
    if (Source) {
        int status = 0;
        char *name = abi::__cxa_demangle(typeid(*Source).name(), nullptr, nullptr, &status);
        from = QString::fromLatin1(status == 0 && name ? name : typeid(*Source).name());
        std::free(name);
        from = from.mid(from.lastIndexOf(QLatin1Char(':')) + 1);
    }
    throw forms::Exception(QStringLiteral("Cannot assign a %1 to a TCommEventChars.").arg(from));
}

// ---- the component -----------------------------------------------------------------

TThreadComm::TThreadComm(forms::TComponent *AOwner)
    : forms::TComponent(AOwner),
      handle_(closedHandle()),
      readOverlapped_(std::make_unique<OVERLAPPED>()),
      writeOverlapped_(std::make_unique<OVERLAPPED>()),
      life_(std::make_shared<Life>()),
      eventChars_(std::make_unique<TCommEventChars>(this)) {
    readEvent_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    writeEvent_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

TThreadComm::~TThreadComm() {
    try {
        Close();
    } catch (...) {
        // A destructor cannot report; the device is released all the same.
    }
    ++life_->session;
    if (readEvent_) CloseHandle(readEvent_);
    if (writeEvent_) CloseHandle(writeEvent_);
}

bool TThreadComm::Enabled() const { return handle_.load() != INVALID_HANDLE_VALUE; }

void TThreadComm::Lock() { lock_.lock(); }
void TThreadComm::Unlock() { lock_.unlock(); }

void TThreadComm::CheckOpen() {
    if (Enabled()) raise("Port already assigned (open)", -1);
}

void TThreadComm::SetDeviceName(const QString &value) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!Enabled()) deviceName_ = value;
}

void TThreadComm::SetReadBufSize(std::uint16_t value) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!Enabled()) readBufSize_ = value;
}

void TThreadComm::SetWriteBufSize(std::uint16_t value) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!Enabled()) writeBufSize_ = value;
}

void TThreadComm::SetSuspendTime(std::uint32_t value) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!Enabled()) suspendTime_ = value;
}

void TThreadComm::SetMonitorEvents(TCommEventTypes value) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!Enabled()) monitorEvents_ = value;
}

void TThreadComm::SetBaudRate(TBaudRate value) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    baudRate_ = value;
    UpdateDataControlBlock();
}

void TThreadComm::SetParity(TParity value) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    parity_ = value;
    UpdateDataControlBlock();
}

void TThreadComm::SetStopBits(TStopBits value) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    stopBits_ = value;
    UpdateDataControlBlock();
}

void TThreadComm::SetDataBits(TDataBits value) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    dataBits_ = value;
    UpdateDataControlBlock();
}

void TThreadComm::SetOptions(TCommOptions value) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    options_ = value;
    UpdateDataControlBlock();
}

void TThreadComm::SetFlowControl(TFlowControl value) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    flowControl_ = value;
    UpdateDataControlBlock();
}

// ---- open and close ----------------------------------------------------------------

void TThreadComm::CreateHandle() {
    const QByteArray name = deviceName_.toLocal8Bit();
    HANDLE h = CreateFileA(name.constData(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    if (GetFileType(h) != FILE_TYPE_CHAR) {
        CloseHandle(h);
        return;
    }
    handle_ = h;
    SetCommMask(h, 0x1FF);
}

void TThreadComm::Open() {
    std::lock_guard<std::recursive_mutex> g(lock_);
    CheckOpen();
    CreateHandle();
    if (!Enabled()) return;
    try {
        UpdateCommTimeouts();
        UpdateDataControlBlock();
        if (!SetupComm(handle_, readBufSize_, writeBufSize_))
            raise("Error initializing Read/Write Buffers", GetLastError());
        auto *thread = new TCommEventThread(handle_, monitorEvents_, suspendTime_);
        std::shared_ptr<Link> link = thread->link_;
        link->comm = this;
        try {
            thread->Start();
        } catch (...) {
            delete thread; // never started, so it cannot free itself
            throw forms::Exception("Can't create thread");
        }
        link_ = std::move(link);
    } catch (...) {
        // A port that failed to open is left closed, not half set up.
        closeDevice();
        throw;
    }
}

void TThreadComm::Close() {
    std::shared_ptr<Link> link;
    {
        std::lock_guard<std::recursive_mutex> g(lock_);
        if (!Enabled()) return;
        link = link_;
        closeDevice();
    }
    // A cycle already running on the GUI thread ends before Close returns on another
    // thread; on the GUI thread it is the caller itself, and stops at its next handler.
    if (link && !forms::IsGuiThread()) std::lock_guard<std::mutex> d(link->dispatchLock);
}

void TThreadComm::closeDevice() {
    ++life_->session;
    HANDLE h = handle_;
    if (std::shared_ptr<Link> link = std::move(link_)) {
        {
            std::lock_guard<std::mutex> w(link->waitLock);
            link->comm = nullptr;
            link->stopped = true;
            // Ends the pending wait; the thread sees it is stopped and leaves its loop.
            SetCommMask(h, 0);
        }
        // A hand-over already queued for the GUI thread returns without running.
        link->sync->Cancel();
    }
    handle_ = INVALID_HANDLE_VALUE;
    CloseHandle(h);
}

// ---- device settings ---------------------------------------------------------------

void TThreadComm::FillDCB(DCB &dcb) const {
    dcb.BaudRate = DWORD(BaudRateValue(baudRate_));
    dcb.Parity = BYTE(ParityValue(parity_));
    dcb.StopBits = BYTE(StopBitsValue(stopBits_));
    dcb.ByteSize = BYTE(DataBitsValue(dataBits_));
    dcb.XonChar = eventChars_->XOnChar();
    dcb.XoffChar = eventChars_->XOffChar();
    dcb.ErrorChar = eventChars_->ErrorChar();
    dcb.EofChar = eventChars_->EofChar();
    dcb.EvtChar = eventChars_->EvtChar();
    dcb.XonLim = 1024;
    dcb.XoffLim = 1024;
    for (int o = coParityCheck; o <= coNullStrip; ++o) {
        const DWORD bit = CommOptionBit(TCommOption(o));
        dcb.Flags = options_.Contains(TCommOption(o)) ? (dcb.Flags | bit) : (dcb.Flags & ~bit);
    }
}

void TThreadComm::UpdateDataControlBlock() {
    if (!Enabled()) return;
    HANDLE h = handle_;
    SetupComm(h, readBufSize_, writeBufSize_);
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    if (!GetCommState(h, &dcb)) raise("Error updating DataControlBlock", GetLastError());
    FillDCB(dcb);
    if (!SetCommState(h, &dcb)) raise("Error updating DataControlBlock", GetLastError());
}

void TThreadComm::UpdateDataControlBlockLock() {
    std::lock_guard<std::recursive_mutex> g(lock_);
    UpdateDataControlBlock();
}

COMMTIMEOUTS CommTimeoutsFor(TBaudRate rate) {
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;
    t.ReadTotalTimeoutMultiplier = 0;
    t.ReadTotalTimeoutConstant = 1000;
    t.WriteTotalTimeoutMultiplier = DWORD(19200 / BaudRateValue(rate));
    t.WriteTotalTimeoutConstant = 0;
    return t;
}

void TThreadComm::UpdateCommTimeouts() {
    if (!Enabled()) return;
    const COMMTIMEOUTS t = CommTimeoutsFor(baudRate_);
    if (!SetCommTimeouts(handle_, &t)) raise("Error updating CommTimeouts", GetLastError());
}

// ---- data --------------------------------------------------------------------------

int TThreadComm::Write(const void *Buffer, int Count) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    HANDLE h = handle_;
    if (h == INVALID_HANDLE_VALUE) return -1;
    // A negative count would have the driver read far past the caller's buffer.
    if (Count <= 0 || !Buffer) return 0;
    OVERLAPPED &ov = *writeOverlapped_;
    ov = OVERLAPPED{};
    ov.hEvent = writeEvent_;
    DWORD written = 0;
    if (WriteFile(h, Buffer, DWORD(Count), &written, &ov)) return int(written);
    if (GetLastError() == ERROR_IO_PENDING) {
        // Sleeps until the write has completed, timed out or failed (a port that
        // vanishes ends it with its error).
        if (GetOverlappedResult(h, &ov, &written, TRUE)) return int(written);
    }
    DWORD errors = 0;
    COMSTAT stat{};
    ClearCommError(h, &errors, &stat);
    return int(written);
}

int TThreadComm::Read(void *Buffer, int Count) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    HANDLE h = handle_;
    if (h == INVALID_HANDLE_VALUE) return -1;
    DWORD errors = 0;
    COMSTAT stat{};
    ClearCommError(h, &errors, &stat);
    if (Count <= 0 || !Buffer) return 0;
    OVERLAPPED &ov = *readOverlapped_;
    ov = OVERLAPPED{};
    ov.hEvent = readEvent_;
    DWORD read = 0;
    if (!ReadFile(h, Buffer, DWORD(Count), &read, &ov) && GetLastError() == ERROR_IO_PENDING)
        GetOverlappedResult(h, &ov, &read, TRUE);
    return int(read);
}

int TThreadComm::InQueCount() {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!Enabled() || !ClearCommError(handle_, &errors, &stat)) return -1;
    return int(stat.cbInQue);
}

int TThreadComm::OutQueCount() {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!Enabled() || !ClearCommError(handle_, &errors, &stat)) return -1;
    return int(stat.cbOutQue);
}

void TThreadComm::PurgeIn() {
    if (Enabled()) PurgeComm(handle_, PURGE_RXABORT | PURGE_RXCLEAR);
}

void TThreadComm::PurgeOut() {
    if (Enabled()) PurgeComm(handle_, PURGE_TXABORT | PURGE_TXCLEAR);
}

bool TThreadComm::GetModemState(int Line) {
    DWORD status = 0;
    if (!Enabled() || !GetCommModemStatus(handle_, &status)) return false;
    return (status & ModemStateBit(Line)) != 0;
}

bool TThreadComm::GetComState(int State) {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!Enabled() || !ClearCommError(handle_, &errors, &stat)) return false;
    return (stat.Flags & ComStateBit(State)) != 0;
}

void TThreadComm::EscapeComm(std::uint32_t function) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!Enabled()) raise("Port not open", -1);
    if (!EscapeCommFunction(handle_, function)) raise("EscapeCommFunction failure", GetLastError());
}

void TThreadComm::SetDTRState(bool State) { EscapeComm(State ? SETDTR : CLRDTR); }
void TThreadComm::SetRTSState(bool State) { EscapeComm(State ? SETRTS : CLRRTS); }
void TThreadComm::SetXONState(bool State) { EscapeComm(State ? SETXON : SETXOFF); }

void TThreadComm::SetBREAKState(bool State) {
    EscapeComm(State ? SETBREAK : CLRBREAK);
    if (Enabled()) PurgeComm(handle_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
}

// ---- comm events -------------------------------------------------------------------

void TThreadComm::HandleCommEvent(TObject *Sender, std::uint32_t EvtMask) {
    const std::shared_ptr<Life> life = life_;
    const unsigned session = life->session;
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(handle_, &errors, &stat)) {
        errors = 0;
        stat = COMSTAT{};
    }
    // Checked before every handler: one that closed the port or destroyed the
    // component ends the cycle, and `this` is not touched again.
    auto live = [&] { return life->session == session; };
    // Handlers are copied before the call: a handler may replace itself.
    auto notify = [&](DWORD bit, TNotifyEvent TThreadComm::*event) {
        if (!live()) return false;
        if (EvtMask & bit) {
            const TNotifyEvent handler = this->*event;
            if (handler) handler(Sender);
        }
        return true;
    };
    if (!notify(EV_BREAK, &TThreadComm::onBreak_) || !notify(EV_CTS, &TThreadComm::onCts_) ||
        !notify(EV_DSR, &TThreadComm::onDsr_) || !live())
        return;
    if ((EvtMask & EV_ERR) && onError_) {
        const TCommErrorEvent handler = onError_;
        handler(Sender, errors);
    }
    if (!notify(EV_RING, &TThreadComm::onRing_) || !notify(EV_RLSD, &TThreadComm::onRlsd_) || !live()) return;
    if ((EvtMask & EV_RXCHAR) && onRxChar_ && stat.cbInQue != 0) {
        const TCommRxCharEvent handler = onRxChar_;
        handler(Sender, int(stat.cbInQue));
    }
    if (!notify(EV_RXFLAG, &TThreadComm::onRxFlag_) || !notify(EV_TXEMPTY, &TThreadComm::onTxEmpty_) || !live()) return;
    if (onComStatEvent_) {
        const TCommStatEvent handler = onComStatEvent_;
        handler(Sender, EvtMask, stat.Flags, int(stat.cbInQue), int(stat.cbOutQue));
    }
}

// ---- the event thread --------------------------------------------------------------

TCommEventThread::TCommEventThread(void *Handle, TCommEventTypes Events, std::uint32_t SuspendTime)
    : forms::TThread(true), handle_(Handle), suspendTime_(SuspendTime), link_(std::make_shared<TThreadComm::Link>()) {
    SetFreeOnTerminate(true);
    link_->event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!link_->event) throw forms::Exception("Can't create thread");
    SetCommMask(handle_, CommEventMask(Events));
}

void TCommEventThread::Execute() {
    const std::shared_ptr<TThreadComm::Link> link = link_;
    while (!Terminated()) {
        BOOL done;
        {
            std::lock_guard<std::mutex> w(link->waitLock);
            if (link->stopped) break;
            link->mask = 0;
            link->overlapped = OVERLAPPED{};
            link->overlapped.hEvent = link->event;
            done = WaitCommEvent(handle_, &link->mask, &link->overlapped);
        }
        // Any failure but a pending wait means the device has gone or refuses to
        // wait: waiting again would fail at once, for ever. The thread ends instead.
        if (!done && GetLastError() != ERROR_IO_PENDING) break;
        if (!done) {
            // Sleeps in the comm layer, which lets this thread take the device's input
            // itself: one wake-up from the line to here.
            DWORD unused = 0;
            if (!GetOverlappedResult(handle_, &link->overlapped, &unused, TRUE)) break;
        }
        if (link->stopped) break;
        dispatch(link->mask);
        ResetEvent(link->event);
    }
    // Stopped by Close: the queues go with the device. A loop that ended on a failed
    // wait leaves them alone, so that what came can still be read.
    if (link->stopped) PurgeComm(handle_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
}

void TCommEventThread::dispatch(std::uint32_t mask) {
    // Captures only what fits the call's own storage (no allocation on the way to the
    // handlers); the thread outlives the call, which runs while the thread waits for
    // it or not at all.
    forms::Synchronize(
        [this, mask] {
            TThreadComm::Link *link = link_.get();
            std::lock_guard<std::mutex> d(link->dispatchLock);
            TThreadComm *comm = link->comm;
            if (!comm) return;
            try {
                comm->HandleCommEvent(comm, mask);
            } catch (const forms::Exception &) {
                // Shown, and the next cycle runs as usual.
                forms::Application->HandleException(comm);
            }
        },
        link_->sync);
}

} // namespace serial::Comm
