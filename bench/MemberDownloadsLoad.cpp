// A load tool for what members' transfers hold of the server's descriptors. It starts the
// server in a room directory of its own, without a password, under an open-file limit, with
// 16 listed photos of a given size (sparse files, each with a 6,000-byte preview) and one
// listed photo of 40 KB. A probe member joins first; then one party joins M members from one
// or two addresses, each asking for the 16 large photos (or, with -u, announcing U uploads it
// never sends a chunk of) and reading nothing through a 4 KB receive buffer once its listing
// request behind them is answered. It then prints the descriptors the server holds, tries N
// newcomers from another address (each admitted or not: closed, or refused), has the probe
// member download the 40 KB photo D times (each answered 0 and whole, or not) and, with -g,
// ask G galleries of the 16 previews at once, timing each until every preview came whole. One
// thread, blocking sockets, a deadline on every read. The server binds port 943, so run it as
// root, in a network namespace of its own (ip netns add dl && ip netns exec dl ip link set lo
// up).

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "LoadSupport.h"
#include "support/RelayWire.h"

namespace {

const char* const kUsage =
    "usage: MemberDownloadsLoad --server PATH [--files F] [--room-max R] [-m M] [-a A]\n"
    "                           [--photo-size B] [-u U] [--upload-size B] [-n N] [-d D] [-g G]\n"
    "  --server PATH    the server binary to measure (it binds port 943: run as root, in a\n"
    "                   network namespace of its own)\n"
    "  --files F        the server's open-file limit, soft and hard (default 4096)\n"
    "  --room-max R     the room's RoomMaxClients (default 260)\n"
    "  -m M             members of the party, each asking 16 downloads (default 250)\n"
    "  -u U             each member announces U uploads instead, sending no chunk (default 0)\n"
    "  --upload-size B  the bytes each upload announces, and the room's largest photo\n"
    "                   (default 8000000)\n"
    "  -a A             addresses they join from, 127.0.0.1 on, 1 or 2 (default 2)\n"
    "  --photo-size B   the bytes of each large photo (default 4194304)\n"
    "  -n N             newcomers tried, from 127.0.0.9, each kept once admitted (default: the\n"
    "                   places the probe member and the party leave)\n"
    "  -d D             downloads of the 40 KB photo the probe member tries (default 21)\n"
    "  -g G             galleries of the 16 previews the probe member asks at once, timed\n"
    "                   (default 0)\n";

constexpr uint32_t kAsked = 16;          // large photos, each member asks them all
constexpr uint32_t kLarge = 100;         // the first one's id
constexpr uint32_t kSmall = 1;           // the 40 KB photo's id
constexpr uint32_t kSmallSize = 40000;   // its bytes
constexpr uint32_t kPreviewSize = 6000;  // each large photo's preview, two chunks
constexpr int kReadSeconds = 30;         // the longest any read waits

struct Options {
    std::string server;
    int files{4096};
    int roomMax{260};
    int members{250};
    int addresses{2};
    int photoSize{4 << 20};
    int uploads{0};
    int uploadSize{8000000};
    int newcomers{-1};  // the places left
    int downloads{21};
    int galleries{0};
};

bool Parse(int argc, char** argv, Options& options) {
    double unused = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        int* count = option == "--files"         ? &options.files
                     : option == "--room-max"    ? &options.roomMax
                     : option == "-m"            ? &options.members
                     : option == "-a"            ? &options.addresses
                     : option == "--photo-size"  ? &options.photoSize
                     : option == "-u"            ? &options.uploads
                     : option == "--upload-size" ? &options.uploadSize
                     : option == "-n"            ? &options.newcomers
                     : option == "-d"            ? &options.downloads
                     : option == "-g"            ? &options.galleries
                                                 : nullptr;
        if (!LoadSupport::TakeOption(option, argv[i + 1], options.server, unused, count)) {
            return false;
        }
    }
    return argc % 2 == 1 && !options.server.empty() && options.addresses >= 1 &&
           options.addresses <= 2;
}

// The room directory, or empty when it cannot be made.
std::string MakeRoom(uint16_t port, const Options& options) {
    const std::string config =
        LoadSupport::OpenRoomConfig(port, "Downloads", options.roomMax, options.uploadSize);
    const auto item = [](uint32_t id) {
        return "<item><entry><id>" + std::to_string(id) + "</id></entry><group /></item>";
    };
    std::string media = "<media count=\"" + std::to_string(kAsked + 1) + "\">" + item(kSmall);
    for (uint32_t id = kLarge; id < kLarge + kAsked; ++id) {
        media += item(id);
    }
    const std::string room = LoadSupport::MakeRoom("memberdownloads", config, media + "</media>");
    std::error_code error;
    bool written = !room.empty() && std::filesystem::create_directory(room + "/media", error) &&
                   LoadSupport::WriteFile(room + "/media/" + std::to_string(kSmall) + "_0",
                                          std::string(kSmallSize, 's'));
    for (uint32_t id = kLarge; id < kLarge + kAsked && written; ++id) {
        const std::string file = room + "/media/" + std::to_string(id) + "_0";
        written = LoadSupport::WriteFile(file, "") &&
                  (std::filesystem::resize_file(file, options.photoSize, error), !error) &&
                  LoadSupport::WriteFile(room + "/media/" + std::to_string(id) + "_1",
                                         std::string(kPreviewSize, 'p'));
    }
    return written ? room : "";
}

// Whether fd's downloads of resource of each of ids, asked at once, were answered 0 and came
// whole, size bytes of fill each.
bool Download(int fd, const std::vector<uint32_t>& ids, uint8_t resource, uint32_t size,
              char fill) {
    std::string asked;
    std::vector<std::string> files(ids.size());
    for (const uint32_t id : ids) {
        asked += LoadSupport::Framed(RelayWire::MediaFile(RelayWire::GetMedia, id, resource));
    }
    if (!LoadSupport::SendBytes(fd, asked)) {
        return false;
    }
    const auto which = [&](uint32_t id) {
        for (size_t i = 0; i < ids.size(); ++i) {
            if (ids[i] == id && files[i].size() < size) {
                return static_cast<int>(i);
            }
        }
        return -1;
    };
    for (size_t whole = 0; whole < ids.size();) {
        const auto frame = LoadSupport::NextFrame(fd);
        if (!frame) {
            return false;
        }
        const RelayWire::Parsed message = RelayWire::Parse(*frame);
        if (message.type == RelayWire::GetMediaAnswer && message.payload[0] != 0 &&
            which(RelayWire::ReadU32(message.payload, 1)) >= 0) {
            return false;
        }
        const int file = message.type == RelayWire::MediaChunk
                             ? which(RelayWire::ReadU32(message.payload, 0))
                             : -1;
        if (file >= 0 && static_cast<uint8_t>(message.payload[4]) == resource) {
            files[static_cast<size_t>(file)] += message.payload.substr(11);
            whole += files[static_cast<size_t>(file)].size() >= size ? 1 : 0;
        }
    }
    for (const std::string& bytes : files) {
        if (bytes != std::string(size, fill)) {
            return false;
        }
    }
    return true;
}

// The party's members, each joined, asking every large photo (or announcing its uploads) and
// then a listing, read until the listing's answer; how many got that far, and the uploads
// accepted.
std::pair<int, int> Flood(const Options& options, uint16_t port, std::vector<int>& members) {
    int asked = 0;
    int accepted = 0;
    for (int i = 0; i < options.members; ++i) {
        const int fd = LoadSupport::ConnectFrom(
            INADDR_LOOPBACK + static_cast<uint32_t>(i % options.addresses), port, 4096);
        if (fd < 0) {
            continue;
        }
        members.push_back(fd);
        bool sent = LoadSupport::Join(fd, "member" + std::to_string(i)) == 0;
        for (int upload = 0; upload < options.uploads && sent; ++upload) {
            sent = LoadSupport::SendFrame(
                fd, RelayWire::AddMediaRequest(static_cast<uint8_t>(upload), 1,
                                               static_cast<uint32_t>(options.uploadSize),
                                               "upload" + std::to_string(upload) + ".jpg"));
        }
        for (uint32_t id = kLarge; id < kLarge + kAsked && sent && options.uploads == 0; ++id) {
            sent = LoadSupport::SendFrame(fd, RelayWire::MediaFile(RelayWire::GetMedia, id, 0));
        }
        sent = sent && LoadSupport::SendFrame(
                           fd, RelayWire::Message(RelayWire::GetMediaInfo, 0,
                                                  RelayWire::U32(0xFFFFFFFF) + RelayWire::U8(255)));
        while (const auto frame = sent ? LoadSupport::NextFrame(fd) : std::nullopt) {
            const RelayWire::Parsed message = RelayWire::Parse(*frame);
            accepted += message.type == RelayWire::AddMediaAnswer && message.payload.size() == 6 &&
                                message.payload[1] == 0
                            ? 1
                            : 0;
            if (message.type == RelayWire::MediaInfo) {
                ++asked;
                break;
            }
        }
    }
    return {asked, accepted};
}

// The milliseconds each of count galleries of the 16 previews took to come whole through
// fd, in order; shorter when one did not.
std::vector<double> Galleries(int fd, int count) {
    std::vector<uint32_t> ids;
    for (uint32_t id = kLarge; id < kLarge + kAsked; ++id) {
        ids.push_back(id);
    }
    std::vector<double> took;
    for (int i = 0; i < count; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!Download(fd, ids, 1, kPreviewSize, 'p')) {
            break;
        }
        took.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(took.begin(), took.end());
    return took;
}

bool Run(const Options& options, uint16_t port, const std::string& room) {
    LoadSupport::Server server(options.server, room, static_cast<uint64_t>(options.files));
    std::string why;
    if (!server.AwaitListening(port, why)) {
        std::fprintf(stderr, "MemberDownloadsLoad: %s\n", why.c_str());
        return false;
    }
    const int probe = LoadSupport::ConnectFrom(INADDR_LOOPBACK, port, 0);
    if (probe < 0 || LoadSupport::Join(probe, "probe") != 0) {
        std::fprintf(stderr, "MemberDownloadsLoad: the probe member cannot join\n");
        return false;
    }
    std::vector<int> held;
    const auto [asked, accepted] = Flood(options, port, held);
    const int descriptors = server.Descriptors();
    const int newcomers =
        options.newcomers >= 0 ? options.newcomers : options.roomMax - options.members - 1;
    int admitted = 0;
    int full = 0;
    for (int i = 0; i < newcomers; ++i) {
        const int fd = LoadSupport::ConnectFrom(INADDR_LOOPBACK + 8, port, 0);
        const int answer = fd >= 0 ? LoadSupport::Join(fd, "newcomer" + std::to_string(i)) : -1;
        admitted += answer == 0 ? 1 : 0;
        full += answer == 1 ? 1 : 0;
        if (fd >= 0) {
            held.push_back(fd);
        }
    }
    int whole = 0;
    for (int i = 0; i < options.downloads; ++i) {
        whole += Download(probe, {kSmall}, 0, kSmallSize, 's') ? 1 : 0;
    }
    std::printf(
        "limit %d, room %d: members asking %d of %d (uploads accepted %d of %d); descriptors "
        "held %d; newcomers admitted %d of %d (%d refused as full); 40 KB downloads answered 0 "
        "and whole %d of %d\n",
        options.files, options.roomMax, asked, options.members, accepted,
        options.members * options.uploads, descriptors, admitted, newcomers, full, whole,
        options.downloads);
    if (options.galleries > 0) {
        const std::vector<double> took = Galleries(probe, options.galleries);
        std::printf("galleries of 16 previews whole %zu of %d", took.size(), options.galleries);
        if (!took.empty()) {
            std::printf(": median %.3f ms, 90th %.3f ms, max %.3f ms", took[took.size() / 2],
                        took[took.size() * 9 / 10], took.back());
        }
        std::printf("\n");
    }
    for (const int fd : held) {
        close(fd);
    }
    close(probe);
    return server.Stop(30 * LoadSupport::kSecond) >= 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!LoadSupport::StartUp("MemberDownloadsLoad", kUsage, Parse(argc, argv, options),
                              options.server)) {
        return 2;
    }
    LoadSupport::RaiseOpenFileLimit();
    const uint16_t port = LoadSupport::FreePort(INADDR_LOOPBACK);
    const std::string room = port != 0 ? MakeRoom(port, options) : "";
    if (room.empty()) {
        std::fprintf(stderr, "MemberDownloadsLoad: cannot make the room\n");
        return 1;
    }
    return LoadSupport::Finish("MemberDownloadsLoad", room, Run(options, port, room));
}
