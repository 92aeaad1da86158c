// The poll loop against a simulated meter: link supervision, keys, recording, and a
// meter or port that misbehaves.

#include "hygro/VadroFixture.h"

#include <QByteArray>
#include <QComboBox>
#include <QFile>

#include <fstream>
#include <numeric>
#include <string>

#include <malloc.h>
#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

using namespace hygrotest;
using namespace hygro;

namespace {

// Heap bytes in use; under AddressSanitizer its own count, which leaves out the
// quarantine of freed blocks.
// Bytes this process has read so far, from files, pipes and terminals alike.
long long bytesRead() {
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value)
        if (key == "rchar:") return value;
    return -1;
}

long heapKb() {
#if defined(__SANITIZE_ADDRESS__)
    return long(__sanitizer_get_current_allocated_bytes() / 1024);
#else
    struct mallinfo2 m = mallinfo2();
    return long((m.uordblks + m.hblkhd) / 1024);
#endif
}

int dataRows(forms::TStringGrid *g) { return g->Cells(0, 1).isEmpty() ? 0 : g->RowCount() - 1; }

} // namespace

TEST(HygroVadroLink, LostAfterThreeSilentTicksAndBackWithTheNextFrame) {
    HygroSim meter({"--model", "585"});
    auto main = startVadro({meter.path()});
    ASSERT_TRUE(LinkUp);
    manualTicks(*main);
    ASSERT_TRUE(tickAndWaitForFrame(*main));

    ASSERT_TRUE(meter.control("silent on"));
    main->MainTimerTimer(); // takes the last frame
    for (int silent = 1; silent <= 3; ++silent) {
        EXPECT_FALSE(tickAndWaitForFrame(*main, 300ms));
        EXPECT_EQ(LinkUp, silent < 3) << silent;
    }
    EXPECT_EQ(main->StatusText(1), "No Connection");
    EXPECT_FALSE(main->btnRun->isEnabled());
    EXPECT_EQ(main->MainTimer->interval(), 1000);

    ASSERT_TRUE(meter.control("silent off"));
    ASSERT_TRUE(tickAndWaitForFrame(*main));
    EXPECT_TRUE(LinkUp);
    EXPECT_EQ(main->StatusText(1), meter.path());
    EXPECT_FALSE(main->btnRun->isEnabled()); // until Stop re-enables it
    main->btnStopClick();
    EXPECT_TRUE(main->btnRun->isEnabled());
}

// At 61.5 %RH the fourth frame byte is 0x02. Noise ending in an STX and six bytes
// makes the cutter drop ten bytes onto that byte, and from there every frame: the
// lost link must start the buffer afresh so that the next frame is heard.
TEST(HygroVadroLink, FramesOutOfStepAfterNoiseAreHeardAgainOnceTheLinkIsLost) {
    HygroSim meter({"--model", "586", "--fixed", "--rh", "61.5"});
    auto main = startVadro({meter.path()});
    ASSERT_TRUE(LinkUp);
    manualTicks(*main);
    ASSERT_TRUE(tickAndWaitForFrame(*main));
    RxBuffer = std::string("\x02\x11\x22\x33\x44\x55\x66", 7);
    bool heard = false;
    for (int tick = 0; tick < 8 && !heard; ++tick) heard = tickAndWaitForFrame(*main, 1s);
    EXPECT_TRUE(heard) << "buffered " << QByteArray::fromStdString(RxBuffer).toHex(' ').toStdString();
    EXPECT_EQ(hygro::Display.ReadingText[0], "61.5");
    EXPECT_TRUE(LinkUp);
    EXPECT_EQ(main->StatusText(1), meter.path());
}

TEST(HygroVadroLink, SplitFramesAndTheRealPaceAreDecoded) {
    for (const char *mode : {"--split", "--paced"}) {
        HygroSim meter({"--model", "586", "--fixed", "--rh", "61.5", mode});
        auto main = startVadro({meter.path()});
        ASSERT_TRUE(LinkUp) << mode;
        manualTicks(*main);
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(tickAndWaitForFrame(*main)) << mode;
            EXPECT_EQ(hygro::Display.ReadingText[0], "61.5") << mode;
        }
        main.reset();
    }
}

TEST(HygroVadroLink, KeyPressSkipsExactlyOnePollByte) {
    HygroSim meter({"--model", "585"});
    auto main = startVadro({meter.path()});
    ASSERT_TRUE(LinkUp);
    manualTicks(*main);
    ASSERT_TRUE(tickAndWaitForFrame(*main));
    frmPanel->lblbtn2Click(); // 585: C/F
    main->MainTimerTimer();   // sends nothing
    ASSERT_TRUE(testsupport::waitUntil([&] { return meter.receivedBytes().size() >= 3; }, 3s));
    main->MainTimerTimer();
    main->MainTimerTimer(); // the skipped tick did not count towards a lost link
    EXPECT_TRUE(testsupport::waitUntil([&] { return meter.receivedBytes().size() >= 5; }, 3s));
    EXPECT_EQ(meter.receivedBytes(), (QStringList{"4B", "41", "43", "41", "41"}));
    EXPECT_TRUE(LinkUp);
}

TEST(HygroVadroLink, LongPressSendsItsCommandAtTheSecondHeldTick) {
    HygroSim meter({"--model", "582"});
    auto main = startVadro({meter.path()});
    ASSERT_TRUE(LinkUp);
    manualTicks(*main);
    frmPanel->lblbtn0MouseDown(); // "M"
    frmPanel->lblbtn0MouseUp();
    main->MainTimerTimer();       // released early: nothing more
    frmPanel->lblbtn4MouseDown(); // "T", held
    main->MainTimerTimer();       // first held tick
    main->MainTimerTimer();       // second: "X"
    main->MainTimerTimer();
    EXPECT_TRUE(testsupport::waitUntil([&] { return meter.receivedBytes().size() >= 5; }, 3s));
    // Every tick right after a key byte sends no poll.
    EXPECT_EQ(meter.receivedBytes(), (QStringList{"4B", "4D", "54", "58", "41"}));
}

TEST(HygroVadroLink, PortChangeTalksToTheNewPortWithoutIdentifying) {
    HygroSim first({"--model", "585"});
    HygroSim second({"--model", "586"});
    auto main = startVadro({first.path(), second.path()});
    ASSERT_TRUE(LinkUp);
    ASSERT_EQ(main->ComboBoxDeviceName->currentIndex(), 0);
    manualTicks(*main);
    main->ComboBoxDeviceName->setCurrentIndex(1);
    main->ComboBoxDeviceNameChange();
    ASSERT_TRUE(tickAndWaitForFrame(*main));
    EXPECT_EQ(second.receivedBytes(), (QStringList{"41"}));
    EXPECT_EQ(MeterModel, 585); // no identification on a port change
    EXPECT_TRUE(LinkUp);
}

TEST(HygroVadroLink, MaxMinAlternatingBlinksOnTheTickAndALongPressEndsIt) {
    HygroSim meter({"--model", "585"});
    auto main = startVadro({meter.path()});
    ASSERT_TRUE(LinkUp);
    manualTicks(*main);
    ASSERT_TRUE(meter.control("key M"));
    ASSERT_TRUE(meter.control("key M"));
    ASSERT_TRUE(meter.control("key M")); // MAX/MIN alternating
    ASSERT_TRUE(tickAndWaitForFrame(*main));
    ASSERT_TRUE(hygro::Display.MaxMinBlink);
    QList<bool> shown;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(tickAndWaitForFrame(*main));
        shown << frmPanel->imgMAX->isVisible();
        EXPECT_EQ(frmPanel->imgMAX->isVisible(), frmPanel->imgMIN->isVisible());
    }
    EXPECT_NE(shown[0], shown[1]);
    EXPECT_NE(shown[1], shown[2]);

    frmPanel->lblbtn0MouseDown(); // held for two ticks: "N"
    main->MainTimerTimer();
    main->MainTimerTimer();
    EXPECT_FALSE(hygro::Display.MaxMinBlink);
    EXPECT_FALSE(frmPanel->imgMAX->isVisible());
    ASSERT_TRUE(tickAndWaitForFrame(*main));
    EXPECT_EQ(hygro::Display.RecordMode, 0);
    EXPECT_TRUE(meter.receivedBytes().join(' ').contains("4D 4E"));
}

TEST(HygroVadroLink, RecordingAtRateTwoFillsEverySecondTick) {
    HygroSim meter({"--model", "586"});
    auto main = startVadro({meter.path()});
    ASSERT_TRUE(LinkUp);
    manualTicks(*main);
    ASSERT_EQ(RealTimeRate, 2);
    main->btnRunClick();
    ASSERT_TRUE(Running);
    forms::TStringGrid *g = RealTimeList->Grid1;
    ASSERT_TRUE(tickAndWaitForFrame(*main));
    QList<int> added;
    for (int i = 0; i < 6; ++i) {
        const int before = dataRows(g);
        ASSERT_TRUE(tickAndWaitForFrame(*main));
        added << dataRows(g) - before;
    }
    // Every second tick adds one row.
    EXPECT_EQ(std::accumulate(added.begin(), added.end(), 0), 3);
    for (int i = 1; i < added.size(); ++i) EXPECT_NE(added[i], added[i - 1]) << i;
    const int last = g->RowCount() - 1;
    EXPECT_EQ(g->Cells(0, last), QString::number(last));
    EXPECT_EQ(g->Cells(4, last), "%RH");
    EXPECT_EQ(g->Cells(6, last), "C");
    EXPECT_EQ(g->Cells(8, last), "C");
    EXPECT_FALSE(g->Cells(7, last).isEmpty());
    EXPECT_TRUE(RowsAdded);
}

TEST(HygroVadroLink, VanishedPortGivesNoConnectionAndTheTableKeepsItsRows) {
    HygroSim meter({"--model", "583"});
    auto main = startVadro({meter.path()});
    ASSERT_TRUE(LinkUp);
    manualTicks(*main);
    RealTimeRate = 1;
    main->btnRunClick();
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(tickAndWaitForFrame(*main));
    main->MainTimerTimer();
    forms::TStringGrid *g = RealTimeList->Grid1;
    const int rows = dataRows(g);
    ASSERT_GE(rows, 2);
    const QStringList first = gridRow(g, 1);

    // A tick at a time, each given the events it causes, until the silence has counted.
    meter.closeTerminal();
    for (int i = 0; i < 10 && LinkUp; ++i) {
        main->MainTimerTimer();
        testsupport::waitUntil([] { return !LinkUp; }, 100ms);
    }
    EXPECT_FALSE(LinkUp);
    EXPECT_EQ(main->StatusText(1), "No Connection");
    EXPECT_EQ(dataRows(g), rows);
    EXPECT_EQ(gridRow(g, 1), first);
    forms::DialogScript().pushButton(forms::mrNo); // "Save changes to Real Time Tabular"
    main->close();
    EXPECT_FALSE(main->isVisible());
    ASSERT_EQ(forms::DialogScript().log().size(), 1u);
    EXPECT_EQ(forms::DialogScript().log()[0].text, "Save changes to Real Time Tabular");
}

// A line that sends garbage at full speed: the window keeps handling what the user
// does, the heap stays flat, and once the noise stops the readings come back.
TEST(HygroVadroLink, GarbageAtFullSpeedLeavesTheProgramResponsiveAndItsMemoryFlat) {
    HygroSim meter({"--model", "586", "--garbage", "--fixed", "--rh", "61.5"});
    auto main = startVadro({meter.path()});
    // The noise is counted in bytes the program has read, not in seconds: a loaded
    // machine takes longer over the same work. (Between meter searches the receive
    // handler is not even attached.)
    auto handleNoise = [&](long long bytes) {
        const long long until = bytesRead() + bytes;
        return testsupport::waitUntil([&] { return bytesRead() >= until; }, 60s);
    };
    ASSERT_GE(bytesRead(), 0);
    ASSERT_TRUE(handleNoise(128 << 10)); // the first allocations of a running program
    const long before = heapKb();
    for (int i = 0; i < 20; ++i) {
        bool handled = false;
        QTimer::singleShot(0, main.get(), [&] {
            main->mnuPanelClick(); // View, Panel: as a click on the menu would
            handled = true;
        });
        ASSERT_TRUE(testsupport::waitUntil([&] { return handled; }, 30s)) << "the window stopped answering";
        EXPECT_TRUE(frmPanel->isVisible());
        ASSERT_TRUE(handleNoise(24 << 10));
    }
    const long after = heapKb();
    EXPECT_LT(RxBuffer.size(), FrameLength);
    EXPECT_LT(after - before, 8 * 1024) << before << " kB -> " << after << " kB";

    ASSERT_TRUE(meter.control("garbage off"));
    manualTicks(*main);
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return tickAndWaitForFrame(*main) && hygro::Display.ReadingText[0] == "61.5"; }, 20s))
        << "link " << LinkUp << ", status " << main->StatusText(1).toStdString() << ", reading "
        << hygro::Display.ReadingText[0].toStdString() << ", port active " << main->Comm1->Active() << ", handler "
        << bool(main->Comm1->OnRxChar()) << ", buffered "
        << QByteArray::fromStdString(RxBuffer).toHex(' ').toStdString() << ", meter running " << meter.running()
        << ", meter got " << meter.receivedBytes().join(" ").right(60).toStdString() << ", in queue "
        << main->Comm1->InputCount();
    EXPECT_TRUE(LinkUp);
    EXPECT_EQ(main->StatusText(1), meter.path());
    EXPECT_TRUE(meter.running());
}

TEST(HygroVadroLink, APortChangeUnderABusyTickGoesOnAfterTheBusyLimit) {
    // A tick still marked busy lies below the change on the stack and cannot end first:
    // the change waits for it a bounded time instead of hanging the program.
    HygroSim meter({"--model", "585"});
    auto main = startVadro({meter.path()});
    ASSERT_TRUE(LinkUp);
    manualTicks(*main);
    TimerBusy = true;
    main->ComboBoxDeviceNameChange();
    TimerBusy = false;
    EXPECT_TRUE(main->Comm1->Active());
    EXPECT_TRUE(tickAndWaitForFrame(*main));
}
