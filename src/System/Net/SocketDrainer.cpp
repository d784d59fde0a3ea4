#include "System/Net/SocketDrainer.h"

#include "System/Threading/MonitorLock.h"

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
        if (received > 0) {
            continue;
        }
        if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return Drained::kAll;
        }
        return Drained::kEnded;
    }
    return Drained::kMore;
}

// What the poller reports a descriptor by.
void* Token(int descriptor) {
    return reinterpret_cast<void*>(static_cast<intptr_t>(descriptor));
}

}  // namespace

SocketDrainer::SocketDrainer(size_t capacity, std::chrono::milliseconds linger)
    : mCapacity(capacity), mLinger(linger) {
    mPoller.Add(mWake.GetDescriptor(), Token(mWake.GetDescriptor()));
}

SocketDrainer::~SocketDrainer() {
    // The thread uses the members below, which go before the base waits for it.
    Stop(true);
}

void SocketDrainer::Add(const Socket& socket) {
    Connection connection(socket, Clock::now() + mLinger);
    // The peer reads the end of the stream now, whatever it sends meanwhile.
    connection.mSocket.ShutdownSend();
    connection.mSocket.EnableBlocking(false);
    std::list<Connection> toClose;
    {
        std::unique_lock<std::mutex> lock(mLock);
        // Read under the lock: a thread that has stopped closes what is held a last time
        // under it, so nothing added while it ran is left behind.
        if (GetThreadState() != 0 &&
            mPoller.Add(connection.mSocket.GetSocket(), Token(connection.mSocket.GetSocket()))) {
            mHeld.push_back(connection);
            // A flood of silent connections would otherwise hold a descriptor each until
            // its time is up, and could take every descriptor the process has, however
            // far behind the thread is.
            while (mHeld.size() > mCapacity) {
                if (mReading == &mHeld.front()) {
                    mReadEnded.wait(lock);
                    continue;
                }
                toClose.splice(toClose.end(), mHeld, mHeld.begin());
            }
        } else {
            // Stopped, or never to be reported readable: closed now rather than left
            // unread.
            toClose.push_back(connection);
        }
    }
    for (Connection& closed : toClose) {
        Close(closed);
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
        Threading::MonitorLock turn(*this);
        TakeReports(ready, count);
        const int timeout = WaitTimeout(Turn());
        turn.Unlock();
        count = mPoller.Wait(ready, kReadyBatch, timeout);
    }
    std::list<Connection> held;
    {
        std::lock_guard<std::mutex> lock(mLock);
        held.swap(mHeld);
    }
    for (Connection& connection : held) {
        Close(connection);
    }
}

void SocketDrainer::Wake() {
    mWake.Signal();
}

void SocketDrainer::TakeReports(const Poller::Ready* ready, int count) {
    std::lock_guard<std::mutex> lock(mLock);
    for (int i = 0; i < count; ++i) {
        for (Connection& connection : mHeld) {
            if (Token(connection.mSocket.GetSocket()) == ready[i].mToken) {
                connection.mReadable = true;
                break;
            }
        }
    }
}

bool SocketDrainer::Turn() {
    const Clock::time_point now = Clock::now();
    bool readable = false;
    std::unique_lock<std::mutex> lock(mLock);
    for (auto it = mHeld.begin(); it != mHeld.end();) {
        mReading = &*it;
        lock.unlock();
        const bool closed = Serve(*it, now);
        lock.lock();
        mReading = nullptr;
        mReadEnded.notify_all();
        if (closed) {
            it = mHeld.erase(it);
            continue;
        }
        readable = readable || it->mReadable;
        ++it;
    }
    return readable;
}

bool SocketDrainer::Serve(Connection& connection, Clock::time_point now) {
    bool ended = false;
    if (connection.mReadable) {
        const Drained drained = Drain(connection.mSocket);
        connection.mReadable = drained == Drained::kMore;
        ended = drained == Drained::kEnded;
    }
    if (ended || now >= connection.mDeadline) {
        Close(connection);
        return true;
    }
    return false;
}

int SocketDrainer::WaitTimeout(bool readable) {
    if (readable) {
        return 0;
    }
    std::lock_guard<std::mutex> lock(mLock);
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
    // What already waits is read first, so that the close does not find it unread.
    Drain(connection.mSocket);
    connection.mSocket.Close();
}

}  // namespace System::Net
