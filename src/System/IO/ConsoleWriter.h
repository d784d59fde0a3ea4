#pragma once

#include "System/String.h"
#include "System/Threading/Thread.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

namespace System::IO {

// Writes texts to a descriptor, standard output by default, on a thread of its own and in
// the order they were given, so that a console that takes nothing (a pipe nobody reads, a
// terminal stopped with Ctrl-S) holds up none of the threads that write to it. Texts go to
// the descriptor as soon as it takes them, never into a buffer of the process that a kill
// would lose. At most capacity bytes of texts wait, besides the batch being written (itself
// at most capacity bytes and a notice); a text past them is dropped whole, and so is every
// text after it until half the capacity is free again. The texts one stall drops are one
// gap: in its place the writer writes the notice it was given for their count, once the
// console takes output again.
//
// Write and WaitUntilWritten may be called from any thread.
// REQUIRES: the destructor is called only while the descriptor takes output or fails.
class ConsoleWriter : public Threading::Thread {
  public:
    using Clock = std::chrono::steady_clock;
    // The text telling that count texts were dropped.
    using DropNotice = String (*)(uint64_t count);

    static constexpr int kStandardOutput = 1;

    ConsoleWriter(size_t capacity, DropNotice notice, int descriptor = kStandardOutput);
    // Writes what waits, then stops the thread.
    ~ConsoleWriter() override;

    ConsoleWriter(const ConsoleWriter&) = delete;
    ConsoleWriter& operator=(const ConsoleWriter&) = delete;

    // Queues text behind every text given before it, or drops and counts it when the texts
    // waiting would pass the capacity, when the text before it was dropped and half the
    // capacity is not free, or when there is no memory to queue it. While the thread cannot be
    // started, the caller writes it at once.
    void Write(const String& text);
    // Counts a text that could not be made for want of memory as dropped, as Write counts
    // those it drops. Allocates nothing.
    void CountDropped();
    // Starts the thread, unless it runs: 0, or the error number of its creation (the callers
    // of Write then write their texts themselves, and a console that takes nothing holds them).
    int StartWriting();
    // Waits until every text given before the call, and the notice of those dropped, is
    // written or its write has failed, or until deadline. Returns whether it was.
    bool WaitUntilWritten(Clock::time_point deadline);

    // Writes what is queued, a batch at a time, until stopped with nothing queued.
    void Run() override;

  protected:
    void Wake() override;

  private:
    // A text to write, or the notice of mDropped texts dropped in its place.
    struct Entry {
        String mText;
        uint64_t mDropped{0};
    };

    // Queues text, or drops and counts it past the bound. REQUIRES: mLock held.
    void Queue(const String& text);
    // Counts one text dropped. REQUIRES: mLock held.
    void Drop();
    // Writes the entries of mBatch: in one piece, or one at a time when memory is short.
    void WriteBatch();
    // Writes every byte, waiting while the descriptor takes none; stops where it fails.
    void WriteAll(const char* bytes, size_t length) const;

    const size_t mCapacity;
    const DropNotice mNotice;
    const int mDescriptor;
    // Guards the members below; taken on its own, never while another lock is waited for.
    std::mutex mLock;
    std::condition_variable mQueued;   // an entry was queued, or the thread is to stop
    std::condition_variable mWritten;  // mDone has grown
    std::deque<Entry> mQueue;
    // Texts dropped for want of memory that no entry of mQueue counts yet: their notice goes
    // in before the next text queued.
    uint64_t mUnplaced{0};
    // The bytes of the texts queued.
    size_t mHeld{0};
    // Entries ever queued, and those written (or failed) since.
    uint64_t mGiven{0};
    uint64_t mDone{0};
    // The entries being written; used by the thread alone. Kept from batch to batch and
    // swapped with mQueue, so that taking a batch allocates nothing.
    std::deque<Entry> mBatch;
};

}  // namespace System::IO
