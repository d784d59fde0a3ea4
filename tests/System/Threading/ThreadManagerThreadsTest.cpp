#include "System/EventManager.h"
#include "System/Threading/ThreadManager.h"
#include "support/EventLog.h"
#include "support/ThreadsCannotStart.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
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
    void OnOne(Thread* thread) {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mFinished.push_back(thread);
        }
        Record("one");
    }

    std::vector<Thread*> mFinished;

  private:
    EventManager mEvents;
};

TEST(ThreadManagerThreads, GroupOfOneFinishingAtOnceRaisesBothEventsOnItsThread) {
    ThreadManager manager;
    manager.CreateThreads<Thread>(1);
    Journal journal(manager);
    ASSERT_TRUE(manager.Start());
    ASSERT_TRUE(WaitUntil([&] { return journal.Names().size() == 2; }));
    manager.Stop(true);
    EXPECT_EQ(journal.Names(), (std::vector<std::string>{"one", "all"}));
    EXPECT_EQ(journal.Get(journal.mFinished), std::vector<Thread*>{manager.GetThread(0)});
    for (const std::thread::id raiser : journal.Threads()) {
        EXPECT_NE(raiser, std::this_thread::get_id());
    }
    EXPECT_EQ(manager.GetNumRunning(), 0u);
}

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

TEST(ThreadManagerThreads, StopWithJoinEndsTheGroupSilentlyAndAllowsARestart) {
    ThreadManager manager;
    manager.CreateThreads<Looper>(4);
    Journal journal(manager);
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(manager.Start());
        EXPECT_EQ(manager.GetNumRunning(), 4u);
        for (unsigned i = 0; i < manager.GetNumThread(); ++i) {
            EXPECT_EQ(manager.GetThread(i)->GetThreadState(), 1);
        }
        manager.Stop(true);
        EXPECT_EQ(manager.GetNumRunning(), 0u);
        for (unsigned i = 0; i < manager.GetNumThread(); ++i) {
            EXPECT_EQ(manager.GetThread(i)->GetThreadState(), 0);
        }
    }
    EXPECT_TRUE(journal.Names().empty());
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
