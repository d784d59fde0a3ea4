#include "System/EventManager.h"

#include "System/Event.h"

#include <gtest/gtest.h>

#include <memory>

namespace System {
namespace {

struct Listener {
    int ticks = 0;
    EventManager events;
    void OnTick() { ++ticks; }
};

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
