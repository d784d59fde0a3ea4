#include "System/EventManager.h"
#include "System/Threading/ThreadManager.h"
#include "support/ThreadsCannotStart.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using System::Threading::Thread;
using System::Threading::ThreadManager;
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
class Journal {
  public:
    void OnAll() { Note("all", nullptr); }
    void OnOne(Thread* thread) { Note("one", thread); }

    std::vector<std::string> Entries() {
        std::lock_guard<std::mutex> lock(mMutex);
        return mEntries;
    }
    std::vector<Thread*> Threads() {
        std::lock_guard<std::mutex> lock(mMutex);
        return mThreads;
    }
    bool AllOnOtherThreads() {
        std::lock_guard<std::mutex> lock(mMutex);
        for (const auto& id : mRaisers) {
            if (id == mMain) {
                return false;
            }
        }
        return true;
    }

  private:
    void Note(const std::string& entry, Thread* thread) {
        std::lock_guard<std::mutex> lock(mMutex);
        mEntries.push_back(entry);
        if (thread != nullptr) {
            mThreads.push_back(thread);
        }
        mRaisers.push_back(std::this_thread::get_id());
    }

    std::mutex mMutex;
    std::thread::id mMain{std::this_thread::get_id()};
    std::vector<std::string> mEntries;
    std::vector<Thread*> mThreads;
    std::vector<std::thread::id> mRaisers;
};

class Subscribed {
  public:
    explicit Subscribed(ThreadManager& manager) {
        mEvents.Add(manager.OnAllThreadsFinished, &mJournal, &Journal::OnAll);
        mEvents.Add(manager.OnThreadFinished, &mJournal, &Journal::OnOne);
    }
    Journal mJournal;

  private:
    System::EventManager mEvents;
};

TEST(ThreadManagerThreads, GroupOfOneFinishingAtOnceRaisesBothEventsOnItsThread) {
    ThreadManager manager;
    manager.CreateThreads<Thread>(1);
    Subscribed subscribed(manager);
    ASSERT_TRUE(manager.Start());
    ASSERT_TRUE(WaitUntil([&] { return subscribed.mJournal.Entries().size() == 2; }));
    manager.Stop(true);
    EXPECT_EQ(subscribed.mJournal.Entries(), (std::vector<std::string>{"one", "all"}));
    EXPECT_EQ(subscribed.mJournal.Threads(), std::vector<Thread*>{manager.GetThread(0)});
    EXPECT_TRUE(subscribed.mJournal.AllOnOtherThreads());
    EXPECT_EQ(manager.GetNumRunning(), 0u);
}

TEST(ThreadManagerThreads, ThreadsFinishingTogetherReportAllFinishedOnceAndLast) {
    constexpr unsigned kThreads = 8;
    ThreadManager manager;
    manager.CreateThreads<Thread>(kThreads);
    Subscribed subscribed(manager);
    for (unsigned round = 1; round <= 10; ++round) {
        ASSERT_TRUE(manager.Start());
        ASSERT_TRUE(WaitUntil(
            [&] { return subscribed.mJournal.Entries().size() == round * (kThreads + 1); }));
        manager.Stop(true);
        EXPECT_EQ(manager.GetNumRunning(), 0u);
    }
    const auto entries = subscribed.mJournal.Entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i], (i + 1) % (kThreads + 1) == 0 ? "all" : "one") << "entry " << i;
    }
}

TEST(ThreadManagerThreads, StopWithJoinEndsTheGroupSilentlyAndAllowsARestart) {
    ThreadManager manager;
    manager.CreateThreads<Looper>(4);
    Subscribed subscribed(manager);
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
    EXPECT_TRUE(subscribed.mJournal.Entries().empty());
}

TEST(ThreadManagerThreads, GroupWhoseThreadsCannotStartReportsItAndCountsNoneRunning) {
    ThreadManager manager;
    manager.CreateThreads<Looper>(2);
    Subscribed subscribed(manager);

    bool started = true;
    {
        TestSupport::ThreadsCannotStart failing;
        started = manager.Start();
    }
    EXPECT_FALSE(started);
    EXPECT_EQ(manager.GetNumRunning(), 0u);
    manager.Stop(true);
    EXPECT_TRUE(subscribed.mJournal.Entries().empty());
}

}  // namespace
