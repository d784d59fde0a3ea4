#pragma once

#include <cstdint>

#include "System/Object.h"

namespace System::Net {

// Waits until one of many descriptors (sockets, wake events) is ready, without a
// thread per descriptor (epoll). Readiness is edge-triggered: a descriptor is reported
// when it becomes readable or writable, not again while it stays so, so its owner
// reads (or writes) until the call would block before it counts on a new report.
//
// One thread waits; any thread may Add and Remove.
class Poller : public Object {
  public:
    // One ready descriptor: the token it was added with and what it is ready for.
    struct Ready {
        void* mToken{nullptr};
        bool mReadable{false};  // data, the peer's end of stream, or an error waits
        bool mWritable{false};  // the send buffer has room again
        bool mEnded{false};     // the peer ended its stream, or the connection failed
        bool mFailed{false};    // the connection failed (the peer reset it): nothing sent
                                // can arrive any more
    };

    Poller();
    // Releases the epoll descriptor; the watched descriptors stay open.
    ~Poller() override;

    Poller(const Poller&) = delete;
    Poller& operator=(const Poller&) = delete;

    // Watches descriptor for reading and writing, reporting it with token. A
    // descriptor is dropped by itself when it is closed. False when it cannot be
    // watched.
    bool Add(int descriptor, void* token);
    // Stops watching descriptor.
    void Remove(int descriptor);
    // Waits until a descriptor is ready or timeoutMilliseconds pass (-1: no limit)
    // and fills ready with at most capacity entries. Returns how many, 0 on timeout
    // or an interrupted wait.
    int Wait(Ready* ready, int capacity, int timeoutMilliseconds);

  private:
    int mDescriptor{-1};  // the epoll instance
};

}  // namespace System::Net
