#include "System/CDelegate.h"

#include "System/Event.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace System {
namespace {

// The partners held by a link list, head first.
std::vector<DelegateBase*> Partners(const DelegateBase& object) {
    std::vector<DelegateBase*> partners;
    for (auto* node = object.mLinks.mHead; node != nullptr; node = node->mNext) {
        partners.push_back(node->mValue);
    }
    return partners;
}

struct Counter {
    int calls = 0;
    void OnEvent(int) { ++calls; }
};

using IntEvent = Event<int>;
using IntDelegate = CDelegate<Counter, int>;

TEST(DelegateTest, OneRemoveFromEitherSideUnlinksEveryLinkOfThePairOnly) {
    Counter counter;
    IntDelegate delegate(&counter, &Counter::OnEvent);
    IntEvent other;
    other.Add(&delegate);
    for (bool fromEventSide : {true, false}) {
        IntEvent event;
        event.Add(&delegate);
        event.Add(&delegate);
        counter.calls = 0;
        event.Raise(1);
        EXPECT_EQ(counter.calls, 2);

        DelegateBase& self = fromEventSide ? static_cast<DelegateBase&>(event) : delegate;
        DelegateBase& partner = fromEventSide ? static_cast<DelegateBase&>(delegate) : event;
        EXPECT_TRUE(self.Remove(&partner));
        EXPECT_EQ(event.mLinks.Count(), 0u);
        EXPECT_FALSE(self.Remove(&partner));
        EXPECT_FALSE(partner.Remove(&self));
        EXPECT_EQ(Partners(delegate), std::vector<DelegateBase*>{&other});
    }
}

TEST(DelegateTest, DeletingADelegateDetachesItFromEveryEventAndKeepsTheOthersInOrder) {
    Counter counter;
    IntEvent events[3];
    IntDelegate before(&counter, &Counter::OnEvent);
    auto* doomed = new IntDelegate(&counter, &Counter::OnEvent);
    IntDelegate after(&counter, &Counter::OnEvent);
    for (auto& event : events) {
        event.Add(&before);
        event.Add(doomed);
        event.Add(&after);
    }
    delete doomed;
    for (auto& event : events) {
        EXPECT_EQ(Partners(event), (std::vector<DelegateBase*>{&before, &after}));
    }
    EXPECT_EQ(Partners(before), (std::vector<DelegateBase*>{&events[0], &events[1], &events[2]}));
}

TEST(DelegateTest, DestroyingAnEventLeavesItsDelegatesWithTheirOtherLinks) {
    Counter counter;
    IntEvent kept;
    IntDelegate delegates[3] = {{&counter, &Counter::OnEvent},
                                {&counter, &Counter::OnEvent},
                                {&counter, &Counter::OnEvent}};
    {
        IntEvent doomed;
        for (auto& delegate : delegates) {
            kept.Add(&delegate);
            doomed.Add(&delegate);
        }
    }
    for (auto& delegate : delegates) {
        EXPECT_EQ(Partners(delegate), std::vector<DelegateBase*>{&kept});
    }
    kept.Raise(7);
    EXPECT_EQ(counter.calls, 3);
}

struct Base {
    virtual ~Base() = default;
    virtual void OnNamed(const char* name) { seen = std::string("base ") + name; }
    std::string seen;
};

struct Derived : Base {
    void OnNamed(const char* name) override { seen = std::string("derived ") + name; }
};

TEST(DelegateTest, VirtualHandlerRunsTheOverrideOfTheTargetsClass) {
    Derived target;
    CDelegate<Base, const char*> delegate(&target, &Base::OnNamed);
    Event<const char*> event;
    event.Add(&delegate);
    event.Raise("x");
    EXPECT_EQ(target.seen, "derived x");
}

TEST(DelegateTest, AnEventSubscribedToAnotherForwardsNothing) {
    Counter counter;
    IntEvent outer;
    IntEvent inner;
    IntDelegate delegate(&counter, &Counter::OnEvent);
    inner.Add(&delegate);
    outer.Add(&inner);
    outer.Raise(1);
    EXPECT_EQ(counter.calls, 0);
    inner.Execute(1);
    EXPECT_EQ(counter.calls, 0);
}

struct Recorder {
    int ticks = 0;
    std::vector<int> seen;
    void OnTick() { ++ticks; }
    void OnFive(void* sender, unsigned int a, int b, int c, int& out) {
        seen = {sender != nullptr, static_cast<int>(a), b, c, out};
        out += 10;
    }
};

TEST(DelegateTest, ZeroAndFiveArgumentsReachTheHandlerAndReferencesStayShared) {
    Recorder first;
    Recorder second;
    Event<> tick;
    CDelegate<Recorder> onTick(&first, &Recorder::OnTick);
    tick.Add(&onTick);
    tick.Raise();
    EXPECT_EQ(first.ticks, 1);

    Event<void*, unsigned int, int, int, int&> five;
    CDelegate<Recorder, void*, unsigned int, int, int, int&> a(&first, &Recorder::OnFive);
    CDelegate<Recorder, void*, unsigned int, int, int, int&> b(&second, &Recorder::OnFive);
    five.Add(&a);
    five.Add(&b);
    int out = 1;
    five.Raise(&first, 2u, 3, 4, out);
    EXPECT_EQ(first.seen, (std::vector<int>{1, 2, 3, 4, 1}));
    EXPECT_EQ(second.seen, (std::vector<int>{1, 2, 3, 4, 11}));
    EXPECT_EQ(out, 21);
}

}  // namespace
}  // namespace System
