#include "System/IO/ConsoleWriter.h"

#include "System/Uninterrupted.h"

#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <string>

namespace System::IO {

ConsoleWriter::ConsoleWriter(size_t capacity, DropNotice notice, int descriptor)
    : mCapacity(capacity), mNotice(notice), mDescriptor(descriptor) {}

ConsoleWriter::~ConsoleWriter() {
    // The thread uses the members below, which go before the base waits for it.
    Stop(true);
}

void ConsoleWriter::Write(const String& text) {
    std::lock_guard<std::mutex> lock(mLock);
    if (GetThreadState() == 0 && Start() != 0) {
        // Nothing is queued without a thread, so the text still comes after those before it.
        WriteAll(text.CStr(), text.Length());
        return;
    }
    // A text that cannot be queued for want of memory is lost as one past the bound is: the
    // thread that logs it goes on with its work.
    try {
        Queue(text);
    } catch (const std::bad_alloc&) {
        Drop();
    }
    mQueued.notify_one();
}

void ConsoleWriter::CountDropped() {
    std::lock_guard<std::mutex> lock(mLock);
    Drop();
}

void ConsoleWriter::Queue(const String& text) {
    if (mUnplaced != 0) {
        mQueue.push_back(Entry{String(), mUnplaced});
        mUnplaced = 0;
        ++mGiven;
    }
    // A console that takes nothing would otherwise hold every thread that logs, and with
    // them the room and its stop; past the bound, memory would grow for as long as it lasts.
    // Once a text is dropped, later ones are too until half the room is free again: a
    // shorter text kept after a longer one dropped split one stall's loss into gaps, each
    // told by a notice of its own.
    const bool gapOpen = !mQueue.empty() && mQueue.back().mDropped != 0;
    if ((gapOpen && mCapacity - mHeld < mCapacity / 2) || mHeld + text.Length() > mCapacity) {
        if (!gapOpen) {
            mQueue.push_back(Entry{String(), 0});
            ++mGiven;
        }
        ++mQueue.back().mDropped;
    } else {
        mQueue.push_back(Entry{text, 0});
        mHeld += text.Length();
        ++mGiven;
    }
}

void ConsoleWriter::Drop() {
    if (!mQueue.empty() && mQueue.back().mDropped != 0) {
        ++mQueue.back().mDropped;
    } else {
        ++mUnplaced;
    }
}

int ConsoleWriter::StartWriting() {
    std::lock_guard<std::mutex> lock(mLock);
    return GetThreadState() != 0 ? 0 : Start();
}

bool ConsoleWriter::WaitUntilWritten(Clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(mLock);
    const uint64_t given = mGiven;
    return mWritten.wait_until(lock, deadline, [&] { return mDone >= given; });
}

void ConsoleWriter::Run() {
    // Woken for the lines of a busy room, the writer took the core from whatever ran there,
    // a relay worker or a client of the room, and chat was delivered later for it. As a
    // batch thread it is woken without taking a core from anyone, and still has its share.
    const sched_param priority{};
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &priority);
    std::unique_lock<std::mutex> lock(mLock);
    while (true) {
        mQueued.wait(lock, [this] { return !mQueue.empty() || GetThreadState() == 0; });
        if (mQueue.empty()) {
            return;
        }
        mBatch.swap(mQueue);
        // The batch leaves the bound here: counted until its last byte was taken, it had
        // the lines given while a console that reads slowly drained it dropped, a second gap
        // told after the one it holds. It was the queue, so it is within the bound itself.
        mHeld = 0;
        lock.unlock();
        WriteBatch();
        const uint64_t done = mBatch.size();
        mBatch.clear();
        lock.lock();
        mDone += done;
        mWritten.notify_all();
    }
}

void ConsoleWriter::WriteBatch() {
    try {
        std::string bytes;
        for (const Entry& entry : mBatch) {
            // Made now, when the console has taken what came before the texts dropped.
            const String text = entry.mDropped != 0 ? mNotice(entry.mDropped) : entry.mText;
            bytes.append(text.CStr(), text.Length());
        }
        WriteAll(bytes.data(), bytes.size());
        return;
    } catch (const std::bad_alloc&) {
    }
    // Short of memory for the batch in one piece, the texts go one at a time: uncaught, the
    // failure would end the process.
    for (const Entry& entry : mBatch) {
        if (entry.mDropped == 0) {
            WriteAll(entry.mText.CStr(), entry.mText.Length());
            continue;
        }
        try {
            const String notice = mNotice(entry.mDropped);
            WriteAll(notice.CStr(), notice.Length());
        } catch (const std::bad_alloc&) {
            // Told with the next text instead.
            std::lock_guard<std::mutex> lock(mLock);
            mUnplaced += entry.mDropped;
        }
    }
}

void ConsoleWriter::Wake() {
    // Taken, so that the thread is either waiting already or has yet to read the state.
    { std::lock_guard<std::mutex> lock(mLock); }
    mQueued.notify_all();
}

void ConsoleWriter::WriteAll(const char* bytes, size_t length) const {
    while (length > 0) {
        const ssize_t written = Uninterrupted([&] { return write(mDescriptor, bytes, length); });
        if (written > 0) {
            bytes += written;
            length -= static_cast<size_t>(written);
        } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A console another program has made non-blocking is waited for as any other.
            pollfd ready{mDescriptor, POLLOUT, 0};
            Uninterrupted([&] { return poll(&ready, 1, -1); });
        } else {
            // A console that has failed (closed, a full disk) loses the rest, as ever.
            return;
        }
    }
}

}  // namespace System::IO
