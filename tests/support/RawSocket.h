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
    // A TCP connection to port.
    static RawSocket Connect(uint16_t port);
    // A UDP socket bound to a port of the system's choice.
    static RawSocket Datagram();
    // A port on which nothing listens (it was free a moment ago).
    static uint16_t FreePort();

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

}  // namespace TestSupport
