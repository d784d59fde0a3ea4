#pragma once

#include <cstdint>

#include "System/Object.h"
#include "System/String.h"

namespace System::Net {

// An IPv4 or IPv6 address by value. The rest of the system holds addresses in host
// order (for IPv4 the first dotted octet is the most significant byte of the word);
// SwapEndian gives the network order that the socket calls take, just before they
// are made. Addresses read back from the platform are in network order.
//
// The family is the class's own number: 0 no address, 2 IPv4, 23 IPv6.
class IPAddress : public Object {
  public:
    static constexpr int32_t kNone = 0;
    static constexpr int32_t kIPv4 = 2;
    static constexpr int32_t kIPv6 = 23;

    // No address (family 0).
    IPAddress() = default;
    // The first n bytes (4 or 16; more than 16 are not read) in memory order; family
    // IPv4 when n is 4, else IPv6.
    IPAddress(const unsigned char* bytes, uint32_t n);
    // An IPv4 address from its word in machine order.
    explicit IPAddress(uint32_t word);

    // The shared constants, each built on its first use. Any, Broadcast and Loopback
    // are IPv4 addresses in host order; None and IPv6None hold no address.
    static const IPAddress& Any();
    static const IPAddress& Broadcast();
    static const IPAddress& Loopback();
    static const IPAddress& None();
    static const IPAddress& IPv6Any();
    static const IPAddress& IPv6Loopback();
    static const IPAddress& IPv6None();

    // The first four bytes as a word in machine order.
    [[nodiscard]] uint32_t GetAddress() const;
    // The 16 address bytes (IPv4 uses the first four, the others are 0).
    [[nodiscard]] const unsigned char* GetAddressBytes() const { return mAddress; }
    [[nodiscard]] int32_t GetAddressFamily() const { return mFamily; }

    // Scopes are not kept: always false, and 0.
    [[nodiscard]] bool IsIPv6LinkLocal() const { return false; }
    [[nodiscard]] bool IsIPv6Multicast() const { return false; }
    [[nodiscard]] bool IsIPv6SiteLocal() const { return false; }
    [[nodiscard]] int64_t GetScopeId() const { return 0; }

    // The same address in the other byte order: the four bytes of an IPv4 address
    // reversed; otherwise the two bytes of each 16-bit group exchanged.
    [[nodiscard]] IPAddress SwapEndian() const;

    // IPv4 as dotted decimal of the host-order word ("192.168.1.20"); any other
    // family as eight groups of four upper-case hex digits read in machine order.
    [[nodiscard]] String ToString() const;

    // The host-order IPv4 address of dotted text, field k shifted left by
    // (24 - 8k) mod 32, reading fields until an empty one. Nothing is validated:
    // "" gives 0.0.0.0 and a field past the fourth lands in the top byte.
    [[nodiscard]] static IPAddress Parse(const String& text);
    // Whether text is exactly four dotted fields of the digits 0 to 9, each at most 255.
    [[nodiscard]] static bool IsValidIPv4(const String& text);

  private:
    unsigned char mAddress[16]{};  // the address bytes; IPv4 uses the first four
    int32_t mFamily{kNone};        // kNone, kIPv4 or kIPv6
};

}  // namespace System::Net
