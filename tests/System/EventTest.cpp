#include "System/Event.h"

#include "System/CDelegate.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace System {
namespace {

using Log = std::vector<std::string>;

// A subscriber that logs its name and then runs an optional action, so a test can
// make a handler change the event it is being called from.
struct Handler {
    std::string name;
    Log* log;
    std::function<void()> action;
    void OnEvent(int&) {
        log->push_back(name);
        if (action) {
            action();
        }
    }
};

using TestDelegate = CDelegate<Handler, int&>;

// An event with subscribers "a", "b", "c"... in that order, each owning its delegate.
struct Subscribers {
    TestDelegate* Subscribe(const std::string& name) {
        handlers.push_back(std::make_unique<Handler>(Handler{name, &log, nullptr}));
        delegates.push_back(
            std::make_unique<TestDelegate>(handlers.back().get(), &Handler::OnEvent));
        event->Add(delegates.back().get());
        return delegates.back().get();
    }
    Log Raise() {
        log.clear();
        int value = 0;
        event->Raise(value);
        return log;
    }

    Log log;
    std::vector<std::unique_ptr<Handler>> handlers;
    std::vector<std::unique_ptr<TestDelegate>> delegates;
    std::unique_ptr<Event<int&>> event = std::make_unique<Event<int&>>();
};

// In each case subscribers a, b and c are raised twice; in the first raise one of them
// changes the subscriber list. Those removed are not called afterwards; one added
// is first called in the next raise.
TEST(Event, RaisesSurviveHandlersChangingTheSubscribers) {
    const struct {
        const char* what;
        size_t actor;
        std::function<void(Subscribers&)> action;
        Log first;
        Log second;
    } cases[] = {
        {"nothing", 0, [](Subscribers&) {}, {"a", "b", "c"}, {"a", "b", "c"}},
        {"a removes itself",
         0,
         [](Subscribers& s) { s.event->Remove(s.delegates[0].get()); },
         {"a", "b", "c"},
         {"b", "c"}},
        {"a deletes its delegate",
         0,
         [](Subscribers& s) { s.delegates[0].reset(); },
         {"a", "b", "c"},
         {"b", "c"}},
        {"a removes b from b's side",
         0,
         [](Subscribers& s) { s.delegates[1]->Remove(s.event.get()); },
         {"a", "c"},
         {"a", "c"}},
        {"a deletes b", 0, [](Subscribers& s) { s.delegates[1].reset(); }, {"a", "c"}, {"a", "c"}},
        {"b removes the last and adds another",
         1,
         [](Subscribers& s) {
             s.event->Remove(s.delegates[2].get());
             s.Subscribe("late");
         },
         {"a", "b"},
         {"a", "b", "late"}},
        {"c adds another",
         2,
         [](Subscribers& s) { s.Subscribe("late"); },
         {"a", "b", "c"},
         {"a", "b", "c", "late"}},
        {"a resubscribes itself",
         0,
         [](Subscribers& s) {
             s.event->Remove(s.delegates[0].get());
             s.event->Add(s.delegates[0].get());
         },
         {"a", "b", "c"},
         {"b", "c", "a"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Subscribers subscribers;
        EXPECT_EQ(subscribers.Raise(), Log{});
        for (const char* name : {"a", "b", "c"}) {
            subscribers.Subscribe(name);
        }
        bool done = false;
        subscribers.handlers[c.actor]->action = [&] {
            if (!done) {
                done = true;
                c.action(subscribers);
            }
        };
        EXPECT_EQ(subscribers.Raise(), c.first);
        EXPECT_EQ(subscribers.Raise(), c.second);
    }
}

TEST(Event, HandlerDestroyingTheEventEndsTheRaise) {
    Subscribers subscribers;
    for (const char* name : {"a", "b", "c"}) {
        subscribers.Subscribe(name);
    }
    subscribers.handlers[1]->action = [&] { subscribers.event.reset(); };
    int value = 0;
    subscribers.event->Raise(value);
    EXPECT_EQ(subscribers.log, (Log{"a", "b"}));
    for (auto& delegate : subscribers.delegates) {
        EXPECT_EQ(delegate->mLinks.Count(), 0u);
    }
}

TEST(Event, RemovalInANestedRaiseIsSeenByTheOuterRaise) {
    Subscribers subscribers;
    for (const char* name : {"a", "b", "c"}) {
        subscribers.Subscribe(name);
    }
    int depth = 0;
    subscribers.handlers[0]->action = [&] {
        if (++depth == 1) {
            int value = 0;
            subscribers.event->Raise(value);
        } else {
            subscribers.event->Remove(subscribers.delegates[1].get());
        }
    };
    // The outer raise calls a, whose nested raise calls a (removing b) and c.
    EXPECT_EQ(subscribers.Raise(), (Log{"a", "a", "c", "c"}));
}

}  // namespace
}  // namespace System
