#include "serial/ComPort.h"

#include "platform/comm/Comm.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace serial;

TEST(ComPortMapping, EnumerationsOntoTheDeviceControlBlock) {
    const std::pair<TBaudRate, int> rates[] = {
        {brDefault, 0},   {br50, 50},       {br110, 110},       {br2000, 2000},     {br9600, 9600},    {br10400, 10400},
        {br15625, 15625}, {br56000, 56000}, {br115200, 115200}, {br128000, 128000}, {br256000, 256000}};
    for (auto [rate, value] : rates) EXPECT_EQ(BaudRateValue(rate), value) << rate;

    EXPECT_EQ(DataBitsValue(db4), 4);
    EXPECT_EQ(DataBitsValue(db8), 8);
    EXPECT_EQ(ParityValue(paNone), 0);
    EXPECT_EQ(ParityValue(paSpace), 4);
    EXPECT_EQ(StopBitsValue(sb1), 0);
    EXPECT_EQ(StopBitsValue(sb1_5), 1);
    EXPECT_EQ(StopBitsValue(sb2), 2);

    EXPECT_EQ(DTRControlBits(dcDisable), 0x00u);
    EXPECT_EQ(DTRControlBits(dcEnable), 0x10u);
    EXPECT_EQ(DTRControlBits(dcHandshake), 0x20u);
    EXPECT_EQ(RTSControlBits(rcDisable), 0x0000u);
    EXPECT_EQ(RTSControlBits(rcEnable), 0x1000u);
    EXPECT_EQ(RTSControlBits(rcHandshake), 0x2000u);
    EXPECT_EQ(RTSControlBits(rcToggle), 0x3000u);
    EXPECT_EQ(XOnXOffControlBits(xcInput), 0x200u);
    EXPECT_EQ(XOnXOffControlBits(xcOutput), 0x100u);
    EXPECT_EQ(XOnXOffControlBits(xcInputOutput), 0x300u);

    const std::uint32_t options[] = {0x2, 0x4, 0x8, 0x40, 0x80, 0x400, 0x800, 0x4000};
    for (int o = opCheckParity; o <= opAbortOnError; ++o) EXPECT_EQ(OptionBit(TOption(o)), options[o]);

    EXPECT_EQ(PriorityClassValue(pcIdle), 0x40u);
    EXPECT_EQ(PriorityClassValue(pcNormal), 0x20u);
    EXPECT_EQ(PriorityClassValue(pcHigh), 0x80u);
    EXPECT_EQ(PriorityClassValue(pcRealTime), 0x100u);
}

TEST(ComPortMapping, LineErrorAndModemBits) {
    const std::pair<std::uint32_t, TLineError> errors[] = {
        {win::CE_BREAK, leBreak},       {win::CE_DNS, leDeviceNotSelected},
        {win::CE_FRAME, leFrame},       {win::CE_IOE, leIO},
        {win::CE_MODE, leMode},         {win::CE_OOP, leOutOfPaper},
        {win::CE_OVERRUN, leOverrun},   {win::CE_PTO, leDeviceTimeOut},
        {win::CE_RXOVER, leRxOverflow}, {win::CE_RXPARITY, leParity},
        {win::CE_TXFULL, leTxFull}};
    for (auto [bit, member] : errors) EXPECT_EQ(ToLineErrors(bit), TLineErrors({member})) << bit;
    EXPECT_EQ(ToLineErrors(win::CE_FRAME | win::CE_OVERRUN | 0x20), TLineErrors({leFrame, leOverrun}));
    EXPECT_TRUE(ToLineErrors(0).Empty());

    EXPECT_EQ(ToModemStatus(win::MS_CTS_ON), TModemStatus({msCTS}));
    EXPECT_EQ(ToModemStatus(win::MS_DSR_ON | win::MS_RING_ON | win::MS_RLSD_ON), TModemStatus({msDSR, msRing, msRLSD}));
    EXPECT_TRUE(ToModemStatus(0x0F).Empty());
}

// Filled into records pre-set to all zeros and all ones, so that a field written when
// it should have been left (or left when it should have been written) shows.
TEST(ComPortMapping, FillDCBWritesWhatThePropertiesSayAndLeavesTheRest) {
    for (unsigned char fill : {0x00, 0xFF}) {
        SCOPED_TRACE(int(fill));
        TComPort port(nullptr);
        win::DCB dcb;
        std::memset(&dcb, fill, sizeof dcb);
        const win::DCB before = dcb;
        port.FillDCB(dcb); // every property at its default
        EXPECT_EQ(dcb.BaudRate, before.BaudRate);
        EXPECT_EQ(dcb.ByteSize, before.ByteSize);
        EXPECT_EQ(dcb.Parity, before.Parity);
        EXPECT_EQ(dcb.StopBits, before.StopBits);
        EXPECT_EQ(dcb.XonChar, 17);
        EXPECT_EQ(dcb.XoffChar, 19);
        EXPECT_EQ(dcb.ErrorChar, 0);
        EXPECT_EQ(dcb.EofChar, 0);
        EXPECT_EQ(dcb.EvtChar, 0);
        EXPECT_EQ(dcb.XonLim, 0);
        EXPECT_EQ(dcb.XoffLim, 0);
        // Options all cleared; the DTR, RTS and XON/XOFF fields and fBinary kept.
        EXPECT_EQ(dcb.Flags, before.Flags & ~0x4CCEu);
        EXPECT_EQ(dcb.DCBlength, before.DCBlength);
        EXPECT_EQ(dcb.wReserved, before.wReserved);

        std::memset(&dcb, fill, sizeof dcb);
        port.SetBaudRate(br9600);
        port.SetDataBits(db7);
        port.SetParity(paEven);
        port.SetStopBits(sb2);
        port.FlowControl()->SetDTR(dcEnable);
        port.FlowControl()->SetRTS(rcHandshake);
        port.FlowControl()->SetXOnXOff(xcInput);
        port.FlowControl()->SetXOnLimit(100);
        port.FlowControl()->SetXOffLimit(200);
        port.Characters()->SetEvent('\n');
        port.SetOptions({opCheckParity, opAbortOnError});
        port.FillDCB(dcb);
        EXPECT_EQ(dcb.BaudRate, 9600u);
        EXPECT_EQ(dcb.ByteSize, 7);
        EXPECT_EQ(dcb.Parity, win::EVENPARITY);
        EXPECT_EQ(dcb.StopBits, win::TWOSTOPBITS);
        EXPECT_EQ(dcb.EvtChar, '\n');
        EXPECT_EQ(dcb.XonLim, 100);
        EXPECT_EQ(dcb.XoffLim, 200);
        const std::uint32_t fields = 0x0030 | 0x3000 | 0x0300 | 0x4CCE;
        EXPECT_EQ(dcb.Flags & fields, 0x10u | 0x2000u | 0x200u | 0x2u | 0x4000u);
        EXPECT_EQ(dcb.Flags & ~fields, before.Flags & ~fields);
    }
}

TEST(ComPortMapping, CustomBaudRateAndDefaults) {
    TComPort port(nullptr);
    EXPECT_EQ(port.BaudRate(), brDefault);
    EXPECT_EQ(port.CustomBaudRate(), 0);
    EXPECT_EQ(port.DeviceName(), QStringLiteral("COM1"));
    EXPECT_EQ(port.BufferSizes()->Input(), 4096);
    EXPECT_EQ(port.BufferSizes()->Output(), 2048);
    EXPECT_EQ(port.ThreadPriority(), forms::tpTimeCritical);
    EXPECT_TRUE(port.SynchronizeEvents());
    EXPECT_FALSE(port.Active());
    port.SetBaudRate(br9600);
    EXPECT_EQ(port.CustomBaudRate(), 9600);
    port.SetCustomBaudRate(4800);
    EXPECT_EQ(port.BaudRate(), brCustom);
    EXPECT_EQ(port.CustomBaudRate(), 4800);
    win::DCB dcb{};
    port.FillDCB(dcb);
    EXPECT_EQ(dcb.BaudRate, 4800u);
}
