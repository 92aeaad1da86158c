// The tables of unit Comm onto the device control block and the Win32 bit words, and
// the values a new component starts with.

#include "serial/Comm.h"

#include "platform/comm/Comm.h"
#include "platform/forms/Exceptions.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include <unistd.h>

using namespace serial::Comm;

TEST(TCommTables, EnumerationsMapOntoTheirDeviceValues) {
    const int rates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                         19200, 38400, 56000, 57600, 115200, 128000, 256000};
    for (int i = br110; i <= br256000; ++i) EXPECT_EQ(BaudRateValue(TBaudRate(i)), rates[i]) << i;
    for (int i = paNone; i <= paSpace; ++i) EXPECT_EQ(ParityValue(TParity(i)), i);
    for (int i = sb10; i <= sb20; ++i) EXPECT_EQ(StopBitsValue(TStopBits(i)), i);
    for (int i = da4; i <= da8; ++i) EXPECT_EQ(DataBitsValue(TDataBits(i)), i + 4);

    const std::uint32_t options[] = {0x2, 0x40, 0x80, 0x400, 0x800};
    for (int i = coParityCheck; i <= coNullStrip; ++i) EXPECT_EQ(CommOptionBit(TCommOption(i)), options[i]) << i;
    const std::uint32_t events[] = {0x40, 0x8, 0x10, 0x80, 0x100, 0x20, 0x1, 0x2, 0x4};
    for (int i = evBreak; i <= evTxEmpty; ++i) EXPECT_EQ(CommEventBit(TCommEventType(i)), events[i]) << i;
    EXPECT_EQ(CommEventMask({evBreak, evCts, evDsr, evError, evRing, evRlsd, evRxChar, evRxFlag, evTxEmpty}), 0x1FFu);
    EXPECT_EQ(CommEventMask({evRxChar, evTxEmpty}), 0x5u);
    EXPECT_EQ(CommEventMask({}), 0u);
}

TEST(TCommTables, ModemAndComStateNumbersSelectTheirBits) {
    struct Case {
        int n;
        std::uint32_t bit;
    };
    for (const Case c : {Case{1, 0x10}, {2, 0x20}, {3, 0x40}, {4, 0x80}, {0, 0}, {5, 0}, {-1, 0}})
        EXPECT_EQ(ModemStateBit(c.n), c.bit) << c.n;
    using win::COMSTAT;
    for (const Case c : {Case{2, COMSTAT::fDsrHold},
                         {3, COMSTAT::fRlsdHold},
                         {4, COMSTAT::fXoffHold},
                         {5, COMSTAT::fXoffSent},
                         {1, COMSTAT::fCtsHold},
                         {0, COMSTAT::fCtsHold},
                         {6, COMSTAT::fCtsHold},
                         {-7, COMSTAT::fCtsHold}})
        EXPECT_EQ(ComStateBit(c.n), c.bit) << c.n;
}

TEST(TCommTables, WriteTimeoutIs19200DividedByTheRate) {
    struct Case {
        TBaudRate rate;
        win::DWORD multiplier;
    };
    for (const Case c :
         {Case{br110, 174}, {br1200, 16}, {br9600, 2}, {br14400, 1}, {br19200, 1}, {br38400, 0}, {br256000, 0}}) {
        const win::COMMTIMEOUTS t = CommTimeoutsFor(c.rate);
        EXPECT_EQ(t.WriteTotalTimeoutMultiplier, c.multiplier) << c.rate;
        EXPECT_EQ(t.ReadIntervalTimeout, win::MAXDWORD);
        EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 0u);
        EXPECT_EQ(t.ReadTotalTimeoutConstant, 1000u);
        EXPECT_EQ(t.WriteTotalTimeoutConstant, 0u);
    }
}

TEST(TCommTables, ConstructorValues) {
    TComm comm(nullptr);
    EXPECT_EQ(comm.DeviceName(), QStringLiteral("Com2"));
    EXPECT_EQ(comm.ReadTimeout(), 1000);
    EXPECT_EQ(comm.WriteTimeout(), 1000);
    EXPECT_EQ(comm.ReadBufSize(), 4096);
    EXPECT_EQ(comm.WriteBufSize(), 2048);
    EXPECT_EQ(comm.SuspendTime(), 5u);
    EXPECT_EQ(CommEventMask(comm.MonitorEvents()), 0x1FFu);
    EXPECT_EQ(comm.BaudRate(), br9600);
    EXPECT_EQ(comm.Parity(), paNone);
    EXPECT_EQ(comm.StopBits(), sb10);
    EXPECT_EQ(comm.DataBits(), da8);
    EXPECT_TRUE(comm.Options().Empty());
    EXPECT_EQ(comm.FlowControl(), fcDefault);
    const TCommEventChars *chars = comm.EventChars();
    EXPECT_EQ(chars->XOnChar(), 17);
    EXPECT_EQ(chars->XOffChar(), 19);
    EXPECT_EQ(chars->ErrorChar(), 0);
    EXPECT_EQ(chars->EofChar(), 0);
    EXPECT_EQ(chars->EvtChar(), 0);
    EXPECT_FALSE(comm.Enabled());
}

// Each field is checked from a block pre-filled with 0x00 and with 0xFF: what the
// component owns is written, everything else keeps the driver's value.
TEST(TCommTables, DeviceControlBlockTakesTheSettingsAndKeepsTheRest) {
    TComm comm(nullptr);
    comm.SetBaudRate(br57600);
    comm.SetParity(paEven);
    comm.SetStopBits(sb20);
    comm.SetDataBits(da7);
    comm.SetOptions({coParityCheck, coNullStrip});
    comm.SetFlowControl(fcCTS); // stored only
    comm.EventChars()->SetEvtChar('\n');
    comm.EventChars()->SetErrorChar('?');
    comm.EventChars()->SetEofChar(26);
    for (const unsigned char fill : {0x00, 0xFF}) {
        win::DCB dcb;
        std::memset(&dcb, fill, sizeof dcb);
        const win::DWORD otherFlags = dcb.Flags & ~win::DWORD(0x2 | 0x40 | 0x80 | 0x400 | 0x800);
        comm.FillDCB(dcb);
        EXPECT_EQ(dcb.BaudRate, 57600u);
        EXPECT_EQ(dcb.Parity, 2);
        EXPECT_EQ(dcb.StopBits, 2);
        EXPECT_EQ(dcb.ByteSize, 7);
        EXPECT_EQ(dcb.XonChar, 17);
        EXPECT_EQ(dcb.XoffChar, 19);
        EXPECT_EQ(dcb.ErrorChar, '?');
        EXPECT_EQ(dcb.EofChar, 26);
        EXPECT_EQ(dcb.EvtChar, '\n');
        EXPECT_EQ(dcb.XonLim, 1024);
        EXPECT_EQ(dcb.XoffLim, 1024);
        EXPECT_EQ(dcb.Flags & 0xCC2u, 0x802u); // parity check and NUL strip on, the other three off
        EXPECT_EQ(dcb.Flags & ~win::DWORD(0xCC2), otherFlags) << int(fill);
        EXPECT_EQ(dcb.DCBlength, fill == 0 ? 0u : 0xFFFFFFFFu);
        EXPECT_EQ(dcb.wReserved, fill == 0 ? 0 : 0xFFFF);
    }
}

TEST(TCommTables, EventCharsAssignCopiesTheFiveCharactersOnly) {
    TComm a(nullptr), b(nullptr);
    a.EventChars()->SetXOnChar(1);
    a.EventChars()->SetXOffChar(2);
    a.EventChars()->SetErrorChar(3);
    a.EventChars()->SetEofChar(4);
    a.EventChars()->SetEvtChar(5);
    b.EventChars()->Assign(a.EventChars());
    EXPECT_EQ(b.EventChars()->XOnChar(), 1);
    EXPECT_EQ(b.EventChars()->XOffChar(), 2);
    EXPECT_EQ(b.EventChars()->ErrorChar(), 3);
    EXPECT_EQ(b.EventChars()->EofChar(), 4);
    EXPECT_EQ(b.EventChars()->EvtChar(), 5);
    forms::TPersistent other;
    try {
        b.EventChars()->Assign(&other);
        ADD_FAILURE() << "assigned";
    } catch (const forms::Exception &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Cannot assign a TPersistent to a TCommEventChars."));
    }
    EXPECT_THROW(b.EventChars()->Assign(nullptr), forms::Exception);
    EXPECT_EQ(b.EventChars()->XOnChar(), 1);
}

// The device control block is filled under the component's lock: a setter on another
// thread must not change a field while the lock is held elsewhere.
TEST(TCommTables, LineSettersWaitForTheLockBeforeWriting) {
    TComm comm(nullptr);
    struct Case {
        const char *name;
        std::function<void()> set;
        std::function<bool()> changed;
    };
    const Case cases[] = {
        {"baud rate", [&] { comm.SetBaudRate(br19200); }, [&] { return comm.BaudRate() == br19200; }},
        {"parity", [&] { comm.SetParity(paOdd); }, [&] { return comm.Parity() == paOdd; }},
        {"stop bits", [&] { comm.SetStopBits(sb20); }, [&] { return comm.StopBits() == sb20; }},
        {"data bits", [&] { comm.SetDataBits(da7); }, [&] { return comm.DataBits() == da7; }},
        {"options", [&] { comm.SetOptions({coParityCheck}); }, [&] { return comm.Options().Contains(coParityCheck); }},
        {"event char", [&] { comm.EventChars()->SetEvtChar('\n'); },
         [&] { return comm.EventChars()->EvtChar() == '\n'; }},
    };
    for (const Case &c : cases) {
        comm.Lock();
        std::atomic<bool> done{false};
        std::atomic<int> tid{0};
        std::thread setter([&] {
            tid = int(gettid());
            c.set();
            done = true;
        });
        // Blocked on the lock, or through without it.
        EXPECT_TRUE(testsupport::pollUntil([&] { return done || (tid && testsupport::asleepWithoutTimeout(tid)); }));
        EXPECT_FALSE(c.changed()) << c.name << " written while the lock was held";
        comm.Unlock();
        setter.join();
        EXPECT_TRUE(done && c.changed()) << c.name;
    }
}
