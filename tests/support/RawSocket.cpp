#include "support/RawSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <utility>

namespace TestSupport {

namespace {

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

RawSocket Bound(int type) {
    RawSocket socket(::socket(AF_INET, type | SOCK_CLOEXEC, 0));
    sockaddr_in address = Loopback(0);
    if (socket.Descriptor() < 0 ||
        bind(socket.Descriptor(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
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

RawSocket RawSocket::Connect(uint16_t port) {
    RawSocket socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address = Loopback(port);
    if (connect(socket.Descriptor(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error("cannot connect");
    }
    return socket;
}

RawSocket RawSocket::Datagram() {
    return Bound(SOCK_DGRAM);
}

uint16_t RawSocket::FreePort() {
    return Bound(SOCK_STREAM).Port();
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

}  // namespace TestSupport
