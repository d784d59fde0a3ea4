#pragma once

#include <cstdint>

#include "System/Net/IPAddress.h"
#include "System/Object.h"
#include "System/String.h"

namespace System::Net {

// An address and a port by value, both stored as given: host order until SwapEndian,
// network order when read back from the platform.
class IPEndPoint : public Object {
  public:
    // No address, port 0.
    IPEndPoint();
    IPEndPoint(const IPAddress& address, uint16_t port);
    // An IPv4 address from its word, unchanged.
    IPEndPoint(uint32_t word, uint16_t port);
    // The host name resolved on the calling thread, in host order: "" gives Any, a
    // name without an answer gives None. An IPv4 answer is taken when there is one,
    // since the clients and servers make IPv4 sockets; otherwise the first answer.
    IPEndPoint(const String& host, uint16_t port);

    [[nodiscard]] IPAddress GetAddress() const { return mAddress; }
    [[nodiscard]] uint16_t GetPort() const { return mPort; }

    // The address swapped (IPAddress::SwapEndian) and the port's two bytes exchanged.
    [[nodiscard]] IPEndPoint SwapEndian() const;

  private:
    IPAddress mAddress;  // host or network order, as given
    uint16_t mPort{0};   // in the same order as the address
};

}  // namespace System::Net
