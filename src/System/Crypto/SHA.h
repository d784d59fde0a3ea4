#pragma once

#include "System/Object.h"

#include <cstddef>
#include <cstdint>

namespace System {
class String;
namespace IO {
class Stream;
}
}  // namespace System

namespace System::Crypto {

// The SHA-256 and SHA-512 digests of FIPS 180-4. The object holds nothing: every
// call is independent, so any number of threads may hash at once.
class SHA : public Object {
  public:
    static constexpr size_t SHA256Length = 32;
    static constexpr size_t SHA512Length = 64;

    SHA() = default;

    // Writes the SHA-256 digest of the whole stream, wherever it stood, into digest
    // (SHA256Length bytes). The stream is left at its end.
    static void SHA256(IO::Stream& stream, uint8_t* digest);
    // The SHA-256 digest of all the string's bytes, zero bytes included.
    static void SHA256(const String& text, uint8_t* digest);

    // The same with the SHA-512 digest (SHA512Length bytes).
    static void SHA512(IO::Stream& stream, uint8_t* digest);
    static void SHA512(const String& text, uint8_t* digest);
};

}  // namespace System::Crypto
