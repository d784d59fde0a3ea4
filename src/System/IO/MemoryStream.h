#pragma once

#include <cstdint>

#include "System/IO/Stream.h"

namespace System::IO {

// A stream over a byte buffer that the stream owns or that the caller lends. Writes
// past the capacity move the content to a larger owned buffer (doubling from 2), so a
// lent buffer only receives the writes that fit in it. Buffers the stream allocates
// start zeroed, so bytes counted as content without being written never carry heap
// garbage to a file or a peer.
class MemoryStream : public Stream {
  public:
    // The largest capacity a memory stream grows to; writes beyond it are refused.
    static constexpr int32_t kMaxCapacity = INT32_MAX;

    // Empty; the first write allocates an owned buffer.
    MemoryStream();
    // An owned buffer whose size bytes already count as content (position 0).
    explicit MemoryStream(int32_t size);
    // Lends buffer's first size bytes as content, starting at position (kept within
    // 0 and size). The stream never frees a lent buffer.
    MemoryStream(unsigned char* buffer, int32_t size);
    MemoryStream(unsigned char* buffer, int32_t position, int32_t size, bool writable = true,
                 bool exposable = true);
    ~MemoryStream() override;

    // Frees an owned buffer; the stream stays usable and grows afresh on the next write.
    void Close() override;
    void Flush() override {}
    int Read(unsigned char* buffer, int offset, int count) override;
    // The byte at the position, or 0 at the end (the position then stays).
    unsigned char ReadByte() override;
    // Origin 2 counts backwards: Seek(4, 2) stands four bytes before the end. The
    // target is kept within 0 and the length. Without a buffer or the seek right the
    // position stays.
    int64_t Seek(int64_t offset, int origin) override;
    // Shortens within the capacity whatever the write right; grows only when writable.
    void SetLength(int64_t value) override;
    void Write(const unsigned char* buffer, int offset, int count) override;
    void WriteByte(unsigned char value) override;

    int32_t Capacity() const { return mCapacity; }
    // Reallocates to exactly value bytes (always, when writable) into an owned buffer,
    // keeping as much content as fits.
    void Capacity(int32_t value);
    // The buffer when the stream was made exposable, else null. Valid until the stream
    // reallocates, closes or is destroyed.
    unsigned char* GetBuffer() const { return mExposable ? mBuffer : nullptr; }
    // Writes the whole content, from byte 0, to target; the position does not move.
    void WriteTo(Stream& target) const;

  private:
    void ReleaseBuffer();

    unsigned char* mBuffer{nullptr};  // null when the stream has none
    int32_t mCapacity{0};             // bytes the buffer holds
    bool mOwnsBuffer{true};           // the buffer is freed with delete[]
    bool mExposable{true};            // GetBuffer may hand the buffer out
};

}  // namespace System::IO
