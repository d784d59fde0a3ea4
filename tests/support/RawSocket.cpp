#include "support/RawSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <utility>

namespace TestSupport {

namespace {

// The ports FreePort draws from: above those services commonly listen on, below 32768,
// where Linux's default range of local ports for outgoing connections begins.
constexpr uint32_t kFirstTestPort = 20000;
constexpr uint32_t kFirstEphemeralPort = 32768;

// Binds socket to port of host (0: a port of the system's choice).
bool Bind(const RawSocket& socket, uint32_t host, uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(host);
    address.sin_port = htons(port);
    return socket.Descriptor() >= 0 &&
           bind(socket.Descriptor(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

RawSocket Bound(int type) {
    RawSocket socket(::socket(AF_INET, type | SOCK_CLOEXEC, 0));
    if (!Bind(socket, INADDR_LOOPBACK, 0)) {
        throw std::runtime_error("cannot bind a loopback socket");
    }
    return socket;
}

}  // namespace

RawSocket RawSocket::Listen() {
    RawSocket socket = Bound(SOCK_STREAM);
    if (listen(socket.Descriptor(), 16) != 0) {
        throw std::runtime_error("cannot listen");
    }
    return socket;
}

RawSocket RawSocket::Datagram() {
    return Bound(SOCK_DGRAM);
}

RawSocket RawSocket::Refusing() {
    return Bound(SOCK_STREAM);
}

RawSocket::RawSocket(RawSocket&& other) noexcept
    : mDescriptor(std::exchange(other.mDescriptor, -1)) {}

RawSocket& RawSocket::operator=(RawSocket&& other) noexcept {
    if (this != &other) {
        Close();
        mDescriptor = std::exchange(other.mDescriptor, -1);
    }
    return *this;
}

RawSocket::~RawSocket() {
    Close();
}

uint16_t RawSocket::Port() const {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    getsockname(mDescriptor, reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
}

RawSocket RawSocket::Accept() const {
    return RawSocket(accept4(mDescriptor, nullptr, nullptr, SOCK_CLOEXEC));
}

void RawSocket::SendAll(const std::string& bytes) const {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(mDescriptor, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            throw std::runtime_error("cannot send");
        }
        sent += static_cast<size_t>(n);
    }
}

std::string RawSocket::ReceiveAll() const {
    return Receive(SIZE_MAX);
}

std::string RawSocket::Receive(size_t n) const {
    std::string received;
    char buffer[65536];
    while (received.size() < n) {
        const size_t want = std::min(sizeof buffer, n - received.size());
        const ssize_t got = recv(mDescriptor, buffer, want, 0);
        if (got <= 0) {
            break;
        }
        received.append(buffer, static_cast<size_t>(got));
    }
    return received;
}

void RawSocket::Close() {
    if (mDescriptor >= 0) {
        close(mDescriptor);
        mDescriptor = -1;
    }
}

std::string ReceiveWaiting(int descriptor) {
    std::string received;
    char buffer[65536];
    ssize_t n = 0;
    while ((n = recv(descriptor, buffer, sizeof buffer, MSG_DONTWAIT)) > 0) {
        received.append(buffer, static_cast<size_t>(n));
    }
    return received;
}

uint16_t FreePort() {
    // Taken below the range the system draws the local ports of outgoing connections from:
    // a port of its own choice could be taken a moment later by one of the thousands of
    // connections other tests open, and the server's bind then failed ("Address already in
    // use").
    thread_local std::mt19937 draw(static_cast<uint32_t>(::getpid()) * 2654435761u ^
                                   static_cast<uint32_t>(std::random_device{}()));
    std::uniform_int_distribution<uint32_t> below(kFirstTestPort, kFirstEphemeralPort - 1);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const auto port = static_cast<uint16_t>(below(draw));
        const RawSocket tcp(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        const RawSocket udp(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        if (Bind(tcp, INADDR_ANY, port) && Bind(udp, INADDR_ANY, port)) {
            return port;
        }
    }
    throw std::runtime_error("no free port");
}

}  // namespace TestSupport
