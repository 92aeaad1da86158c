#include "platform/forms/Component.h"

#include <gtest/gtest.h>

#include <vector>

using namespace forms;

namespace {

struct Tracked : TComponent {
    Tracked(TComponent *owner, std::vector<int> *log, int id) : TComponent(owner), log_(log), id_(id) {}
    ~Tracked() override { log_->push_back(id_); }
    std::vector<int> *log_;
    int id_;
};

struct Handler : TObject {
    int calls = 0;
    void OnA(TObject *) { ++calls; }
    void OnB(TObject *) {}
};

} // namespace

TEST(CoreComponent, OwnerFreesItsComponentsLastFirstAndForgetsOnesFreedEarlier) {
    std::vector<int> log;
    auto *owner = new Tracked(nullptr, &log, 0);
    new Tracked(owner, &log, 1);
    auto *two = new Tracked(owner, &log, 2);
    new Tracked(owner, &log, 3);
    ASSERT_EQ(owner->ComponentCount(), 3);
    delete two;
    EXPECT_EQ(owner->ComponentCount(), 2);
    EXPECT_EQ(owner->Components(1)->Owner(), owner);
    delete owner;
    EXPECT_EQ(log, (std::vector<int>{2, 0, 3, 1}));
}

TEST(CoreComponent, StateBitsAndLoadedClearingLoading) {
    TComponent c(nullptr);
    EXPECT_EQ(c.ComponentState(), 0u);
    c.SetDesigning(true);
    c.SetLoading(true);
    EXPECT_TRUE(c.ComponentState() & csDesigning);
    EXPECT_TRUE(c.ComponentState() & csLoading);
    c.Loaded();
    EXPECT_FALSE(c.ComponentState() & csLoading);
    EXPECT_TRUE(c.ComponentState() & csDesigning);
}

TEST(CoreComponent, EventIdentity) {
    Handler h, other;
    TNotifyEvent a(&h, &Handler::OnA);
    EXPECT_TRUE(a == Bind(&h, &Handler::OnA));      // same method, same object
    EXPECT_FALSE(a == Bind(&h, &Handler::OnB));     // other method
    EXPECT_FALSE(a == Bind(&other, &Handler::OnA)); // other object

    auto body = [](TObject *) {};
    TNotifyEvent l1(body), l2(body);
    TNotifyEvent copy = l1;
    EXPECT_TRUE(l1 == copy);
    EXPECT_FALSE(l1 == l2);

    TNotifyEvent none = nullptr;
    EXPECT_FALSE(bool(none));
    EXPECT_TRUE(none == TNotifyEvent());
    EXPECT_FALSE(none == a);

    a(nullptr);
    EXPECT_EQ(h.calls, 1);
}
