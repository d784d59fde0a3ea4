#pragma once

#include <cstdint>

#include "System/String.h"

// The hash functions that the owners of a Hash give it.
namespace System::Collections::HashFunctions {

// h = h * 31 + byte for each byte in order, each byte taken as a signed 8-bit value,
// modulo 2^32; 0 for the empty string.
[[nodiscard]] uint32_t StringHash(const String& key);

// The key itself.
[[nodiscard]] inline uint32_t IntHash(const uint32_t& key) {
    return key;
}

}  // namespace System::Collections::HashFunctions
