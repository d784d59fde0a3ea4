#include "System/Crypto/CRC.h"

#include "System/Crypto/StreamInput.h"

namespace System::Crypto {

CRC::CRC(uint32_t polynomial) {
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit) {
            c = (c & 1) ? (c >> 1) ^ polynomial : c >> 1;
        }
        mTable[i] = c;
    }
}

uint32_t CRC::GetCRC(const uint8_t* data, size_t count, uint32_t previous) const {
    uint32_t c = ~previous;
    for (size_t i = 0; i < count; ++i) {
        c = mTable[(c ^ data[i]) & 0xff] ^ (c >> 8);
    }
    return ~c;
}

uint32_t CRC::GetCRC(IO::Stream& stream, uint32_t previous) const {
    // The end is found by a short read, not by ReadByte, whose result cannot tell the
    // end of a file from a byte 0xFF.
    uint8_t buffer[4096];
    size_t n;
    do {
        n = ReadFull(stream, buffer, sizeof(buffer));
        previous = GetCRC(buffer, n, previous);
    } while (n == sizeof(buffer));
    return previous;
}

}  // namespace System::Crypto
