#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "System/CDelegate.h"
#include "System/Event.h"

namespace {

using System::CDelegate;
using System::Event;

// A subscriber that logs its name and then runs an optional action, so a test can
// make a handler change the event it is being called from.
struct Handler {
    std::string name;
    std::vector<std::string>* log;
    std::function<void()> action;
    void OnEvent(int&) {
        log->push_back(name);
        if (action) {
            action();
        }
    }
};

using TestEvent = Event<int&>;
using TestDelegate = CDelegate<Handler, int&>;

// An event with subscribers "a", "b", "c"... in that order, each owning its delegate.
class EventTest : public ::testing::Test {
  protected:
    TestDelegate* Subscribe(const std::string& name) {
        auto handler = std::make_unique<Handler>(Handler{name, &mLog, nullptr});
        auto delegate = std::make_unique<TestDelegate>(handler.get(), &Handler::OnEvent);
        TestDelegate* raw = delegate.get();
        mEvent->Add(raw);
        mHandlers.push_back(std::move(handler));
        mDelegates.push_back(std::move(delegate));
        return raw;
    }
    Handler& HandlerOf(size_t index) { return *mHandlers[index]; }
    std::vector<std::string> Raise() {
        mLog.clear();
        int value = 0;
        mEvent->Raise(value);
        return mLog;
    }

    std::vector<std::string> mLog;
    std::vector<std::unique_ptr<Handler>> mHandlers;
    std::vector<std::unique_ptr<TestDelegate>> mDelegates;
    std::unique_ptr<TestEvent> mEvent = std::make_unique<TestEvent>();
};

using Log = std::vector<std::string>;

TEST_F(EventTest, SubscribersRunInSubscriptionOrderOnce) {
    EXPECT_EQ(Raise(), Log{});
    Subscribe("a");
    Subscribe("b");
    Subscribe("c");
    EXPECT_EQ(Raise(), (Log{"a", "b", "c"}));
}

TEST_F(EventTest, HandlerRemovingItselfLetsTheRaiseGoOn) {
    TestDelegate* a = Subscribe("a");
    Subscribe("b");
    HandlerOf(0).action = [&] { mEvent->Remove(a); };
    EXPECT_EQ(Raise(), (Log{"a", "b"}));
    EXPECT_EQ(Raise(), (Log{"b"}));
}

TEST_F(EventTest, HandlerDeletingItsOwnDelegateLetsTheRaiseGoOn) {
    Subscribe("a");
    Subscribe("b");
    HandlerOf(0).action = [&] { mDelegates[0].reset(); };
    EXPECT_EQ(Raise(), (Log{"a", "b"}));
    EXPECT_EQ(Raise(), (Log{"b"}));
}

TEST_F(EventTest, SubscriberRemovedByAnEarlierHandlerIsNotCalled) {
    Subscribe("a");
    TestDelegate* b = Subscribe("b");
    Subscribe("c");
    HandlerOf(0).action = [&] { b->Remove(mEvent.get()); };
    EXPECT_EQ(Raise(), (Log{"a", "c"}));
}

TEST_F(EventTest, SubscriberDeletedByAnEarlierHandlerIsNotCalled) {
    Subscribe("a");
    Subscribe("b");
    Subscribe("c");
    HandlerOf(0).action = [&] { mDelegates[1].reset(); };
    EXPECT_EQ(Raise(), (Log{"a", "c"}));
    EXPECT_EQ(Raise(), (Log{"a", "c"}));
}

TEST_F(EventTest, RemovingTheLastSubscriberAndAddingAnotherCallsNeitherInThatRaise) {
    Subscribe("a");
    TestDelegate* b = Subscribe("b");
    bool done = false;
    HandlerOf(0).action = [&] {
        if (!done) {
            done = true;
            mEvent->Remove(b);
            Subscribe("late");
        }
    };
    EXPECT_EQ(Raise(), (Log{"a"}));
    EXPECT_EQ(Raise(), (Log{"a", "late"}));
}

TEST_F(EventTest, SubscriberAddedDuringARaiseIsCalledFromTheNextRaise) {
    Subscribe("a");
    Subscribe("b");
    bool done = false;
    HandlerOf(1).action = [&] {
        if (!done) {
            done = true;
            Subscribe("late");
        }
    };
    EXPECT_EQ(Raise(), (Log{"a", "b"}));
    EXPECT_EQ(Raise(), (Log{"a", "b", "late"}));
}

TEST_F(EventTest, HandlerResubscribingItselfIsNotCalledAgainInThatRaise) {
    TestDelegate* a = Subscribe("a");
    Subscribe("b");
    bool done = false;
    HandlerOf(0).action = [&] {
        if (!done) {
            done = true;
            mEvent->Remove(a);
            mEvent->Add(a);
        }
    };
    EXPECT_EQ(Raise(), (Log{"a", "b"}));
    EXPECT_EQ(Raise(), (Log{"b", "a"}));
}

TEST_F(EventTest, HandlerDestroyingTheEventEndsTheRaise) {
    Subscribe("a");
    Subscribe("b");
    Subscribe("c");
    HandlerOf(1).action = [&] { mEvent.reset(); };
    mLog.clear();
    int value = 0;
    TestEvent* event = mEvent.get();
    event->Raise(value);
    EXPECT_EQ(mLog, (Log{"a", "b"}));
    for (auto& delegate : mDelegates) {
        EXPECT_EQ(delegate->mLinks.Count(), 0u);
    }
}

TEST_F(EventTest, RemovalInANestedRaiseIsSeenByTheOuterRaise) {
    Subscribe("a");
    TestDelegate* b = Subscribe("b");
    Subscribe("c");
    int depth = 0;
    HandlerOf(0).action = [&] {
        if (++depth == 1) {
            int value = 0;
            mEvent->Raise(value);
        } else {
            mEvent->Remove(b);
        }
    };
    // The outer raise calls a, whose nested raise calls a (removing b) and c.
    EXPECT_EQ(Raise(), (Log{"a", "a", "c", "c"}));
}

TEST_F(EventTest, HandlerWritingThroughAReferenceIsSeenByLaterHandlersAndTheRaiser) {
    std::vector<int> seen;
    struct Adder {
        std::vector<int>* seen;
        void OnEvent(int& value) {
            seen->push_back(value);
            value += 5;
        }
    } first{&seen}, second{&seen};
    CDelegate<Adder, int&> a(&first, &Adder::OnEvent);
    CDelegate<Adder, int&> b(&second, &Adder::OnEvent);
    TestEvent event;
    event.Add(&a);
    event.Add(&b);
    int value = 1;
    event.Raise(value);
    EXPECT_EQ(seen, (std::vector<int>{1, 6}));
    EXPECT_EQ(value, 11);
}

}  // namespace
