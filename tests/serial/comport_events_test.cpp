#include "PortFixture.h"

#include "platform/forms/Exceptions.h"
#include "platform/forms/Sync.h"
#include "support/Wait.h"

#include <QCoreApplication>
#include <QEvent>

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using namespace serial;
using namespace std::chrono_literals;
using serialtest::onGuiThread;
using serialtest::PortTest;
using testsupport::threadCount;
using testsupport::waitUntil;

namespace {

// Nice values of the process's threads.
std::vector<int> threadNices() {
    std::vector<int> nices;
    if (DIR *d = opendir("/proc/self/task")) {
        while (dirent *e = readdir(d)) {
            if (e->d_name[0] == '.') continue;
            errno = 0;
            const int nice = getpriority(PRIO_PROCESS, id_t(std::atoi(e->d_name)));
            if (errno == 0) nices.push_back(nice);
        }
        closedir(d);
    }
    return nices;
}

bool someThreadHasNice(int nice) {
    const std::vector<int> n = threadNices();
    return std::find(n.begin(), n.end(), nice) != n.end();
}

// Holds back the calls other threads hand to the GUI thread: the posted event that would
// run them is taken and dropped, so a test sees the moment a hand-over is queued and
// decides itself whether it runs (forms::CheckSynchronize) or not.
class HandOverCatcher : public QObject {
public:
    HandOverCatcher() { QCoreApplication::instance()->installEventFilter(this); }
    ~HandOverCatcher() override { QCoreApplication::instance()->removeEventFilter(this); }
    std::atomic<int> caught{0};

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched == QCoreApplication::instance() && event->type() == QEvent::MetaCall) {
            ++caught;
            return true;
        }
        return false;
    }
};

// Reads whatever is queued, as the application's receive handler does.
std::string drain(TCustomComPort *port) {
    std::string bytes(size_t(port->InputCount()), '\0');
    if (!bytes.empty()) port->Read(bytes.data(), int(bytes.size()), true);
    return bytes;
}

} // namespace

TEST_F(PortTest, RxCharRunsOnTheGuiThreadWithTheBytesQueued) {
    std::string received;
    bool allOnGui = true;
    port->SetOnRxChar([&](TObject *sender) {
        allOnGui = allOnGui && onGuiThread() && sender == port.get();
        received += drain(port.get());
    });
    port->Open();
    pty.writeMaster("\x02"
                    "abc"
                    "\x03");
    ASSERT_TRUE(waitUntil([&] { return received.size() == 5; }));
    EXPECT_EQ(received, "\x02"
                        "abc"
                        "\x03");
    EXPECT_TRUE(allOnGui);
}

TEST_F(PortTest, EventThreadExistsOnlyWhileOpenWithAHandler) {
    port->Open();
    const int openWithout = threadCount();
    port->Close();

    int calls = 0;
    const TNotifyEvent handler([&](TObject *) {
        ++calls;
        drain(port.get());
    });
    port->SetOnRxChar(handler);
    EXPECT_EQ(port->EventMask(), 0x0001u);
    port->Open();
    ASSERT_TRUE(waitUntil([&] { return threadCount() == openWithout + 1; }));

    port->SetOnRxChar(nullptr); // the last handler: the thread goes
    EXPECT_TRUE(waitUntil([&] { return threadCount() == openWithout; }));
    pty.writeMaster("x");
    // No thread is left to see it: nothing is queued, nothing runs.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 0);

    port->SetOnRxChar(handler); // a new thread
    EXPECT_TRUE(waitUntil([&] { return threadCount() == openWithout + 1; }));
    pty.writeMaster("y");
    EXPECT_TRUE(waitUntil([&] { return calls == 1; }));
    port->SetOnRxChar(handler); // the same handler again changes nothing
    EXPECT_EQ(threadCount(), openWithout + 1);

    port->Close();
    EXPECT_TRUE(waitUntil([&] { return threadCount() < openWithout; }));
}

TEST_F(PortTest, HandlersOfOneCycleRunInTheFixedOrderAndAThrowingOneSkipsTheRest) {
    std::vector<std::string> order;
    bool throwOnce = true;
    port->Characters()->SetEvent('\n');
    port->SetOnRxFlag([&](TObject *) { order.push_back("RxFlag"); });
    port->SetOnRxChar([&](TObject *) {
        order.push_back("RxChar");
        drain(port.get());
        if (throwOnce) {
            throwOnce = false;
            throw EComError(0, QStringLiteral("handler failed"));
        }
    });
    forms::DialogScript().pushAccept();
    const auto before = testsupport::threadIds();
    port->Open();
    const auto started = testsupport::threadsSince(before);
    ASSERT_EQ(started.size(), 2u); // the device's and the event thread

    pty.writeMaster("ab\n");
    ASSERT_TRUE(waitUntil([&] { return !order.empty(); }));
    // Both back asleep on the line: the cycle is over and no other is on its way.
    ASSERT_TRUE(waitUntil([&] {
        return std::all_of(started.begin(), started.end(), [](int tid) { return testsupport::asleepInPoll(tid); });
    }));
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(order, (std::vector<std::string>{"RxChar"}));
    ASSERT_EQ(forms::DialogScript().log().size(), 1u);
    EXPECT_EQ(forms::DialogScript().log()[0].text, QStringLiteral("handler failed"));

    order.clear();
    pty.writeMaster("cd\n");
    ASSERT_TRUE(waitUntil([&] { return order.size() == 2; }));
    EXPECT_EQ(order, (std::vector<std::string>{"RxChar", "RxFlag"}));
}

TEST_F(PortTest, VanishedDeviceClosesThePortOnTheGuiThreadWithoutShowingAnything) {
    bool closedOnGui = false;
    int errorCode = -1;
    port->SetOnRxChar([&](TObject *) { drain(port.get()); });
    port->SetAfterClose([&](TCustomComPort *) { closedOnGui = onGuiThread(); });
    port->SetOnError([&](TCustomComPort *, EComError &e, TComAction &) { errorCode = e.ErrorCode(); });
    port->Open();
    pty.closeSlave();
    pty.closeMaster();
    ASSERT_TRUE(waitUntil([&] { return !port->Active(); }));
    EXPECT_TRUE(closedOnGui);
    EXPECT_EQ(errorCode, 5);
    EXPECT_TRUE(forms::DialogScript().log().empty());
}

TEST_F(PortTest, CloseFromTheEventThreadIsCarriedOutOnTheGuiThread) {
    port->SetSynchronizeEvents(false);
    std::atomic<bool> handlerOnGui{true};
    std::atomic<bool> closedOnGui{false};
    port->SetOnRxChar([&](TObject *) {
        handlerOnGui = onGuiThread();
        port->Close();
    });
    port->SetAfterClose([&](TCustomComPort *) { closedOnGui = onGuiThread(); });
    port->Open();
    pty.writeMaster("z");
    ASSERT_TRUE(waitUntil([&] { return !port->Active(); }));
    EXPECT_FALSE(handlerOnGui);
    EXPECT_TRUE(closedOnGui);
}

TEST_F(PortTest, DispatchQueuedForADestroyedPortCallsNothing) {
    std::atomic<int> calls{0};
    port->SetOnRxChar([&](TObject *) { ++calls; });
    port->Open();
    HandOverCatcher catcher;
    pty.writeMaster("q");
    // The event thread has queued the dispatch; the GUI thread has not run it.
    ASSERT_TRUE(waitUntil([&] { return catcher.caught > 0; }));
    port.reset();
    forms::CheckSynchronize(); // whatever is still queued runs now
    EXPECT_EQ(calls, 0);
}

TEST_F(PortTest, ThreadStoppedInTheMiddleOfAHandOverEndsWithoutTheGuiThreadRunningIt) {
    std::atomic<int> calls{0};
    const int before = threadCount();
    port->SetOnRxChar([&](TObject *) { ++calls; });
    port->Open();
    HandOverCatcher catcher;
    pty.writeMaster("q");
    // The event thread is now blocked handing the event over; the GUI thread closes the
    // port and then never drains the queue again, as at the end of a program.
    ASSERT_TRUE(waitUntil([&] { return catcher.caught > 0; }));
    port->SetActive(false);
    // Without processing events: a millisecond between looks.
    bool ended = false;
    for (int i = 0; i < 10000 && !ended; ++i) {
        std::this_thread::sleep_for(1ms);
        ended = threadCount() <= before;
    }
    EXPECT_TRUE(ended);
    forms::CheckSynchronize();
    EXPECT_EQ(calls, 0);
}

TEST_F(PortTest, ThreadPriorityReachesARunningEventThreadAtOnce) {
    port->SetThreadPriority(forms::tpLowest);
    port->SetOnRxChar([](TObject *) {});
    port->Open();
    EXPECT_TRUE(waitUntil([] { return someThreadHasNice(10); }));
    port->SetThreadPriority(forms::tpIdle);
    EXPECT_TRUE(waitUntil([] { return someThreadHasNice(19) && !someThreadHasNice(10); }));
}

TEST_F(PortTest, HandlerMayDetachItselfWhileItRuns) {
    int calls = 0;
    port->SetOnRxChar([&](TObject *) {
        ++calls;
        drain(port.get());
        port->SetOnRxChar(nullptr); // frees the handler object that is running
        EXPECT_EQ(calls, 1);        // still safe to touch what it captured
    });
    const int before = threadCount();
    port->Open();
    pty.writeMaster("a");
    ASSERT_TRUE(waitUntil([&] { return calls == 1; }));
    // The event thread goes; the next byte stays queued, and nothing runs for it.
    EXPECT_TRUE(waitUntil([&] { return threadCount() == before + 1; }));
    pty.writeMaster("b");
    EXPECT_TRUE(waitUntil([&] { return port->InputCount() == 1; }));
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(port->EventMask(), 0u);
}

TEST_F(PortTest, PortDestroyedWhileAHandlerRunsOnTheEventThreadWaitsForIt) {
    port->SetSynchronizeEvents(false);
    std::atomic<bool> started{false}, finished{false}, destroying{false};
    const int gui = int(gettid());
    port->SetOnRxChar([&](TObject *sender) {
        started = true;
        // Runs on until the destructor has begun and waits.
        EXPECT_TRUE(testsupport::pollUntil([&] { return destroying && testsupport::threadState(gui) == 'S'; }));
        // The port is still whole while its handler runs.
        EXPECT_EQ(static_cast<TCustomComPort *>(sender)->DeviceName(), QString::fromStdString(pty.slavePath()));
        finished = true;
    });
    port->Open();
    pty.writeMaster("w");
    ASSERT_TRUE(waitUntil([&] { return started.load(); }));
    destroying = true;
    port.reset();
    EXPECT_TRUE(finished);
}
