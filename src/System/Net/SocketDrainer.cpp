#include "System/Net/SocketDrainer.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>

namespace System::Net {

namespace {

// The readiness reports one wait takes in.
constexpr int kReadyBatch = 64;
// The bytes one read takes.
constexpr uint32_t kReadSize = 4096;
// The reads one connection gets per turn: a peer that sends without pause must not keep
// the others from being read and closed in time.
constexpr int kReadsPerTurn = 16;

enum class Drained {
    kAll,    // nothing more waits
    kMore,   // bytes may still wait
    kEnded,  // the peer has closed, or the connection has failed
};

// Reads and drops what waits on a non-blocking socket, a few reads at most.
Drained Drain(Socket& socket) {
    char buffer[kReadSize];
    for (int i = 0; i < kReadsPerTurn; ++i) {
        const int received = socket.Receive(buffer, 0, sizeof buffer);
        if (received > 0 || (received < 0 && errno == EINTR)) {
            continue;
        }
        if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return Drained::kAll;
        }
        return Drained::kEnded;
    }
    return Drained::kMore;
}

// Reads what already waits, so that the close does not find it unread, then closes.
void Finish(Socket& socket) {
    Drain(socket);
    socket.Close();
}

}  // namespace

SocketDrainer::SocketDrainer(size_t capacity, std::chrono::milliseconds linger)
    : mCapacity(capacity), mLinger(linger) {
    mPoller.Add(mWake.GetDescriptor(), &mWake);
}

SocketDrainer::~SocketDrainer() {
    // The thread uses the members below, which go before the base waits for it.
    Stop(true);
}

void SocketDrainer::Add(const Socket& socket) {
    Socket connection(socket);
    // The peer reads the end of the stream now, whatever it sends meanwhile.
    connection.ShutdownSend();
    connection.EnableBlocking(false);
    std::list<Connection> toClose;
    {
        std::lock_guard<std::mutex> lock(mArrivalsLock);
        // Read under the lock: a thread that has stopped takes the arrivals a last time
        // under it, so nothing added while it ran is left behind.
        if (GetThreadState() != 0) {
            mArrivals.emplace_back(connection, Clock::now() + mLinger);
            // A thread that falls behind must not let arrivals pile up past the bound
            // that the held connections keep.
            if (mArrivals.size() > mCapacity) {
                toClose.splice(toClose.end(), mArrivals, mArrivals.begin());
            }
        } else {
            toClose.emplace_back(connection, Clock::now());
        }
    }
    for (Connection& closed : toClose) {
        Finish(closed.mSocket);
    }
    mWake.Signal();
}

void SocketDrainer::Run() {
    Poller::Ready ready[kReadyBatch];
    int count = 0;
    while (true) {
        // Cleared before the state is read: a Stop after this signals again, and the
        // wait below returns at once.
        mWake.Clear();
        if (GetThreadState() == 0) {
            break;
        }
        for (int i = 0; i < count; ++i) {
            if (ready[i].mToken != &mWake) {
                static_cast<Connection*>(ready[i].mToken)->mReadable = true;
            }
        }
        TakeArrivals();
        const bool readable = Turn();
        count = mPoller.Wait(ready, kReadyBatch, WaitTimeout(readable));
    }
    std::list<Connection> arrived;
    {
        std::lock_guard<std::mutex> lock(mArrivalsLock);
        arrived.swap(mArrivals);
    }
    mHeld.splice(mHeld.end(), arrived);
    for (Connection& connection : mHeld) {
        Close(connection);
    }
    mHeld.clear();
}

void SocketDrainer::Wake() {
    mWake.Signal();
}

void SocketDrainer::TakeArrivals() {
    std::list<Connection> arrived;
    {
        std::lock_guard<std::mutex> lock(mArrivalsLock);
        arrived.swap(mArrivals);
    }
    for (Connection& connection : arrived) {
        if (!mPoller.Add(connection.mSocket.GetSocket(), &connection)) {
            // Never reported readable: closed in this turn instead of lingering unread.
            connection.mDeadline = Clock::now();
        }
    }
    mHeld.splice(mHeld.end(), arrived);
    // A flood of silent connections would otherwise hold a descriptor each until its
    // time is up, and could take every descriptor the process has.
    while (mHeld.size() > mCapacity) {
        Close(mHeld.front());
        mHeld.pop_front();
    }
}

bool SocketDrainer::Turn() {
    const Clock::time_point now = Clock::now();
    bool readable = false;
    for (auto it = mHeld.begin(); it != mHeld.end();) {
        bool ended = false;
        if (it->mReadable) {
            const Drained drained = Drain(it->mSocket);
            it->mReadable = drained == Drained::kMore;
            ended = drained == Drained::kEnded;
        }
        if (ended || now >= it->mDeadline) {
            Close(*it);
            it = mHeld.erase(it);
            continue;
        }
        readable = readable || it->mReadable;
        ++it;
    }
    return readable;
}

int SocketDrainer::WaitTimeout(bool readable) const {
    if (readable) {
        return 0;
    }
    if (mHeld.empty()) {
        return -1;
    }
    // Rounded up: a wait that ended a little early would only turn for nothing.
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(mHeld.front().mDeadline - Clock::now());
    return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, INT_MAX));
}

void SocketDrainer::Close(Connection& connection) {
    mPoller.Remove(connection.mSocket.GetSocket());
    Finish(connection.mSocket);
}

}  // namespace System::Net
