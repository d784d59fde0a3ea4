#pragma once

#include "System/Object.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace System::IO {
class Stream;
}

namespace System::Crypto {

// Table-driven, bit-reflected 32-bit CRC. With the polynomial 0xEDB88320 it is the
// CRC-32 of zlib and PNG. Results chain: passing one result as previous to the next
// call gives the CRC of the bytes of both calls together.
class CRC : public Object {
  public:
    // polynomial is the reflected form, e.g. 0xEDB88320.
    explicit CRC(uint32_t polynomial);

    // The CRC of count bytes continued from previous; previous 0 starts a new CRC,
    // and count 0 returns previous.
    [[nodiscard]] uint32_t GetCRC(const uint8_t* data, size_t count, uint32_t previous) const;

    // The same over the stream's bytes from its position to its end.
    [[nodiscard]] uint32_t GetCRC(IO::Stream& stream, uint32_t previous) const;

  private:
    // The CRC of each byte value; read-only after construction.
    std::array<uint32_t, 256> mTable;
};

}  // namespace System::Crypto
