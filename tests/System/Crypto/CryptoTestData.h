#pragma once

#include "System/IO/MemoryStream.h"
#include "support/Text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace CryptoTest {

// n reproducible pseudo-random bytes; different seeds give different bytes.
inline std::string Bytes(size_t n, uint32_t seed = 1) {
    std::string bytes(n, '\0');
    uint32_t state = seed * 2654435761u + 12345;
    for (char& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

using TestSupport::FromHex;

inline std::string Hex(const std::string& bytes) {
    return TestSupport::LowerHex(bytes);
}

inline std::string Hex(const uint8_t* bytes, size_t n) {
    return Hex(std::string(reinterpret_cast<const char*>(bytes), n));
}

// The whole content of a memory stream.
inline std::string Content(System::IO::MemoryStream& stream) {
    const unsigned char* buffer = stream.GetBuffer();
    if (buffer == nullptr) {
        return std::string();
    }
    return std::string(reinterpret_cast<const char*>(buffer), static_cast<size_t>(stream.Length()));
}

// A read-only stream of size bytes that repeat a pattern, handed out at most maxRead
// bytes per read. Its Length() may claim more bytes than it ever delivers.
class PatternStream : public System::IO::Stream {
  public:
    PatternStream(std::string pattern, int64_t size, int maxRead, int64_t claimedLength)
        : mPattern(std::move(pattern)), mSize(size), mMaxRead(maxRead) {
        mCanRead = true;
        mLength = claimedLength;
    }

    int Read(unsigned char* buffer, int offset, int count) override {
        const int64_t n = std::min<int64_t>({count, mMaxRead, mSize - mDelivered});
        for (int64_t done = 0; done < n;) {
            const size_t start = static_cast<size_t>((mDelivered + done) % mPattern.size());
            const size_t piece = std::min<size_t>(mPattern.size() - start, n - done);
            std::memcpy(buffer + offset + done, mPattern.data() + start, piece);
            done += piece;
        }
        mDelivered += n;
        mPosition = std::min(mDelivered, mLength);
        return static_cast<int>(n);
    }
    void Flush() override {}
    int64_t Seek(int64_t, int) override { return mPosition; }
    void SetLength(int64_t) override {}
    void Write(const unsigned char*, int, int) override {}

  private:
    std::string mPattern;
    int64_t mSize;
    int mMaxRead;
    int64_t mDelivered{0};
};

}  // namespace CryptoTest
