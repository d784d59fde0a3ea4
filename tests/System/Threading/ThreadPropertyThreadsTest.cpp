#include "System/Collections/Vector.h"
#include "System/EventManager.h"
#include "System/Threading/ThreadProperty.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace System::Threading {
namespace {

using Collections::Vector;

class ChangeCounter {
  public:
    void OnChanged(const Property<Vector<int>>& property) {
        ++mCount;
        mSeenCount = property.mValue.Count();
    }
    int mCount = 0;
    uint32_t mSeenCount = 0;
};

TEST(ThreadPropertyThreads, ThreadsSharingTheValueUnderItsMonitorLoseNoUpdate) {
    constexpr int kThreads = 4;
    constexpr int kItems = 2000;
    ThreadProperty<Vector<int>> shared;
    ChangeCounter changes;
    EventManager events;
    events.Add(shared.Changed, &changes, &ChangeCounter::OnChanged);

    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&shared, t] {
            for (int i = 0; i < kItems; ++i) {
                shared.mMonitor.Enter();
                shared.mValue.Add(t * kItems + i);
                shared.mMonitor.Exit();
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(shared.mValue.Count(), static_cast<uint32_t>(kThreads * kItems));
    // Work on the value in place raises nothing; assignment through the property does.
    EXPECT_EQ(changes.mCount, 0);

    Vector<int> replacement;
    replacement.Add(1);
    shared.mMonitor.Enter();
    shared = replacement;
    shared.mMonitor.Exit();
    EXPECT_EQ(changes.mCount, 1);
    EXPECT_EQ(changes.mSeenCount, 1u);
    EXPECT_EQ(shared.mName.Length(), 0u);
}

}  // namespace
}  // namespace System::Threading
