#include "System/EventManager.h"
#include "System/Threading/ThreadManager.h"
#include "support/EventLog.h"
#include "support/ThreadsCannotStart.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace System::Threading {
namespace {

using TestSupport::WaitUntil;

// A worker that runs until its group is stopped.
class Looper : public Thread {
  public:
    void Run() override {
        while (GetThreadState() != 0) {
            Sleep(1);
        }
    }
};

// Records the manager's events in the order they come, with the raising thread.
class Journal : public TestSupport::EventLog {
  public:
    explicit Journal(ThreadManager& manager) {
        mEvents.Add(manager.OnAllThreadsFinished, this, &Journal::OnAll);
        mEvents.Add(manager.OnThreadFinished, this, &Journal::OnOne);
    }
    void OnAll() { Record("all"); }
    void OnOne(Thread*) { Record("one"); }

  private:
    EventManager mEvents;
};

TEST(ThreadManagerThreads, ThreadsFinishingTogetherReportAllFinishedOnceAndLast) {
    constexpr unsigned kThreads = 8;
    ThreadManager manager;
    manager.CreateThreads<Thread>(kThreads);
    Journal journal(manager);
    for (unsigned round = 1; round <= 10; ++round) {
        ASSERT_TRUE(manager.Start());
        ASSERT_TRUE(WaitUntil([&] { return journal.Names().size() == round * (kThreads + 1); }));
        manager.Stop(true);
        EXPECT_EQ(manager.GetNumRunning(), 0u);
    }
    const auto entries = journal.Names();
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i], (i + 1) % (kThreads + 1) == 0 ? "all" : "one") << "entry " << i;
    }
}

TEST(ThreadManagerThreads, GroupWhoseThreadsCannotStartReportsItAndCountsNoneRunning) {
    ThreadManager manager;
    manager.CreateThreads<Looper>(2);
    Journal journal(manager);

    bool started = true;
    {
        TestSupport::ThreadsCannotStart failing;
        started = manager.Start();
    }
    EXPECT_FALSE(started);
    EXPECT_EQ(manager.GetNumRunning(), 0u);
    manager.Stop(true);
    EXPECT_TRUE(journal.Names().empty());
}

}  // namespace
}  // namespace System::Threading
