#include "System/Threading/ThreadManager.h"

#include "System/Threading/MonitorLock.h"

namespace System::Threading {

ThreadManager::~ThreadManager() {
    for (uint32_t i = 0; i < mThreads.Count(); ++i) {
        delete mThreads[i];
    }
    mThreads.Clear();
}

bool ThreadManager::Start() {
    // Counted before any thread starts, so one that finishes at once cannot take
    // the count below 0.
    mRunning = mThreads.Count();
    mStarted = true;
    mSuspended = false;
    mStartError = 0;
    bool anyStarted = false;
    for (uint32_t i = 0; i < mThreads.Count(); ++i) {
        const int error = mThreads[i]->Start();
        if (error == 0) {
            anyStarted = true;
        } else {
            // Left counted, the group could never report that all threads finished.
            mStartError = error;
            CountFinished(nullptr, anyStarted);
        }
    }
    return mStartError == 0;
}

void ThreadManager::Stop(bool join) {
    mStarted = false;
    mSuspended = false;
    for (uint32_t i = 0; i < mThreads.Count(); ++i) {
        mThreads[i]->Stop(join);
    }
}

void ThreadManager::Suspend() {
    mSuspended = true;
    for (uint32_t i = 0; i < mThreads.Count(); ++i) {
        mThreads[i]->Suspend();
    }
}

void ThreadManager::Resume() {
    mSuspended = false;
    for (uint32_t i = 0; i < mThreads.Count(); ++i) {
        mThreads[i]->Resume();
    }
}

void ThreadManager::ThreadFinished(Thread* thread) {
    CountFinished(thread, true);
}

Thread* ThreadManager::GetThread(unsigned int index) const {
    return index < mThreads.Count() ? mThreads[index] : nullptr;
}

void ThreadManager::CountFinished(Thread* finished, bool groupRan) {
    MonitorLock lock(mFinishing);
    const uint32_t left = --mRunning;
    if (mStarted) {
        if (finished != nullptr) {
            OnThreadFinished.Raise(finished);
        }
        if (left == 0 && groupRan) {
            OnAllThreadsFinished.Raise();
        }
    }
}

}  // namespace System::Threading
