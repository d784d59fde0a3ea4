#pragma once

// What the load tools share: the clock, the start and end of a run, a room directory of its
// own on a free port, an epoll set, and the server binary run in that room and measured from
// /proc.

#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "support/RelayWire.h"

namespace LoadSupport {

constexpr uint64_t kSecond = 1000000000;

// The monotonic clock, in nanoseconds.
uint64_t Now();

double ToSeconds(uint64_t nanoseconds);

// The CPU time, user and system, this process has used so far, in seconds.
double OwnCpuSeconds();

// Takes the value of --server, --rate or the whole-number option that count points to (null
// for none); false for an option the tool does not have.
[[nodiscard]] bool TakeOption(const std::string& option, const char* value, std::string& server,
                              double& rate, int* count);

// The IPv4 address host:port, both in host byte order.
sockaddr_in Address(uint32_t host, uint16_t port);

// A port of host on which nothing listens over TCP nor receives over UDP, as the server binds
// both; 0 when none was found.
uint16_t FreePort(uint32_t host);

// Raises the tool's soft open-file limit to its hard one: one descriptor for each of its
// connections, and a few.
void RaiseOpenFileLimit();
// Closes fd, a socket that could not connect, keeping errno; -1.
int CloseKeepingErrno(int fd);

// A socket connected to port of 127.0.0.1, or -1 with errno set. Connecting blocks: loopback
// completes the handshake at once, before the server accepts.
int ConnectLoopback(uint16_t port);

// Blocking relay connections, for tools that drive a few members one step at a time: every
// read waits kReadSeconds at most.
constexpr int kReadSeconds = 30;
// A connection to port of 127.0.0.1 from source (host byte order), its receive buffer
// receiveBuffer bytes unless 0; -1 when it cannot connect.
int ConnectFrom(uint32_t source, uint16_t port, int receiveBuffer);
// Whether every byte was sent.
bool SendBytes(int fd, const std::string& bytes);
bool SendFrame(int fd, const std::string& message);
// The next frame's message; none when the connection ended or stayed silent kReadSeconds.
std::optional<std::string> NextFrame(int fd);
// Reads frames until one of type, kept in last unless null; false when the connection ends
// first.
bool ReadUntil(int fd, uint8_t type, std::string* last = nullptr);
// Joins fd's connection as name, without a password: the join's answer (0 admitted, 1 the
// room is full), -1 when the connection ended first.
int Join(int fd, const std::string& name);

// The whole file, empty when it cannot be read.
std::string ReadText(const std::string& path);

bool WriteFile(const std::string& path, const std::string& text);

// A relay message as sent: its length, then the message.
std::string Framed(const std::string& message);

// Hands each whole frame at the front of in (a 4-byte little-endian length, then the
// message) to handle, taken apart, and takes it off; false on a length that no frame of the
// server has.
bool TakeFrames(std::string& in, const std::function<void(const RelayWire::Parsed&)>& handle);

// Reads what the non-blocking socket fd holds onto in; false once the peer has closed or
// reset it.
bool ReadInto(int fd, std::string& in);

// What a tool does first: line-buffers stdout, so that figures and failures stay in order
// when both go to one file, and makes server an absolute path. False, with usage or the
// reason on stderr, when the command line was not parsed or the server cannot be run.
[[nodiscard]] bool StartUp(const char* tool, const char* usage, bool parsed, std::string& server);

// The config.xml of a room named name on port, for roomMax members, that anyone joins
// without a password and where everyone may chat, talk, view and post photos of up to
// largestPhoto bytes.
std::string OpenRoomConfig(uint16_t port, const std::string& name, int roomMax,
                           int largestPhoto = 4194304);

// A new directory /tmp/prefix-XXXXXX holding config.xml and media.xml with the texts given;
// empty when it cannot be made.
std::string MakeRoom(const std::string& prefix, const std::string& config,
                     const std::string& media);

// Removes the room after a run that went well and keeps it, saying where as tool, after one
// that did not; the tool's exit status.
int Finish(const char* tool, const std::string& room, bool ok);

// An epoll instance whose events carry the tag each descriptor was watched with.
class Poller {
  public:
    Poller();
    ~Poller();
    Poller(const Poller&) = delete;
    Poller& operator=(const Poller&) = delete;

    // Adds (EPOLL_CTL_ADD), changes (EPOLL_CTL_MOD) or ends (EPOLL_CTL_DEL) fd's watch.
    void Watch(int fd, int operation, uint32_t events, uint64_t tag);

    // Waits up to timeout milliseconds for at most count events; how many came.
    int Wait(epoll_event* events, int count, int timeout);

  private:
    int mFd{-1};
};

// The server under test, run in its room directory with its console in server.log there.
class Server {
  public:
    // files, unless 0, is its open-file limit, soft and hard; otherwise it has the tool's.
    // addressSpace, unless 0, is its address-space limit in bytes, as an operator's
    // `ulimit -v` sets it.
    Server(const std::string& binary, const std::string& room, uint64_t files = 0,
           uint64_t addressSpace = 0);
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    [[nodiscard]] bool Running();

    // Waits up to 30 s until it takes connections on port, with one that it closes again at
    // once; false, with why, when it does not.
    [[nodiscard]] bool AwaitListening(uint16_t port, std::string& why);

    // utime + stime of all its threads so far, in seconds.
    [[nodiscard]] double CpuSeconds() const;

    // Its peak resident memory (VmHWM), in MiB.
    [[nodiscard]] double PeakMegabytes() const;

    // Its resident memory now (VmRSS), in MiB.
    [[nodiscard]] double ResidentMegabytes() const;

    // The descriptors it has open now.
    [[nodiscard]] int Descriptors() const;

    // Asks it to stop (it saves its files first) and kills it after timeout nanoseconds; the
    // seconds it took, negative when it was killed or did not end with status 0.
    double Stop(uint64_t timeout);

    // How it ended, once it has: "status N" or "signal N".
    [[nodiscard]] std::string Ending() const;

  private:
    // The figure of /proc/PID/status whose line starts with key, in MiB.
    [[nodiscard]] double StatusMegabytes(const std::string& key) const;

    pid_t mPid{-1};
    int mStatus{0};  // wait status once it has ended
};

}  // namespace LoadSupport
