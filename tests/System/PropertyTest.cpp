#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "System/EventManager.h"
#include "System/Property.h"

namespace {

using System::EventManager;
using System::Property;
using System::String;

struct Watcher {
    std::vector<int> seen;
    EventManager events;
    void OnChanged(const Property<int>& property) { seen.push_back(property.mValue); }
};

TEST(PropertyTest, EveryAssignmentRaisesChangedAfterStoring) {
    Property<int> count(String("Count"));
    Watcher watcher;
    watcher.events.Add(count.Changed, &watcher, &Watcher::OnChanged);
    count = 3;
    count = 3;
    count = 4;
    EXPECT_EQ(watcher.seen, (std::vector<int>{3, 3, 4}));
}

TEST(PropertyTest, ACopyHasTheValueButNoSubscribers) {
    Property<int> count(String("Count"));
    Watcher watcher;
    watcher.events.Add(count.Changed, &watcher, &Watcher::OnChanged);
    count = 5;
    Property<int> copy(count);
    EXPECT_TRUE(copy.mName == String("Count"));
    EXPECT_EQ(copy.mValue, 5);
    copy = 6;
    EXPECT_EQ(watcher.seen, std::vector<int>{5});
}

TEST(PropertyTest, DestroyingThePropertyLeavesItsSubscribersDetached) {
    Watcher watcher;
    {
        Property<int> count;
        watcher.events.Add(count.Changed, &watcher, &Watcher::OnChanged);
        count = 1;
    }
    EXPECT_EQ(watcher.events.mDelegates.mHead->mValue->mLinks.Count(), 0u);
}

}  // namespace
