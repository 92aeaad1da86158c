#include "platform/forms/Application.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/Exceptions.h"
#include "platform/forms/Sync.h"
#include "support/TestSupport.h"
#include "support/Wait.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include <unistd.h>

using namespace forms;

namespace {

struct ApplicationTest : ::testing::Test {
    void SetUp() override {
        DialogScript().reset();
        Application->Initialize();
        Application->SetTitle(QStringLiteral("Vadro"));
    }
    void TearDown() override { DialogScript().reset(); }
};

void handle(const std::function<void()> &raise) {
    try {
        raise();
    } catch (...) {
        Application->HandleException(nullptr);
    }
}

} // namespace

TEST_F(ApplicationTest, HandleExceptionShowsTheMessageInAnErrorBoxTitledWithTheTitle) {
    DialogScript().pushAccept();
    handle([] { throw Exception(QStringLiteral("The handle is invalid.")); });
    ASSERT_EQ(DialogScript().log().size(), 1u);
    const DialogRecord &r = DialogScript().log()[0];
    EXPECT_EQ(r.kind, DialogKind::MessageBox);
    EXPECT_EQ(r.text, QStringLiteral("The handle is invalid."));
    EXPECT_EQ(r.caption, QStringLiteral("Vadro"));
    EXPECT_EQ(r.flags & MB_ICONMASK, MB_ICONSTOP);
}

TEST_F(ApplicationTest, SilentAbortShowsNothingOtherExceptionsShowTheirText) {
    handle([] { Abort(); });
    EXPECT_TRUE(DialogScript().log().empty());
    DialogScript().pushAccept();
    handle([] { throw std::runtime_error("plain"); });
    ASSERT_EQ(DialogScript().log().size(), 1u);
    EXPECT_EQ(DialogScript().log()[0].text, QStringLiteral("plain"));
}

TEST_F(ApplicationTest, ExceptionOfAnotherThreadIsShownOnTheGuiThread) {
    DialogScript().pushAccept();
    std::atomic<bool> shown{false};
    std::atomic<int> tid{0};
    std::thread worker([&] {
        tid = int(gettid());
        handle([] { throw Exception(QStringLiteral("from the event thread")); });
        shown = true;
    });
    // The box waits for the GUI thread, and the failing thread waits for the box: it
    // goes to sleep, and the GUI thread handles no event until it does.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!(tid && testsupport::asleepWithoutTimeout(tid)) && !shown && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    EXPECT_TRUE(tid && testsupport::asleepWithoutTimeout(tid)) << testsupport::syscallOf(tid);
    EXPECT_TRUE(DialogScript().log().empty());
    EXPECT_FALSE(shown);
    EXPECT_TRUE(testsupport::waitUntil([&] { return shown.load(); }));
    worker.join();
    ASSERT_EQ(DialogScript().log().size(), 1u);
    EXPECT_EQ(DialogScript().log()[0].text, QStringLiteral("from the event thread"));
}

TEST_F(ApplicationTest, RunProcessesQueuedCallsAndReturnsOnTerminate) {
    bool ran = false;
    std::thread worker([&] {
        Synchronize([&] {
            ran = true;
            Application->Terminate();
        });
    });
    QTimer::singleShot(5000, [] { QCoreApplication::quit(); }); // a safety net only
    Application->Run();
    worker.join();
    EXPECT_TRUE(ran);
    EXPECT_TRUE(Application->Terminated());
    EXPECT_EQ(Application->Run(), 0); // already terminated: returns at once
}
