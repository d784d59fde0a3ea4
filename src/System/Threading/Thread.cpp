#include "System/Threading/Thread.h"

#include "System/Uninterrupted.h"
#include "System/Utility/FailPoint.h"

#include <cerrno>
#include <cstddef>
#include <ctime>
#include <new>

namespace System::Threading {

namespace {

constexpr uint64_t kRunning = 1;

// The stack each thread is given: a few times what the deepest bodies take (XML parsed to its
// depth bound, images decoded, TLS), four times that under a sanitizer, whose frames are larger
// and which reserves terabytes of address space besides.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr size_t kStackBytes = size_t{2} << 20;
#else
constexpr size_t kStackBytes = size_t{512} << 10;
#endif

// What a new system thread is given: its object and the number of its Start.
struct Launch {
    Thread* mThread;
    uint64_t mStart;
};

// The Thread object and the Start number whose body the calling thread runs.
thread_local const Thread* tThread = nullptr;
thread_local uint64_t tStart = 0;

}  // namespace

Thread::~Thread() {
    Stop(false);
    // The finishing thread still raises OnFinished and leaves RunProcess after the
    // body has returned; destroying the object under it would be a use after free.
    if (tThread != this) {
        while (mInside.load(std::memory_order_acquire) > 0) {
            Sleep(50);
        }
    }
}

int Thread::Start() {
    if (GetThreadState() != 0) {
        Stop(true);
    }
    ReleaseHandle(false);

    // Made before the state changes: failing for want of memory after, it left a thread
    // reported running that never started, and a destructor waiting on it for good. Reported
    // as pthread_create reports a thread it has no memory for.
    const uint64_t start = (mState.load() >> 1) + 1;
    Launch* launch = nullptr;
    try {
        Utility::FailPoint::Check("thread-start");
        launch = new Launch{this, start};
    } catch (const std::bad_alloc&) {
        return EAGAIN;
    }
    // The state reads 1 before the new thread can first run, so a body that returns
    // at once leaves it at 0.
    mState.store(start << 1 | kRunning);
    mInside.fetch_add(1);
    const int error = CreateThread(launch);
    if (error != 0) {
        // A thread that did not start is never reported as running.
        delete launch;
        mState.fetch_and(~kRunning);
        mInside.fetch_sub(1);
        return error;
    }
    mHasHandle = true;
    return 0;
}

int Thread::CreateThread(void* launch) {
    // The process's defaults, whatever they hold, but for the stack size.
    pthread_attr_t attributes;
    int error = pthread_getattr_default_np(&attributes);
    if (error != 0) {
        return error;
    }
    // The default stack of the platform (8 MiB) is reserved whole for each thread: a dozen of
    // them took a share of an operator's address-space limit that the work then lacked.
    error = pthread_attr_setstacksize(&attributes, kStackBytes);
    if (error == 0) {
        error = pthread_create(&mHandle, &attributes, RunProcess, launch);
    }
    pthread_attr_destroy(&attributes);
    return error;
}

void Thread::Stop(bool join) {
    mState.fetch_and(~kRunning);
    Wake();
    ReleaseHandle(join);
}

int Thread::GetThreadState() const {
    const uint64_t state = mState.load();
    if (tThread == this && tStart != state >> 1) {
        return 0;
    }
    return static_cast<int>(state & kRunning);
}

bool Thread::IsCurrentThread() const {
    return tThread == this;
}

void Thread::Sleep(unsigned int microseconds) {
    // Whole seconds go to tv_sec: nanosleep refuses a tv_nsec of one second or more
    // and would return at once.
    timespec delay{};
    delay.tv_sec = microseconds / 1000000;
    delay.tv_nsec = static_cast<long>(microseconds % 1000000) * 1000;
    // A sleep cut short leaves the rest in delay, and the rest is slept.
    Uninterrupted([&] { return nanosleep(&delay, &delay); });
}

void* Thread::RunProcess(void* launch) {
    // Start has already set the state; setting it again here would undo a Stop
    // that came before this thread first ran.
    const Launch given = *static_cast<Launch*>(launch);
    delete static_cast<Launch*>(launch);
    Thread* thread = given.mThread;
    tThread = thread;
    tStart = given.mStart;
    uint64_t running = tStart << 1 | kRunning;

    thread->Run();

    // Only this Start's own state is cleared: after a Stop(false) and a new Start
    // the state belongs to the new thread.
    thread->mState.compare_exchange_strong(running, running & ~kRunning);
    {
        std::lock_guard<std::mutex> lock(thread->mFinishing);
        thread->OnFinished.Raise(thread);
    }
    tThread = nullptr;
    thread->mInside.fetch_sub(1, std::memory_order_release);
    return nullptr;
}

void Thread::ReleaseHandle(bool join) {
    if (!mHasHandle) {
        return;
    }
    mHasHandle = false;
    if (join && !pthread_equal(mHandle, pthread_self())) {
        pthread_join(mHandle, nullptr);
    } else {
        // A handle dropped without a join is detached; otherwise the ended
        // thread's stack and descriptor would never be reclaimed.
        pthread_detach(mHandle);
    }
}

}  // namespace System::Threading
