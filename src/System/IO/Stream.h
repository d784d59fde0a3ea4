#pragma once

#include <cstdint>

#include "System/Object.h"

namespace System::IO {

// A byte stream. Failures are reported by returning 0, an empty result or nothing;
// no operation throws. Seek origins are those of fseek: 0 from the beginning, 1 from
// the current position, 2 from the end. A stream is used by one thread at a time.
class Stream : public Object {
  public:
    Stream() = default;
    ~Stream() override = default;
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    virtual bool CanRead() const { return mCanRead; }
    virtual bool CanSeek() const { return mCanSeek; }
    // Never set by the streams of this library.
    virtual bool CanTimeout() const { return mCanTimeout; }
    virtual bool CanWrite() const { return mCanWrite; }

    // The number of valid bytes.
    virtual int64_t Length() const { return mLength; }
    // The index of the next byte read or written.
    virtual int64_t Position() const { return mPosition; }
    // Moves to value, kept within 0 and the length; returns the new position.
    virtual int64_t Position(int64_t value);

    // Time-outs are stored and returned; nothing uses them.
    virtual int32_t ReadTimeout() const { return mReadTimeout; }
    virtual void ReadTimeout(int32_t value) { mReadTimeout = value; }
    virtual int32_t WriteTimeout() const { return mWriteTimeout; }
    virtual void WriteTimeout(int32_t value) { mWriteTimeout = value; }

    virtual void Close() {}
    virtual void Flush() = 0;
    // Reads up to count bytes into buffer[offset...]; returns the number read.
    virtual int Read(unsigned char* buffer, int offset, int count) = 0;
    // The next byte; the result carries no end-of-stream value (callers compare
    // Position() with Length()).
    virtual unsigned char ReadByte() { return 0; }
    // Moves the position; returns the new position.
    virtual int64_t Seek(int64_t offset, int origin) = 0;
    virtual void SetLength(int64_t value) = 0;
    // Writes count bytes from buffer[offset...] at the position.
    virtual void Write(const unsigned char* buffer, int offset, int count) = 0;
    virtual void WriteByte(unsigned char) {}

  protected:
    bool mCanRead{false};
    bool mCanSeek{false};
    bool mCanTimeout{false};
    bool mCanWrite{false};
    int64_t mLength{0};
    int64_t mPosition{0};
    int32_t mReadTimeout{0};
    int32_t mWriteTimeout{0};
};

}  // namespace System::IO
