#include "System/Net/Poller.h"

#include <sys/epoll.h>
#include <unistd.h>

#include <algorithm>

namespace System::Net {

namespace {

// The most entries one Wait takes from the kernel; the rest wait for the next call.
constexpr int kBatch = 256;

}  // namespace

Poller::Poller() : mDescriptor(epoll_create1(EPOLL_CLOEXEC)) {}

Poller::~Poller() {
    if (mDescriptor >= 0) {
        close(mDescriptor);
    }
}

bool Poller::Add(int descriptor, void* token) {
    epoll_event event{};
    event.events = EPOLLIN | EPOLLOUT | EPOLLRDHUP | EPOLLET;
    event.data.ptr = token;
    return epoll_ctl(mDescriptor, EPOLL_CTL_ADD, descriptor, &event) == 0;
}

void Poller::Remove(int descriptor) {
    epoll_event event{};
    epoll_ctl(mDescriptor, EPOLL_CTL_DEL, descriptor, &event);
}

int Poller::Wait(Ready* ready, int capacity, int timeoutMilliseconds) {
    epoll_event events[kBatch];
    const int count =
        epoll_wait(mDescriptor, events, std::min(capacity, kBatch), timeoutMilliseconds);
    for (int i = 0; i < count; ++i) {
        const uint32_t flags = events[i].events;
        ready[i].mToken = events[i].data.ptr;
        // A closed or failed connection is reported as readable: the read that
        // follows finds the end of stream or the error.
        ready[i].mReadable = (flags & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)) != 0;
        ready[i].mWritable = (flags & EPOLLOUT) != 0;
        ready[i].mEnded = (flags & (EPOLLRDHUP | EPOLLHUP | EPOLLERR)) != 0;
        ready[i].mFailed = (flags & EPOLLERR) != 0;
    }
    return std::max(count, 0);
}

}  // namespace System::Net
