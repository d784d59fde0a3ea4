#include "System/Property.h"

#include "System/EventManager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace System {
namespace {

struct Watcher {
    std::vector<int> seen;
    EventManager events;
    void OnChanged(const Property<int>& property) { seen.push_back(property.mValue); }
};

TEST(PropertyTest, EveryAssignmentRaisesChangedAfterStoringButACopyHasNoSubscribers) {
    Property<int> count(String("Count"));
    Watcher watcher;
    watcher.events.Add(count.Changed, &watcher, &Watcher::OnChanged);
    count = 3;
    count = 3;
    count = 4;
    Property<int> copy(count);
    EXPECT_TRUE(copy.mName == String("Count"));
    EXPECT_EQ(copy.mValue, 4);
    copy = 6;
    EXPECT_EQ(watcher.seen, (std::vector<int>{3, 3, 4}));
}

}  // namespace
}  // namespace System
