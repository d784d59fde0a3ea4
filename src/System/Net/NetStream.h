#pragma once

#include <cstdint>
#include <vector>

#include "System/Event.h"
#include "System/EventManager.h"
#include "System/IO/Stream.h"
#include "System/Net/Client.h"
#include "System/Object.h"
#include "System/String.h"

namespace System::Net {

// Cuts the byte stream of one Client into messages framed by a 4-byte little-endian
// length, and writes messages in the same frame. Frames follow each other with no
// separator; a length of 0 is an empty message. A prefix or a payload may be split
// across any number of reads, and one read may hold many frames.
//
// One thread at a time feeds a stream (the thread that raises the client's receive
// event); the stream's events fire on that thread. No lock.
class NetStream : public Object {
  public:
    // A maximum message size meaning no limit.
    static constexpr uint32_t kUnbounded = 0xFFFFFFFFu;

    // Reads from client, whose OnReceiveMessage and OnDisconnect it subscribes to. A
    // declared length at or above maxMessageSize is refused (OnLargeMessage). Nothing
    // is allocated until a message arrives split across reads.
    // REQUIRES: client outlives the stream.
    NetStream(Client& client, uint32_t maxMessageSize);
    // Ends the two subscriptions.
    ~NetStream() override = default;

    NetStream(const NetStream&) = delete;
    NetStream& operator=(const NetStream&) = delete;

    Client& GetClient() { return mClient; }

    // Writes the frame of length bytes of data through the client's Send: the prefix,
    // then the payload. Returns the sum of the two send results; partial sends are
    // the caller's concern.
    int Send(const char* data, int length);

    // The reassembler: takes n received bytes.
    void OnReceiveMessage(Client* client, char* chunk, int n);
    // Forgets a partial prefix or payload, so that a reused client starts clean.
    void OnDisconnect(Client* client);

    // A whole message: (this, payload, length). The payload is the received chunk's
    // or the stream's and is valid during the call only; a handler that keeps it
    // copies it.
    Event<NetStream*, char*, int> OnMessage;
    // A declared length at or above the maximum: (this, the chunk that held the
    // prefix, the chunk's length, the declared length). The rest of that chunk is
    // dropped and the stream is not resynchronised: the owner is expected to
    // disconnect.
    Event<NetStream*, char*, int, int> OnLargeMessage;

  private:
    // The payload of a message split across reads, as far as it has arrived; empty
    // (no storage) between such messages.
    std::vector<char> mBuffer;
    String mPartialHeader;     // 1 to 3 bytes of a prefix split across reads
    Client& mClient;           // read from and written to; not owned
    uint32_t mRemaining{0};    // payload bytes still due; 0 when a prefix is due
    uint32_t mMaxMessageSize;  // declared lengths at or above it are refused
    EventManager mEvents;      // the subscriptions to mClient
};

// Writes the frame of length bytes of data to stream: the 4-byte little-endian
// length, then the bytes.
void GetMessage(const char* data, int length, IO::Stream& stream);

}  // namespace System::Net
