// A load benchmark of the relay. It starts the server in a room directory of its own on a
// free port, connects and joins N clients over loopback, waits until each knows every other,
// then lets K of them send M chat messages of S text bytes each, as fast as the server takes
// them or at a total rate. Every other member must receive each message exactly once and in
// its sender's order. It prints deliveries per second, latency percentiles, the server's CPU
// time per delivery and its peak memory; --idle reports the server's CPU use over 10 s with
// the clients joined and silent. One thread, one epoll loop, a deadline on every phase; the
// exit status is 0 only when everything arrived and the server stopped cleanly.

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "LoadSupport.h"

namespace {

using LoadSupport::kSecond;
using LoadSupport::Now;
using LoadSupport::Server;
using LoadSupport::ToSeconds;

const char* const kUsage =
    "usage: RelayLoad --server PATH [-n N] [-k K] [-m M] [-s S] [--rate R] [--idle]\n"
    "  --server PATH  the server binary to measure\n"
    "  -n N           clients that join the room (default 100)\n"
    "  -k K           of them, clients that send (default 10)\n"
    "  -m M           chat messages per sender (default 1000)\n"
    "  -s S           bytes of chat text per message, 28 to 255 (default 100)\n"
    "  --rate R       chat messages per second from all senders together (default: as fast\n"
    "                 as the server takes them); latency then counts from each message's\n"
    "                 scheduled time\n"
    "  --idle         send nothing: report the server's CPU use over 10 s\n";

struct Options {
    std::string server;
    int clients{100};
    int senders{10};
    int messages{1000};
    int size{100};
    double rate{0};  // 0 floods
    bool idle{false};
};

constexpr uint64_t kIdleTime = 10 * kSecond;
// The server listens with a backlog of 10: more handshakes at once would lose connections.
constexpr int kJoinsInFlight = 8;
// A chat text starts with the sender's slot, its sequence number and the send time, in hex.
constexpr int kStampLength = 4 + 8 + 16;
constexpr int kFloodBatch = 32;  // messages a flooding sender queues per writable event
// Deliveries per second that the deadlines still allow for: a tenth of what the server
// managed when this was written.
constexpr double kSlowestDeliveries = 10000;

uint64_t Seconds(double seconds) {
    return static_cast<uint64_t>(seconds * kSecond);
}

uint32_t ReadU32(const unsigned char* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | uint32_t{bytes[3]} << 24;
}

void AppendU32(std::string& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out += static_cast<char>(value >> shift);
    }
}

// The value of digits lowercase hex digits; false when one is something else.
bool ReadHex(const unsigned char* text, int digits, uint64_t& value) {
    value = 0;
    for (int i = 0; i < digits; ++i) {
        const int c = text[i];
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0) {
            return false;
        }
        value = value << 4 | static_cast<uint64_t>(digit);
    }
    return true;
}

// Latencies in nanoseconds, counted in 64 buckets per power of two (under 1.6% error), so
// that millions of deliveries take constant memory.
class Histogram {
  public:
    void Add(uint64_t value) {
        const int high = 63 - __builtin_clzll(value | 1);
        ++mCounts[value < 64 ? value : (high - 6) * 64 + (value >> (high - 6))];
        ++mTotal;
        mMax = std::max(mMax, value);
    }
    // The smallest value that a fraction q of the samples do not exceed, to bucket precision.
    [[nodiscard]] uint64_t Quantile(double q) const {
        const uint64_t wanted = std::max<uint64_t>(1, static_cast<uint64_t>(std::ceil(q * mTotal)));
        uint64_t seen = 0;
        for (size_t bucket = 0; bucket < mCounts.size(); ++bucket) {
            seen += mCounts[bucket];
            if (seen >= wanted) {
                return std::min(mMax, Upper(bucket));
            }
        }
        return mMax;
    }
    [[nodiscard]] uint64_t Max() const { return mMax; }

  private:
    static uint64_t Upper(size_t bucket) {
        if (bucket < 64) {
            return bucket;
        }
        const size_t shift = bucket / 64 - 1;
        return ((bucket % 64 + 64 + 1) << shift) - 1;
    }

    std::vector<uint64_t> mCounts = std::vector<uint64_t>(64 * 59);
    uint64_t mTotal{0};
    uint64_t mMax{0};
};

// A room directory in /tmp for the server: anyone joins without a password and may chat;
// every setting left out reads as empty, 0 or false.
std::string MakeRoom(int clients, uint16_t port) {
    const std::string config =
        "<config RelayServerPort=\"" + std::to_string(port) +
        "\" RoomName=\"Load\" RoomMaxClients=\"" + std::to_string(clients + 16) +
        "\" RoomIsPublic=\"false\">\n\t<privileges>\n\t\t<user isEnabled=\"true\" password=\"\" "
        "chat=\"true\" />\n\t</privileges>\n</config>";
    return LoadSupport::MakeRoom("relayload", config, "<media count=\"0\" />");
}

// One member of the room.
struct Client {
    int fd{-1};
    uint32_t id{0};                      // given by the server when it admits the client
    int slot{-1};                        // sender slot, -1 for a client that only receives
    uint32_t queued{0};                  // chat messages this sender has queued
    std::string out;                     // bytes not yet written
    std::string in;                      // bytes read that do not yet make a whole frame
    bool polledOut{false};               // whether writability is watched
    std::unordered_set<uint32_t> known;  // others announced to this client by name
    std::vector<uint32_t> next;          // per sender slot: the sequence number due next
};

class Load {
  public:
    Load(const Options& options, Server& server, uint16_t port)
        : mOptions(options), mServer(server), mPort(port), mClients(options.clients) {
        for (int slot = 0; slot < options.senders; ++slot) {
            const auto index = static_cast<int>(int64_t{slot} * options.clients / options.senders);
            mClients[index].slot = slot;
            mSenders.push_back(index);
        }
        for (Client& client : mClients) {
            client.next.assign(options.senders, 0);
        }
        timespec wall;
        clock_gettime(CLOCK_REALTIME, &wall);
        mWallOffset = static_cast<int64_t>(wall.tv_sec) * kSecond + wall.tv_nsec -
                      static_cast<int64_t>(Now());
    }
    ~Load() {
        for (const Client& client : mClients) {
            close(client.fd);
        }
        close(mTimer);
    }
    Load(const Load&) = delete;
    Load& operator=(const Load&) = delete;

    // Runs every phase and prints the figures; true when everything arrived.
    bool Run() {
        if (!Join() || (mOptions.idle ? !Idle() : !Send())) {
            std::fprintf(stderr, "RelayLoad: %s\n", mFailure.c_str());
            return false;
        }
        return true;
    }

  private:
    // Connects and joins every client, a few at a time, and waits until each has been told
    // of every other, so that no join traffic is left when the measurement starts.
    bool Join() {
        const uint64_t start = Now();
        // About N * N announcements make the join traffic.
        const double n = mOptions.clients;
        const uint64_t deadline = start + Seconds(30 + n * n / kSlowestDeliveries);
        size_t connected = 0;
        const bool joined =
            mServer.AwaitListening(mPort, mFailure) && RunUntil(deadline, "joining", [&] {
                while (connected < mClients.size() && mJoining < kJoinsInFlight &&
                       mFailure.empty()) {
                    Connect(mClients[connected++]);
                }
                return mKnowing == mOptions.clients;
            });
        if (joined) {
            std::printf("joined:         %d clients in %.2f s\n", mOptions.clients,
                        ToSeconds(Now() - start));
        }
        return joined;
    }

    bool Idle() {
        const double cpu = mServer.CpuSeconds();
        const uint64_t start = Now();
        if (!RunFor(kIdleTime, "idling")) {
            return false;
        }
        const double seconds = ToSeconds(Now() - start);
        const double used = mServer.CpuSeconds() - cpu;
        std::printf("server CPU:     %.2f s in %.1f s idle, %.2f%% of a core\n", used, seconds,
                    100 * used / seconds);
        std::printf("server memory:  %.1f MiB peak (VmHWM)\n", mServer.PeakMegabytes());
        return true;
    }

    bool Send() {
        const uint64_t total = static_cast<uint64_t>(mOptions.senders) * mOptions.messages;
        const uint64_t expected = total * (mOptions.clients - 1);
        const double schedule = mOptions.rate > 0 ? total / mOptions.rate : 0;
        const double cpu = mServer.CpuSeconds();
        const double ownBefore = LoadSupport::OwnCpuSeconds();
        mStart = Now();
        mLastReceipt = mStart;
        if (mOptions.rate > 0) {
            mTimer = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
            mPoller.Watch(mTimer, EPOLL_CTL_ADD, EPOLLIN, kTimerTag);
            Pace();
        } else {
            mFlooding = true;
            for (const int index : mSenders) {
                Flush(mClients[index]);
            }
        }
        const uint64_t deadline = mStart + Seconds(30 + schedule + expected / kSlowestDeliveries);
        if (!RunUntil(deadline, "sending", [&] { return mReceived == expected; })) {
            std::fprintf(stderr, "RelayLoad: %llu of %llu deliveries arrived\n",
                         static_cast<unsigned long long>(mReceived),
                         static_cast<unsigned long long>(expected));
            return false;
        }
        const double used = mServer.CpuSeconds() - cpu;
        const double peak = mServer.PeakMegabytes();
        const double own = LoadSupport::OwnCpuSeconds() - ownBefore;
        // A copy that comes after the last expected delivery must fail the run too.
        if (!RunFor(Seconds(0.2), "watching for late copies")) {
            return false;
        }
        const double wall = ToSeconds(mLastReceipt - mStart);
        const auto ms = [this](double q) {
            return static_cast<double>(mLatency.Quantile(q)) / 1e6;
        };
        std::printf("delivered:      %llu, each once and in its sender's order, in %.2f s\n",
                    static_cast<unsigned long long>(mReceived), wall);
        std::printf("deliveries/s:   %.0f\n", mReceived / wall);
        std::printf("latency ms:     p50 %.3f  p99 %.3f  p999 %.3f  max %.3f\n", ms(0.5), ms(0.99),
                    ms(0.999), static_cast<double>(mLatency.Max()) / 1e6);
        std::printf("server CPU:     %.2f s, %.2f us per delivery\n", used, used * 1e6 / mReceived);
        std::printf("server memory:  %.1f MiB peak (VmHWM)\n", peak);
        std::printf("RelayLoad CPU:  %.0f%% of a core (near 100%%, the tool sets the pace)\n",
                    100 * own / wall);
        return true;
    }

    // Serves the sockets until done() holds; false on a failure, when the server ends or
    // when the deadline passes first.
    bool RunUntil(uint64_t deadline, const char* phase, const std::function<bool()>& done) {
        while (mFailure.empty() && !done()) {
            if (Now() > deadline) {
                Fail(std::string("deadline passed while ") + phase);
            } else if (!mServer.Running()) {
                Fail(std::string("the server ended while ") + phase);
            } else {
                Poll();
            }
        }
        return mFailure.empty();
    }

    bool RunFor(uint64_t duration, const char* phase) {
        const uint64_t end = Now() + duration;
        return RunUntil(end + kSecond, phase, [end] { return Now() >= end; });
    }

    void Fail(const std::string& why) {
        if (mFailure.empty()) {
            mFailure = why;
        }
    }

    // Connects the client and sends its join.
    void Connect(Client& client) {
        client.fd = LoadSupport::ConnectLoopback(mPort);
        if (client.fd < 0) {
            return Fail(std::string("cannot connect: ") + std::strerror(errno));
        }
        const int on = 1;
        setsockopt(client.fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        setsockopt(client.fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
        fcntl(client.fd, F_SETFL, O_NONBLOCK);
        const auto index = static_cast<uint64_t>(&client - mClients.data());
        mPoller.Watch(client.fd, EPOLL_CTL_ADD, EPOLLIN, index);
        // JoinRoomRequest: name, digest length 0 (no password), the 32 digest bytes unused.
        const std::string name = "load" + std::to_string(index);
        AppendU32(client.out, static_cast<uint32_t>(5 + 1 + name.size() + 1 + 32));
        client.out += static_cast<char>(100);
        AppendU32(client.out, 0);
        client.out += static_cast<char>(name.size());
        client.out += name + std::string(33, '\0');
        ++mJoining;
        Flush(client);
    }

    void Poll() {
        epoll_event events[256];
        const int count = mPoller.Wait(events, 256, 100);
        for (int i = 0; i < count && mFailure.empty(); ++i) {
            if (events[i].data.u64 == kTimerTag) {
                Pace();
                continue;
            }
            Client& client = mClients[events[i].data.u64];
            if (events[i].events & (EPOLLIN | EPOLLHUP | EPOLLERR)) {
                Read(client);
            }
            if (events[i].events & EPOLLOUT) {
                Flush(client);
            }
        }
    }

    // Writes what the socket takes; a flooding sender first queues a batch when it has
    // written everything. Writability is watched only while there is more to write.
    void Flush(Client& client) {
        const bool flooding = mFlooding && client.slot >= 0;
        for (int i = 0; flooding && client.out.empty() && i < kFloodBatch &&
                        client.queued < static_cast<uint32_t>(mOptions.messages);
             ++i) {
            QueueChat(client, Now());
        }
        while (!client.out.empty()) {
            const ssize_t sent =
                send(client.fd, client.out.data(), client.out.size(), MSG_NOSIGNAL);
            if (sent < 0 && errno == EAGAIN) {
                break;
            }
            if (sent < 0) {
                return Fail(std::string("send: ") + std::strerror(errno));
            }
            client.out.erase(0, sent);
        }
        const bool more = !client.out.empty() ||
                          (flooding && client.queued < static_cast<uint32_t>(mOptions.messages));
        if (more != client.polledOut) {
            client.polledOut = more;
            mPoller.Watch(client.fd, EPOLL_CTL_MOD, more ? EPOLLIN | EPOLLOUT : EPOLLIN,
                          &client - mClients.data());
        }
    }

    // A ChatMessage whose text is the sender's slot, its sequence number and sentAt in hex,
    // padded to the text size.
    void QueueChat(Client& client, uint64_t sentAt) {
        char stamp[kStampLength + 1];
        std::snprintf(stamp, sizeof stamp, "%04x%08x%016llx", client.slot, client.queued++,
                      static_cast<unsigned long long>(sentAt));
        AppendU32(client.out, 5 + 1 + mOptions.size);
        client.out += static_cast<char>(50);
        AppendU32(client.out, 0);
        client.out += static_cast<char>(mOptions.size);
        client.out.append(stamp, kStampLength);
        client.out.append(mOptions.size - kStampLength, '.');
    }

    // Paced sending: message g of all senders together is due at g / rate after the start
    // and goes from slot g mod K; its stamp is the due time, so a late send counts as latency.
    void Pace() {
        uint64_t expirations;
        if (read(mTimer, &expirations, sizeof expirations) < 0 && errno != EAGAIN) {
            return Fail("timer failed");
        }
        const uint64_t total = static_cast<uint64_t>(mOptions.senders) * mOptions.messages;
        const auto due = [this](uint64_t g) {
            return mStart + static_cast<uint64_t>(g * 1e9 / mOptions.rate);
        };
        for (const uint64_t now = Now(); mPaced < total && due(mPaced) <= now; ++mPaced) {
            QueueChat(mClients[mSenders[mPaced % mSenders.size()]], due(mPaced));
        }
        for (const int index : mSenders) {
            Flush(mClients[index]);
        }
        if (mPaced < total) {
            itimerspec at{};
            at.it_value.tv_sec = due(mPaced) / kSecond;
            at.it_value.tv_nsec = due(mPaced) % kSecond;
            timerfd_settime(mTimer, TFD_TIMER_ABSTIME, &at, nullptr);
        }
    }

    // Reads what has arrived and handles each whole frame (a 4-byte little-endian length,
    // then the message).
    void Read(Client& client) {
        static char buffer[1 << 18];
        iovec vector{buffer, sizeof buffer};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
        msghdr header{};
        header.msg_iov = &vector;
        header.msg_iovlen = 1;
        header.msg_control = control;
        header.msg_controllen = sizeof control;
        const ssize_t got = recvmsg(client.fd, &header, 0);
        if (got < 0 && errno == EAGAIN) {
            return;
        }
        if (got <= 0) {
            return Fail("the server closed client " + std::to_string(client.id) + "'s connection");
        }
        const uint64_t arrived = Arrival(header);
        client.in.append(buffer, got);
        const auto* bytes = reinterpret_cast<const unsigned char*>(client.in.data());
        size_t at = 0;
        for (; client.in.size() - at >= 4 && mFailure.empty(); at += 4 + ReadU32(bytes + at)) {
            const uint32_t length = ReadU32(bytes + at);
            if (length < 5 || length > (1u << 24)) {
                return Fail("a frame of " + std::to_string(length) + " bytes");
            }
            if (client.in.size() - at - 4 < length) {
                break;
            }
            Message(client, bytes + at + 4, length, arrived);
        }
        client.in.erase(0, at);
    }

    // When the bytes reached the socket: the kernel's stamp, so that the time this one
    // thread spends on other sockets first does not count as latency.
    uint64_t Arrival(msghdr& header) const {
        const uint64_t now = Now();
        for (cmsghdr* item = CMSG_FIRSTHDR(&header); item; item = CMSG_NXTHDR(&header, item)) {
            if (item->cmsg_level == SOL_SOCKET && item->cmsg_type == SCM_TIMESTAMPNS) {
                timespec stamp;
                std::memcpy(&stamp, CMSG_DATA(item), sizeof stamp);
                const int64_t at =
                    static_cast<int64_t>(stamp.tv_sec) * kSecond + stamp.tv_nsec - mWallOffset;
                return at > 0 && static_cast<uint64_t>(at) <= now ? at : now;
            }
        }
        return now;
    }

    void Message(Client& client, const unsigned char* message, uint32_t length, uint64_t arrived) {
        const uint32_t about = ReadU32(message + 1);
        switch (message[0]) {
            case 1:
                return Fail("the server sent an error message");
            case 50:
                return Delivery(client, message, length, about, arrived);
            case 101:  // JoinRoomResponse: 0 admits, with the client's id in the header
                if (length < 6 || message[5] != 0) {
                    return Fail("join refused with code " +
                                std::to_string(length < 6 ? 6 : message[5]));
                }
                client.id = about;
                --mJoining;
                return Knows(client, 0);
            case 102:  // UserJoinedMessage: a name once the member has joined
                if (length >= 6 && message[5] > 0) {
                    Knows(client, about);
                }
                return;
            case 106:  // UserLeftMessage: only a member counts, not the server's first connection
                if (client.known.count(about) != 0) {
                    Fail("a member left the room");
                }
                return;
            default:
                return;
        }
    }

    // Counts the client as ready once it has joined and knows every other member by name.
    void Knows(Client& client, uint32_t member) {
        if (member != 0 && !client.known.insert(member).second) {
            return;
        }
        if (client.id != 0 && client.known.size() == mClients.size() - 1) {
            ++mKnowing;
        }
    }

    void Delivery(Client& client, const unsigned char* message, uint32_t length, uint32_t sender,
                  uint64_t arrived) {
        uint64_t slot, sequence, sentAt;
        const unsigned char* text = message + 6;
        if (length != 6u + mOptions.size || message[5] != mOptions.size ||
            !ReadHex(text, 4, slot) || !ReadHex(text + 4, 8, sequence) ||
            !ReadHex(text + 12, 16, sentAt) || slot >= mSenders.size()) {
            return Fail("a chat message that was not sent as it arrived");
        }
        if (static_cast<int>(slot) == client.slot) {
            return Fail("a chat message came back to its sender");
        }
        if (sender != mClients[mSenders[slot]].id) {
            return Fail("a chat message with the wrong sender id");
        }
        uint32_t& next = client.next[slot];
        if (sequence != next) {
            return Fail("client " + std::to_string(client.id) + " expected message " +
                        std::to_string(next) + " of sender " + std::to_string(sender) + ", got " +
                        std::to_string(sequence) + (sequence < next ? " again" : ""));
        }
        ++next;
        ++mReceived;
        mLatency.Add(arrived > sentAt ? arrived - sentAt : 0);
        mLastReceipt = std::max(mLastReceipt, arrived);
    }

    static constexpr uint64_t kTimerTag = ~uint64_t{0};

    const Options& mOptions;
    Server& mServer;
    uint16_t mPort;
    std::vector<Client> mClients;
    std::vector<int> mSenders;  // client index of each sender slot
    LoadSupport::Poller mPoller;
    int mTimer{-1};
    int64_t mWallOffset{0};  // the wall clock minus the monotonic clock, for kernel stamps
    int mJoining{0};         // clients connected and not yet admitted
    int mKnowing{0};         // clients admitted that know every other member
    bool mFlooding{false};
    uint64_t mStart{0};  // the first send
    uint64_t mPaced{0};  // paced messages queued so far
    uint64_t mReceived{0};
    uint64_t mLastReceipt{0};
    Histogram mLatency;
    std::string mFailure;  // the first thing that went wrong
};

bool Parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--idle") {
            options.idle = true;
            continue;
        }
        if (++i == argc) {
            return false;
        }
        const char* value = argv[i];
        int* count = option == "-n"   ? &options.clients
                     : option == "-k" ? &options.senders
                     : option == "-m" ? &options.messages
                     : option == "-s" ? &options.size
                                      : nullptr;
        if (!LoadSupport::TakeOption(option, value, options.server, options.rate, count)) {
            return false;
        }
    }
    if (options.idle) {
        options.senders = 0;
        return !options.server.empty() && options.clients >= 0;
    }
    return !options.server.empty() && options.clients >= 2 && options.senders >= 1 &&
           options.senders <= options.clients && options.messages >= 1 &&
           options.size >= kStampLength && options.size <= 255 && options.rate >= 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!LoadSupport::StartUp("RelayLoad", kUsage, Parse(argc, argv, options), options.server)) {
        return 2;
    }
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur =
        std::max<rlim_t>(files.rlim_cur, std::min<rlim_t>(files.rlim_max, options.clients + 64));
    setrlimit(RLIMIT_NOFILE, &files);

    const uint16_t port = LoadSupport::FreePort(INADDR_ANY);
    const std::string room = port != 0 ? MakeRoom(options.clients, port) : "";
    if (room.empty()) {
        std::fputs("RelayLoad: cannot make a room directory in /tmp or find a free port\n", stderr);
        return 1;
    }
    if (options.idle) {
        std::printf("RelayLoad: %d joined clients, idle for %llu s\n", options.clients,
                    static_cast<unsigned long long>(kIdleTime / kSecond));
    } else {
        std::printf("RelayLoad: %d clients, %d senders x %d chat messages of %d bytes, ",
                    options.clients, options.senders, options.messages, options.size);
        if (options.rate > 0) {
            std::printf("%.0f messages/s in total\n", options.rate);
        } else {
            std::printf("as fast as the server takes them\n");
        }
    }
    Server server(options.server, room);
    bool ok = Load(options, server, port).Run();
    if (server.Stop(10 * kSecond) < 0) {
        std::fputs("RelayLoad: the server did not stop cleanly\n", stderr);
        ok = false;
    }
    return LoadSupport::Finish("RelayLoad", room, ok);
}
