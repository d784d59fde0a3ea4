#include "System/CDelegate.h"

#include "System/Event.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace System
