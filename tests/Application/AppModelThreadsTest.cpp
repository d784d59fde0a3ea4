#include "Application/AppModel.h"

#include "System/EventManager.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

// Counts notices without a lock of its own: notices raised on two threads at once
// would race on the count.
struct Counter {
    void OnChanged(void*, const System::String&) { ++mNotices; }
    int mNotices{0};
};

TEST(AppModelThreads, StoresAndReadsFromSeveralThreadsLoseNothing) {
    auto& configuration = AppModel::Instance()->mConfiguration;
    Counter counter;
    System::EventManager events;
    events.Add(configuration.PropertyChanged, &counter, &Counter::OnChanged);
    constexpr int kStores = 2000;
    std::vector<std::thread> threads;
    for (const char* key : {"RoomName", "InternetAddress"}) {
        threads.emplace_back([&configuration, key] {
            for (int i = 0; i < kStores; ++i) {
                configuration.Set(System::String::Parse("%s%d", key, i % 7), key);
                EXPECT_EQ(configuration.Get(System::String::Parse("%s%d", key, i % 7)), key);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(counter.mNotices, 2 * kStores);
}

}  // namespace
