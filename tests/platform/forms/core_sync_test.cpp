#include "platform/forms/Application.h"
#include "platform/forms/Exceptions.h"
#include "platform/forms/Sync.h"

#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace forms;
using namespace std::chrono_literals;

namespace {

// Runs `body` on a worker thread while the GUI thread drains with `drain` until it ends.
template <typename Body, typename Drain> void runOnWorker(Body body, Drain drain) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        body();
        done = true;
    });
    for (int i = 0; i < 5000 && !done; ++i) {
        drain();
        QThread::usleep(1000);
    }
    worker.join();
    ASSERT_TRUE(done);
}

} // namespace

TEST(CoreSync, CallRunsOnGuiThreadAndCallerWaitsForIt) {
    // Each way of processing events on the GUI thread must drain the queue.
    const std::function<void()> drains[] = {
        [] { QCoreApplication::processEvents(); },
        [] { Application->ProcessMessages(); },
        [] { CheckSynchronize(); },
    };
    for (const auto &drain : drains) {
        QThread *ranOn = nullptr;
        bool seenAfterReturn = false;
        runOnWorker(
            [&] {
                EXPECT_FALSE(IsGuiThread());
                Synchronize([&] { ranOn = QThread::currentThread(); });
                seenAfterReturn = ranOn != nullptr;
            },
            drain);
        EXPECT_EQ(ranOn, QCoreApplication::instance()->thread());
        EXPECT_TRUE(seenAfterReturn);
    }
}

TEST(CoreSync, ExceptionIsCarriedBackToTheCaller) {
    QString caught;
    runOnWorker(
        [&] {
            try {
                Synchronize([] { throw Exception(QStringLiteral("from the GUI thread")); });
            } catch (const Exception &e) {
                caught = e.Message();
            }
        },
        [] { QCoreApplication::processEvents(); });
    EXPECT_EQ(caught, QStringLiteral("from the GUI thread"));
}

TEST(CoreSync, OnGuiThreadRunsAtOnce) {
    EXPECT_TRUE(IsGuiThread());
    bool ran = false;
    Synchronize([&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_THROW(Synchronize([] { Abort(); }), EAbort);
}

TEST(CoreSync, QueuedCallRunsInsideTheEventLoop) {
    std::atomic<bool> ran{false};
    std::thread worker([&] { Synchronize([&] { ran = true; }); });
    EXPECT_TRUE(testsupport::waitUntil([&] { return ran.load(); }, 5s));
    worker.join();
}
