// A load tool for what never-joined connections that pipeline listings make the server hold.
// It starts the server in a room directory of its own whose catalogue lists items with long
// random titles (listings that deflate badly), joins two members that chat with each other
// every 50 ms, and then, for a fixed time, an outsider holds C never-joined connections from
// each of A loopback addresses, each sending R requests for a listing of 255 items at once and
// reading nothing through a 4 KB receive buffer (a connection the server closes is opened
// again). Twice a second a newcomer connects, joins and leaves. Then the outsider resets every
// connection and the tool watches on. It prints the server's resident memory before, at its
// peak, and at the given times after the reset, the members' chat round trips and the
// newcomers' joins during the flood and until the first of those times, how the server ended
// when asked to stop, and whether the photo a member uploaded before the flood is in the
// catalogue it saved. An address-space limit may be set on the server, as an operator's
// `ulimit -v` does. One thread, one epoll loop, a deadline on every phase.

#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <unordered_map>
#include <vector>

#include "LoadSupport.h"
#include "support/RelayWire.h"

namespace {

using LoadSupport::Address;
using LoadSupport::Framed;
using LoadSupport::kSecond;
using LoadSupport::Now;
using LoadSupport::ReadInto;
using LoadSupport::TakeFrames;
using LoadSupport::ToSeconds;

const char* const kUsage =
    "usage: ListingFlood --server PATH [-a A] [-c C] [-r R] [-t T] [--items N]\n"
    "                    [--title L] [--room-max M] [--as-mib S] [--after S1,S2,...]\n"
    "  --server PATH    the server binary to measure\n"
    "  -a A             addresses the outsider connects from, 127.1.0.1 on (default 15)\n"
    "  -c C             never-joined connections from each address (default 64)\n"
    "  -r R             listing requests of 255 items each connection sends (default 200)\n"
    "  -t T             seconds the outsider holds its connections (default 12)\n"
    "  --items N        items the catalogue lists (default 2000)\n"
    "  --title L        letters of each item's random title (default 200)\n"
    "  --room-max M     the room's RoomMaxClients (default 20)\n"
    "  --as-mib S       the server's address-space limit in MiB (default none)\n"
    "  --after S,...    seconds after the reset at which memory is read (default 10,60)\n";

constexpr uint32_t kServerAddress = 0x7F000001;    // 127.0.0.1
constexpr uint32_t kMemberAddress = 0x7F000301;    // 127.0.3.1
constexpr uint32_t kPartnerAddress = 0x7F000302;   // 127.0.3.2
constexpr uint32_t kNewcomerAddress = 0x7F000401;  // 127.0.4.1
constexpr uint64_t kMemberTag = 1;
constexpr uint64_t kPartnerTag = 2;
constexpr uint64_t kOutsiderTag = 16;  // and up: the outsider's connection's descriptor
constexpr uint64_t kNewcomerTag = uint64_t{1} << 40;  // and up: a newcomer's descriptor
constexpr uint64_t kNewcomerEvery = kSecond / 2;
constexpr uint64_t kSetupTime = 30 * kSecond;
constexpr uint64_t kChatEvery = kSecond / 20;
constexpr uint64_t kSampleEvery = kSecond / 10;
constexpr uint8_t kPhoto = 1;     // an upload's media type
constexpr uint8_t kAccepted = 0;  // an upload answer's code
// The photo the member uploads before the flood: a 2 x 2 PNG, and its title.
const std::string kPng(
    "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x02\x00"
    "\x00\x00\x02\x08\x02\x00\x00\x00\xfd\xd4\x9a\x73\x00\x00\x00\x10\x49\x44\x41\x54\x78"
    "\x9c\x63\xf8\xcf\xc0\x00\x44\x0c\x10\x0a\x00\x1f\xee\x03\xfd\x8b\x5f\x14\xd4\x00\x00"
    "\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82",
    73);
const std::string kPhotoTitle = "uploaded before the flood";

struct Options {
    std::string server;
    int addresses{15};
    int connections{64};
    int requests{200};
    int seconds{12};
    int items{2000};
    int title{200};
    int roomMax{20};
    int addressSpaceMib{0};
    std::vector<int> after{10, 60};
};

uint32_t OutsiderAddress(int index) {
    return 0x7F010000 + static_cast<uint32_t>(index / 250 << 8) + 1 + index % 250;
}

// A non-blocking socket from host from connected to port of the server, or -1; receiveBuffer,
// unless 0, is its receive buffer's size. Unless wait, the handshake may still be under way
// (the socket becomes writable once it is done): while the server's queue of connections to
// accept is full, a connect that blocked would stall the whole loop for a second at a time,
// and every chat and join timed through it.
int Connect(uint32_t from, uint16_t port, int receiveBuffer, bool wait = true) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | (wait ? 0 : SOCK_NONBLOCK), 0);
    if (fd < 0) {
        return -1;
    }
    // Set before connect: the window offered in the handshake follows it.
    if (receiveBuffer > 0) {
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    }
    const int on = 1;
    setsockopt(fd, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &on, sizeof on);
    const sockaddr_in local = Address(from, 0);
    const sockaddr_in remote = Address(kServerAddress, port);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        (connect(fd, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) != 0 &&
         (wait || errno != EINPROGRESS))) {
        return LoadSupport::CloseKeepingErrno(fd);
    }
    const int nonBlocking = 1;
    ioctl(fd, FIONBIO, &nonBlocking);
    return fd;
}

// Closes fd with a reset, as a peer that goes away without a word does.
void Reset(int fd) {
    const linger abort{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    close(fd);
}

// The room: anyone joins without a password; the catalogue lists items with random titles.
std::string MakeRoom(uint16_t port, const Options& options) {
    const std::string config =
        "<config RelayServerPort=\"" + std::to_string(port) +
        "\" RoomName=\"Flood\" RoomSummary=\"\" RoomMaxClients=\"" +
        std::to_string(options.roomMax) +
        "\" RoomIsPublic=\"false\" AudioCompressionQuality=\"8\" MediaPath=\"media/\" "
        "MaxMediaSize=\"4194304\" MediaPreviewWidth=\"160\" MediaPreviewHeight=\"120\" "
        "IpDiscoveryUrl=\"\" SwitchboardUrl=\"\" SwitchboardUsername=\"\" "
        "SwitchboardPassword=\"\" SwitchboardAutoLogin=\"false\">\n\t<privileges>\n"
        "\t\t<admin isEnabled=\"true\" password=\"\" />\n"
        "\t\t<moderator isEnabled=\"true\" password=\"\" voice=\"true\" chat=\"true\" "
        "viewPhotos=\"true\" postPhotos=\"true\" deletePhotos=\"true\" />\n"
        "\t\t<user isEnabled=\"true\" password=\"\" voice=\"true\" chat=\"true\" "
        "viewPhotos=\"true\" postPhotos=\"true\" deletePhotos=\"false\" />\n"
        "\t</privileges>\n</config>";
    std::string media = "<media count=\"" + std::to_string(options.items) + "\">";
    uint32_t seed = 1;
    for (int id = 0; id < options.items; ++id) {
        std::string title;
        for (int i = 0; i < options.title; ++i) {
            seed = seed * 1103515245 + 12345;
            title += static_cast<char>('a' + (seed >> 16) % 26 - ((seed >> 27) % 2) * 32);
        }
        media += "<item><entry><id>" + std::to_string(id) + "</id><title>" + title +
                 "</title></entry><group /></item>";
    }
    const std::string room = LoadSupport::MakeRoom("listingflood", config, media + "</media>");
    if (!room.empty()) {
        mkdir((room + "/media").c_str(), 0755);
    }
    return room;
}

class Flood {
  public:
    Flood(const Options& options, uint16_t port, LoadSupport::Server& server,
          const std::string& room)
        : mOptions(options), mPort(port), mServer(server), mRoom(room) {}

    // Sets up, floods and watches; false, saying why, when a phase could not be done.
    bool Run() {
        if (!JoinMembers() || !UploadPhoto()) {
            return false;
        }
        Serve(Now() + kSecond, [] { return false; });
        const double before = mServer.ResidentMegabytes();
        mPeak = before;
        mTrips.clear();
        const uint64_t start = Now();
        for (int address = 0; address < mOptions.addresses; ++address) {
            for (int i = 0; i < mOptions.connections; ++i) {
                OpenOutsider(address);
            }
        }
        const uint64_t opened = Now();
        mFlooding = true;
        Serve(start + static_cast<uint64_t>(mOptions.seconds) * kSecond, [] { return false; });
        mFlooding = false;
        const std::vector<double> floodTrips = mTrips;
        const std::vector<double> floodJoins = mJoins;
        const std::vector<double> floodAnswers = mAnswers;
        mTrips.clear();
        mJoins.clear();
        mAnswers.clear();
        const double atEnd = mServer.ResidentMegabytes();
        for (const auto& [fd, outsider] : mOutsiders) {
            Reset(fd);
        }
        mOutsiders.clear();
        const uint64_t reset = Now();
        std::vector<double> after;
        std::vector<double> firstTrips;
        std::vector<double> firstJoins;
        std::vector<double> firstAnswers;
        for (const int seconds : mOptions.after) {
            Serve(reset + static_cast<uint64_t>(seconds) * kSecond, [] { return false; });
            after.push_back(mServer.Running() ? mServer.ResidentMegabytes() : -1);
            if (after.size() == 1) {
                firstTrips = mTrips;
                firstJoins = mJoins;
                firstAnswers = mAnswers;
            }
        }
        std::printf("outsider: %d addresses x %d connections, %d listings each, %.1f s to open\n",
                    mOptions.addresses, mOptions.connections, mOptions.requests,
                    ToSeconds(opened - start));
        std::printf("connections the server closed (and were opened again): %d\n", mReopened);
        std::printf("resident MB: before %.1f, peak %.1f, at reset %.1f", before, mPeak, atEnd);
        for (size_t i = 0; i < after.size(); ++i) {
            std::printf(", %d s after %.1f", mOptions.after[i], after[i]);
        }
        std::printf(
            "\nchat round trip during the flood: %zu, max %.3f s; after it: %zu, max %.3f s\n",
            floodTrips.size(), Largest(floodTrips), mTrips.size(), Largest(mTrips));
        const int first = mOptions.after.empty() ? 0 : mOptions.after.front();
        std::printf(
            "in the %d s after the reset: chat %zu, max %.3f s; joins %zu, max %.3f s (longest "
            "once connected %.3f s)\n",
            first, firstTrips.size(), Largest(firstTrips), firstJoins.size(), Largest(firstJoins),
            Largest(firstAnswers));
        std::printf(
            "newcomers' joins during the flood: %zu, max %.3f s (longest once connected %.3f s); "
            "unanswered: %zu\n",
            floodJoins.size(), Largest(floodJoins), Largest(floodAnswers), mNewcomers.size());
        std::printf("chats unanswered: %zu\n", mChatSent.size());
        const bool alive = mServer.Running();
        const double stop = mServer.Stop(30 * kSecond);
        std::printf("server alive after the flood: %s; stop: %s, %.2f s\n", alive ? "yes" : "no",
                    mServer.Ending().c_str(), stop);
        std::ifstream file(mRoom + "/media.xml", std::ios::binary);
        const std::string saved{std::istreambuf_iterator<char>(file), {}};
        std::printf(
            "photo uploaded before the flood listed in the saved catalogue: %s\n",
            saved.find("<title>" + kPhotoTitle + "</title>") != std::string::npos ? "yes" : "no");
        return true;
    }

    const std::string& Failure() const { return mFailure; }

  private:
    static double Largest(const std::vector<double>& values) {
        return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
    }

    bool JoinMembers() {
        mMember = Connect(kMemberAddress, mPort, 0);
        mPartner = Connect(kPartnerAddress, mPort, 0);
        if (mMember < 0 || mPartner < 0) {
            mFailure = std::string("a member cannot connect: ") + std::strerror(errno);
            return false;
        }
        mPoller.Watch(mMember, EPOLL_CTL_ADD, EPOLLIN | EPOLLRDHUP, kMemberTag);
        mPoller.Watch(mPartner, EPOLL_CTL_ADD, EPOLLIN | EPOLLRDHUP, kPartnerTag);
        Send(mMember, Framed(RelayWire::Join("member", "")));
        Send(mPartner, Framed(RelayWire::Join("partner", "")));
        if (!Serve(Now() + kSetupTime, [this] { return mMemberId != 0 && mPartnerId != 0; })) {
            mFailure = "the members were not admitted";
            return false;
        }
        return true;
    }

    // The member uploads kPng, which only the closing save keeps once it is made.
    bool UploadPhoto() {
        Send(mMember, Framed(RelayWire::AddMediaRequest(
                          1, kPhoto, static_cast<uint32_t>(kPng.size()), kPhotoTitle)));
        if (!Serve(Now() + kSetupTime, [this] { return mPhotoAnswer >= 0; }) ||
            mPhotoAnswer != kAccepted) {
            mFailure = "the member's upload was not accepted";
            return false;
        }
        Send(mMember, Framed(RelayWire::Chunk(mPhotoId, 0, 0, kPng)));
        return true;
    }

    // Starts a connection of the outsider; its requests go once it is connected.
    void OpenOutsider(int address) {
        const int fd = Connect(OutsiderAddress(address), mPort, 4096, false);
        if (fd < 0) {
            return;
        }
        mPoller.Watch(fd, EPOLL_CTL_ADD, EPOLLOUT | EPOLLRDHUP,
                      kOutsiderTag + static_cast<uint64_t>(fd));
        mOutsiders[fd] = {address, false};
    }

    // Sends a connected outsider's requests; from then on only its end is watched.
    void SendOutsiderRequests(int fd) {
        std::string requests;
        const std::string listing = Framed(RelayWire::Message(
            RelayWire::GetMediaInfo, 0, RelayWire::U32(0xFFFFFFFF) + RelayWire::U8(255)));
        for (int i = 0; i < mOptions.requests; ++i) {
            requests += listing;
        }
        // Its requests fit the socket's buffer: they are sent whole, at once.
        send(fd, requests.data(), requests.size(), MSG_NOSIGNAL);
        mPoller.Watch(fd, EPOLL_CTL_MOD, EPOLLRDHUP, kOutsiderTag + static_cast<uint64_t>(fd));
    }

    static void Send(int fd, const std::string& frame) {
        send(fd, frame.data(), frame.size(), MSG_NOSIGNAL);
    }

    // Serves the loop until done() or the deadline; false at the deadline.
    template <typename Done>
    bool Serve(uint64_t deadline, Done done) {
        epoll_event events[256];
        while (!done()) {
            const uint64_t now = Now();
            if (now >= deadline || !mServer.Running()) {
                return false;
            }
            if (now >= mNextSample) {
                mPeak = std::max(mPeak, mServer.ResidentMegabytes());
                mNextSample = now + kSampleEvery;
            }
            if (mMemberId != 0 && mPartnerId != 0 && now >= mNextNewcomer) {
                OpenNewcomer(now);
                mNextNewcomer = now + kNewcomerEvery;
            }
            if (mMemberId != 0 && mPartnerId != 0 && now >= mNextChat) {
                mChatSent[mChatNumber] = now;
                Send(mMember, Framed(RelayWire::ChatText("chat " + std::to_string(mChatNumber))));
                ++mChatNumber;
                mNextChat = now + kChatEvery;
            }
            const uint64_t wake = std::min({deadline, mNextSample, mNextChat, mNextNewcomer});
            const int timeout =
                static_cast<int>(std::max<uint64_t>(wake - std::min(wake, now), 0) / 1000000);
            const int count = mPoller.Wait(events, 256, std::max(timeout, 1));
            for (int i = 0; i < count; ++i) {
                OnEvent(events[i].data.u64, events[i].events);
            }
        }
        return true;
    }

    // A newcomer from its own address connects and, once connected, asks to join; OnNewcomer
    // times the answer from the start of its connect.
    void OpenNewcomer(uint64_t now) {
        const int fd = Connect(kNewcomerAddress + mNewcomerNumber++ % 250, mPort, 0, false);
        if (fd < 0) {
            return;
        }
        mPoller.Watch(fd, EPOLL_CTL_ADD, EPOLLOUT | EPOLLIN | EPOLLRDHUP,
                      kNewcomerTag + static_cast<uint64_t>(fd));
        mNewcomers[fd] = {now, std::string(), 0};
    }

    // Reads a newcomer; once its join is answered (or it is closed unanswered), it leaves.
    void OnNewcomer(int fd, uint32_t events) {
        const auto found = mNewcomers.find(fd);
        if (found == mNewcomers.end()) {
            return;
        }
        if (found->second.mConnected == 0 && (events & (EPOLLERR | EPOLLHUP | EPOLLRDHUP)) == 0) {
            Send(fd, Framed(RelayWire::Join("newcomer", "")));
            mPoller.Watch(fd, EPOLL_CTL_MOD, EPOLLIN | EPOLLRDHUP,
                          kNewcomerTag + static_cast<uint64_t>(fd));
            found->second.mConnected = Now();
            return;
        }
        const bool open = ReadInto(fd, found->second.mIn);
        bool answered = false;
        TakeFrames(found->second.mIn, [&answered](const RelayWire::Parsed& message) {
            answered = answered || message.type == RelayWire::JoinResponse;
        });
        if (answered) {
            mJoins.push_back(ToSeconds(Now() - found->second.mSent));
            mAnswers.push_back(ToSeconds(Now() - found->second.mConnected));
        }
        if (answered || !open) {
            mPoller.Watch(fd, EPOLL_CTL_DEL, 0, 0);
            close(fd);
            mNewcomers.erase(found);
        }
    }

    void OnEvent(uint64_t tag, uint32_t events) {
        if (tag >= kNewcomerTag) {
            OnNewcomer(static_cast<int>(tag - kNewcomerTag), events);
        } else if (tag == kMemberTag) {
            ReadInto(mMember, mMemberIn);
            TakeFrames(mMemberIn, [this](const RelayWire::Parsed& message) {
                if (message.type == RelayWire::JoinResponse && !message.payload.empty() &&
                    message.payload[0] == 0) {
                    mMemberId = message.clientId;
                } else if (message.type == RelayWire::AddMediaAnswer &&
                           message.payload.size() >= 6) {
                    mPhotoAnswer = static_cast<uint8_t>(message.payload[1]);
                    mPhotoId = RelayWire::ReadU32(message.payload, 2);
                } else if (message.type == RelayWire::Chat && message.clientId == mPartnerId &&
                           message.payload.size() > 6) {
                    const auto sent = mChatSent.find(static_cast<uint32_t>(
                        std::strtoul(message.payload.c_str() + 6, nullptr, 10)));
                    if (sent != mChatSent.end()) {
                        mTrips.push_back(ToSeconds(Now() - sent->second));
                        mChatSent.erase(sent);
                    }
                }
            });
        } else if (tag == kPartnerTag) {
            ReadInto(mPartner, mPartnerIn);
            TakeFrames(mPartnerIn, [this](const RelayWire::Parsed& message) {
                if (message.type == RelayWire::JoinResponse && !message.payload.empty() &&
                    message.payload[0] == 0) {
                    mPartnerId = message.clientId;
                } else if (message.type == RelayWire::Chat && message.clientId == mMemberId &&
                           !message.payload.empty()) {
                    Send(mPartner, Framed(RelayWire::ChatText(message.payload.substr(1))));
                }
            });
        } else {
            const int fd = static_cast<int>(tag - kOutsiderTag);
            const auto found = mOutsiders.find(fd);
            if (found == mOutsiders.end()) {
                return;
            }
            if (!found->second.mConnected && (events & (EPOLLERR | EPOLLHUP | EPOLLRDHUP)) == 0) {
                SendOutsiderRequests(fd);
                found->second.mConnected = true;
                return;
            }
            // One of the outsider's connections has ended: the server closed it.
            const int address = found->second.mAddress;
            mOutsiders.erase(found);
            mPoller.Watch(fd, EPOLL_CTL_DEL, 0, 0);
            Reset(fd);
            if (mFlooding) {
                ++mReopened;
                OpenOutsider(address);
            }
        }
    }

    const Options& mOptions;
    uint16_t mPort;
    LoadSupport::Server& mServer;
    const std::string mRoom;  // the room's directory
    LoadSupport::Poller mPoller;
    std::string mFailure;
    int mMember{-1};
    int mPartner{-1};
    std::string mMemberIn;
    std::string mPartnerIn;
    uint32_t mMemberId{0};
    uint32_t mPartnerId{0};
    int mPhotoAnswer{-1};  // the code of the answer to the member's upload, -1 until it comes
    uint32_t mPhotoId{0};  // the media id it gives
    // One of the outsider's connections: the index of its address, and whether its
    // handshake is done and its requests sent.
    struct Outsider {
        int mAddress;
        bool mConnected;
    };
    std::unordered_map<int, Outsider> mOutsiders;  // descriptor -> connection
    bool mFlooding{false};
    int mReopened{0};
    uint64_t mNextChat{0};
    uint64_t mNextSample{0};
    uint32_t mChatNumber{0};
    std::unordered_map<uint32_t, uint64_t> mChatSent;  // chat number -> when sent
    std::vector<double> mTrips;
    // A newcomer waiting for the answer to its join: when it began to connect, what it has
    // read, and when it was connected and asked (0 until then).
    struct Newcomer {
        uint64_t mSent;
        std::string mIn;
        uint64_t mConnected;
    };
    std::unordered_map<int, Newcomer> mNewcomers;  // descriptor -> newcomer
    uint32_t mNewcomerNumber{0};
    uint64_t mNextNewcomer{0};
    std::vector<double> mJoins;    // seconds each answered newcomer waited
    std::vector<double> mAnswers;  // of which it waited, connected, for the answer
    double mPeak{0};
};

bool Parse(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const char* value = argv[i + 1];
        int* number = option == "-a"           ? &options.addresses
                      : option == "-c"         ? &options.connections
                      : option == "-r"         ? &options.requests
                      : option == "-t"         ? &options.seconds
                      : option == "--items"    ? &options.items
                      : option == "--title"    ? &options.title
                      : option == "--room-max" ? &options.roomMax
                      : option == "--as-mib"   ? &options.addressSpaceMib
                                               : nullptr;
        if (option == "--after") {
            options.after.clear();
            for (const char* at = value; *at != '\0';) {
                char* end = nullptr;
                options.after.push_back(static_cast<int>(std::strtol(at, &end, 10)));
                at = *end == ',' ? end + 1 : end;
                if (end == at && *at != '\0') {
                    return false;
                }
            }
            continue;
        }
        double noRate = 0;  // the flood has no rate: it asks everything at once
        if (option == "--rate" ||
            !LoadSupport::TakeOption(option, value, options.server, noRate, number)) {
            return false;
        }
    }
    return argc % 2 == 1 && !options.server.empty();
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!LoadSupport::StartUp("ListingFlood", kUsage, Parse(argc, argv, options), options.server)) {
        return 2;
    }
    LoadSupport::RaiseOpenFileLimit();
    const uint16_t port = LoadSupport::FreePort(kServerAddress);
    const std::string room = MakeRoom(port, options);
    if (port == 0 || room.empty()) {
        std::fprintf(stderr, "ListingFlood: no room could be made\n");
        return 1;
    }
    LoadSupport::Server server(options.server, room, 0,
                               static_cast<uint64_t>(options.addressSpaceMib) << 20);
    std::string why;
    if (!server.AwaitListening(port, why)) {
        std::fprintf(stderr, "ListingFlood: %s\n", why.c_str());
        return LoadSupport::Finish("ListingFlood", room, false);
    }
    Flood flood(options, port, server, room);
    const bool ok = flood.Run();
    if (!ok) {
        std::fprintf(stderr, "ListingFlood: %s\n", flood.Failure().c_str());
    }
    return LoadSupport::Finish("ListingFlood", room, ok);
}
