#include "System/EventManager.h"

#include "System/Event.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

namespace System {
namespace {

struct Listener {
    int ticks = 0;
    int sum = 0;
    EventManager events;
    void OnTick() { ++ticks; }
    void OnValue(int value) { sum += value; }
};

TEST(EventManagerTest, EveryAddMakesANewDelegateAndRemoveDropsOnlyTheFirst) {
    Event<> tick;
    Listener listener;
    listener.events.Add(tick, &listener, &Listener::OnTick);
    listener.events.Add(tick, &listener, &Listener::OnTick);
    EXPECT_EQ(listener.events.mDelegates.Count(), 2u);
    tick.Raise();
    EXPECT_EQ(listener.ticks, 2);

    listener.events.Remove(tick);
    Event<> other;
    listener.events.Remove(other);
    EXPECT_EQ(listener.events.mDelegates.Count(), 1u);
    EXPECT_EQ(tick.mLinks.Count(), 1u);
    tick.Raise();
    EXPECT_EQ(listener.ticks, 3);
}

TEST(EventManagerTest, DestroyingTheManagerEndsExactlyItsSubscriptions) {
    Event<> tick;
    Event<int> value;
    Listener stays;
    stays.events.Add(tick, &stays, &Listener::OnTick);
    {
        Listener leaves;
        leaves.events.Add(tick, &leaves, &Listener::OnTick);
        leaves.events.Add(value, &leaves, &Listener::OnValue);
        stays.events.Add(value, &stays, &Listener::OnValue);
    }
    EXPECT_EQ(tick.mLinks.Count(), 1u);
    EXPECT_EQ(value.mLinks.Count(), 1u);
    tick.Raise();
    value.Raise(4);
    EXPECT_EQ(stays.ticks, 1);
    EXPECT_EQ(stays.sum, 4);
}

TEST(EventManagerTest, DelegatesOfADestroyedEventAreDeletedSafelyLater) {
    Listener listener;
    {
        Event<int> value;
        listener.events.Add(value, &listener, &Listener::OnValue);
    }
    EXPECT_EQ(listener.events.mDelegates.mHead->mValue->mLinks.Count(), 0u);
}

// Remove finds the delegate of the event it is given among many others, and passes over one
// left on an event destroyed before: a new event at the same address loses its own delegate,
// while the old one stays with the manager, unlinked.
TEST(EventManagerTest, RemoveTakesTheEventsOwnDelegateAmongManyAndPassesOverDestroyedEvents) {
    Listener listener;
    std::vector<Event<int>> values(100);
    for (Event<int>& value : values) {
        listener.events.Add(value, &listener, &Listener::OnValue);
    }
    std::optional<Event<>> tick;
    tick.emplace();
    listener.events.Add(*tick, &listener, &Listener::OnTick);
    tick.emplace();
    listener.events.Add(*tick, &listener, &Listener::OnTick);
    listener.events.Add(*tick, &listener, &Listener::OnTick);
    EXPECT_EQ(listener.events.mDelegates.Count(), 103u);

    listener.events.Remove(values[50]);
    listener.events.Remove(*tick);
    EXPECT_EQ(listener.events.mDelegates.Count(), 101u);
    EXPECT_EQ(tick->mLinks.Count(), 1u);
    tick->Raise();
    EXPECT_EQ(listener.ticks, 1);
    for (int i = 0; i < 100; ++i) {
        values[static_cast<size_t>(i)].Raise(i);
    }
    EXPECT_EQ(listener.sum, 99 * 100 / 2 - 50);
    listener.events.Remove(*tick);
    listener.events.Remove(*tick);
    EXPECT_EQ(tick->mLinks.Count(), 0u);
    EXPECT_EQ(listener.events.mDelegates.Count(), 100u);
}

// A subscriber that, when ticked, destroys another subscriber and with it that
// one's manager and delegate.
struct Killer {
    explicit Killer(std::unique_ptr<Listener>* victim) : victim(victim) {}
    std::unique_ptr<Listener>* victim;
    EventManager events;
    void OnTick() { victim->reset(); }
};

TEST(EventManagerTest, SubscriberDestroyedByAnEarlierHandlerIsNotCalled) {
    Event<> tick;
    auto victim = std::make_unique<Listener>();
    Killer killer(&victim);
    killer.events.Add(tick, &killer, &Killer::OnTick);
    victim->events.Add(tick, victim.get(), &Listener::OnTick);
    tick.Raise();
    EXPECT_EQ(victim, nullptr);
    EXPECT_EQ(tick.mLinks.Count(), 1u);
}

}  // namespace
}  // namespace System
