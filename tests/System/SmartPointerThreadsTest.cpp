#include "System/SmartPointer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace System {
namespace {

constexpr int kThreads = 8;

// Each thread writes its own slot before dropping its copies; the destructor reads
// every slot, so the deleting thread must see the others' writes.
class Shared : public Object {
  public:
    explicit Shared(std::atomic<int>* deletions) : mDeletions(deletions) {}
    ~Shared() override {
        int sum = 0;
        for (int v : mSlots) {
            sum += v;
        }
        mSum = sum;
        mDeletions->fetch_add(1);
    }
    int mSlots[kThreads] = {};
    std::atomic<int>* mDeletions;
    static inline std::atomic<int> mSum{0};
};

TEST(SmartPointerThreads, CopiesReleasedOnSeveralThreadsDeleteOnce) {
    for (int round = 0; round < 50; ++round) {
        std::atomic<int> deletions{0};
        std::atomic<bool> go{false};
        std::vector<std::thread> threads;
        {
            SmartPointer<Shared> original(new Shared(&deletions));
            for (int t = 0; t < kThreads; ++t) {
                std::vector<SmartPointer<Shared>> copies(4, original);
                threads.emplace_back([t, copies = std::move(copies), &go]() mutable {
                    while (!go.load()) {
                        std::this_thread::yield();
                    }
                    copies[0]->mSlots[t] = t + 1;
                    for (int i = 0; i < 100; ++i) {
                        SmartPointer<Shared> extra(copies[i % 4]);
                        copies[i % 4] = extra;
                    }
                    copies.clear();
                });
            }
            EXPECT_EQ(original.ReferenceCount(), 1 + 4 * kThreads);
        }
        go.store(true);
        for (std::thread& thread : threads) {
            thread.join();
        }
        EXPECT_EQ(deletions.load(), 1);
        EXPECT_EQ(Shared::mSum.load(), kThreads * (kThreads + 1) / 2);
    }
}

}  // namespace
}  // namespace System
