// A load tool for what giving a flood's memory back costs the members still in the room. It
// starts the server in a room directory of its own and joins a pair of members that chat with
// each other without pause, K members that read nothing through a 4 KB receive buffer (the
// sinks), and F members, each from an address of its own, that send chats of 255 letters as
// fast as the server takes them and read everything. Once the server's resident memory
// reaches a target, the flood stops and the room is left quiet a few seconds; then every sink
// resets its connection at once and the server gives back what their send queues held. It
// prints the server's resident memory before, at its peak and S seconds after the reset, and
// the pair's round trips (count, median, max) in the 2 s before the reset and in the S
// seconds after it. Blocking sockets, a thread for the pair, one for the flood; the server
// binds port 943, so run it as root, in a network namespace of its own
// (unshare -n sh -c 'ip link set lo up && SinkFlood ...').

#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "LoadSupport.h"
#include "support/RelayWire.h"

namespace {

using LoadSupport::kSecond;
using LoadSupport::Now;

const char* const kUsage =
    "usage: SinkFlood --server PATH [-k K] [-f F] [--target-mib T] [-s S]\n"
    "  --server PATH    the server binary to measure (it binds port 943: run as root, in a\n"
    "                   network namespace of its own)\n"
    "  -k K             members that read nothing (default 400)\n"
    "  -f F             members that flood the room with chat, 127.0.6.1 on (default 2)\n"
    "  --target-mib T   the server's resident memory at which the flood stops (default 1024)\n"
    "  -s S             seconds watched after the sinks reset (default 10)\n";

constexpr uint32_t kPairAddress = 0x7F000301;      // 127.0.3.1
constexpr uint32_t kSinkAddress = 0x7F000501;      // 127.0.5.1
constexpr uint32_t kFloodAddress = 0x7F000601;     // 127.0.6.1 on
constexpr size_t kChatBytes = 255;                 // each flood frame's text, the most
constexpr uint64_t kFloodLongest = 120 * kSecond;  // the target not reached by then: give up
constexpr uint64_t kQuiet = 5 * kSecond;  // the pair alone before the reset, the last 2 s timed

struct Options {
    std::string server;
    int sinks{400};
    int flooders{2};
    int targetMib{1024};
    int seconds{10};
};

bool Parse(int argc, char** argv, Options& options) {
    double unused = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        int* count = option == "-k"             ? &options.sinks
                     : option == "-f"           ? &options.flooders
                     : option == "--target-mib" ? &options.targetMib
                     : option == "-s"           ? &options.seconds
                                                : nullptr;
        if (!LoadSupport::TakeOption(option, argv[i + 1], options.server, unused, count)) {
            return false;
        }
    }
    return argc % 2 == 1 && !options.server.empty() && options.sinks > 0 && options.flooders > 0;
}

// The pair's round trips: when each began and what it took, in nanoseconds.
class RoundTrips {
  public:
    void Add(uint64_t began, uint64_t took) {
        std::lock_guard<std::mutex> lock(mMutex);
        mTrips.emplace_back(began, took);
    }

    // "count, median, max" of those that began in [from, to).
    std::string Between(uint64_t from, uint64_t to) {
        std::vector<uint64_t> took;
        {
            std::lock_guard<std::mutex> lock(mMutex);
            for (const auto& [began, time] : mTrips) {
                if (began >= from && began < to) {
                    took.push_back(time);
                }
            }
        }
        if (took.empty()) {
            return "none";
        }
        std::sort(took.begin(), took.end());
        char text[96];
        std::snprintf(text, sizeof text, "%zu, median %.2f ms, max %.2f ms", took.size(),
                      LoadSupport::ToSeconds(took[took.size() / 2]) * 1e3,
                      LoadSupport::ToSeconds(took.back()) * 1e3);
        return text;
    }

  private:
    std::mutex mMutex;
    std::vector<std::pair<uint64_t, uint64_t>> mTrips;
};

// Reads fd until the chat text from the other of the pair; false when it ends first.
bool AwaitChat(int fd, const std::string& text) {
    const std::string expected = RelayWire::Text(text);
    while (const auto frame = LoadSupport::NextFrame(fd)) {
        const RelayWire::Parsed message = RelayWire::Parse(*frame);
        if (message.type == RelayWire::Chat && message.payload == expected) {
            return true;
        }
    }
    return false;
}

// One chat each way between the pair, timed, until stop; false when a connection ended.
bool Chat(int one, int other, RoundTrips& trips, const std::atomic<bool>& stop) {
    for (uint64_t n = 0; !stop; ++n) {
        const uint64_t began = Now();
        const std::string ask = "ask " + std::to_string(n);
        const std::string answer = "answer " + std::to_string(n);
        if (!LoadSupport::SendFrame(one, RelayWire::ChatText(ask)) || !AwaitChat(other, ask) ||
            !LoadSupport::SendFrame(other, RelayWire::ChatText(answer)) ||
            !AwaitChat(one, answer)) {
            return false;
        }
        trips.Add(began, Now() - began);
    }
    return true;
}

// Sends chat from every flooder as fast as each is taken, reading and dropping what each is
// sent, until stop; false when one of them ended.
bool Flood(const std::vector<int>& flooders, const std::atomic<bool>& stop) {
    const std::string frame =
        LoadSupport::Framed(RelayWire::ChatText(std::string(kChatBytes, 'c')));
    std::vector<pollfd> polled;
    std::vector<size_t> sent(flooders.size(), 0);  // of frame, for each flooder
    for (const int fd : flooders) {
        polled.push_back({fd, POLLIN | POLLOUT, 0});
    }
    char drop[1 << 16];
    while (!stop) {
        if (poll(polled.data(), polled.size(), 100) < 0) {
            return false;
        }
        for (size_t i = 0; i < polled.size(); ++i) {
            const int fd = polled[i].fd;
            if ((polled[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0 &&
                recv(fd, drop, sizeof drop, MSG_DONTWAIT) <= 0) {
                return false;
            }
            if ((polled[i].revents & POLLOUT) != 0) {
                const ssize_t wrote = send(fd, frame.data() + sent[i], frame.size() - sent[i],
                                           MSG_DONTWAIT | MSG_NOSIGNAL);
                if (wrote > 0) {
                    sent[i] = (sent[i] + static_cast<size_t>(wrote)) % frame.size();
                }
            }
        }
    }
    return true;
}

// Resets fd: the server sees its peer gone at once, with nothing left to send it.
void Reset(int fd) {
    const linger now{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &now, sizeof now);
    close(fd);
}

bool Run(const Options& options, uint16_t port, const std::string& room) {
    LoadSupport::Server server(options.server, room);
    std::string why;
    if (!server.AwaitListening(port, why)) {
        std::fprintf(stderr, "SinkFlood: %s\n", why.c_str());
        return false;
    }
    const int one = LoadSupport::ConnectFrom(kPairAddress, port, 0);
    const int other = LoadSupport::ConnectFrom(kPairAddress + 1, port, 0);
    bool joined = one >= 0 && other >= 0 && LoadSupport::Join(one, "one") == 0 &&
                  LoadSupport::Join(other, "other") == 0;
    std::vector<int> sinks;
    for (int i = 0; i < options.sinks && joined; ++i) {
        sinks.push_back(LoadSupport::ConnectFrom(kSinkAddress, port, 4096));
        joined =
            sinks.back() >= 0 && LoadSupport::Join(sinks.back(), "sink" + std::to_string(i)) == 0;
    }
    std::vector<int> flooders;
    for (int i = 0; i < options.flooders && joined; ++i) {
        flooders.push_back(
            LoadSupport::ConnectFrom(kFloodAddress + static_cast<uint32_t>(i), port, 0));
        joined = flooders.back() >= 0 &&
                 LoadSupport::Join(flooders.back(), "flood" + std::to_string(i)) == 0;
    }
    if (!joined) {
        std::fprintf(stderr, "SinkFlood: a member could not join\n");
        return false;
    }
    const double before = server.ResidentMegabytes();
    RoundTrips trips;
    std::atomic<bool> stopChat{false};
    std::atomic<bool> stopFlood{false};
    bool chatted = true;
    bool flooded = true;
    std::thread pair([&] { chatted = Chat(one, other, trips, stopChat); });
    std::thread flood([&] { flooded = Flood(flooders, stopFlood); });
    const uint64_t started = Now();
    double peak = before;
    while (peak < options.targetMib && Now() - started < kFloodLongest) {
        usleep(50000);
        peak = std::max(peak, server.ResidentMegabytes());
    }
    stopFlood = true;
    flood.join();
    usleep(static_cast<useconds_t>(kQuiet / 1000));
    peak = std::max(peak, server.ResidentMegabytes());
    int closed = 0;  // by the server, as slow readers
    char byte = 0;
    for (const int fd : sinks) {
        closed += recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0 ? 1 : 0;
    }
    const uint64_t reset = Now();
    for (const int fd : sinks) {
        Reset(fd);
    }
    usleep(static_cast<useconds_t>(options.seconds) * 1000000);
    const double after = server.ResidentMegabytes();
    stopChat = true;
    pair.join();
    std::printf(
        "sinks %d (%d closed by the server before the reset), flooders %d: resident "
        "MB before %.1f, peak %.1f, %d s after the reset %.1f\n",
        options.sinks, closed, options.flooders, before, peak, options.seconds, after);
    std::printf("round trips in the quiet room, the 2 s before the reset: %s\n",
                trips.Between(reset - 2 * kSecond, reset).c_str());
    std::printf(
        "round trips in the %d s after the reset: %s\n", options.seconds,
        trips.Between(reset, reset + static_cast<uint64_t>(options.seconds) * kSecond).c_str());
    std::printf("flood ended well: %s; pair ended well: %s\n", flooded ? "yes" : "no",
                chatted ? "yes" : "no");
    for (const int fd : flooders) {
        close(fd);
    }
    close(one);
    close(other);
    return server.Stop(30 * kSecond) >= 0 && chatted && flooded;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!LoadSupport::StartUp("SinkFlood", kUsage, Parse(argc, argv, options), options.server)) {
        return 2;
    }
    LoadSupport::RaiseOpenFileLimit();
    const uint16_t port = LoadSupport::FreePort(INADDR_LOOPBACK);
    const int roomMax = options.sinks + options.flooders + 2;
    const std::string room =
        port != 0 ? LoadSupport::MakeRoom("sinkflood",
                                          LoadSupport::OpenRoomConfig(port, "Sinks", roomMax),
                                          "<media count=\"0\" />")
                  : "";
    if (room.empty()) {
        std::fprintf(stderr, "SinkFlood: cannot make the room\n");
        return 1;
    }
    return LoadSupport::Finish("SinkFlood", room, Run(options, port, room));
}
