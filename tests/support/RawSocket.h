#pragma once

#include <cstdint>
#include <string>

namespace TestSupport {

// A peer written with plain POSIX sockets on 127.0.0.1, so that the classes under
// test never face themselves. Each descriptor is closed when the object goes.
class RawSocket {
  public:
    // A TCP socket listening on a port of the system's choice.
    static RawSocket Listen();
    // A UDP socket bound to a port of the system's choice.
    static RawSocket Datagram();
    // A TCP socket bound to a port of the system's choice and never listening: connections
    // to the port are refused for as long as it lives, as no other socket can take it.
    static RawSocket Refusing();

    RawSocket() = default;
    explicit RawSocket(int descriptor) : mDescriptor(descriptor) {}
    RawSocket(RawSocket&& other) noexcept;
    RawSocket& operator=(RawSocket&& other) noexcept;
    ~RawSocket();

    int Descriptor() const { return mDescriptor; }
    // The local port, in host order.
    uint16_t Port() const;
    // Accepts one connection (blocking).
    RawSocket Accept() const;
    void SendAll(const std::string& bytes) const;
    // Reads until the peer closes.
    std::string ReceiveAll() const;
    // Reads exactly n bytes (fewer when the peer closes first).
    std::string Receive(size_t n) const;
    void Close();

  private:
    int mDescriptor{-1};
};

// What waits to be read on descriptor, read without waiting for more.
std::string ReceiveWaiting(int descriptor);

// A port on which nothing listens over TCP nor receives over UDP at the moment of the
// call, as the relay server needs both.
uint16_t FreePort();

}  // namespace TestSupport
