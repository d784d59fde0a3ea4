// A load tool for what one outsider's never-joined relay connections cost the room. It starts
// the server in a room directory of its own, under an open-file limit (20,000 by default),
// with listed photos and two joined members; then, for a fixed time, an outsider opens
// relay connections that never join, from A loopback addresses, at a given rate or as fast
// as it can, up to a given number, and closes each once the server has closed it (or, when
// they read nothing, its oldest once it holds a given number). Its connections may each ask
// downloads of large photos and read nothing, through a 4 KB receive buffer. Probes on timers
// of their own see what everyone else still gets: every 50 ms one member sends a chat that
// the other answers; every 0.5 s the member asks for a listed photo and starts an upload
// (abandoned once accepted), and a policy client asks port 943; every 2 s a newcomer
// connects and sends its join 3 s later, and another sends its join at once (or after a
// given time) and has its answer timed. It prints one table: the probes' outcomes, the
// server's CPU, memory and open descriptors, the leave notices the member received, the
// server's descriptor reserve lines and its stop. One thread, one epoll loop, a deadline on
// every phase. The server binds port 943, so run it as root, in a network namespace of its
// own.

#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "LoadSupport.h"
#include "support/RelayWire.h"

namespace {

using LoadSupport::Address;
using LoadSupport::Framed;
using LoadSupport::kSecond;
using LoadSupport::Now;
using LoadSupport::ReadInto;
using LoadSupport::ReadText;
using LoadSupport::Server;
using LoadSupport::TakeFrames;
using LoadSupport::ToSeconds;

const char* const kUsage =
    "usage: OutsiderLoad --server PATH [-a A] [--rate R] [-t T] [-w W] [--files F]\n"
    "                    [--in-flight P] [--connections N] [--downloads D] [--photo-size B]\n"
    "                    [--hold H] [--room-max M] [--join-after-ms J] [--after S]\n"
    "  --server PATH    the server binary to measure (it binds port 943: run as root, in a\n"
    "                   network namespace of its own)\n"
    "  -a A             addresses the outsider connects from, 127.1.0.1 on (default 1)\n"
    "  --rate R         never-joined connections opened per second, from all addresses\n"
    "                   together; 0 opens them as fast as it can (default 0)\n"
    "  -t T             seconds the probes run, and the figures are taken (default 30)\n"
    "  -w W             seconds the outsider runs alone first, to fill the server's\n"
    "                   descriptors at a low rate (default 0)\n"
    "  --files F        the server's open-file limit, soft and hard (default 20000)\n"
    "  --in-flight P    outsider connections still connecting, at most (default 4096)\n"
    "  --connections N  outsider connections opened in all, then kept (default 0: no end)\n"
    "  --downloads D    downloads each outsider connection asks of distinct photos, at most\n"
    "                   16, reading nothing through a 4 KB receive buffer (default 0)\n"
    "  --photo-size B   the bytes of each photo the outsider asks (sparse files; default\n"
    "                   4194304)\n"
    "  --hold H         outsider connections held open at most: past it the oldest is\n"
    "                   closed, since one that reads nothing never sees the server close it\n"
    "                   (default 0: no bound but the tool's descriptors)\n"
    "  --room-max M     the room's RoomMaxClients (default 20)\n"
    "  --join-after-ms J  the second kind of newcomer sends its join J ms after connecting\n"
    "                   (default 0: at once)\n"
    "  --after S        then closes the outsider and takes the server's resident size S\n"
    "                   seconds later (default 0: not taken)\n"
    "Run it as root in a network namespace of its own, with loopback up and the ephemeral\n"
    "ports widened (with ten thousand connections from one address in the default range, the\n"
    "kernel's search for a free port costs the outsider more than its connections):\n"
    "  ip netns add load && ip netns exec load ip link set lo up\n"
    "  ip netns exec load sysctl -w net.ipv4.ip_local_port_range=\"1024 65535\"\n"
    "  ip netns exec load OutsiderLoad --server PATH ...\n"
    "Never-joined connections asking downloads and reading nothing, 64 from each of 8\n"
    "addresses, then 1,000 from one address in a room for 1,000:\n"
    "  OutsiderLoad --server PATH -a 8 --connections 512 --downloads 16 -t 20\n"
    "  OutsiderLoad --server PATH -a 1 --connections 1000 --room-max 1000 --downloads 16 -t 20\n"
    "One outsider at one address churning such connections at an open-file limit of 1,024:\n"
    "  OutsiderLoad --server PATH -a 1 --downloads 16 --hold 2048 --files 1024 -t 60\n"
    "               --join-after-ms 500 --after 10\n";

struct Options {
    std::string server;
    int addresses{1};
    double rate{0};  // 0: as fast as it can
    int seconds{30};
    int warmUp{0};
    int files{20000};
    int inFlight{4096};
    int connections{0};  // 0: no end
    int downloads{0};
    int photoSize{4 << 20};
    int hold{0};  // 0: no bound but the tool's descriptors
    int roomMax{20};
    int joinAfter{0};  // milliseconds; 0: at once
    int after{0};      // seconds; 0: not taken
};

constexpr uint64_t kChatEvery = kSecond / 20;     // the member's chat
constexpr uint64_t kProbeEvery = kSecond / 2;     // the member's and the policy client's
constexpr uint64_t kNewcomerEvery = 2 * kSecond;  // each kind of newcomer's
constexpr uint64_t kJoinDelay = 3 * kSecond;      // a late newcomer's wait before its join
constexpr uint64_t kAnswerTime = 10 * kSecond;    // for a download, an upload or a join
constexpr uint64_t kPolicyTime = 5 * kSecond;     // for the whole policy
constexpr uint64_t kSetupTime = 30 * kSecond;     // for each phase before the outsider starts
constexpr uint64_t kStopTime = 30 * kSecond;      // for the server to stop after SIGTERM
constexpr uint64_t kSampleEvery = kSecond;        // the server's descriptors
constexpr int kOpenBatch = 64;  // outsider connects per pass, so a probe waits one batch at most
constexpr uint64_t kProbeDescriptors = 256;
constexpr uint16_t kPolicyPort = 943;
const char kPolicyRequest[] = "<policy-file-request/>";

// Each party has an address of its own; the outsider's are 127.1.0.1, 127.1.0.2, ...
constexpr uint32_t kServerAddress = 0x7F000001;   // 127.0.0.1
constexpr uint32_t kLateAddress = 0x7F000201;     // 127.0.2.1: newcomers that join after 3 s
constexpr uint32_t kPromptAddress = 0x7F000202;   // 127.0.2.2: newcomers that join at once
constexpr uint32_t kMemberAddress = 0x7F000301;   // 127.0.3.1
constexpr uint32_t kPartnerAddress = 0x7F000302;  // 127.0.3.2: the member it chats with
constexpr uint32_t kPolicyAddress = 0x7F000401;   // 127.0.4.1

uint32_t OutsiderAddress(int index) {
    return 0x7F010000 + static_cast<uint32_t>(index / 250 << 8) + 1 + index % 250;
}

// A download answer's and an upload answer's codes.
constexpr uint8_t kAccepted = 0;
constexpr uint8_t kAlreadyDownloading = 1;
constexpr uint8_t kNotFound = 2;
constexpr uint8_t kCannotCreate = 4;
constexpr uint8_t kPhoto = 1;  // an upload's media type

// A join without password.
std::string JoinFrame(const std::string& name) {
    return Framed(RelayWire::Join(name, ""));
}

// A non-blocking socket bound to the host given and connecting to the server's port, or -1
// with errno set; receiveBuffer, unless 0, is its receive buffer's size.
int StartConnect(uint32_t from, uint16_t port, int receiveBuffer = 0) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    // Set before connect: the window offered in the handshake follows it.
    if (receiveBuffer > 0) {
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    }
    // The port is chosen at connect: a source address then has a port per connection to the
    // server's port, rather than one per bound socket of the whole machine.
    const int on = 1;
    setsockopt(fd, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &on, sizeof on);
    const sockaddr_in local = Address(from, 0);
    const sockaddr_in remote = Address(kServerAddress, port);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        (connect(fd, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) != 0 &&
         errno != EINPROGRESS)) {
        return LoadSupport::CloseKeepingErrno(fd);
    }
    return fd;
}

// The value below which a fraction q of values lie (0 to 1).
double Quantile(std::vector<double> values, double q) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(q * static_cast<double>(values.size() - 1))];
}

double Median(std::vector<double> values) {
    return Quantile(std::move(values), 0.5);
}

double Largest(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

double Smallest(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

// One listed file: its item, its resource (0 the photo, 1 the preview) and its size.
struct ListedFile {
    uint32_t mediaId;
    uint8_t resourceId;
    uint32_t size;
};

// Two photos with their previews; the bytes are never decoded, only sent.
const ListedFile kFiles[] = {{1, 0, 40000}, {1, 1, 4000}, {2, 0, 60000}, {2, 1, 6000}};
constexpr int kFileCount = sizeof kFiles / sizeof kFiles[0];
constexpr int kTimedFile = 0;  // the 40 KB photo, whose downloads are timed

// The photos the outsider asks for: items 101 to 116, each listed with a preview.
constexpr uint32_t kOutsiderPhoto = 101;
constexpr int kOutsiderPhotos = 16;
constexpr uint32_t kOutsiderReceiveBuffer = 4096;

// The requests of count downloads of the outsider's photos, framed.
std::string DownloadRequests(int count) {
    std::string requests;
    for (int photo = 0; photo < count; ++photo) {
        requests += Framed(RelayWire::MediaFile(RelayWire::GetMedia, kOutsiderPhoto + photo, 0));
    }
    return requests;
}

// The tool's open-file limit.
uint64_t OwnDescriptors() {
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    return files.rlim_cur;
}

// One catalogue item whose photo and preview have the sizes given.
std::string ListedItem(uint32_t mediaId, uint32_t photo, uint32_t preview) {
    const std::string id = std::to_string(mediaId);
    return "<item><entry><author><name>Ann</name></author><id>" + id + "</id><title>photo " + id +
           "</title><published>2024/01/02 13:04:05</published></entry><group><content " +
           "fileSize=\"" + std::to_string(photo) +
           "\" height=\"600\" width=\"800\" /><content fileSize=\"" + std::to_string(preview) +
           "\" height=\"120\" width=\"160\" /></group></item>";
}

// A room directory in /tmp: anyone joins without a password, may view and post photos, and
// the catalogue lists the two photos of kFiles, whose files are there, and the outsider's
// photos of photoSize bytes, whose files are sparse (downloads send them as stored).
std::string MakeRoom(uint16_t port, const Options& options) {
    const std::string config = LoadSupport::OpenRoomConfig(port, "Outsider", options.roomMax);
    std::string media =
        "<media count=\"" + std::to_string(kFileCount / 2 + kOutsiderPhotos) + "\">";
    for (int file = 0; file < kFileCount; file += 2) {
        media += ListedItem(kFiles[file].mediaId, kFiles[file].size, kFiles[file + 1].size);
    }
    const auto photoSize = static_cast<uint32_t>(options.photoSize);
    for (uint32_t id = kOutsiderPhoto; id < kOutsiderPhoto + kOutsiderPhotos; ++id) {
        media += ListedItem(id, photoSize, kFiles[1].size);
    }
    media += "</media>";
    const std::string room = LoadSupport::MakeRoom("outsiderload", config, media);
    std::error_code error;
    bool written = !room.empty() && std::filesystem::create_directory(room + "/media", error);
    for (const ListedFile& file : kFiles) {
        std::string bytes(file.size, '\0');
        for (uint32_t i = 0; i < file.size; ++i) {
            bytes[i] = static_cast<char>(i * 2654435761u >> 24);
        }
        written =
            written && LoadSupport::WriteFile(room + "/media/" + std::to_string(file.mediaId) +
                                                  "_" + std::to_string(file.resourceId),
                                              bytes);
    }
    for (uint32_t id = kOutsiderPhoto; id < kOutsiderPhoto + kOutsiderPhotos && written; ++id) {
        const uint32_t sizes[] = {photoSize, kFiles[1].size};  // the photo, then its preview
        for (uint32_t resource = 0; resource < 2; ++resource) {
            const std::string file =
                room + "/media/" + std::to_string(id) + "_" + std::to_string(resource);
            written = written && LoadSupport::WriteFile(file, "") &&
                      (std::filesystem::resize_file(file, sizes[resource], error), !error);
        }
    }
    return written ? room : "";
}

// What became of the outsider's connections.
struct OutsiderTally {
    uint64_t opened{0};
    uint64_t connected{0};
    uint64_t failed{0};     // refused, reset or timed out before the handshake ended
    uint64_t notOpened{0};  // the tool had no socket or port for it
    int notOpenedError{0};  // the last reason
    uint64_t closedByServer{0};
    uint64_t closedByTool{0};       // the oldest, past the bound held open
    std::vector<double> lifetimes;  // seconds from the handshake to the server's close
};

// The member's probes: each download asked, each upload started, each notice received.
struct MemberTally {
    int downloads{0};
    int whole{0};
    int notFound{0};
    int alreadyDownloading{0};
    int stillRunning{0};  // its previous download of the file had not ended: not asked
    int unfinished{0};
    int uploads{0};
    int uploadsAccepted{0};
    int uploadsCannotCreate{0};
    int uploadsOther{0};
    int uploadsUnanswered{0};
    uint64_t leaves{0};
    uint64_t leaveBytes{0};
    uint64_t joins{0};
    uint64_t bytes{0};
    double closedAt{-1};  // seconds after the outsider started when the member was closed
    int chats{0};
    int chatsUnanswered{0};
    std::vector<double> chatTrips;  // seconds from a chat's send to the other member's answer
    std::vector<double> timed;      // seconds from asking the timed photo to its last byte
};

// The newcomers' and the policy client's connections.
struct VisitorTally {
    int started{0};
    int admitted{0};     // a join answered 0, or the policy received whole
    int refused{0};      // a join answered with another code, or a policy cut short
    int closedEarly{0};  // closed before its join was sent, or the policy closed unsent
    int closed{0};       // closed after its join was sent, before an answer
    int unanswered{0};
    int notConnected{0};           // the handshake did not end in time, or failed
    std::vector<double> connects;  // seconds from connect to the handshake's end
    std::vector<double> answers;   // seconds from connect to the join's answer
    std::vector<double> waits;     // seconds from the join's send to its answer
    std::vector<double> closings;  // seconds from connect to the server's close
};

enum class Visit : uint8_t { Late, Prompt, Policy };

// A newcomer or a policy client: one connection, one question.
struct Visitor {
    Visit kind{Visit::Late};
    int fd{-1};
    uint64_t opened{0};     // connect was called
    uint64_t connected{0};  // 0 until the handshake ended
    uint64_t sent{0};       // 0 until its join or request was sent
    std::string in;
};

class OutsiderLoad {
  public:
    OutsiderLoad(const Options& options, Server& server, uint16_t port, const std::string& room)
        : mOptions(options), mServer(server), mPort(port), mRoom(room) {}
    ~OutsiderLoad() {
        CloseOutsiders();
        for (const Visitor& visitor : mVisitors) {
            close(visitor.fd);
        }
        close(mMember);
        close(mPartner);
    }
    OutsiderLoad(const OutsiderLoad&) = delete;
    OutsiderLoad& operator=(const OutsiderLoad&) = delete;

    // Sets the room up, runs the outsider with the probes and prints the table; false when a
    // phase failed.
    bool Run() {
        // The policy service starts after the relay's.
        if (!mServer.AwaitListening(mPort, mFailure) ||
            !mServer.AwaitListening(kPolicyPort, mFailure) || !FetchPolicy() || !JoinMember() ||
            !Measure()) {
            std::fprintf(stderr, "OutsiderLoad: %s\n", mFailure.c_str());
            return false;
        }
        CloseOutsiders();
        if (mOptions.after > 0) {
            Serve(Now() + static_cast<uint64_t>(mOptions.after) * kSecond, [] { return false; });
            mResidentAfter = mServer.ResidentMegabytes();
        }
        const double stop = mServer.Stop(kStopTime);
        Print(stop);
        return true;
    }

  private:
    static constexpr uint64_t kMemberTag = uint64_t{1} << 40;
    static constexpr uint64_t kPartnerTag = uint64_t{1} << 42;
    static constexpr uint64_t kVisitorTag = uint64_t{1} << 41;  // | the visitor's index

    enum class Socket : uint8_t { kNone, kConnecting, kOpen };

    // Asks for the policy once, before any load, to know what a whole answer is.
    bool FetchPolicy() {
        StartVisitor(Visit::Policy);
        Serve(Now() + kSetupTime, [this] { return mVisitors.empty(); });
        mPolicyTally = VisitorTally();
        if (mFailure.empty() && mPolicy.empty()) {
            mFailure = "the policy service on port 943 sent nothing (is the tool root?)";
        }
        return mFailure.empty();
    }

    // Connects a member from the address given into fd, watched with tag; false, with why,
    // when it cannot.
    bool ConnectMember(uint32_t from, uint64_t tag, const char* name, int& fd) {
        fd = StartConnect(from, mPort);
        if (fd < 0) {
            mFailure = std::string("the ") + name + " cannot connect: " + std::strerror(errno);
            return false;
        }
        mPoller.Watch(fd, EPOLL_CTL_ADD, EPOLLIN | EPOLLRDHUP, tag);
        return true;
    }

    // Joins the two members and downloads one photo whole, so the room is known to serve it.
    bool JoinMember() {
        if (!ConnectMember(kMemberAddress, kMemberTag, "member", mMember) ||
            !ConnectMember(kPartnerAddress, kPartnerTag, "partner", mPartner)) {
            return false;
        }
        SendMember(JoinFrame("member"));
        SendPartner(JoinFrame("partner"));
        if (!Serve(Now() + kSetupTime, [this] { return mMemberId != 0 && mPartnerId != 0; })) {
            return Failed("the members were not admitted");
        }
        AskDownload();
        if (!Serve(Now() + kSetupTime, [this] { return mMemberTally.whole == 1; })) {
            return Failed("the member could not download a listed photo");
        }
        mMemberTally = MemberTally();
        return true;
    }

    // The outsider alone for the warm-up, then with the probes for the run's time, then the
    // probes started in it until each has its outcome, the outsider still going. False when
    // the server ended.
    bool Measure() {
        mStart = Now();
        const uint64_t warmUp = static_cast<uint64_t>(mOptions.warmUp) * kSecond;
        if (!Serve(
                mStart + warmUp, [] { return false; },
                [this](uint64_t now) { OpenOutsiders(now); }) &&
            !mFailure.empty()) {
            return false;
        }
        // The notices of the warm-up are left out.
        const double closedAt = mMemberTally.closedAt;
        mMemberTally = MemberTally();
        mMemberTally.closedAt = closedAt;
        const uint64_t openedBefore = mOutsider.opened;
        const uint64_t connectedBefore = mOutsider.connected;
        const uint64_t begin = Now();
        mEnd = begin + static_cast<uint64_t>(mOptions.seconds) * kSecond;
        uint64_t nextChat = begin;
        uint64_t nextProbe = begin;
        uint64_t nextLate = begin;
        uint64_t nextPrompt = begin + kNewcomerEvery / 2;
        uint64_t nextSample = begin;
        const double cpu = mServer.CpuSeconds();
        const double ownBefore = LoadSupport::OwnCpuSeconds();
        const auto probing = [&](uint64_t now) {
            if (now >= nextSample && now < mEnd) {
                nextSample += kSampleEvery;
                mDescriptors.push_back(mServer.Descriptors());
            }
            for (; nextChat <= now && nextChat < mEnd; nextChat += kChatEvery) {
                SendChat();
            }
            for (; nextProbe <= now && nextProbe < mEnd; nextProbe += kProbeEvery) {
                AskDownload();
                AskUpload();
                StartVisitor(Visit::Policy);
            }
            for (; nextLate <= now && nextLate < mEnd; nextLate += kNewcomerEvery) {
                StartVisitor(Visit::Late);
            }
            for (; nextPrompt <= now && nextPrompt < mEnd; nextPrompt += kNewcomerEvery) {
                StartVisitor(Visit::Prompt);
            }
            OpenOutsiders(now);
        };
        if (!Serve(
                mEnd, [] { return false; }, probing) &&
            !mFailure.empty()) {
            return false;
        }
        mServerCpu = mServer.CpuSeconds() - cpu;
        mResident = mServer.ResidentMegabytes();
        mPeak = mServer.PeakMegabytes();
        mMemberAtEnd = mMemberTally;
        mOpenedInRun = mOutsider.opened - openedBefore;
        mConnectedInRun = mOutsider.connected - connectedBefore;
        mToolCpu = LoadSupport::OwnCpuSeconds() - ownBefore;
        // Each probe ends by its own deadlines (to connect, to send a late join, to be
        // answered): past the longest, none is left.
        const uint64_t drain = Now() + 2 * kAnswerTime + kJoinDelay + kSecond;
        return Serve(
                   drain, [this] { return mVisitors.empty() && !MemberWaits(); }, probing) ||
               Failed("a probe outlived its deadlines");
    }

    // Serves the sockets, calling each at every pass, until done() holds (true) or the
    // deadline passes, a failure is found or the server ends (false).
    bool Serve(uint64_t deadline, const std::function<bool()>& done,
               const std::function<void(uint64_t)>& each = nullptr) {
        epoll_event events[1024];
        while (!done()) {
            const uint64_t now = Now();
            if (!mServer.Running()) {
                mFailure = "the server ended";
            }
            if (now > deadline || !mFailure.empty()) {
                return false;
            }
            if (each) {
                each(now);
            }
            OnTimers(Now());
            // Not waiting while outsider connections are due, so the outsider goes as fast
            // as it can; the probes' timers are looked at every millisecond otherwise.
            const int count = mPoller.Wait(events, 1024, OutsiderDue(Now()) ? 0 : 1);
            for (int i = 0; i < count; ++i) {
                const uint64_t tag = events[i].data.u64;
                if (tag == kMemberTag) {
                    ReadMember();
                } else if (tag == kPartnerTag) {
                    ReadPartner();
                } else if (tag & kVisitorTag) {
                    OnVisitor(static_cast<size_t>(tag & ~kVisitorTag), events[i].events);
                } else {
                    OnOutsider(static_cast<int>(tag), events[i].events);
                }
            }
        }
        return true;
    }

    // False, with why as the failure unless one is known already.
    bool Failed(const char* why) {
        if (mFailure.empty()) {
            mFailure = why;
        }
        return false;
    }

    // --- The outsider ---

    // How many more outsider connections are due now.
    uint64_t OutsiderWanted(uint64_t now) const {
        if (mStart == 0 || mOutsiderClosed ||
            (mOptions.connections > 0 &&
             mOutsider.opened >= static_cast<uint64_t>(mOptions.connections))) {
            return 0;
        }
        if (mOptions.rate <= 0) {
            return kOpenBatch;
        }
        const auto due = static_cast<uint64_t>(ToSeconds(now - mStart) * mOptions.rate);
        return due > mOutsider.opened ? due - mOutsider.opened : 0;
    }

    bool OutsiderDue(uint64_t now) const {
        return OutsiderWanted(now) > 0 && mConnecting < static_cast<uint64_t>(mOptions.inFlight) &&
               mOutsiderOpen < mOutsiderMost;
    }

    void OpenOutsiders(uint64_t now) {
        const uint64_t wanted = std::min<uint64_t>(OutsiderWanted(now), kOpenBatch);
        for (uint64_t i = 0; i < wanted && OutsiderDue(now); ++i) {
            while (mOptions.hold > 0 && mOutsiderOpen >= static_cast<uint64_t>(mOptions.hold)) {
                CloseOldest();
            }
            const int from = static_cast<int>(mOutsider.opened % mOptions.addresses);
            ++mOutsider.opened;
            const int fd = StartConnect(OutsiderAddress(from), mPort,
                                        mOptions.downloads > 0 ? kOutsiderReceiveBuffer : 0);
            if (fd < 0) {
                // Tried again at the next pass, the probes served in between.
                ++mOutsider.notOpened;
                mOutsider.notOpenedError = errno;
                return;
            }
            if (static_cast<size_t>(fd) >= mSockets.size()) {
                mSockets.resize(fd + 1024, Socket::kNone);
                mSince.resize(fd + 1024, 0);
                mSerials.resize(fd + 1024, 0);
            }
            mSockets[fd] = Socket::kConnecting;
            mSerials[fd] = mOutsider.opened;
            mOldest.emplace_back(fd, mOutsider.opened);
            ++mConnecting;
            ++mOutsiderOpen;
            // Edge-triggered: the end of the handshake and the server's close, one event each.
            mPoller.Watch(fd, EPOLL_CTL_ADD, EPOLLIN | EPOLLOUT | EPOLLRDHUP | EPOLLET, fd);
        }
    }

    void OnOutsider(int fd, uint32_t events) {
        const uint64_t now = Now();
        if (mSockets[fd] == Socket::kConnecting) {
            --mConnecting;
            if ((events & EPOLLERR) || !(events & EPOLLOUT)) {
                ++mOutsider.failed;
                return DropOutsider(fd);
            }
            ++mOutsider.connected;
            mSockets[fd] = Socket::kOpen;
            mSince[fd] = now;
            if (mOptions.downloads > 0) {
                (void)send(fd, mDownloadRequests.data(), mDownloadRequests.size(), MSG_NOSIGNAL);
            }
        }
        // One that asked downloads reads nothing: its receive buffer stays full.
        std::string ignored;
        const bool closed =
            (events & (EPOLLRDHUP | EPOLLHUP | EPOLLERR)) ||
            ((events & EPOLLIN) && mOptions.downloads == 0 && !ReadInto(fd, ignored));
        if (closed) {
            ++mOutsider.closedByServer;
            mOutsider.lifetimes.push_back(ToSeconds(now - mSince[fd]));
            DropOutsider(fd);
        }
    }

    // Closes the oldest outsider connection still open; unread bytes make the close a reset,
    // so no port is left waiting.
    void CloseOldest() {
        while (!mOldest.empty()) {
            const auto [fd, serial] = mOldest.front();
            mOldest.pop_front();
            if (mSockets[fd] != Socket::kNone && mSerials[fd] == serial) {
                mConnecting -= mSockets[fd] == Socket::kConnecting;
                ++mOutsider.closedByTool;
                return DropOutsider(fd);
            }
        }
    }

    void DropOutsider(int fd) {
        mSockets[fd] = Socket::kNone;
        --mOutsiderOpen;
        close(fd);
    }

    void CloseOutsiders() {
        mOutsiderClosed = true;
        for (size_t fd = 0; fd < mSockets.size(); ++fd) {
            if (mSockets[fd] != Socket::kNone) {
                mOutsiderLeft += mSockets[fd] == Socket::kOpen;
                DropOutsider(static_cast<int>(fd));
            }
        }
        mConnecting = 0;
    }

    // --- The member ---

    void SendMember(const std::string& frame) {
        if (mMemberGone) {
            return;
        }
        // Its requests are small and it reads all the time: the socket takes them whole.
        if (send(mMember, frame.data(), frame.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(frame.size())) {
            MemberGone();
        }
    }

    // The chat partner: it answers each of the member's chats with the same text.
    void SendPartner(const std::string& frame) {
        if (!mPartnerGone && send(mPartner, frame.data(), frame.size(), MSG_NOSIGNAL) !=
                                 static_cast<ssize_t>(frame.size())) {
            mPartnerGone = true;
        }
    }

    void ReadPartner() {
        const bool open = ReadInto(mPartner, mPartnerIn);
        if (!TakeFrames(mPartnerIn, [this](const RelayWire::Parsed& message) {
                if (message.type == RelayWire::JoinResponse && !message.payload.empty()) {
                    mPartnerId = message.payload[0] == 0 ? message.clientId : 0;
                } else if (message.type == RelayWire::Chat && message.clientId == mMemberId &&
                           !message.payload.empty()) {
                    SendPartner(Framed(RelayWire::ChatText(message.payload.substr(1))));
                }
            })) {
            mFailure = "the partner received a frame no server sends";
        }
        if (!open && !mPartnerGone) {
            mPartnerGone = true;
            mPoller.Watch(mPartner, EPOLL_CTL_DEL, 0, 0);
        }
    }

    void SendChat() {
        ++mMemberTally.chats;
        const uint32_t chat = mNextChat++;
        mChatSent[chat] = Now();
        SendMember(Framed(RelayWire::ChatText("chat " + std::to_string(chat))));
    }

    // The partner's answer to one of the member's chats: its text after the length byte.
    void OnChatAnswer(const std::string& payload) {
        if (payload.size() < 7 || payload.compare(1, 5, "chat ") != 0) {
            return;
        }
        const auto sent =
            mChatSent.find(static_cast<uint32_t>(std::strtoul(payload.c_str() + 6, nullptr, 10)));
        if (sent != mChatSent.end()) {
            mMemberTally.chatTrips.push_back(ToSeconds(Now() - sent->second));
            mChatSent.erase(sent);
        }
    }

    void AskDownload() {
        const int file = mNextFile++ % kFileCount;
        if (mMemberGone) {
            ++mMemberTally.downloads;
            ++mMemberTally.unfinished;
            return;
        }
        ++mMemberTally.downloads;
        if (mDownloadAsked[file] != 0) {
            ++mMemberTally.stillRunning;
            return;
        }
        mDownloadAsked[file] = Now();
        mDownloaded[file] = 0;
        SendMember(Framed(RelayWire::MediaFile(RelayWire::GetMedia, kFiles[file].mediaId,
                                               kFiles[file].resourceId)));
    }

    void AskUpload() {
        ++mMemberTally.uploads;
        const uint8_t request = mNextRequest++;
        if (mMemberGone || mUploadAsked[request] != 0) {
            ++mMemberTally.uploadsUnanswered;
            return;
        }
        mUploadAsked[request] = Now();
        SendMember(Framed(RelayWire::AddMediaRequest(request, kPhoto, 1000, "probe")));
    }

    bool MemberWaits() const {
        return !mChatSent.empty() ||
               std::any_of(std::begin(mDownloadAsked), std::end(mDownloadAsked),
                           [](uint64_t asked) { return asked != 0; }) ||
               std::any_of(std::begin(mUploadAsked), std::end(mUploadAsked),
                           [](uint64_t asked) { return asked != 0; });
    }

    void MemberGone() {
        if (!mMemberGone) {
            mMemberGone = true;
            mMemberTally.closedAt = mStart != 0 ? ToSeconds(Now() - mStart) : 0;
            mPoller.Watch(mMember, EPOLL_CTL_DEL, 0, 0);
        }
    }

    void ReadMember() {
        const size_t before = mMemberIn.size();
        const bool open = ReadInto(mMember, mMemberIn);
        mMemberTally.bytes += mMemberIn.size() - before;
        if (!TakeFrames(mMemberIn,
                        [this](const RelayWire::Parsed& message) { OnMemberMessage(message); })) {
            mFailure = "the member received a frame no server sends";
        }
        if (!open) {
            MemberGone();
        }
    }

    // The index in kFiles of the file whose media id and resource id stand in payload at
    // at; -1 for another.
    static int FileIndex(const std::string& payload, size_t at) {
        for (int file = 0; file < kFileCount; ++file) {
            if (RelayWire::ReadU32(payload, at) == kFiles[file].mediaId &&
                static_cast<uint8_t>(payload[at + 4]) == kFiles[file].resourceId) {
                return file;
            }
        }
        return -1;
    }

    void OnMemberMessage(const RelayWire::Parsed& message) {
        const std::string& payload = message.payload;
        const auto byte = [&payload](size_t at) { return static_cast<uint8_t>(payload[at]); };
        switch (message.type) {
            case RelayWire::JoinResponse:
                if (!payload.empty() && byte(0) == 0) {
                    mMemberId = message.clientId;
                } else {
                    mFailure = "the member's join was refused";
                }
                return;
            case RelayWire::UserJoined:
                ++mMemberTally.joins;
                return;
            case RelayWire::Chat:
                return message.clientId == mPartnerId ? OnChatAnswer(payload) : void();
            case RelayWire::UserLeft:
                ++mMemberTally.leaves;
                // The frame's length, its type and client id, and the payload.
                mMemberTally.leaveBytes += 4 + 5 + payload.size();
                return;
            case RelayWire::GetMediaAnswer:
                // The answer's code, then the file's ids.
                return payload.size() >= 6 ? OnDownloadAnswer(FileIndex(payload, 1), byte(0))
                                           : void();
            case RelayWire::MediaChunk:
                // The file's ids, the chunk's offset and its size, then its bytes.
                return payload.size() >= 11
                           ? OnChunk(FileIndex(payload, 0), byte(9) | byte(10) << 8)
                           : void();
            case RelayWire::AddMediaAnswer:
                // The request id, the answer's code and the new item's id.
                return payload.size() >= 6
                           ? OnUploadAnswer(byte(0), byte(1), RelayWire::ReadU32(payload, 2))
                           : void();
            default:
                return;
        }
    }

    void OnDownloadAnswer(int file, uint8_t code) {
        if (file < 0 || mDownloadAsked[file] == 0 || code == kAccepted) {
            return;
        }
        ++(code == kNotFound             ? mMemberTally.notFound
           : code == kAlreadyDownloading ? mMemberTally.alreadyDownloading
                                         : mMemberTally.unfinished);
        mDownloadAsked[file] = 0;
    }

    void OnChunk(int file, uint32_t size) {
        if (file < 0 || mDownloadAsked[file] == 0) {
            return;
        }
        mDownloaded[file] += size;
        if (mDownloaded[file] >= kFiles[file].size) {
            ++mMemberTally.whole;
            if (file == kTimedFile) {
                mMemberTally.timed.push_back(ToSeconds(Now() - mDownloadAsked[file]));
            }
            mDownloadAsked[file] = 0;
        }
    }

    void OnUploadAnswer(uint8_t request, uint8_t code, uint32_t mediaId) {
        if (mUploadAsked[request] == 0) {
            return;
        }
        mUploadAsked[request] = 0;
        if (code == kAccepted) {
            ++mMemberTally.uploadsAccepted;
            // Abandoned at once: its file is removed, and no photo is made.
            SendMember(Framed(RelayWire::MediaFile(RelayWire::StopMedia, mediaId, 0)));
        } else {
            ++(code == kCannotCreate ? mMemberTally.uploadsCannotCreate
                                     : mMemberTally.uploadsOther);
        }
    }

    // --- Newcomers and the policy client ---

    VisitorTally& TallyOf(Visit kind) {
        return kind == Visit::Late     ? mLateTally
               : kind == Visit::Prompt ? mPromptTally
                                       : mPolicyTally;
    }

    void StartVisitor(Visit kind) {
        VisitorTally& tally = TallyOf(kind);
        ++tally.started;
        Visitor visitor;
        visitor.kind = kind;
        visitor.opened = Now();
        const uint32_t from = kind == Visit::Late     ? kLateAddress
                              : kind == Visit::Prompt ? kPromptAddress
                                                      : kPolicyAddress;
        visitor.fd = StartConnect(from, kind == Visit::Policy ? kPolicyPort : mPort);
        if (visitor.fd < 0) {
            ++tally.notConnected;
            return;
        }
        mVisitors.push_back(visitor);
        mPoller.Watch(visitor.fd, EPOLL_CTL_ADD, EPOLLIN | EPOLLOUT | EPOLLRDHUP,
                      kVisitorTag | (mVisitors.size() - 1));
    }

    // Ends the visitor at index with its outcome counted; the last takes its place.
    void EndVisitor(size_t index) {
        close(mVisitors[index].fd);
        mVisitors[index] = mVisitors.back();
        mVisitors.pop_back();
        if (index < mVisitors.size()) {
            mPoller.Watch(mVisitors[index].fd, EPOLL_CTL_MOD,
                          mVisitors[index].connected != 0 ? EPOLLIN | EPOLLRDHUP
                                                          : EPOLLIN | EPOLLOUT | EPOLLRDHUP,
                          kVisitorTag | index);
        }
    }

    void SendVisitor(Visitor& visitor, const std::string& bytes) {
        visitor.sent = Now();
        // A closed connection shows as its end when it is read next.
        (void)send(visitor.fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }

    void OnVisitor(size_t index, uint32_t events) {
        if (index >= mVisitors.size()) {
            return;
        }
        Visitor& visitor = mVisitors[index];
        VisitorTally& tally = TallyOf(visitor.kind);
        if (visitor.connected == 0) {
            int error = 0;
            socklen_t length = sizeof error;
            getsockopt(visitor.fd, SOL_SOCKET, SO_ERROR, &error, &length);
            if (error != 0 || !(events & EPOLLOUT)) {
                ++tally.notConnected;
                return EndVisitor(index);
            }
            visitor.connected = Now();
            tally.connects.push_back(ToSeconds(visitor.connected - visitor.opened));
            mPoller.Watch(visitor.fd, EPOLL_CTL_MOD, EPOLLIN | EPOLLRDHUP, kVisitorTag | index);
            if (visitor.kind == Visit::Policy) {
                SendVisitor(visitor, kPolicyRequest);
            } else if (JoinDelay(visitor.kind) == 0) {
                SendVisitor(visitor, JoinFrame("prompt" + std::to_string(tally.started)));
            }
        }
        if (!(events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR))) {
            return;
        }
        const bool open = ReadInto(visitor.fd, visitor.in);
        const double since = ToSeconds(Now() - visitor.opened);
        if (visitor.kind == Visit::Policy) {
            if (open) {
                return;
            }
            if (mPolicy.empty()) {
                mPolicy = visitor.in;
            }
            ++(visitor.in == mPolicy ? tally.admitted
               : visitor.in.empty()  ? tally.closedEarly
                                     : tally.refused);
            return EndVisitor(index);
        }
        int code = -1;
        TakeFrames(visitor.in, [&code](const RelayWire::Parsed& message) {
            if (code < 0 && message.type == RelayWire::JoinResponse && !message.payload.empty()) {
                code = static_cast<uint8_t>(message.payload[0]);
            }
        });
        if (code == 0) {
            ++tally.admitted;
            tally.answers.push_back(since);
            tally.waits.push_back(ToSeconds(Now() - visitor.sent));
        } else if (code > 0) {
            ++tally.refused;
        } else if (!open) {
            ++(visitor.sent != 0 ? tally.closed : tally.closedEarly);
            tally.closings.push_back(since);
        } else {
            return;
        }
        EndVisitor(index);
    }

    // How long a newcomer of the kind waits after connecting before it sends its join.
    uint64_t JoinDelay(Visit kind) const {
        return kind == Visit::Late ? kJoinDelay
                                   : static_cast<uint64_t>(mOptions.joinAfter) * (kSecond / 1000);
    }

    // Sends the newcomers' joins that are due and ends, counted, each probe that waited
    // past its deadline.
    void OnTimers(uint64_t now) {
        for (size_t index = mVisitors.size(); index-- > 0;) {
            Visitor& visitor = mVisitors[index];
            VisitorTally& tally = TallyOf(visitor.kind);
            const uint64_t wait = visitor.kind == Visit::Policy ? kPolicyTime : kAnswerTime;
            if (visitor.connected == 0 && now - visitor.opened > wait) {
                ++tally.notConnected;
                EndVisitor(index);
            } else if (visitor.sent != 0 && now - visitor.sent > wait) {
                ++tally.unanswered;
                EndVisitor(index);
            } else if (visitor.kind != Visit::Policy && visitor.connected != 0 &&
                       visitor.sent == 0 && now - visitor.opened >= JoinDelay(visitor.kind)) {
                SendVisitor(visitor, JoinFrame((visitor.kind == Visit::Late ? "late" : "prompt") +
                                               std::to_string(tally.started)));
            }
        }
        for (int file = 0; file < kFileCount; ++file) {
            if (mDownloadAsked[file] != 0 && now - mDownloadAsked[file] > kAnswerTime) {
                ++mMemberTally.unfinished;
                mDownloadAsked[file] = 0;
            }
        }
        for (auto chat = mChatSent.begin(); chat != mChatSent.end();) {
            if (now - chat->second > kAnswerTime) {
                ++mMemberTally.chatsUnanswered;
                chat = mChatSent.erase(chat);
            } else {
                ++chat;
            }
        }
        for (uint64_t& asked : mUploadAsked) {
            if (asked != 0 && now - asked > kAnswerTime) {
                ++mMemberTally.uploadsUnanswered;
                asked = 0;
            }
        }
    }

    // --- The table ---

    void Print(double stop) const {
        const double seconds = mOptions.seconds;
        const OutsiderTally& out = mOutsider;
        const MemberTally& member = mMemberTally;
        std::printf("%-22s %s\n", "what", "figure");
        std::printf("%-22s %.0f/s connected in the run (%.0f/s tried)\n", "outsider rate",
                    static_cast<double>(mConnectedInRun) / seconds,
                    static_cast<double>(mOpenedInRun) / seconds);
        std::printf(
            "%-22s %llu tried, %llu connected, %llu closed by the server, %llu by the tool, "
            "%llu failed, %llu not opened%s%s, %llu open at the end\n",
            "outsider", static_cast<unsigned long long>(out.opened),
            static_cast<unsigned long long>(out.connected),
            static_cast<unsigned long long>(out.closedByServer),
            static_cast<unsigned long long>(out.closedByTool),
            static_cast<unsigned long long>(out.failed),
            static_cast<unsigned long long>(out.notOpened), out.notOpened > 0 ? ": " : "",
            out.notOpened > 0 ? std::strerror(out.notOpenedError) : "",
            static_cast<unsigned long long>(mOutsiderLeft));
        std::printf("%-22s p10 %.3f s, median %.3f s, p90 %.3f s, max %.3f s\n",
                    "outsider's lifetime", Quantile(out.lifetimes, 0.1),
                    Quantile(out.lifetimes, 0.5), Quantile(out.lifetimes, 0.9),
                    Quantile(out.lifetimes, 1));
        std::printf(
            "%-22s p50 %.1f ms, p99 %.1f ms, max %.1f ms of %zu answered (%d sent, %d "
            "unanswered in %.0f s)\n",
            "chat round trip", 1000 * Quantile(member.chatTrips, 0.5),
            1000 * Quantile(member.chatTrips, 0.99), 1000 * Quantile(member.chatTrips, 1),
            member.chatTrips.size(), member.chats, member.chatsUnanswered, ToSeconds(kAnswerTime));
        std::printf("%-22s median %.3f s, max %.3f s of %zu whole\n", "member 40 KB download",
                    Median(member.timed), Largest(member.timed), member.timed.size());
        std::vector<double> descriptors(mDescriptors.begin(), mDescriptors.end());
        std::printf("%-22s median %.0f, min %.0f, max %.0f of %d (sampled each second)\n",
                    "server descriptors", Median(descriptors), Smallest(descriptors),
                    Largest(descriptors), mOptions.files);
        std::printf(
            "%-22s whole %d of %d; answered 2 (not found) %d, 1 (already) %d; still "
            "running %d; unfinished %d\n",
            "member downloads", member.whole, member.downloads, member.notFound,
            member.alreadyDownloading, member.stillRunning, member.unfinished);
        std::printf(
            "%-22s accepted %d of %d; refused 4 (cannot create) %d, other %d; "
            "unanswered %d\n",
            "member uploads", member.uploadsAccepted, member.uploads, member.uploadsCannotCreate,
            member.uploadsOther, member.uploadsUnanswered);
        std::printf(
            "%-22s sent whole %d of %d; closed unsent %d; cut short %d; no answer %d; "
            "not connected %d\n",
            "policy (port 943)", mPolicyTally.admitted, mPolicyTally.started,
            mPolicyTally.closedEarly, mPolicyTally.refused, mPolicyTally.unanswered,
            mPolicyTally.notConnected);
        PrintJoins("joins after 3 s", mLateTally);
        PrintJoins(mOptions.joinAfter == 0
                       ? std::string("joins at once")
                       : "joins after " + std::to_string(mOptions.joinAfter) + " ms",
                   mPromptTally);
        std::printf(
            "%-22s median %.3f s, max %.3f s after connect was called (the handshake "
            "ended after median %.3f s, max %.3f s)\n",
            "join answered", Median(mPromptTally.answers), Largest(mPromptTally.answers),
            Median(mPromptTally.connects), Largest(mPromptTally.connects));
        std::printf("%-22s %.0f%% of a core over the run\n", "server CPU",
                    100 * mServerCpu / seconds);
        std::printf("%-22s resident %.0f MB at the run's end, peak %.0f MB", "server memory",
                    mResident, mPeak);
        if (mOptions.after > 0) {
            std::printf("; %.0f MB %d s after the outsider closed", mResidentAfter, mOptions.after);
        }
        std::printf("\n");
        std::printf("%-22s %.0f/s, %.1f KB/s (join notices %.0f/s; all bytes %.1f KB/s)\n",
                    "leave notices", static_cast<double>(mMemberAtEnd.leaves) / seconds,
                    static_cast<double>(mMemberAtEnd.leaveBytes) / seconds / 1000,
                    static_cast<double>(mMemberAtEnd.joins) / seconds,
                    static_cast<double>(mMemberAtEnd.bytes) / seconds / 1000);
        if (member.closedAt >= 0) {
            std::printf("%-22s closed by the server %.1f s after the outsider started\n", "member",
                        member.closedAt);
        }
        std::printf("%-22s %.0f%% of a core over the run\n", "tool CPU", 100 * mToolCpu / seconds);
        if (stop >= 0) {
            std::printf("%-22s %.2f s after SIGTERM, status 0\n", "server stop", stop);
        } else {
            std::printf("%-22s did not end with status 0 within %.0f s\n", "server stop",
                        ToSeconds(kStopTime));
        }
        // The log's lines about the reserve, each counting since the one before.
        const std::string log = ReadText(mRoom + "/server.log");
        for (size_t at = log.find("Descriptor reserve"); at != std::string::npos;
             at = log.find("Descriptor reserve", at + 1)) {
            std::printf("%-22s %s\n", "reserve line",
                        log.substr(at, log.find('\n', at) - at).c_str());
        }
    }

    static void PrintJoins(const std::string& what, const VisitorTally& tally) {
        std::printf(
            "%-22s admitted %d of %d, answered max %.3f s after the join; refused %d; closed "
            "before the join %d, after it %d (%.2f-%.2f s after connecting); no answer %d; not "
            "connected %d\n",
            what.c_str(), tally.admitted, tally.started, Largest(tally.waits), tally.refused,
            tally.closedEarly, tally.closed, Smallest(tally.closings), Largest(tally.closings),
            tally.unanswered, tally.notConnected);
    }

    const Options& mOptions;
    Server& mServer;
    uint16_t mPort;
    std::string mRoom;
    LoadSupport::Poller mPoller;
    std::string mFailure;  // the phase that went wrong
    uint64_t mStart{0};    // the outsider's start, 0 before
    uint64_t mEnd{0};      // the run's end

    std::vector<Socket> mSockets;    // by descriptor: the outsider's connections
    std::vector<uint64_t> mSince;    // by descriptor: when its handshake ended
    std::vector<uint64_t> mSerials;  // by descriptor: which connection it is, counted from 1
    std::deque<std::pair<int, uint64_t>> mOldest;  // descriptors and serials, oldest first
    // What each outsider connection sends once connected: its downloads' requests.
    std::string mDownloadRequests{DownloadRequests(mOptions.downloads)};
    uint64_t mConnecting{0};
    uint64_t mOutsiderOpen{0};  // connecting or connected
    // The outsider's bound: the tool's own descriptors, less those the probes and the
    // server's figures need.
    uint64_t mOutsiderMost{OwnDescriptors() - kProbeDescriptors};
    bool mOutsiderClosed{false};
    uint64_t mOutsiderLeft{0};    // open when the tool closed them
    uint64_t mOpenedInRun{0};     // outsider connections tried while the probes ran
    uint64_t mConnectedInRun{0};  // and those whose handshake ended then
    OutsiderTally mOutsider;

    int mMember{-1};
    uint32_t mMemberId{0};
    bool mMemberGone{false};
    std::string mMemberIn;
    int mPartner{-1};
    uint32_t mPartnerId{0};
    bool mPartnerGone{false};
    std::string mPartnerIn;
    uint32_t mNextChat{0};
    std::unordered_map<uint32_t, uint64_t> mChatSent;  // by chat: when sent, until answered
    uint64_t mDownloadAsked[kFileCount]{};             // by file: when asked, 0 when not running
    uint32_t mDownloaded[kFileCount]{};
    uint64_t mUploadAsked[256]{};  // by request id: when asked, 0 when answered
    int mNextFile{0};
    uint8_t mNextRequest{0};
    MemberTally mMemberTally;
    MemberTally mMemberAtEnd;  // the notices counted within the run

    std::vector<Visitor> mVisitors;
    std::string mPolicy;  // the whole policy, as sent before any load
    VisitorTally mLateTally;
    VisitorTally mPromptTally;
    VisitorTally mPolicyTally;

    std::vector<int> mDescriptors;  // the server's, sampled
    double mResident{0};            // MB at the run's end
    double mPeak{0};                // MB at the most, by then
    double mResidentAfter{0};       // MB once the outsider had been gone for a while
    double mServerCpu{0};
    double mToolCpu{0};
};

bool Parse(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const char* value = argv[i + 1];
        int* count = option == "-a"                ? &options.addresses
                     : option == "-t"              ? &options.seconds
                     : option == "-w"              ? &options.warmUp
                     : option == "--files"         ? &options.files
                     : option == "--in-flight"     ? &options.inFlight
                     : option == "--connections"   ? &options.connections
                     : option == "--downloads"     ? &options.downloads
                     : option == "--photo-size"    ? &options.photoSize
                     : option == "--hold"          ? &options.hold
                     : option == "--room-max"      ? &options.roomMax
                     : option == "--join-after-ms" ? &options.joinAfter
                     : option == "--after"         ? &options.after
                                                   : nullptr;
        if (!LoadSupport::TakeOption(option, value, options.server, options.rate, count)) {
            return false;
        }
    }
    return argc % 2 == 1 && !options.server.empty() && options.addresses >= 1 &&
           options.addresses <= 250 * 250 && options.seconds >= 1 && options.warmUp >= 0 &&
           options.files >= 64 && options.inFlight >= 1 && options.rate >= 0 &&
           options.connections >= 0 && options.downloads >= 0 &&
           options.downloads <= kOutsiderPhotos && options.photoSize >= 1 && options.hold >= 0 &&
           options.roomMax >= 1 && options.joinAfter >= 0 && options.after >= 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!LoadSupport::StartUp("OutsiderLoad", kUsage, Parse(argc, argv, options), options.server)) {
        return 2;
    }
    // The outsider holds as many connections as the server does, and more while they wait
    // in its listen queue: its limit must not be the server's. Root may raise the hard limit
    // up to the system's bound.
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    const rlim_t most = static_cast<rlim_t>(std::atoll(ReadText("/proc/sys/fs/nr_open").c_str()));
    const rlimit raised{std::max(most, files.rlim_max), std::max(most, files.rlim_max)};
    if (setrlimit(RLIMIT_NOFILE, &raised) != 0) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }

    const uint16_t port = LoadSupport::FreePort(kServerAddress);
    const std::string room = port != 0 ? MakeRoom(port, options) : "";
    if (room.empty()) {
        std::fputs("OutsiderLoad: cannot make a room directory in /tmp or find a free port\n",
                   stderr);
        return 1;
    }
    double load[3] = {0, 0, 0};
    getloadavg(load, 3);
    std::printf(
        "OutsiderLoad: %d address%s, %s, %d s, open-file limit %d (the tool's %llu); "
        "load average %.1f\n",
        options.addresses, options.addresses == 1 ? "" : "es",
        options.rate > 0
            ? (std::to_string(static_cast<long>(options.rate)) + " connections/s").c_str()
            : "as fast as it can",
        options.seconds, options.files, static_cast<unsigned long long>(OwnDescriptors()), load[0]);
    Server server(options.server, room, options.files);
    const bool ok = OutsiderLoad(options, server, port, room).Run();
    if (!ok) {
        server.Stop(kStopTime);
    }
    return LoadSupport::Finish("OutsiderLoad", room, ok);
}
