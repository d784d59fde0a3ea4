// A load tool for what one outsider's never-joined relay connections cost the room. It starts
// the server in a room directory of its own, under an open-file limit (20,000 by default),
// with two listed photos and one joined member; then, for a fixed time, an outsider opens
// relay connections that never join, from A loopback addresses, at a given rate or as fast
// as it can, and closes each once the server has closed it. Probes on timers of their own
// see what everyone else still gets: every 0.5 s the member asks for a listed photo and
// starts an upload (abandoned once accepted), and a policy client asks port 943; every 2 s a
// newcomer connects and sends its join 3 s later, and another sends its join at once and has
// its answer timed. It prints one table: the probes' outcomes, the server's CPU and open
// descriptors, and the leave notices the member received. One thread, one epoll loop, a
// deadline on every phase. The server binds port 943, so run it as root, in a network
// namespace of its own.

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
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "LoadSupport.h"
#include "support/RelayWire.h"

namespace {

using LoadSupport::Address;
using LoadSupport::kSecond;
using LoadSupport::Now;
using LoadSupport::ReadText;
using LoadSupport::Server;
using LoadSupport::ToSeconds;

const char* const kUsage =
    "usage: OutsiderLoad --server PATH [-a A] [--rate R] [-t T] [-w W] [--files F]\n"
    "                    [--in-flight P]\n"
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
    "Widen the namespace's ephemeral ports first (sysctl net.ipv4.ip_local_port_range=\n"
    "\"1024 65535\"): with ten thousand connections from one address in the default range,\n"
    "the kernel's search for a free port costs the outsider more than its connections.\n";

struct Options {
    std::string server;
    int addresses{1};
    double rate{0};  // 0: as fast as it can
    int seconds{30};
    int warmUp{0};
    int files{20000};
    int inFlight{4096};
};

constexpr uint64_t kProbeEvery = kSecond / 2;     // the member's and the policy client's
constexpr uint64_t kNewcomerEvery = 2 * kSecond;  // each kind of newcomer's
constexpr uint64_t kJoinDelay = 3 * kSecond;      // a late newcomer's wait before its join
constexpr uint64_t kAnswerTime = 10 * kSecond;    // for a download, an upload or a join
constexpr uint64_t kPolicyTime = 5 * kSecond;     // for the whole policy
constexpr uint64_t kSetupTime = 30 * kSecond;     // for each phase before the outsider starts
constexpr uint64_t kStopTime = 30 * kSecond;      // for the server to stop after SIGTERM
constexpr uint64_t kSampleEvery = kSecond;        // the server's descriptors
constexpr int kOpenBatch = 64;  // outsider connects per pass, so a probe waits one batch at most
constexpr int kRoomMaxClients = 20;
constexpr uint64_t kProbeDescriptors = 256;
constexpr uint16_t kPolicyPort = 943;
const char kPolicyRequest[] = "<policy-file-request/>";

// Each party has an address of its own; the outsider's are 127.1.0.1, 127.1.0.2, ...
constexpr uint32_t kServerAddress = 0x7F000001;  // 127.0.0.1
constexpr uint32_t kLateAddress = 0x7F000201;    // 127.0.2.1: newcomers that join after 3 s
constexpr uint32_t kPromptAddress = 0x7F000202;  // 127.0.2.2: newcomers that join at once
constexpr uint32_t kMemberAddress = 0x7F000301;  // 127.0.3.1
constexpr uint32_t kPolicyAddress = 0x7F000401;  // 127.0.4.1

uint32_t OutsiderAddress(int index) {
    return 0x7F010000 + static_cast<uint32_t>(index / 250 << 8) + 1 + index % 250;
}

// A download answer's and an upload answer's codes.
constexpr uint8_t kAccepted = 0;
constexpr uint8_t kAlreadyDownloading = 1;
constexpr uint8_t kNotFound = 2;
constexpr uint8_t kCannotCreate = 4;
constexpr uint8_t kPhoto = 1;  // an upload's media type

// A message as sent: its length, then the message.
std::string Framed(const std::string& message) {
    return RelayWire::U32(static_cast<uint32_t>(message.size())) + message;
}

// A join without password.
std::string JoinFrame(const std::string& name) {
    return Framed(RelayWire::Join(name, ""));
}

// A non-blocking socket bound to the host given and connecting to the server's port, or -1
// with errno set.
int StartConnect(uint32_t from, uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
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

// Hands each whole frame at the front of in (a 4-byte little-endian length, then the
// message) to handle, taken apart, and takes it off; false on a length that no frame of the
// server has.
bool TakeFrames(std::string& in, const std::function<void(const RelayWire::Parsed&)>& handle) {
    size_t at = 0;
    for (; in.size() - at >= 4; at += 4 + RelayWire::ReadU32(in, at)) {
        const uint32_t length = RelayWire::ReadU32(in, at);
        if (length < 5 || length > (1u << 24)) {
            return false;
        }
        if (in.size() - at - 4 < length) {
            break;
        }
        handle(RelayWire::Parse(in.substr(at + 4, length)));
    }
    in.erase(0, at);
    return true;
}

// Reads what the socket holds onto in; false once the peer has closed or reset it.
bool ReadInto(int fd, std::string& in) {
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got > 0) {
            in.append(buffer, static_cast<size_t>(got));
        } else if (got < 0 && errno == EAGAIN) {
            return true;
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            return false;
        }
    }
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
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

// The tool's open-file limit.
uint64_t OwnDescriptors() {
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    return files.rlim_cur;
}

// A room directory in /tmp: anyone joins without a password, may view and post photos, and
// the catalogue lists the two photos of kFiles, whose files are there.
std::string MakeRoom(uint16_t port) {
    const std::string config =
        "<config RelayServerPort=\"" + std::to_string(port) +
        "\" RoomName=\"Outsider\" RoomMaxClients=\"" + std::to_string(kRoomMaxClients) +
        "\" RoomIsPublic=\"false\" MediaPath=\"media/\" MaxMediaSize=\"4194304\" "
        "MediaPreviewWidth=\"160\" MediaPreviewHeight=\"120\">\n\t<privileges>\n\t\t<user "
        "isEnabled=\"true\" password=\"\" voice=\"true\" chat=\"true\" viewPhotos=\"true\" "
        "postPhotos=\"true\" deletePhotos=\"false\" />\n\t</privileges>\n</config>";
    std::string media = "<media count=\"2\">";
    for (int file = 0; file < kFileCount; file += 2) {
        const std::string id = std::to_string(kFiles[file].mediaId);
        media += "<item><entry><author><name>Ann</name></author><id>" + id + "</id><title>photo " +
                 id + "</title><published>2024/01/02 13:04:05</published></entry><group><content " +
                 "fileSize=\"" + std::to_string(kFiles[file].size) +
                 "\" height=\"600\" width=\"800\" /><content fileSize=\"" +
                 std::to_string(kFiles[file + 1].size) +
                 "\" height=\"120\" width=\"160\" /></group></item>";
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
    OutsiderLoad(const Options& options, Server& server, uint16_t port)
        : mOptions(options), mServer(server), mPort(port) {}
    ~OutsiderLoad() {
        CloseOutsiders();
        for (const Visitor& visitor : mVisitors) {
            close(visitor.fd);
        }
        close(mMember);
    }
    OutsiderLoad(const OutsiderLoad&) = delete;
    OutsiderLoad& operator=(const OutsiderLoad&) = delete;

    // Sets the room up, runs the outsider with the probes and prints the table; false when a
    // phase failed.
    bool Run() {
        if (!mServer.AwaitListening(mPort, mFailure) || !FetchPolicy() || !JoinMember() ||
            !Measure()) {
            std::fprintf(stderr, "OutsiderLoad: %s\n", mFailure.c_str());
            return false;
        }
        CloseOutsiders();
        const double stop = mServer.Stop(kStopTime);
        Print(stop);
        return true;
    }

  private:
    static constexpr uint64_t kMemberTag = uint64_t{1} << 40;
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

    // Joins the member and downloads one photo whole, so the room is known to serve it.
    bool JoinMember() {
        mMember = StartConnect(kMemberAddress, mPort);
        if (mMember < 0) {
            mFailure = std::string("the member cannot connect: ") + std::strerror(errno);
            return false;
        }
        mPoller.Watch(mMember, EPOLL_CTL_ADD, EPOLLIN | EPOLLRDHUP, kMemberTag);
        SendMember(JoinFrame("member"));
        if (!Serve(Now() + kSetupTime, [this] { return mMemberId != 0; })) {
            return Failed("the member was not admitted");
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
        if (mStart == 0 || mOutsiderClosed) {
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
            const int from = static_cast<int>(mOutsider.opened % mOptions.addresses);
            ++mOutsider.opened;
            const int fd = StartConnect(OutsiderAddress(from), mPort);
            if (fd < 0) {
                // Tried again at the next pass, the probes served in between.
                ++mOutsider.notOpened;
                mOutsider.notOpenedError = errno;
                return;
            }
            if (static_cast<size_t>(fd) >= mSockets.size()) {
                mSockets.resize(fd + 1024, Socket::kNone);
                mSince.resize(fd + 1024, 0);
            }
            mSockets[fd] = Socket::kConnecting;
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
        }
        std::string ignored;
        const bool closed = (events & (EPOLLRDHUP | EPOLLHUP | EPOLLERR)) ||
                            ((events & EPOLLIN) && !ReadInto(fd, ignored));
        if (closed) {
            ++mOutsider.closedByServer;
            mOutsider.lifetimes.push_back(ToSeconds(now - mSince[fd]));
            DropOutsider(fd);
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
        return std::any_of(std::begin(mDownloadAsked), std::end(mDownloadAsked),
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
            } else if (visitor.kind == Visit::Prompt) {
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

    // Sends the late newcomers' joins that are due and ends, counted, each probe that waited
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
            } else if (visitor.kind == Visit::Late && visitor.connected != 0 && visitor.sent == 0 &&
                       now - visitor.opened >= kJoinDelay) {
                SendVisitor(visitor, JoinFrame("late" + std::to_string(tally.started)));
            }
        }
        for (int file = 0; file < kFileCount; ++file) {
            if (mDownloadAsked[file] != 0 && now - mDownloadAsked[file] > kAnswerTime) {
                ++mMemberTally.unfinished;
                mDownloadAsked[file] = 0;
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
            "%-22s %llu tried, %llu connected, %llu closed by the server, %llu failed, %llu "
            "not opened%s%s, %llu open at the end\n",
            "outsider", static_cast<unsigned long long>(out.opened),
            static_cast<unsigned long long>(out.connected),
            static_cast<unsigned long long>(out.closedByServer),
            static_cast<unsigned long long>(out.failed),
            static_cast<unsigned long long>(out.notOpened), out.notOpened > 0 ? ": " : "",
            out.notOpened > 0 ? std::strerror(out.notOpenedError) : "",
            static_cast<unsigned long long>(mOutsiderLeft));
        std::vector<double> lifetimes = out.lifetimes;
        std::sort(lifetimes.begin(), lifetimes.end());
        const auto quantile = [&lifetimes](double q) {
            return lifetimes.empty() ? 0
                                     : lifetimes[static_cast<size_t>(q * (lifetimes.size() - 1))];
        };
        std::printf("%-22s p10 %.3f s, median %.3f s, p90 %.3f s, max %.3f s\n",
                    "outsider's lifetime", quantile(0.1), quantile(0.5), quantile(0.9),
                    quantile(1));
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
        PrintJoins("joins at once", mPromptTally);
        std::printf(
            "%-22s median %.3f s, max %.3f s after connect was called (the handshake "
            "ended after median %.3f s, max %.3f s)\n",
            "join answered", Median(mPromptTally.answers), Largest(mPromptTally.answers),
            Median(mPromptTally.connects), Largest(mPromptTally.connects));
        std::printf("%-22s %.0f%% of a core over the run\n", "server CPU",
                    100 * mServerCpu / seconds);
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
    }

    static void PrintJoins(const char* what, const VisitorTally& tally) {
        std::printf(
            "%-22s admitted %d of %d; refused %d; closed before the join %d, after it %d "
            "(%.2f-%.2f s after connecting); no answer %d; not connected %d\n",
            what, tally.admitted, tally.started, tally.refused, tally.closedEarly, tally.closed,
            Smallest(tally.closings), Largest(tally.closings), tally.unanswered,
            tally.notConnected);
    }

    const Options& mOptions;
    Server& mServer;
    uint16_t mPort;
    LoadSupport::Poller mPoller;
    std::string mFailure;  // the phase that went wrong
    uint64_t mStart{0};    // the outsider's start, 0 before
    uint64_t mEnd{0};      // the run's end

    std::vector<Socket> mSockets;  // by descriptor: the outsider's connections
    std::vector<uint64_t> mSince;  // by descriptor: when its handshake ended
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
    uint64_t mDownloadAsked[kFileCount]{};  // by file: when asked, 0 when not running
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
    double mServerCpu{0};
    double mToolCpu{0};
};

bool Parse(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const char* value = argv[i + 1];
        int* count = option == "-a"            ? &options.addresses
                     : option == "-t"          ? &options.seconds
                     : option == "-w"          ? &options.warmUp
                     : option == "--files"     ? &options.files
                     : option == "--in-flight" ? &options.inFlight
                                               : nullptr;
        if (!LoadSupport::TakeOption(option, value, options.server, options.rate, count)) {
            return false;
        }
    }
    return argc % 2 == 1 && !options.server.empty() && options.addresses >= 1 &&
           options.addresses <= 250 * 250 && options.seconds >= 1 && options.warmUp >= 0 &&
           options.files >= 64 && options.inFlight >= 1 && options.rate >= 0;
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
    const std::string room = port != 0 ? MakeRoom(port) : "";
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
    const bool ok = OutsiderLoad(options, server, port).Run();
    if (!ok) {
        server.Stop(kStopTime);
    }
    return LoadSupport::Finish("OutsiderLoad", room, ok);
}
