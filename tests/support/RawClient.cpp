#include "support/RawClient.h"

#include <arpa/inet.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "support/Wait.h"

namespace TestSupport {

RawClient::RawClient(uint16_t port, const std::string& source) {
    mSocket = socket(AF_INET, SOCK_STREAM, 0);
    if (mSocket < 0) {
        return;
    }
    if (!source.empty()) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        if (inet_pton(AF_INET, source.c_str(), &local.sin_addr) != 1 ||
            bind(mSocket, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            Close();
            return;
        }
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(mSocket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        Close();
    }
}

std::string RawClient::LocalEndPoint() const {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    char address[INET_ADDRSTRLEN] = "";
    if (mSocket < 0 || getsockname(mSocket, reinterpret_cast<sockaddr*>(&local), &length) != 0 ||
        inet_ntop(AF_INET, &local.sin_addr, address, sizeof address) == nullptr) {
        return "";
    }
    return std::string(address) + ":" + std::to_string(ntohs(local.sin_port));
}

RawClient::~RawClient() {
    Close();
}

void RawClient::Close() {
    if (mSocket >= 0) {
        close(mSocket);
        mSocket = -1;
    }
}

void RawClient::Reset() {
    if (mSocket >= 0) {
        const linger abort{1, 0};
        setsockopt(mSocket, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        Close();
    }
}

bool RawClient::WaitAcknowledged(std::chrono::milliseconds deadline) {
    return WaitUntil(
        [this] {
            // Bytes in the send queue: those not sent yet and those not acknowledged.
            int queued = 0;
            return mSocket >= 0 && ioctl(mSocket, SIOCOUTQ, &queued) == 0 && queued == 0;
        },
        deadline);
}

void RawClient::ShutdownSend() {
    if (mSocket >= 0) {
        shutdown(mSocket, SHUT_WR);
    }
}

void RawClient::SetReceiveBuffer(int bytes) {
    setsockopt(mSocket, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

bool RawClient::SendBytes(const std::string& bytes) {
    size_t sent = 0;
    while (mSocket >= 0 && sent < bytes.size()) {
        const ssize_t n = send(mSocket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return mSocket >= 0;
}

bool RawClient::SendFrame(const std::string& payload) {
    const auto n = static_cast<uint32_t>(payload.size());
    const char length[4] = {static_cast<char>(n), static_cast<char>(n >> 8),
                            static_cast<char>(n >> 16), static_cast<char>(n >> 24)};
    return SendBytes(std::string(length, 4) + payload);
}

bool RawClient::SendBytesOneByOne(const std::string& bytes) {
    int on = 1;
    setsockopt(mSocket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    for (char byte : bytes) {
        if (!SendBytes(std::string(1, byte))) {
            return false;
        }
    }
    return true;
}

long RawClient::ReadSome(std::chrono::steady_clock::time_point end) {
    if (mSocket < 0) {
        return 0;
    }
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        pollfd waiting{mSocket, POLLIN, 0};
        const int ready = poll(&waiting, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return -1;
        }
        char buffer[65536];
        const ssize_t n = recv(mSocket, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno == ECONNRESET) {
            mEnded = true;
            return kReset;
        }
        if (n > 0) {
            mReceived.append(buffer, static_cast<size_t>(n));
        }
        mEnded = mEnded || n == 0;
        return n;
    }
}

bool RawClient::ReadPaced(size_t most, std::chrono::steady_clock::time_point until) {
    size_t taken = 0;
    while (mSocket >= 0) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return true;
        }
        // Once it has its share it waits on the socket all the same: a reset or a hang-up
        // still ends the wait.
        pollfd waiting{mSocket, static_cast<short>(taken < most ? POLLIN : 0), 0};
        const int ready = poll(&waiting, 1, static_cast<int>(left.count()));
        if (ready == 0 || (ready < 0 && errno == EINTR)) {
            continue;
        }
        if (ready < 0 || (waiting.revents & POLLIN) == 0) {
            return false;
        }
        char buffer[65536];
        const ssize_t n = recv(mSocket, buffer, std::min(sizeof buffer, most - taken), 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        mReceived.append(buffer, static_cast<size_t>(n));
        taken += static_cast<size_t>(n);
    }
    return false;
}

std::optional<std::string> RawClient::TakeFrame() {
    if (mReceived.size() < 4) {
        return std::nullopt;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(mReceived.data());
    const uint32_t length = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | uint32_t{bytes[3]} << 24;
    if (mReceived.size() - 4 < length) {
        return std::nullopt;
    }
    std::string payload = mReceived.substr(4, length);
    mReceived.erase(0, 4 + size_t{length});
    return payload;
}

std::optional<std::string> RawClient::NextFrame(std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        if (auto frame = TakeFrame()) {
            return frame;
        }
        if (ReadSome(end) <= 0) {
            return std::nullopt;
        }
    }
}

std::optional<std::string> RawClient::ReadToEnd(std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        const long n = ReadSome(end);
        if (n == 0) {
            std::string all;
            all.swap(mReceived);
            return all;
        }
        if (n < 0) {
            return std::nullopt;
        }
    }
}

bool RawClient::WaitClosed(std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        mReceived.clear();
        const long n = ReadSome(end);
        if (n == 0 || n == kReset) {
            return true;
        }
        if (n < 0) {
            return false;
        }
    }
}

bool RawClient::ProbeUntilReset(std::chrono::milliseconds deadline) {
    return WaitUntil(
        [this] {
            const char probe = 0;
            if (mSocket >= 0 && send(mSocket, &probe, 1, MSG_NOSIGNAL | MSG_DONTWAIT) < 0 &&
                (errno == ECONNRESET || errno == EPIPE)) {
                return true;
            }
            return WasReset();
        },
        deadline);
}

bool RawClient::WasReset() const {
    tcp_info info{};
    socklen_t size = sizeof info;
    // A reset takes the connection straight to the closed state, from wherever it was.
    return mSocket >= 0 && getsockopt(mSocket, IPPROTO_TCP, TCP_INFO, &info, &size) == 0 &&
           info.tcpi_state == TCP_CLOSE;
}

bool RawClient::Pending() {
    if (mReceived.size() >= 4) {
        return true;
    }
    pollfd waiting{mSocket, POLLIN, 0};
    return mSocket >= 0 && poll(&waiting, 1, 0) > 0;
}

}  // namespace TestSupport
