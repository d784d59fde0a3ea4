#include "System/Net/IPAddress.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace System::Net {

IPAddress::IPAddress(const unsigned char* bytes, uint32_t n) : mFamily(n == 4 ? kIPv4 : kIPv6) {
    std::memcpy(mAddress, bytes, std::min<uint32_t>(n, sizeof mAddress));
}

IPAddress::IPAddress(uint32_t word) : mFamily(kIPv4) {
    std::memcpy(mAddress, &word, sizeof word);
}

const IPAddress& IPAddress::Any() {
    static const IPAddress any(0u);
    return any;
}

const IPAddress& IPAddress::Broadcast() {
    static const IPAddress broadcast(0xFFFFFFFFu);
    return broadcast;
}

const IPAddress& IPAddress::Loopback() {
    // In host order like every other address the system holds: the word in network
    // order (0x0100007F) would print as 1.0.0.127, and SwapEndian before a bind or
    // connect would aim at that address instead of 127.0.0.1.
    static const IPAddress loopback(0x7F000001u);
    return loopback;
}

const IPAddress& IPAddress::None() {
    static const IPAddress none;
    return none;
}

const IPAddress& IPAddress::IPv6Any() {
    // Family IPv6: an address without a family could be neither bound nor connected.
    static const unsigned char zero[16]{};
    static const IPAddress any(zero, 16);
    return any;
}

const IPAddress& IPAddress::IPv6Loopback() {
    // ::1 in host order: the last 16-bit group is 1 in machine order. Sixteen zero
    // bytes without a family would be no address at all.
    static const unsigned char one[16]{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0};
    static const IPAddress loopback(one, 16);
    return loopback;
}

const IPAddress& IPAddress::IPv6None() {
    static const IPAddress none;
    return none;
}

uint32_t IPAddress::GetAddress() const {
    uint32_t word = 0;
    std::memcpy(&word, mAddress, sizeof word);
    return word;
}

IPAddress IPAddress::SwapEndian() const {
    IPAddress swapped(*this);
    if (mFamily == kIPv4) {
        std::reverse(swapped.mAddress, swapped.mAddress + 4);
    } else {
        for (int i = 0; i < 16; i += 2) {
            std::swap(swapped.mAddress[i], swapped.mAddress[i + 1]);
        }
    }
    return swapped;
}

String IPAddress::ToString() const {
    if (mFamily == kIPv4) {
        const uint32_t word = GetAddress();
        return String::Parse("%u.%u.%u.%u", word >> 24, (word >> 16) & 255, (word >> 8) & 255,
                             word & 255);
    }
    unsigned group[8];
    for (int i = 0; i < 8; ++i) {
        uint16_t value = 0;
        std::memcpy(&value, mAddress + 2 * i, sizeof value);
        group[i] = value;
    }
    return String::Parse("%04X:%04X:%04X:%04X:%04X:%04X:%04X:%04X", group[0], group[1], group[2],
                         group[3], group[4], group[5], group[6], group[7]);
}

IPAddress IPAddress::Parse(const String& text) {
    uint32_t word = 0;
    for (uint32_t k = 0;; ++k) {
        const String field = text.Split(".", k);
        if (field.Length() == 0) {
            break;
        }
        // Read as the 32-bit platform read it: strtol saturates at the limits of a
        // 32-bit long, and the shift wraps at 32.
        const long value =
            std::clamp<long>(std::strtol(field.CStr(), nullptr, 10), INT32_MIN, INT32_MAX);
        const uint32_t shift = (24 - 8 * k) & 31;
        word |= static_cast<uint32_t>(static_cast<int32_t>(value)) << shift;
    }
    return IPAddress(word);
}

bool IPAddress::IsValidIPv4(const String& text) {
    if (text.Length() == 0) {
        return false;
    }
    for (uint32_t k = 0; k < 4; ++k) {
        const String field = text.Split(".", k);
        if (field.Length() == 0) {
            return false;
        }
        uint32_t value = 0;
        for (uint32_t i = 0; i < field.Length(); ++i) {
            const char c = field[i];
            if (c < '0' || c > '9') {
                return false;
            }
            value = std::min<uint32_t>(value * 10 + static_cast<uint32_t>(c - '0'), 256);
        }
        if (value > 255) {
            return false;
        }
    }
    return text.Split(".", 4).Length() == 0;
}

}  // namespace System::Net
