#include "LoadSupport.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace LoadSupport {

namespace {

// Reads size bytes into into; false when the connection ended or stayed silent first.
bool ReadAll(int fd, char* into, size_t size) {
    for (size_t got = 0; got < size;) {
        const ssize_t read = recv(fd, into + got, size - got, 0);
        if (read <= 0) {
            return false;
        }
        got += static_cast<size_t>(read);
    }
    return true;
}

}  // namespace

uint64_t Now() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * kSecond + static_cast<uint64_t>(now.tv_nsec);
}

double ToSeconds(uint64_t nanoseconds) {
    return static_cast<double>(nanoseconds) / kSecond;
}

double OwnCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

bool TakeOption(const std::string& option, const char* value, std::string& server, double& rate,
                int* count) {
    if (option == "--server") {
        server = value;
    } else if (option == "--rate") {
        rate = std::atof(value);
    } else if (count != nullptr) {
        *count = std::atoi(value);
    } else {
        return false;
    }
    return true;
}

sockaddr_in Address(uint32_t host, uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(host);
    return address;
}

uint16_t FreePort(uint32_t host) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int tcp = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int udp = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = Address(host, 0);
        socklen_t length = sizeof address;
        auto* any = reinterpret_cast<sockaddr*>(&address);
        const bool free = bind(tcp, any, sizeof address) == 0 &&
                          getsockname(tcp, any, &length) == 0 &&
                          bind(udp, any, sizeof address) == 0;
        close(udp);
        close(tcp);
        if (free) {
            return ntohs(address.sin_port);
        }
    }
    return 0;
}

void RaiseOpenFileLimit() {
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
}

int CloseKeepingErrno(int fd) {
    const int error = errno;
    close(fd);
    errno = error;
    return -1;
}

int ConnectLoopback(uint16_t port) {
    const sockaddr_in address = Address(INADDR_LOOPBACK, port);
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return CloseKeepingErrno(fd);
    }
    return fd;
}

std::string ReadText(const std::string& path) {
    std::ifstream file(path);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary);
    file << text;
    return static_cast<bool>(file.flush());
}

bool StartUp(const char* tool, const char* usage, bool parsed, std::string& server) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (!parsed) {
        std::fputs(usage, stderr);
        return false;
    }
    std::error_code error;
    server = std::filesystem::absolute(server, error);
    if (access(server.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "%s: cannot run %s\n", tool, server.c_str());
        return false;
    }
    return true;
}

std::string OpenRoomConfig(uint16_t port, const std::string& name, int roomMax, int largestPhoto) {
    return "<config RelayServerPort=\"" + std::to_string(port) + "\" RoomName=\"" + name +
           "\" RoomMaxClients=\"" + std::to_string(roomMax) +
           "\" RoomIsPublic=\"false\" MediaPath=\"media/\" MaxMediaSize=\"" +
           std::to_string(largestPhoto) +
           "\" "
           "MediaPreviewWidth=\"160\" MediaPreviewHeight=\"120\">\n\t<privileges>\n\t\t<user "
           "isEnabled=\"true\" password=\"\" voice=\"true\" chat=\"true\" viewPhotos=\"true\" "
           "postPhotos=\"true\" deletePhotos=\"false\" />\n\t</privileges>\n</config>";
}

std::string MakeRoom(const std::string& prefix, const std::string& config,
                     const std::string& media) {
    std::string pattern = "/tmp/" + prefix + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        return "";
    }
    const bool written =
        WriteFile(pattern + "/config.xml", config) && WriteFile(pattern + "/media.xml", media);
    return written ? pattern : "";
}

int Finish(const char* tool, const std::string& room, bool ok) {
    if (ok) {
        std::error_code error;
        std::filesystem::remove_all(room, error);
        return 0;
    }
    std::fprintf(stderr, "%s: the room and the server's log are kept in %s\n", tool, room.c_str());
    return 1;
}

std::string Framed(const std::string& message) {
    return RelayWire::U32(static_cast<uint32_t>(message.size())) + message;
}

int ConnectFrom(uint32_t source, uint16_t port, int receiveBuffer) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in from = Address(source, 0);
    const sockaddr_in to = Address(INADDR_LOOPBACK, port);
    const timeval wait{kReadSeconds, 0};
    // A reply waits for no acknowledgement of what was sent before it.
    constexpr int kOn = 1;
    if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&from), sizeof from) != 0 ||
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait) != 0 ||
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &kOn, sizeof kOn) != 0 ||
        (receiveBuffer > 0 &&
         setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer) != 0) ||
        connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
        return fd < 0 ? -1 : CloseKeepingErrno(fd);
    }
    return fd;
}

bool SendBytes(int fd, const std::string& bytes) {
    return send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

bool SendFrame(int fd, const std::string& payload) {
    return SendBytes(fd, Framed(payload));
}

std::optional<std::string> NextFrame(int fd) {
    char length[4];
    if (!ReadAll(fd, length, sizeof length)) {
        return std::nullopt;
    }
    std::string payload(RelayWire::ReadU32(std::string(length, 4), 0), '\0');
    if (!ReadAll(fd, payload.data(), payload.size())) {
        return std::nullopt;
    }
    return payload;
}

bool ReadUntil(int fd, uint8_t type, std::string* last) {
    while (const auto frame = NextFrame(fd)) {
        if (!frame->empty() && static_cast<uint8_t>((*frame)[0]) == type) {
            if (last != nullptr) {
                *last = *frame;
            }
            return true;
        }
    }
    return false;
}

int Join(int fd, const std::string& name) {
    std::string answer;
    return SendFrame(fd, RelayWire::Join(name, "")) &&
                   ReadUntil(fd, RelayWire::JoinResponse, &answer) && answer.size() >= 6
               ? static_cast<uint8_t>(answer[5])
               : -1;
}

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

Poller::Poller() : mFd(epoll_create1(EPOLL_CLOEXEC)) {}

Poller::~Poller() {
    close(mFd);
}

void Poller::Watch(int fd, int operation, uint32_t events, uint64_t tag) {
    epoll_event event{};
    event.events = events;
    event.data.u64 = tag;
    epoll_ctl(mFd, operation, fd, &event);
}

int Poller::Wait(epoll_event* events, int count, int timeout) {
    return epoll_wait(mFd, events, count, timeout);
}

Server::Server(const std::string& binary, const std::string& room, uint64_t files,
               uint64_t addressSpace) {
    // Made before the fork: the child of a threaded tool may not allocate.
    const std::string logPath = room + "/server.log";
    mPid = fork();
    if (mPid == 0) {
        // A tool that dies must not leave a server behind.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        const rlimit limit{static_cast<rlim_t>(files), static_cast<rlim_t>(files)};
        const rlimit space{static_cast<rlim_t>(addressSpace), static_cast<rlim_t>(addressSpace)};
        const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if ((files != 0 && setrlimit(RLIMIT_NOFILE, &limit) != 0) ||
            (addressSpace != 0 && setrlimit(RLIMIT_AS, &space) != 0) || log < 0 ||
            chdir(room.c_str()) != 0) {
            _exit(126);
        }
        dup2(log, STDOUT_FILENO);
        dup2(log, STDERR_FILENO);
        execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
}

bool Server::Running() {
    if (mPid > 0 && waitpid(mPid, &mStatus, WNOHANG) == mPid) {
        mPid = -1;
    }
    return mPid > 0;
}

bool Server::AwaitListening(uint16_t port, std::string& why) {
    for (const uint64_t deadline = Now() + 30 * kSecond;; usleep(20000)) {
        const int fd = ConnectLoopback(port);
        if (fd >= 0) {
            close(fd);
            return true;
        }
        const int error = errno;
        if (error != ECONNREFUSED || Now() > deadline || !Running()) {
            why = std::string("the server does not take connections: ") + std::strerror(error);
            return false;
        }
    }
}

double Server::CpuSeconds() const {
    const std::string stat = ReadText("/proc/" + std::to_string(mPid) + "/stat");
    const size_t name = stat.rfind(')');
    if (name == std::string::npos) {
        return 0;
    }
    // After the name in parentheses come field 3 (the state) to 13, then utime and stime.
    unsigned long long user = 0, system = 0;
    std::sscanf(stat.c_str() + name + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu",
                &user, &system);
    return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double Server::PeakMegabytes() const {
    return StatusMegabytes("VmHWM:");
}

double Server::ResidentMegabytes() const {
    return StatusMegabytes("VmRSS:");
}

double Server::StatusMegabytes(const std::string& key) const {
    std::ifstream file("/proc/" + std::to_string(mPid) + "/status");
    for (std::string line; std::getline(file, line);) {
        if (line.rfind(key, 0) == 0) {
            return std::strtod(line.c_str() + key.size(), nullptr) / 1024;
        }
    }
    return 0;
}

int Server::Descriptors() const {
    std::error_code error;
    int count = 0;
    for (std::filesystem::directory_iterator entry("/proc/" + std::to_string(mPid) + "/fd", error),
         end;
         !error && entry != end; entry.increment(error)) {
        ++count;
    }
    return count;
}

double Server::Stop(uint64_t timeout) {
    const uint64_t start = Now();
    if (Running()) {
        kill(mPid, SIGTERM);
    }
    while (Running() && Now() - start < timeout) {
        usleep(10000);
    }
    if (Running()) {
        kill(mPid, SIGKILL);
        waitpid(mPid, &mStatus, 0);
        mPid = -1;
        return -1;
    }
    const bool clean = WIFEXITED(mStatus) && WEXITSTATUS(mStatus) == 0;
    return clean ? ToSeconds(Now() - start) : -1;
}

std::string Server::Ending() const {
    if (WIFSIGNALED(mStatus)) {
        return "signal " + std::to_string(WTERMSIG(mStatus));
    }
    return "status " + std::to_string(WEXITSTATUS(mStatus));
}

}  // namespace LoadSupport
