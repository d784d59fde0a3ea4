#include "System/Net/NetStream.h"

#include <algorithm>
#include <cstring>

namespace System::Net {

namespace {

constexpr uint32_t kPrefixSize = 4;

void EncodeLength(uint32_t length, unsigned char* prefix) {
    for (uint32_t i = 0; i < kPrefixSize; ++i) {
        prefix[i] = static_cast<unsigned char>(length >> (8 * i));
    }
}

uint32_t DecodeLength(const char* prefix) {
    uint32_t length = 0;
    for (uint32_t i = 0; i < kPrefixSize; ++i) {
        length |= static_cast<uint32_t>(static_cast<unsigned char>(prefix[i])) << (8 * i);
    }
    return length;
}

}  // namespace

NetStream::NetStream(Client& client, uint32_t maxMessageSize)
    : mClient(client), mMaxMessageSize(maxMessageSize) {
    mEvents.Add(client.OnReceiveMessage, this, &NetStream::OnReceiveMessage);
    mEvents.Add(client.OnDisconnect, this, &NetStream::OnDisconnect);
}

int NetStream::Send(const char* data, int length) {
    unsigned char prefix[kPrefixSize];
    EncodeLength(static_cast<uint32_t>(length), prefix);
    const int sent = mClient.Send(reinterpret_cast<const char*>(prefix), 0, kPrefixSize);
    return sent + mClient.Send(data, 0, static_cast<uint32_t>(length));
}

void NetStream::OnReceiveMessage(Client*, char* chunk, int n) {
    const uint32_t size = n > 0 ? static_cast<uint32_t>(n) : 0;
    uint32_t p = 0;
    while (p < size) {
        if (mRemaining == 0) {
            const uint32_t have = mPartialHeader.Length();
            if (have + (size - p) < kPrefixSize) {
                mPartialHeader += String(chunk + p, size - p);
                return;
            }
            uint32_t length = 0;
            if (have == 0) {
                length = DecodeLength(chunk + p);
                p += kPrefixSize;
            } else {
                const uint32_t k = kPrefixSize - have;
                mPartialHeader += String(chunk + p, k);
                length = DecodeLength(mPartialHeader.ToByteArray());
                mPartialHeader = String();
                p += k;
            }
            if (length >= mMaxMessageSize) {
                mRemaining = 0;
                OnLargeMessage.Raise(this, chunk, n, static_cast<int>(length));
                return;
            }
            if (size - p >= length) {
                OnMessage.Raise(this, chunk + p, static_cast<int>(length));
                p += length;
                continue;
            }
            mRemaining = length;
            mBuffer.clear();
            // The buffer grows as bytes come, never to the declared length at once: 1,000
            // connections each declaring 32 KiB and sending no more held 32 MB, however
            // little had come. Growing, a frame of the largest size is copied a few times.
        }
        const uint32_t take = std::min(size - p, mRemaining);
        const size_t needed = mBuffer.size() + take;
        if (needed > mBuffer.capacity()) {
            // Doubled, as a vector grows, but never past the length declared: grown freely, a
            // frame of the largest size took 40 KiB.
            mBuffer.reserve(std::min<size_t>(mBuffer.size() + mRemaining,
                                             std::max(needed, 2 * mBuffer.capacity())));
        }
        mBuffer.insert(mBuffer.end(), chunk + p, chunk + p + take);
        mRemaining -= take;
        p += take;
        if (mRemaining == 0) {
            OnMessage.Raise(this, mBuffer.data(), static_cast<int>(mBuffer.size()));
            // Kept, the buffer would hold up to the largest message for as long as the
            // connection lasts, however quiet it is.
            mBuffer = std::vector<char>();
        }
    }
}

void NetStream::OnDisconnect(Client*) {
    mPartialHeader = String();
    mBuffer = std::vector<char>();
    mRemaining = 0;
}

void GetMessage(const char* data, int length, IO::Stream& stream) {
    unsigned char prefix[kPrefixSize];
    EncodeLength(static_cast<uint32_t>(length), prefix);
    stream.Write(prefix, 0, static_cast<int>(kPrefixSize));
    stream.Write(reinterpret_cast<const unsigned char*>(data), 0, length);
}

}  // namespace System::Net
