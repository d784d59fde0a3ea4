#include "System/Net/NetStream.h"

#include "System/EventManager.h"
#include "System/IO/MemoryStream.h"
#include "System/Net/Client.h"
#include "System/Net/Socket.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

namespace System::Net {
namespace {

constexpr uint32_t kMax = 32768;

// The 4-byte little-endian length prefix.
std::string Prefix(uint32_t n) {
    return {static_cast<char>(n), static_cast<char>(n >> 8), static_cast<char>(n >> 16),
            static_cast<char>(n >> 24)};
}

std::string Frame(const std::string& payload) {
    return Prefix(static_cast<uint32_t>(payload.size())) + payload;
}

// A stream over a client that is fed by hand, as a polling owner feeds it.
class Framing {
  public:
    explicit Framing(uint32_t maximum = kMax) : mStream(mClient, maximum) {
        mEvents.Add(mStream.OnMessage, this, &Framing::OnMessage);
        mEvents.Add(mStream.OnLargeMessage, this, &Framing::OnLargeMessage);
    }

    void Feed(std::string bytes) {
        mClient.OnReceiveMessage.Raise(&mClient, bytes.data(), static_cast<int>(bytes.size()));
    }
    // Feeds bytes in pieces of at most size bytes.
    void FeedInPieces(const std::string& bytes, size_t size) {
        for (size_t at = 0; at < bytes.size(); at += size) {
            Feed(bytes.substr(at, size));
        }
    }
    void Disconnect() { mClient.OnDisconnect.Raise(&mClient); }

    void OnMessage(NetStream* stream, char* payload, int length) {
        EXPECT_EQ(stream, &mStream);
        mMessages.emplace_back(payload, static_cast<size_t>(length));
    }
    void OnLargeMessage(NetStream*, char* chunk, int length, int declared) {
        mLarge.push_back({std::string(chunk, static_cast<size_t>(length)), declared});
    }

    struct Large {
        std::string chunk;
        int declared;
    };

    Client mClient{Client::TCP};
    NetStream mStream;
    EventManager mEvents;
    std::vector<std::string> mMessages;
    std::vector<Large> mLarge;
};

const std::vector<std::string> kPayloads = {
    "hello", "", "abc", std::string(300, '\0'), "x", std::string(5000, 'q')};

std::string AllFrames() {
    std::string bytes;
    for (const auto& payload : kPayloads) {
        bytes += Frame(payload);
    }
    return bytes;
}

TEST(NetStream, ReassemblesFramesCutAtEveryOffset) {
    const std::string bytes = AllFrames();
    for (size_t cut = 1; cut <= 8; ++cut) {
        Framing once;
        once.Feed(bytes.substr(0, cut));
        once.Feed(bytes.substr(cut));
        EXPECT_EQ(once.mMessages, kPayloads) << "cut at " << cut;

        Framing pieces;
        pieces.FeedInPieces(bytes, cut);
        EXPECT_EQ(pieces.mMessages, kPayloads) << "pieces of " << cut;
        EXPECT_TRUE(pieces.mLarge.empty());
    }
}

TEST(NetStream, TheLargestPayloadIsOneBelowTheMaximum) {
    Framing framing;
    const std::string largest(kMax - 1, 'L');
    framing.FeedInPieces(Frame(largest), 4096);
    EXPECT_EQ(framing.mMessages, std::vector<std::string>{largest});
    EXPECT_TRUE(framing.mLarge.empty());
}

TEST(NetStream, ADeclaredLengthAtTheMaximumIsRefusedWithTheWholeChunk) {
    for (const uint32_t declared : {kMax, kMax + 1, 0xFFFFFFFFu}) {
        Framing framing;
        const std::string chunk = Frame("before") + Prefix(declared) + "rest" + Frame("after");
        framing.Feed(chunk);
        EXPECT_EQ(framing.mMessages, std::vector<std::string>{"before"});
        ASSERT_EQ(framing.mLarge.size(), 1u);
        EXPECT_EQ(framing.mLarge[0].chunk, chunk);
        EXPECT_EQ(static_cast<uint32_t>(framing.mLarge[0].declared), declared);
    }
}

TEST(NetStream, ASplitPrefixAboveTheMaximumIsRefusedOnce) {
    Framing framing;
    const std::string prefix = Prefix(kMax);
    framing.Feed(prefix.substr(0, 2));
    framing.Feed(prefix.substr(2) + "tail");
    ASSERT_EQ(framing.mLarge.size(), 1u);
    EXPECT_EQ(framing.mLarge[0].chunk, prefix.substr(2) + "tail");
    EXPECT_TRUE(framing.mMessages.empty());
}

TEST(NetStream, DisconnectForgetsAPartialFrame) {
    // Cut inside the prefix and inside the payload of an 8-byte frame.
    for (size_t cut = 1; cut < 8; ++cut) {
        Framing framing;
        framing.Feed(Frame("lost").substr(0, cut));
        framing.Disconnect();
        framing.Feed(Frame("kept"));
        EXPECT_EQ(framing.mMessages, std::vector<std::string>{"kept"}) << cut;
    }
}

TEST(NetStream, WithoutAMaximumEachMessageGetsItsOwnBuffer) {
    Framing framing(NetStream::kUnbounded);
    framing.FeedInPieces(AllFrames(), 3);
    EXPECT_EQ(framing.mMessages, kPayloads);

    // A huge declared length costs only the bytes that actually arrive.
    framing.Feed(Prefix(0xFFFFFFF0u) + std::string(100, 'z'));
    framing.Disconnect();
    framing.Feed(Frame("next"));
    EXPECT_EQ(framing.mMessages.back(), "next");
    EXPECT_TRUE(framing.mLarge.empty());
}

TEST(NetStream, SendWritesTheLittleEndianLengthThenThePayload) {
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    Client client(Socket(pair[0], true), IPEndPoint());
    NetStream stream(client, kMax);
    EXPECT_EQ(stream.Send("hello", 5), 9);
    char received[16];
    EXPECT_EQ(read(pair[1], received, sizeof received), 9);
    EXPECT_EQ(std::string(received, 9), std::string("\x05\0\0\0hello", 9));
    EXPECT_EQ(&stream.GetClient(), &client);
    client.Disconnect(false);
    close(pair[1]);
}

TEST(NetStream, GetMessageWritesTheSameFrameToAStream) {
    IO::MemoryStream out;
    const std::string payload(300, 'p');
    GetMessage(payload.data(), static_cast<int>(payload.size()), out);
    ASSERT_EQ(out.Length(), 304);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out.GetBuffer()), 304), Frame(payload));
}

}  // namespace
}  // namespace System::Net
