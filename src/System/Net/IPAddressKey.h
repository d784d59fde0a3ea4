#pragma once

#include <array>
#include <cstddef>

#include "System/Net/IPAddress.h"

namespace System::Net {

// An address as the key of a hash table: its 16 bytes and its family, so that an IPv4
// address and the IPv6 address with the same first bytes stay apart.
class IPAddressKey {
  public:
    explicit IPAddressKey(const IPAddress& address);

    bool operator==(const IPAddressKey& other) const { return mBytes == other.mBytes; }

    struct Hash {
        size_t operator()(const IPAddressKey& key) const;
    };

  private:
    std::array<unsigned char, 17> mBytes{};  // the address bytes, then the family
};

}  // namespace System::Net
