// TComm's comm events: the handler order of one cycle, OnRxChar on the GUI thread with
// the waiting count, the monitored events, and the event thread's end by Close, from
// inside a handler, by destruction and by a vanished device.

#include "CommFixture.h"

#include "platform/comm/Comm.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

using namespace serial::Comm;
using namespace std::chrono_literals;
using commtest::onGuiThread;
using commtest::TCommPty;
using commtest::threadCount;
using testsupport::threadState;
using testsupport::waitUntil;

namespace {

// Records every handler call of a component as a word.
struct Recorder {
    std::vector<std::string> calls;
    void attach(TComm &c) {
        auto named = [this](const char *name) {
            return TNotifyEvent([this, name](TObject *) { calls.push_back(name); });
        };
        c.SetOnBreak(named("Break"));
        c.SetOnCts(named("Cts"));
        c.SetOnDsr(named("Dsr"));
        c.SetOnError([this](TObject *, std::uint32_t errors) { calls.push_back("Error " + std::to_string(errors)); });
        c.SetOnRing(named("Ring"));
        c.SetOnRlsd(named("Rlsd"));
        c.SetOnRxChar([this](TObject *, int count) { calls.push_back("RxChar " + std::to_string(count)); });
        c.SetOnRxFlag(named("RxFlag"));
        c.SetOnTxEmpty(named("TxEmpty"));
        c.SetOnComStatEvent([this](TObject *, std::uint32_t mask, std::uint32_t, int in, int out) {
            calls.push_back("ComStat " + std::to_string(mask) + " " + std::to_string(in) + " " + std::to_string(out));
        });
    }
};

} // namespace

TEST_F(TCommPty, OneCycleCallsTheHandlersOfItsBitsInTheFixedOrder) {
    comm->SetMonitorEvents({});
    comm->Open();
    Recorder r;
    r.attach(*comm);
    pty.writeMaster("ab");
    ASSERT_TRUE(waitUntil([&] { return comm->InQueCount() == 2; }));
    comm->HandleCommEvent(comm.get(), 0x1FF);
    EXPECT_EQ(r.calls, (std::vector<std::string>{"Break", "Cts", "Dsr", "Error 0", "Ring", "Rlsd", "RxChar 2", "RxFlag",
                                                 "TxEmpty", "ComStat 511 2 0"}));

    // Nothing waiting: no OnRxChar, but the status still goes out.
    comm->PurgeIn();
    r.calls.clear();
    comm->HandleCommEvent(comm.get(), 0x1 | 0x4);
    EXPECT_EQ(r.calls, (std::vector<std::string>{"TxEmpty", "ComStat 5 0 0"}));
}

TEST_F(TCommPty, RxCharRunsOnTheGuiThreadWithTheWaitingCount) {
    std::string received;
    std::vector<int> counts;
    bool allOnGui = true;
    comm->SetOnRxChar([&](TObject *sender, int count) {
        allOnGui = allOnGui && onGuiThread() && sender == comm.get();
        counts.push_back(count);
        received += drain();
    });
    comm->Open();
    pty.writeMaster("\x02"
                    "abc"
                    "\x03");
    ASSERT_TRUE(waitUntil([&] { return received.size() == 5; }));
    EXPECT_EQ(received, "\x02"
                        "abc"
                        "\x03");
    EXPECT_TRUE(allOnGui);
    for (int n : counts) EXPECT_GT(n, 0);
}

TEST_F(TCommPty, OnlyTheMonitoredEventsReachTheComponent) {
    std::vector<std::uint32_t> masks;
    comm->SetMonitorEvents({evTxEmpty});
    comm->SetOnComStatEvent([&](TObject *, std::uint32_t mask, std::uint32_t, int, int) { masks.push_back(mask); });
    comm->Open();
    pty.writeMaster("ignored");
    ASSERT_TRUE(waitUntil([&] { return comm->InQueCount() == 7; }));
    ASSERT_EQ(comm->Write("x", 1), 1);
    ASSERT_TRUE(waitUntil([&] { return !masks.empty(); }));
    for (std::uint32_t m : masks) EXPECT_EQ(m, 0x4u);
}

TEST_F(TCommPty, AHandlerThatRaisesIsShownAndTheNextCycleRuns) {
    int calls = 0;
    comm->SetOnRxChar([&](TObject *, int) {
        ++calls;
        drain();
        if (calls == 1) throw forms::Exception("handler failed");
    });
    forms::DialogScript().pushAccept();
    comm->Open();
    pty.writeMaster("a");
    ASSERT_TRUE(waitUntil([&] { return calls == 1 && !forms::DialogScript().log().empty(); }));
    EXPECT_EQ(forms::DialogScript().log()[0].text, QStringLiteral("handler failed"));
    pty.writeMaster("b");
    EXPECT_TRUE(waitUntil([&] { return calls == 2; }));
}

// The event thread has seen the byte and is handing the cycle over while the GUI
// thread runs no events; the port is closed (or the component destroyed) meanwhile.
TEST_F(TCommPty, AHandOverInFlightWhenThePortGoesCallsNoHandler) {
    for (const bool destroy : {false, true}) {
        SCOPED_TRACE(destroy ? "destroyed" : "closed");
        std::atomic<int> calls{0};
        comm->SetOnRxChar([&](TObject *, int) { ++calls; });
        comm->SetOnComStatEvent([&](TObject *, std::uint32_t, std::uint32_t, int, int) { ++calls; });
        const int before = threadCount();
        comm->Open();
        pty.writeMaster("q");
        // Without running events: the byte is queued once the wait has completed.
        for (int i = 0; i < 5000 && comm->InQueCount() < 1; ++i) std::this_thread::sleep_for(1ms);
        ASSERT_EQ(comm->InQueCount(), 1);
        if (destroy)
            comm.reset();
        else
            comm->Close();
        // The event thread leaves without the GUI thread running anything for it.
        for (int i = 0; i < 5000 && threadCount() > before; ++i) std::this_thread::sleep_for(1ms);
        EXPECT_LE(threadCount(), before);
        // With the thread gone nothing new can be queued: what it queued runs now.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        EXPECT_EQ(calls, 0);
    }
}

TEST_F(TCommPty, CloseFromInsideOnRxCharEndsTheCycleAndTheThread) {
    std::vector<std::string> calls;
    comm->EventChars()->SetEvtChar('\n');
    comm->SetOnRxChar([&](TObject *, int) {
        calls.push_back("RxChar");
        comm->Close();
        EXPECT_FALSE(comm->Enabled());
    });
    comm->SetOnRxFlag([&](TObject *) { calls.push_back("RxFlag"); });
    comm->SetOnComStatEvent([&](TObject *, std::uint32_t, std::uint32_t, int, int) { calls.push_back("ComStat"); });
    const int before = threadCount();
    comm->Open();
    pty.writeMaster("a\n");
    ASSERT_TRUE(waitUntil([&] { return !calls.empty(); }));
    EXPECT_TRUE(waitUntil([&] { return threadCount() <= before; }));
    QCoreApplication::sendPostedEvents(); // what the gone thread had queued
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, (std::vector<std::string>{"RxChar"}));
    comm->Open(); // and the port opens again with a new thread
    pty.writeMaster("b");
    EXPECT_TRUE(waitUntil([&] { return calls.size() == 2; }));
}

TEST_F(TCommPty, AVanishedDeviceEndsTheEventThreadInsteadOfSpinning) {
    comm->SetOnRxChar([&](TObject *, int) { drain(); });
    const int before = threadCount();
    comm->Open();
    ASSERT_GT(threadCount(), before + 1); // the device's own thread and the event thread
    pty.closeSlave();
    pty.closeMaster();
    EXPECT_TRUE(waitUntil([&] { return threadCount() == before + 1; }));
    EXPECT_TRUE(comm->Enabled()); // the port stays open until it is closed
    comm->Close();
    EXPECT_TRUE(waitUntil([&] { return threadCount() == before; }));
}

// Close on another thread while OnRxChar runs on the GUI thread: Close waits for the
// handler, the cycle calls nothing more, and nothing reaches the component afterwards.
TEST_F(TCommPty, CloseOnAnotherThreadReturnsOnlyAfterTheRunningHandler) {
    std::atomic<bool> go{false}, closeReturned{false}, handlerEnded{false}, endedBeforeReturn{false};
    std::atomic<pid_t> closerTid{0};
    std::vector<std::string> calls; // GUI thread only
    std::thread closer([&] {
        closerTid = pid_t(gettid());
        while (!go) std::this_thread::yield();
        comm->Close();
        endedBeforeReturn = handlerEnded.load();
        closeReturned = true;
    });
    ASSERT_TRUE(waitUntil([&] { return closerTid != 0; }));
    const int before = threadCount(); // the closer included
    comm->SetOnRxChar([&](TObject *, int) {
        calls.push_back("RxChar");
        go = true;
        // Holds the cycle until Close has shut the device (its service thread is gone)
        // and sleeps: a Close that keeps its word waits for this handler there, one that
        // does not has returned by then. No events run in here.
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!closeReturned && !(threadCount() <= before + 1 && threadState(closerTid) == 'S') &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
        handlerEnded = true;
    });
    comm->SetOnRxFlag([&](TObject *) { calls.push_back("RxFlag"); });
    comm->SetOnComStatEvent([&](TObject *, std::uint32_t, std::uint32_t, int, int) { calls.push_back("ComStat"); });
    comm->EventChars()->SetEvtChar('\n');
    comm->Open();
    pty.writeMaster("a\n");
    const bool returned = waitUntil([&] { return closeReturned.load(); }, 20s);
    go = true; // had no handler run, the closer still ends
    closer.join();
    ASSERT_TRUE(returned);
    EXPECT_TRUE(endedBeforeReturn) << "Close returned while the handler ran";
    // Bytes after the close, the component gone: nothing reaches it.
    pty.writeMaster("b\n");
    comm.reset();
    EXPECT_TRUE(waitUntil([&] { return threadCount() < before; }));
    // With the port's threads gone nothing new can be queued: what they queued runs now.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, (std::vector<std::string>{"RxChar"}));
}
