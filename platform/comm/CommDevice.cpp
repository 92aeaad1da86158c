#include "platform/comm/CommDevice.h"

#include "platform/comm/TtyIo.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <termios.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace win::device {

namespace {

// Lines that a driver does not have (a pseudo-terminal has no modem lines, no
// interrupt counters) are no error: there is simply nothing to set or report.
bool lineUnsupported(int err) { return err == ENOTTY || err == EINVAL; }

// TIOCMIWAIT only ends on a line change or a signal, so closing a port interrupts its
// watcher thread with a signal of our own, whose handler does nothing. It is taken
// only while nobody else has claimed it; without it modem changes are seen on the
// next wake-up of the service thread instead.
int watcherSignal() {
    static const int sig = [] {
        const int s = SIGRTMIN + 5;
        struct sigaction old {};
        if (sigaction(s, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) return -1;
        struct sigaction sa {};
        sa.sa_handler = [](int) {};
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = 0; // no SA_RESTART: the ioctl must return EINTR
        return sigaction(s, &sa, nullptr) == 0 ? s : -1;
    }();
    return sig;
}

constexpr DWORD kModemEvents = EV_CTS | EV_DSR | EV_RLSD | EV_RING;

} // namespace

LineState CommDevice::snapshot() {
    LineState s;
    s.received = received_;
    s.flagChars = flagChars_;
    s.outputDrains = outputDrains_;
    s.inQueue = DWORD(count_);
    s.inQueueSize = DWORD(queue_.size());
    if (modemKnown_ && !vanished_) {
        int lines = 0;
        if (::ioctl(fd_, TIOCMGET, &lines) == 0) {
            s.modemKnown = true;
            s.modem = ((lines & TIOCM_CTS) ? MS_CTS_ON : 0) | ((lines & TIOCM_DSR) ? MS_DSR_ON : 0) |
                      ((lines & TIOCM_RNG) ? MS_RING_ON : 0) | ((lines & TIOCM_CAR) ? MS_RLSD_ON : 0);
        }
    }
    if (countersKnown_ && !vanished_) {
        serial_icounter_struct c{};
        if (::ioctl(fd_, TIOCGICOUNT, &c) == 0) {
            s.countersKnown = true;
            s.cts = std::uint32_t(c.cts);
            s.dsr = std::uint32_t(c.dsr);
            s.ring = std::uint32_t(c.rng);
            s.rlsd = std::uint32_t(c.dcd);
            s.frame = std::uint32_t(c.frame);
            s.overrun = std::uint32_t(c.overrun);
            s.parity = std::uint32_t(c.parity);
            s.brk = std::uint32_t(c.brk);
            s.bufferOverrun = std::uint32_t(c.buf_overrun);
        }
    }
    return s;
}

DWORD CommDevice::outQueueBytes() {
    int pending = 0;
    if (vanished_ || ::ioctl(fd_, TIOCOUTQ, &pending) != 0 || pending < 0) pending = 0;
    DWORD bytes = DWORD(pending);
    if (write_.active) bytes += write_.length - write_.done;
    return bytes;
}

void CommDevice::pushReceived(const unsigned char *data, size_t n) {
    received_ += n;
    const char evt = haveStored_ ? stored_.EvtChar : 0;
    flagChars_ += size_t(std::count(data, data + n, static_cast<unsigned char>(evt)));
    for (size_t i = 0; i < n; ++i) queue_[(head_ + count_ + i) % queue_.size()] = data[i];
    count_ += n;
}

size_t CommDevice::takeQueued(unsigned char *out, size_t n) {
    n = std::min(n, count_);
    const size_t first = std::min(n, queue_.size() - head_);
    std::memcpy(out, queue_.data() + head_, first);
    std::memcpy(out + first, queue_.data(), n - first);
    head_ = (head_ + n) % queue_.size();
    count_ -= n;
    if (count_ == 0) head_ = 0;
    return n;
}

// Marks the record as Win32 does and signals its event. The caller's memory is
// not touched again afterwards.
void CommDevice::finish(Operation &op, DWORD error) {
    if (!op.active) return;
    op.active = false;
    storeStatus(op.ov, statusFor(error), op.done);
    if (op.event) SetEvent(op.event);
    completed_.notify_all();
    wakeHelper();
}

void CommDevice::finishWait(DWORD events, DWORD error) {
    if (!wait_.active) return;
    *wait_.eventMask = events;
    finish(wait_, error);
}

// The device went away (adapter pulled, pty master closed): everything pending ends
// with ERROR_ACCESS_DENIED once, and the descriptor is no longer polled.
void CommDevice::vanish() {
    if (vanished_) return;
    vanished_ = true;
    feedRead(); // bytes that came before the end still reach a pending read
    finish(read_, ERROR_ACCESS_DENIED);
    finish(write_, ERROR_ACCESS_DENIED);
    finishWait(0, ERROR_ACCESS_DENIED);
}

void CommDevice::feedRead() {
    if (!read_.active || count_ == 0) return;
    size_t n = takeQueued(read_.readBuffer + read_.done, read_.length - read_.done);
    if (n == 0) return;
    read_.done += DWORD(n);
    read_.lastByte = Clock::now();
    if (read_.done == read_.length || read_.firstByteEnds) finish(read_, ERROR_SUCCESS);
}

void CommDevice::pumpWrite() {
    while (write_.active && write_.done < write_.length && !vanished_) {
        ssize_t n = ::write(fd_, write_.writeBuffer + write_.done, write_.length - write_.done);
        if (n > 0) {
            write_.done += DWORD(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return;
        if (n < 0 && (errno == EIO || errno == ENXIO || errno == ENODEV)) {
            vanish();
            return;
        }
        finish(write_, ErrorFromErrno(n < 0 ? errno : EIO));
        return;
    }
    if (write_.active && write_.done == write_.length) {
        const bool sent = write_.length > 0;
        finish(write_, ERROR_SUCCESS);
        if (sent) {
            awaitingDrain_ = true;
            checkDrain();
        }
    }
}

// The output is empty when the driver holds nothing more; hardware needs the time
// the remaining bytes take on the line.
void CommDevice::checkDrain() {
    if (!awaitingDrain_ || write_.active) return;
    int pending = 0;
    if (vanished_ || ::ioctl(fd_, TIOCOUTQ, &pending) != 0 || pending <= 0) {
        awaitingDrain_ = false;
        ++outputDrains_;
        return;
    }
    tty::LineSettings s;
    const std::uint32_t baud = tty::readSettings(fd_, s) && s.baud ? s.baud : 9600;
    const long long ms = std::clamp<long long>(pending * 10000LL / baud + 1, 1, 1000);
    drainCheck_ = Clock::now() + Millis(ms);
}

void CommDevice::checkWait() {
    if (!wait_.active) return;
    const LineState now = snapshot();
    const DWORD events = CommEventsBetween(eventBase_, now) & mask_;
    if (events) {
        eventBase_ = now;
        finishWait(events, ERROR_SUCCESS);
    }
}

void CommDevice::reportHeldBack() {
    if (!heldBackWanted()) return;
    const LineState now = snapshot();
    const DWORD events = (CommEventsBetween(eventBase_, now) | EV_RXCHAR) & mask_;
    eventBase_ = now;
    finishWait(events, ERROR_SUCCESS);
}

void CommDevice::checkTimers(Clock::time_point now) {
    if (read_.active) {
        const bool total = read_.hasDeadline && now >= read_.deadline;
        const bool gap = read_.interval.count() > 0 && read_.done > 0 && now - read_.lastByte >= read_.interval;
        // A time-out completes the read with what has come, as Win32 does.
        if (total || gap) finish(read_, ERROR_SUCCESS);
    }
    if (write_.active && write_.hasDeadline && now >= write_.deadline) finish(write_, ERROR_SUCCESS);
    if (drainTimerArmed() && now >= drainCheck_) checkDrain();
}

int CommDevice::nextTimeout(Clock::time_point now) {
    Clock::time_point next = Clock::time_point::max();
    if (read_.active && read_.hasDeadline) next = std::min(next, read_.deadline);
    if (read_.active && read_.interval.count() > 0 && read_.done > 0)
        next = std::min(next, read_.lastByte + read_.interval);
    if (write_.active && write_.hasDeadline) next = std::min(next, write_.deadline);
    if (drainTimerArmed()) next = std::min(next, drainCheck_);
    if (next == Clock::time_point::max()) return -1;
    auto ms = std::chrono::duration_cast<Millis>(next - now).count();
    // Rounded up, so that the wake-up falls after the deadline, not just before it.
    return ms < 0 ? 0 : int(std::min<long long>(ms + 1, 1 << 30));
}

void CommDevice::readDevice() {
    unsigned char buf[4096];
    while (count_ < queue_.size() && !vanished_) {
        const size_t room = std::min(sizeof buf, queue_.size() - count_);
        ssize_t n = ::read(fd_, buf, room);
        if (n > 0) {
            pushReceived(buf, size_t(n));
            // Less than asked: the driver has nothing more for now, and poll says
            // when it has.
            if (size_t(n) < room) return;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return;
        // End of file or an I/O error: the other end is gone for good.
        vanish();
        return;
    }
}

void CommDevice::serviceInput(short ev) {
    if (ev & (POLLIN | POLLHUP | POLLERR)) {
        if (count_ < queue_.size())
            readDevice();
        else if (ev & (POLLHUP | POLLERR))
            vanish();
        else
            reportHeldBack();
    }
    if (ev & POLLNVAL) vanish();
}

void CommDevice::serviceLoop() {
    std::unique_lock held(lock_);
    while (!closed_) {
        pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {fd_, 0, 0}};
        nfds_t nfds = 1;
        // The line is watched only for a read or an event wait that is pending: with
        // neither, the next call on the device reads what came (reclaimInput), so a
        // program that polls the queue does not wake this thread for every byte.
        const bool inputWanted = read_.active || wait_.active;
        // While a waiter reads the line, only writes are left here.
        if (!vanished_ && ((!helping_ && inputWanted) || write_.active)) {
            // A full queue is not read (the driver then holds the data back, and only
            // a wait for EV_RXCHAR hears of it); hang-ups are still reported.
            if ((count_ < queue_.size() || heldBackWanted()) && !helping_ && inputWanted) fds[1].events |= POLLIN;
            if (write_.active) fds[1].events |= POLLOUT;
            nfds = 2;
        }
        // Polling the line again takes it back; whatever came meanwhile shows as
        // readable at once.
        servicePollsInput_ = nfds == 2 && !helping_ && inputWanted;
        if (servicePollsInput_)
            inputIdle_ = false;
        else if (!helping_)
            inputIdle_ = true;
        const int timeout = nextTimeout(Clock::now());
        held.unlock();
        int r = ::poll(fds, nfds, timeout);
        held.lock();
        if (closed_) break;
        // Cleared before the drain: a wake from now on is a new write, and what came
        // before is seen below, under the lock.
        serviceWakePending_ = false;
        if (fds[0].revents & POLLIN) {
            std::uint64_t value;
            (void)!::read(wakeFd_, &value, sizeof value);
        }
        if (r < 0 && errno != EINTR) {
            vanish();
            continue;
        }
        if (nfds == 2 && fds[1].revents) {
            const short ev = fds[1].revents;
            serviceInput(ev);
            if ((ev & POLLOUT) && !vanished_) pumpWrite();
        }
        feedRead();
        checkTimers(Clock::now());
        checkWait();
    }
}

// Modem lines change without data; drivers that have TIOCMIWAIT tell us, and the
// service thread then diffs the line state as for any other wake-up.
void CommDevice::startWatcher() {
    if (watcher_.joinable() || !modemKnown_ || vanished_ || closed_ || watcherSignal() < 0) return;
    watcher_ = std::thread([this] { watchLoop(); });
}

void CommDevice::watchLoop() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, watcherSignal());
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    for (;;) {
        {
            std::lock_guard g(lock_);
            if (closed_ || vanished_) break;
        }
        if (::ioctl(fd_, TIOCMIWAIT, TIOCM_CTS | TIOCM_DSR | TIOCM_RNG | TIOCM_CD) == 0) {
            wake();
            continue;
        }
        if (errno == EINTR) continue;
        wake(); // the driver has no such wait, or the device went: the service thread sees which
        break;
    }
    std::lock_guard g(lock_);
    watcherDone_ = true;
    watcherEnded_.notify_all();
}

void CommDevice::stopWatcher() {
    if (!watcher_.joinable()) return;
    std::unique_lock g(lock_);
    // Repeated, since a signal that lands just before the ioctl starts is lost.
    while (!watcherDone_) {
        pthread_kill(watcher_.native_handle(), watcherSignal());
        watcherEnded_.wait_for(g, Millis(20));
    }
    g.unlock();
    watcher_.join();
}

// Reads the line on the calling thread until the record completes, the device goes or
// closes. Timers, writes and modem changes stay with the service thread, which wakes
// this one through helperFd_ when it completes something.
void CommDevice::help(std::unique_lock<std::mutex> &held, OVERLAPPED *ov) {
    helping_ = true;
    inputIdle_ = false;
    if (servicePollsInput_) wake(); // the service thread stops polling for input
    while (loadStatus(ov) == STATUS_PENDING && !closed_ && !vanished_) {
        const bool room = count_ < queue_.size() || heldBackWanted();
        pollfd fds[2] = {{helperFd_, POLLIN, 0}, {fd_, short(room ? POLLIN : 0), 0}};
        helperAsleep_ = true;
        held.unlock();
        const int r = ::poll(fds, 2, -1);
        held.lock();
        helperAsleep_ = false;
        if (closed_) break;
        if (fds[0].revents & POLLIN) {
            std::uint64_t value;
            (void)!::read(helperFd_, &value, sizeof value);
        }
        if (r < 0 && errno != EINTR) {
            vanish();
            break;
        }
        if (fds[1].revents) {
            serviceInput(fds[1].revents);
            // A read's gap timer starts with its bytes; the service thread keeps it.
            if (read_.active && read_.interval.count() > 0) wake();
        }
        feedRead();
        checkWait();
    }
    helping_ = false;
    // With nothing else pending, the line is left unpolled until the next call on the
    // device (see reclaimInput): waking the service thread now would cost this
    // thread's caller, the one a byte is on its way to, a wake-up of another thread.
    // An operation still pending may be waited for on its event alone, so it is not
    // left without a reader.
    if (read_.active || wait_.active) {
        if (!closed_) wake();
    } else {
        inputIdle_ = true;
    }
    completed_.notify_all(); // another waiter may take over; close waits for this
}

void CommDevice::waitDone(std::unique_lock<std::mutex> &held, OVERLAPPED *ov) {
    while (loadStatus(ov) == STATUS_PENDING) {
        if (!helping_ && !closed_ && !vanished_)
            help(held, ov);
        else
            completed_.wait(held);
    }
}

BOOL CommDevice::blockUntilDone(std::unique_lock<std::mutex> &held, OVERLAPPED &local, DWORD *transferred) {
    waitDone(held, &local);
    if (transferred) *transferred = DWORD(local.InternalHigh);
    const ULONG_PTR status = loadStatus(&local);
    return status == kStatusSuccess ? TRUE : fail(DWORD(status & 0xFFFF));
}

BOOL CommDevice::setupComm(DWORD in, DWORD out) {
    if (in > kMaxQueue || out > kMaxQueue) return fail(ERROR_INVALID_PARAMETER);
    // The queue only grows, as the Windows driver's does: shrinking could drop bytes
    // already received.
    if (in > queue_.size()) {
        std::vector<unsigned char> bigger(in);
        const size_t n = count_;
        takeQueued(bigger.data(), n);
        queue_.swap(bigger);
        head_ = 0;
        count_ = n;
        wake();
    }
    outQueueSize_ = out;
    return TRUE;
}

BOOL CommDevice::getState(DCB *dcb) {
    tty::LineSettings s;
    if (!tty::readSettings(fd_, s)) return fail(ErrorFromErrno(errno));
    DCB d{};
    if (haveStored_) {
        d = stored_;
    } else {
        // Straight after open: the driver's values, with the lines as they stand.
        const DWORD dtr = dtrOn_ ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
        const DWORD rts = rtsOn_ ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
        d.Flags = (dtr << DCB::fDtrControlShift) | (rts << DCB::fRtsControlShift);
    }
    d.DCBlength = sizeof(DCB);
    d.BaudRate = s.baud;
    d.ByteSize = BYTE(s.dataBits);
    d.Parity = BYTE(s.parity);
    if (isPty_ && haveStored_) {
        d.ByteSize = stored_.ByteSize;
        d.Parity = stored_.Parity;
    }
    if (!s.twoStopBits)
        d.StopBits = ONESTOPBIT;
    else if (!haveStored_ || stored_.StopBits != ONE5STOPBITS)
        d.StopBits = TWOSTOPBITS;
    d.XonChar = s.xonChar;
    d.XoffChar = s.xoffChar;

    auto setFlag = [&](DWORD bit, bool on) { d.Flags = on ? (d.Flags | bit) : (d.Flags & ~bit); };
    setFlag(DCB::fBinary, true);
    setFlag(DCB::fParity, s.parityCheck);
    setFlag(DCB::fOutX, s.xonOutput);
    setFlag(DCB::fInX, s.xonInput);
    // CRTSCTS is both CTS output flow and RTS handshaking; keep what was asked when
    // it agrees with the driver, otherwise report the driver's state.
    const DWORD rts = (d.Flags & DCB::fRtsControl) >> DCB::fRtsControlShift;
    const bool asked = (d.Flags & DCB::fOutxCtsFlow) || rts == RTS_CONTROL_HANDSHAKE;
    if (s.rtsCts && !asked) {
        setFlag(DCB::fOutxCtsFlow, true);
        d.Flags = (d.Flags & ~DCB::fRtsControl) | (RTS_CONTROL_HANDSHAKE << DCB::fRtsControlShift);
    } else if (!s.rtsCts && asked) {
        setFlag(DCB::fOutxCtsFlow, false);
        if (rts == RTS_CONTROL_HANDSHAKE)
            d.Flags = (d.Flags & ~DCB::fRtsControl) | (RTS_CONTROL_ENABLE << DCB::fRtsControlShift);
    }
    *dcb = d;
    return TRUE;
}

// Mapped onto termios: rate, data bits, parity (mark and space through CMSPAR), stop
// bits, parity checking (INPCK), CTS flow and RTS handshake (CRTSCTS), XON/XOFF in
// both directions with their characters, and DTR/RTS enabled or disabled as lines.
// Stored and read back only, since termios has no place for them: 1.5 stop bits
// (sent as 2), DSR output flow, DSR sensitivity, TX-continue-on-XOFF, the error
// character, NUL discarding, abort-on-error, DTR handshake, RTS toggle, the XON/XOFF
// limits and the EOF and event characters (the latter drives EV_RXFLAG here).
BOOL CommDevice::setState(const DCB *dcb) {
    const DCB &d = *dcb;
    const DWORD dtr = (d.Flags & DCB::fDtrControl) >> DCB::fDtrControlShift;
    const DWORD rts = (d.Flags & DCB::fRtsControl) >> DCB::fRtsControlShift;
    const bool xon = d.Flags & (DCB::fOutX | DCB::fInX);
    if (d.BaudRate == 0 || d.ByteSize < 5 || d.ByteSize > 8 || d.Parity > SPACEPARITY || d.StopBits > TWOSTOPBITS ||
        dtr > DTR_CONTROL_HANDSHAKE || (xon && d.XonChar == d.XoffChar))
        return fail(ERROR_INVALID_PARAMETER);

    tty::LineSettings s;
    s.baud = d.BaudRate;
    s.dataBits = d.ByteSize;
    s.parity = d.Parity;
    s.twoStopBits = d.StopBits != ONESTOPBIT;
    s.parityCheck = d.Flags & DCB::fParity;
    s.rtsCts = (d.Flags & DCB::fOutxCtsFlow) || rts == RTS_CONTROL_HANDSHAKE;
    s.xonOutput = d.Flags & DCB::fOutX;
    s.xonInput = d.Flags & DCB::fInX;
    s.xonChar = d.XonChar;
    s.xoffChar = d.XoffChar;
    tty::LineSettings previous;
    if (!tty::readSettings(fd_, previous)) return fail(ErrorFromErrno(errno));
    // A refused setting leaves the line as it was.
    auto refuse = [&](DWORD error) {
        tty::writeSettings(fd_, previous);
        return fail(error);
    };
    if (!tty::writeSettings(fd_, s)) return refuse(ErrorFromErrno(errno));
    // A driver that cannot do the framing quietly keeps its own; that is a refusal.
    // Pseudo-terminals always keep 8 bits without parity, and have no framing to do.
    tty::LineSettings taken;
    if (!tty::readSettings(fd_, taken)) return refuse(ErrorFromErrno(errno));
    if (!isPty_ && (taken.dataBits != s.dataBits || taken.parity != s.parity)) return refuse(ERROR_INVALID_PARAMETER);

    auto line = [&](int bit, bool on) {
        if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit) != 0 && !lineUnsupported(errno)) return false;
        return true;
    };
    const bool dtrOn = dtr != DTR_CONTROL_DISABLE;
    const bool rtsOn = rts != RTS_CONTROL_DISABLE;
    if (!line(TIOCM_DTR, dtrOn)) return fail(ErrorFromErrno(errno));
    if (rts != RTS_CONTROL_HANDSHAKE && !line(TIOCM_RTS, rtsOn)) return fail(ErrorFromErrno(errno));
    dtrOn_ = dtrOn;
    rtsOn_ = rtsOn;
    stored_ = d;
    haveStored_ = true;
    return TRUE;
}

BOOL CommDevice::getTimeouts(COMMTIMEOUTS *t) {
    *t = timeouts_;
    return TRUE;
}

BOOL CommDevice::setTimeouts(const COMMTIMEOUTS *t) {
    timeouts_ = *t;
    return TRUE;
}

BOOL CommDevice::read(void *buffer, DWORD count, DWORD *transferred, OVERLAPPED *ov) {
    if (!(access_ & GENERIC_READ)) return fail(ERROR_ACCESS_DENIED);
    if (!buffer && count) return fail(ERROR_INVALID_PARAMETER);
    if (read_.active) return fail(ERROR_BUSY);

    OVERLAPPED local{};
    OVERLAPPED *record = ov ? ov : &local;
    if (record->hEvent) ResetEvent(record->hEvent);
    storeStatus(record, STATUS_PENDING, 0);

    Operation op;
    op.active = true;
    op.ov = record;
    op.event = record->hEvent;
    op.readBuffer = static_cast<unsigned char *>(buffer);
    op.length = count;
    const bool wasFull = count_ >= queue_.size();
    op.done = DWORD(takeQueued(op.readBuffer, count));
    const auto now = Clock::now();
    op.lastByte = now;

    const COMMTIMEOUTS &t = timeouts_;
    bool completeNow = op.done == count;
    if (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0) {
        completeNow = true; // return at once with what is there
    } else if (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == MAXDWORD &&
               t.ReadTotalTimeoutConstant != 0 && t.ReadTotalTimeoutConstant != MAXDWORD) {
        // Whatever is there, or the first byte to come, within the constant.
        completeNow = completeNow || op.done > 0;
        op.firstByteEnds = true;
        op.hasDeadline = true;
        op.deadline = now + Millis(t.ReadTotalTimeoutConstant);
    } else {
        const std::uint64_t total = std::uint64_t(t.ReadTotalTimeoutMultiplier) * count + t.ReadTotalTimeoutConstant;
        if (total) {
            op.hasDeadline = true;
            op.deadline = now + Millis(std::min<std::uint64_t>(total, std::uint64_t(1) << 40));
        }
        if (t.ReadIntervalTimeout != 0 && t.ReadIntervalTimeout != MAXDWORD)
            op.interval = Millis(t.ReadIntervalTimeout);
    }

    if (transferred) *transferred = 0;
    if (completeNow) {
        storeStatus(record, kStatusSuccess, op.done);
        if (record->hEvent) SetEvent(record->hEvent);
        if (transferred) *transferred = op.done;
        // A full queue was not being read; now it has room again.
        if (wasFull && op.done > 0) wake();
        return TRUE;
    }
    read_ = op;
    wake();
    if (ov) return fail(ERROR_IO_PENDING);
    std::unique_lock held(lock_, std::adopt_lock);
    BOOL ok = blockUntilDone(held, local, transferred);
    held.release();
    return ok;
}

BOOL CommDevice::write(const void *buffer, DWORD count, DWORD *transferred, OVERLAPPED *ov) {
    if (!(access_ & GENERIC_WRITE)) return fail(ERROR_ACCESS_DENIED);
    if (!buffer && count) return fail(ERROR_INVALID_PARAMETER);
    if (write_.active) return fail(ERROR_BUSY);

    OVERLAPPED local{};
    OVERLAPPED *record = ov ? ov : &local;
    if (record->hEvent) ResetEvent(record->hEvent);
    storeStatus(record, STATUS_PENDING, 0);
    if (transferred) *transferred = 0;

    write_ = Operation{};
    write_.active = true;
    write_.ov = record;
    write_.event = record->hEvent;
    write_.writeBuffer = static_cast<const unsigned char *>(buffer);
    write_.length = count;
    const std::uint64_t total =
        std::uint64_t(timeouts_.WriteTotalTimeoutMultiplier) * count + timeouts_.WriteTotalTimeoutConstant;
    if (total) {
        write_.hasDeadline = true;
        write_.deadline = Clock::now() + Millis(std::min<std::uint64_t>(total, std::uint64_t(1) << 40));
    }
    pumpWrite();
    // An output that drained at once may complete a pending EV_TXEMPTY wait, and an
    // output still in the driver needs the service thread's drain timer.
    checkWait();
    wake();
    if (vanished_) return fail(ERROR_ACCESS_DENIED);
    if (loadStatus(record) != STATUS_PENDING) {
        if (transferred) *transferred = DWORD(record->InternalHigh);
        const ULONG_PTR status = loadStatus(record);
        return status == kStatusSuccess ? TRUE : fail(DWORD(status & 0xFFFF));
    }
    if (ov) return fail(ERROR_IO_PENDING);
    std::unique_lock held(lock_, std::adopt_lock);
    BOOL ok = blockUntilDone(held, local, transferred);
    held.release();
    return ok;
}

BOOL CommDevice::setMask(DWORD mask) {
    mask_ = mask;
    if (mask & kModemEvents) startWatcher();
    eventBase_ = snapshot();
    // A wait pending under the old mask ends with no events.
    finishWait(0, ERROR_SUCCESS);
    wake();
    return TRUE;
}

BOOL CommDevice::getMask(DWORD *mask) {
    *mask = mask_;
    return TRUE;
}

BOOL CommDevice::waitEvent(DWORD *mask, OVERLAPPED *ov) {
    if (mask_ == 0 || wait_.active) return fail(ERROR_INVALID_PARAMETER);
    OVERLAPPED local{};
    OVERLAPPED *record = ov ? ov : &local;
    if (record->hEvent) ResetEvent(record->hEvent);
    storeStatus(record, STATUS_PENDING, 0);

    checkDrain();
    const LineState now = snapshot();
    const DWORD events = CommEventsBetween(eventBase_, now) & mask_;
    if (events) {
        eventBase_ = now;
        *mask = events;
        storeStatus(record, kStatusSuccess, 0);
        if (record->hEvent) SetEvent(record->hEvent);
        return TRUE;
    }
    wait_ = Operation{};
    wait_.active = true;
    wait_.ov = record;
    wait_.event = record->hEvent;
    wait_.eventMask = mask;
    // The service thread is told only when it must change what it watches: the line,
    // when nobody reads it, or the drain of the output for EV_TXEMPTY.
    if ((!servicePollsInput_ && !helping_) || drainTimerArmed() || heldBackWanted()) wake();
    if (ov) return fail(ERROR_IO_PENDING);
    std::unique_lock held(lock_, std::adopt_lock);
    BOOL ok = blockUntilDone(held, local, nullptr);
    held.release();
    return ok;
}

BOOL CommDevice::overlappedResult(OVERLAPPED *ov, DWORD *transferred, BOOL wait) {
    if (loadStatus(ov) == STATUS_PENDING) {
        if (!wait) return fail(ERROR_IO_INCOMPLETE);
        std::unique_lock held(lock_, std::adopt_lock);
        waitDone(held, ov);
        held.release();
    }
    if (transferred) *transferred = DWORD(ov->InternalHigh);
    const ULONG_PTR status = loadStatus(ov);
    return status == kStatusSuccess ? TRUE : fail(DWORD(status & 0xFFFF));
}

BOOL CommDevice::clearError(DWORD *errors, COMSTAT *stat) {
    const LineState now = snapshot();
    const DWORD found = CommErrorsBetween(errorBase_, now);
    errorBase_ = now;
    if (errors) *errors = found;
    if (stat) {
        COMSTAT c{};
        c.cbInQue = DWORD(count_);
        c.cbOutQue = outQueueBytes();
        if (haveStored_ && now.modemKnown) {
            if ((stored_.Flags & DCB::fOutxCtsFlow) && !(now.modem & MS_CTS_ON)) c.Flags |= COMSTAT::fCtsHold;
            if ((stored_.Flags & DCB::fOutxDsrFlow) && !(now.modem & MS_DSR_ON)) c.Flags |= COMSTAT::fDsrHold;
        }
        if (outputSuspended_) c.Flags |= COMSTAT::fXoffHold;
        *stat = c;
    }
    return TRUE;
}

BOOL CommDevice::purge(DWORD flags) {
    if (flags & ~DWORD(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR))
        return fail(ERROR_INVALID_PARAMETER);
    // Aborted operations complete without error, with the bytes moved so far.
    if (flags & PURGE_TXABORT) finish(write_, ERROR_SUCCESS);
    if (flags & PURGE_RXABORT) finish(read_, ERROR_SUCCESS);
    if (flags & PURGE_TXCLEAR) ::tcflush(fd_, TCOFLUSH);
    if (flags & PURGE_RXCLEAR) {
        ::tcflush(fd_, TCIFLUSH);
        head_ = count_ = 0;
    }
    wake();
    return TRUE;
}

BOOL CommDevice::escape(DWORD function) {
    auto line = [&](int bit, bool on) -> BOOL {
        if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit) != 0 && !lineUnsupported(errno))
            return fail(ErrorFromErrno(errno));
        (bit == TIOCM_DTR ? dtrOn_ : rtsOn_) = on;
        return TRUE;
    };
    switch (function) {
        case SETXOFF:
        case SETXON: {
            const bool off = function == SETXOFF;
            if (::ioctl(fd_, TCXONC, off ? TCOOFF : TCOON) != 0) return fail(ErrorFromErrno(errno));
            outputSuspended_ = off;
            wake();
            return TRUE;
        }
        case SETRTS: return line(TIOCM_RTS, true);
        case CLRRTS: return line(TIOCM_RTS, false);
        case SETDTR: return line(TIOCM_DTR, true);
        case CLRDTR: return line(TIOCM_DTR, false);
        case RESETDEV: return TRUE; // printers only
        case SETBREAK:
        case CLRBREAK:
            if (::ioctl(fd_, function == SETBREAK ? TIOCSBRK : TIOCCBRK) != 0 && !lineUnsupported(errno))
                return fail(ErrorFromErrno(errno));
            return TRUE;
        default: return fail(ERROR_INVALID_PARAMETER);
    }
}

BOOL CommDevice::modemStatus(DWORD *status) {
    const LineState now = snapshot();
    *status = now.modemKnown ? now.modem : 0;
    return TRUE;
}

} // namespace win::device
