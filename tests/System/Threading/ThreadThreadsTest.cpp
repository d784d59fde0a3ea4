#include "System/EventManager.h"
#include "System/Threading/Thread.h"
#include "support/ThreadsCannotStart.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <dirent.h>
#include <atomic>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

namespace System::Threading {
namespace {

using TestSupport::WaitUntil;

// A body that runs until it is asked to stop, optionally held at a gate first.
class Worker : public Thread {
  public:
    void Run() override {
        ++mEntered;
        while (!mGateOpen.load()) {
            std::this_thread::yield();
        }
        while (GetThreadState() != 0) {
            Sleep(1);
        }
        ++mReturned;
    }

    std::atomic<bool> mGateOpen{true};
    std::atomic<int> mEntered{0};
    std::atomic<int> mReturned{0};
};

// Records the finished events it receives.
class FinishRecorder {
  public:
    void OnFinished(Thread* thread) {
        mLastThread = thread;
        mStateSeen = thread->GetThreadState();
        mOnOtherThread = std::this_thread::get_id() != mMainThread;
        ++mCount;
    }

    std::thread::id mMainThread{std::this_thread::get_id()};
    std::atomic<Thread*> mLastThread{nullptr};
    std::atomic<int> mStateSeen{-1};
    std::atomic<bool> mOnOtherThread{false};
    std::atomic<int> mCount{0};
};

TEST(ThreadThreads, BodyThatReturnsAtOnceRaisesFinishedOnceOnItsOwnThread) {
    Thread thread;
    FinishRecorder recorder;
    EventManager events;
    events.Add(thread.OnFinished, &recorder, &FinishRecorder::OnFinished);

    ASSERT_EQ(thread.Start(), 0);
    ASSERT_TRUE(WaitUntil([&] { return recorder.mCount.load() == 1; }));
    thread.Stop(true);
    EXPECT_EQ(recorder.mCount.load(), 1);
    EXPECT_EQ(recorder.mLastThread.load(), &thread);
    EXPECT_EQ(recorder.mStateSeen.load(), 0);
    EXPECT_TRUE(recorder.mOnOtherThread.load());
    EXPECT_EQ(thread.GetThreadState(), 0);
}

// Stop with join, and Start on a running thread, return after the body has returned.
TEST(ThreadThreads, StartOnARunningThreadStopsAndJoinsItFirst) {
    Worker worker;
    ASSERT_EQ(worker.Start(), 0);
    EXPECT_EQ(worker.GetThreadState(), 1);
    ASSERT_TRUE(WaitUntil([&] { return worker.mEntered.load() == 1; }));
    ASSERT_EQ(worker.Start(), 0);
    EXPECT_EQ(worker.mReturned.load(), 1);
    ASSERT_TRUE(WaitUntil([&] { return worker.mEntered.load() == 2; }));
    EXPECT_EQ(worker.GetThreadState(), 1);
    worker.Stop(true);
    EXPECT_EQ(worker.mReturned.load(), 2);
    EXPECT_EQ(worker.GetThreadState(), 0);
}

TEST(ThreadThreads, BodyLeftByStopWithoutJoinEndsEvenWhenTheThreadIsStartedAgain) {
    Worker worker;
    worker.mGateOpen = false;
    ASSERT_EQ(worker.Start(), 0);
    ASSERT_TRUE(WaitUntil([&] { return worker.mEntered.load() == 1; }));
    worker.Stop(false);
    ASSERT_EQ(worker.Start(), 0);
    ASSERT_TRUE(WaitUntil([&] { return worker.mEntered.load() == 2; }));

    // Both bodies now poll the state: the old one must see its stop, the new one not.
    worker.mGateOpen = true;
    ASSERT_TRUE(WaitUntil([&] { return worker.mReturned.load() == 1; }));
    EXPECT_EQ(worker.GetThreadState(), 1);
    worker.Stop(true);
    EXPECT_EQ(worker.mReturned.load(), 2);
}

TEST(ThreadThreads, StopBeforeTheNewThreadFirstRunsIsNotUndone) {
    for (int i = 0; i < 50; ++i) {
        Worker worker;
        ASSERT_EQ(worker.Start(), 0);
        worker.Stop(false);
        ASSERT_TRUE(WaitUntil([&] { return worker.mReturned.load() == 1; }));
    }
}

int CountOwnThreads() {
    int count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(tasks)) {
            count += entry->d_name[0] != '.';
        }
        closedir(tasks);
    }
    return count;
}

long VirtualMemoryKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmSize:", 0) == 0) {
            return std::stol(line.substr(7));
        }
    }
    return -1;
}

TEST(ThreadThreads, HandleDroppedWithoutJoinIsDetached) {
    constexpr int kCycles = 200;
    pthread_attr_t defaults;
    size_t stackSize = 0;
    pthread_getattr_default_np(&defaults);
    pthread_attr_getstacksize(&defaults, &stackSize);
    pthread_attr_destroy(&defaults);

    // Sanitizer runtimes start a helper thread of their own with the first thread.
    std::thread([] {}).join();
    const int threadsBefore = CountOwnThreads();
    const long memoryBefore = VirtualMemoryKiB();
    FinishRecorder recorder;
    EventManager events;
    // Declared last, so destroyed first: it waits until its last thread has left it.
    Thread reused;
    events.Add(reused.OnFinished, &recorder, &FinishRecorder::OnFinished);
    for (int i = 1; i <= kCycles; ++i) {
        if (i % 2 == 0) {
            ASSERT_EQ(reused.Start(), 0);
            ASSERT_TRUE(WaitUntil([&] { return recorder.mCount.load() == i / 2; }));
            reused.Stop(false);
        } else {
            auto dropped = std::make_unique<Thread>();
            ASSERT_EQ(dropped->Start(), 0);
            ASSERT_TRUE(WaitUntil([&] { return dropped->GetThreadState() == 0; }));
            dropped.reset();
        }
    }
    EXPECT_TRUE(WaitUntil([&] { return CountOwnThreads() <= threadsBefore; }));
    // A finished thread that is neither joined nor detached keeps its stack mapped.
    const long grownKiB = VirtualMemoryKiB() - memoryBefore;
    EXPECT_LT(grownKiB, static_cast<long>(kCycles / 4 * stackSize / 1024));
}

TEST(ThreadThreads, ThreadThatCannotStartIsReportedAndNotRunning) {
    Thread thread;
    FinishRecorder recorder;
    EventManager events;
    events.Add(thread.OnFinished, &recorder, &FinishRecorder::OnFinished);
    int error = 0;
    {
        TestSupport::ThreadsCannotStart failing;
        error = thread.Start();
    }
    EXPECT_NE(error, 0);
    EXPECT_EQ(thread.GetThreadState(), 0);
    thread.Stop(true);
    EXPECT_EQ(recorder.mCount.load(), 0);
}

}  // namespace
}  // namespace System::Threading
