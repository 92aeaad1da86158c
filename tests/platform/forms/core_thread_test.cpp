#include "platform/forms/Thread.h"

#include "support/TestSupport.h"
#include "support/Wait.h"

#include <QThread>

#include <gtest/gtest.h>

#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

using namespace forms;
using namespace std::chrono_literals;

namespace {

class Counter : public TThread {
public:
    explicit Counter(bool suspended, std::atomic<bool> *freed = nullptr) : TThread(suspended), freed_(freed) {
        AfterConstruction();
    }
    ~Counter() override {
        if (freed_) *freed_ = true;
    }
    std::atomic<int> loops{0};
    std::atomic<int> nice{-100};
    std::atomic<bool> started{false};

protected:
    void Execute() override {
        started = true;
        while (!Terminated()) {
            nice = getpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)));
            ++loops;
            QThread::usleep(500);
        }
        SetReturnValue(loops);
    }

private:
    std::atomic<bool> *freed_;
};

class Thrower : public TThread {
public:
    Thrower() : TThread(false) { AfterConstruction(); }

protected:
    void Execute() override { throw std::runtime_error("lost"); }
};

} // namespace

TEST(CoreThread, RunsUntilTerminatedAndReportsItsReturnValue) {
    Counter t(false);
    ASSERT_TRUE(testsupport::waitUntil([&] { return t.loops > 2; }));
    t.Terminate();
    EXPECT_TRUE(t.Terminated());
    EXPECT_GE(t.WaitFor(), 3);
    EXPECT_TRUE(t.Finished());
}

TEST(CoreThread, SuspendedThreadWaitsForStart) {
    // Suspended, it is no thread of the system yet.
    auto threads = [] {
        int n = 0;
        for (auto it = std::filesystem::directory_iterator("/proc/self/task");
             it != std::filesystem::directory_iterator(); ++it)
            ++n;
        return n;
    };
    const int before = threads();
    Counter t(true);
    EXPECT_EQ(threads(), before);
    EXPECT_FALSE(t.started);
    t.Start();
    EXPECT_TRUE(testsupport::waitUntil([&] { return t.started.load(); }));
}

TEST(CoreThread, FreeOnTerminateDeletesItselfWhenExecuteEnds) {
    std::atomic<bool> freed{false};
    auto *t = new Counter(true, &freed);
    t->SetFreeOnTerminate(true);
    t->Start();
    ASSERT_TRUE(testsupport::waitUntil([&] { return t->started.load(); }));
    t->Terminate();
    EXPECT_TRUE(testsupport::waitUntil([&] { return freed.load(); }));
}

TEST(CoreThread, PriorityBecomesTheThreadsNiceValue) {
    Counter t(true);
    t.SetPriority(tpLowest);
    t.Start();
    ASSERT_TRUE(testsupport::waitUntil([&] { return t.nice == 10; }));
    t.SetPriority(tpIdle);
    EXPECT_TRUE(testsupport::waitUntil([&] { return t.nice == 19; }));
    // Raising priority may be refused by the system; it must not fail.
    t.SetPriority(tpTimeCritical);
    EXPECT_EQ(t.Priority(), tpTimeCritical);
    t.Terminate();
    t.WaitFor();
}

TEST(CoreThread, RefusedRaiseKeepsTheThreadWhereItWas) {
    // Capabilities belong to a thread and pass to the threads it starts: without
    // CAP_SYS_NICE the system refuses the raise, as for an ordinary user.
    int base = 0, nice = 0;
    std::thread unprivileged([&] {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct none[2] = {};
        ASSERT_EQ(syscall(SYS_capset, &header, none), 0);
        base = getpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)));
        Counter t(true);
        t.SetPriority(tpTimeCritical);
        t.Start();
        EXPECT_TRUE(testsupport::pollUntil([&] { return t.loops > 0; }));
        nice = t.nice;
        t.Terminate();
        t.WaitFor();
    });
    unprivileged.join();
    EXPECT_LE(nice, base);
}

TEST(CoreThread, EscapedExceptionIsKeptAsFatalException) {
    Thrower t;
    t.WaitFor();
    ASSERT_TRUE(t.FatalException());
    EXPECT_THROW(std::rethrow_exception(t.FatalException()), std::runtime_error);
}

TEST(CoreThread, DestroyingARunningThreadStopsIt) {
    auto *t = new Counter(false);
    ASSERT_TRUE(testsupport::waitUntil([&] { return t->started.load(); }));
    delete t; // terminates and waits
    SUCCEED();
}
