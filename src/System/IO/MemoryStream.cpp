#include "System/IO/MemoryStream.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace System::IO {

MemoryStream::MemoryStream() {
    mCanRead = true;
    mCanSeek = true;
    mCanWrite = true;
}

MemoryStream::MemoryStream(int32_t size) : MemoryStream() {
    if (size > 0) {
        mBuffer = new (std::nothrow) unsigned char[size]();
        if (mBuffer != nullptr) {
            mCapacity = size;
            mLength = size;
        }
    }
}

MemoryStream::MemoryStream(unsigned char* buffer, int32_t size) : MemoryStream(buffer, 0, size) {}

MemoryStream::MemoryStream(unsigned char* buffer, int32_t position, int32_t size, bool writable,
                           bool exposable)
    : mOwnsBuffer(false), mExposable(exposable) {
    mCanRead = true;
    mCanSeek = true;
    mCanWrite = writable;
    if (buffer != nullptr && size > 0) {
        mBuffer = buffer;
        mCapacity = size;
        mLength = size;
    }
    // A starting position outside the buffer would let the first read or write copy
    // outside it.
    mPosition = std::clamp<int64_t>(position, 0, mLength);
}

MemoryStream::~MemoryStream() {
    ReleaseBuffer();
}

void MemoryStream::ReleaseBuffer() {
    if (mOwnsBuffer) {
        delete[] mBuffer;
    }
    mBuffer = nullptr;
}

void MemoryStream::Close() {
    if (mBuffer == nullptr) {
        return;
    }
    ReleaseBuffer();
    mPosition = 0;
    mLength = 0;
    mCapacity = 0;
}

int MemoryStream::Read(unsigned char* buffer, int offset, int count) {
    if (mBuffer == nullptr || !mCanRead || count <= 0) {
        return 0;
    }
    const int64_t n = std::min<int64_t>(count, mLength - mPosition);
    if (n <= 0) {
        return 0;
    }
    std::memcpy(buffer + offset, mBuffer + mPosition, static_cast<size_t>(n));
    mPosition += n;
    return static_cast<int>(n);
}

unsigned char MemoryStream::ReadByte() {
    if (mBuffer == nullptr || !mCanRead || mPosition >= mLength) {
        return 0;
    }
    return mBuffer[mPosition++];
}

int64_t MemoryStream::Seek(int64_t offset, int origin) {
    if (mBuffer == nullptr || !mCanSeek) {
        return mPosition;
    }
    // Position and length never exceed kMaxCapacity, so an offset cut to twice that
    // range gives the same clamped target without letting the sum wrap.
    const int64_t bound = 2 * int64_t{kMaxCapacity};
    offset = std::clamp(offset, -bound, bound);
    int64_t target = mPosition;
    switch (origin) {
        case 0:
            target = offset;
            break;
        case 1:
            target = mPosition + offset;
            break;
        case 2:
            target = mLength - offset;
            break;
        default:
            break;
    }
    mPosition = std::clamp<int64_t>(target, 0, mLength);
    return mPosition;
}

void MemoryStream::SetLength(int64_t value) {
    value = std::max<int64_t>(value, 0);
    if (mCapacity > value) {
        mLength = value;
    } else if (mCanWrite && value <= kMaxCapacity) {
        Capacity(static_cast<int32_t>(value));
        if (mCapacity == value) {
            mLength = value;
        }
    }
    mPosition = std::min(mPosition, mLength);
}

void MemoryStream::Capacity(int32_t value) {
    if (!mCanWrite) {
        return;
    }
    unsigned char* buffer = nullptr;
    if (value > 0) {
        buffer = new (std::nothrow) unsigned char[value]();
        if (buffer == nullptr) {
            return;
        }
    } else {
        value = 0;
    }
    if (buffer != nullptr && mBuffer != nullptr) {
        std::memcpy(buffer, mBuffer, static_cast<size_t>(std::min<int64_t>(mLength, value)));
    }
    ReleaseBuffer();
    mBuffer = buffer;
    mOwnsBuffer = true;
    mLength = std::min<int64_t>(mLength, value);
    mPosition = std::min(mPosition, mLength);
    mCapacity = value;
}

void MemoryStream::Write(const unsigned char* buffer, int offset, int count) {
    if (!mCanWrite || count <= 0) {
        return;
    }
    // Sizes are computed in 64 bits and capped: doubling a 32-bit capacity past 2^30
    // would wrap and allocate too little for the copy that follows.
    const int64_t needed = mPosition + count;
    if (needed > kMaxCapacity) {
        return;
    }
    if (needed > mCapacity) {
        int64_t capacity = std::max<int64_t>(mCapacity, 2);
        while (capacity < needed) {
            capacity *= 2;
        }
        Capacity(static_cast<int32_t>(std::min<int64_t>(capacity, kMaxCapacity)));
        if (mCapacity < needed) {
            return;
        }
    }
    std::memcpy(mBuffer + mPosition, buffer + offset, static_cast<size_t>(count));
    mPosition += count;
    mLength = std::max(mLength, mPosition);
}

void MemoryStream::WriteByte(unsigned char value) {
    Write(&value, 0, 1);
}

void MemoryStream::WriteTo(Stream& target) const {
    if (mBuffer != nullptr) {
        target.Write(mBuffer, 0, static_cast<int>(mLength));
    }
}

}  // namespace System::IO
