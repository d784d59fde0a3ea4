#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ZelvoRelay/Message/Media/AddMediaRequest.h"
#include "ZelvoRelay/Message/Media/AddMediaResponse.h"
#include "ZelvoRelay/Message/Media/GetMediaInfoRequest.h"
#include "ZelvoRelay/Message/Media/GetMediaInfoResponse.h"
#include "ZelvoRelay/Message/Media/GetMediaRequest.h"
#include "ZelvoRelay/Message/Media/GetMediaResponse.h"
#include "ZelvoRelay/Message/Media/MediaChunkMessage.h"
#include "ZelvoRelay/Message/Media/RemoveMediaRequest.h"
#include "ZelvoRelay/Message/Media/RemoveMediaResponse.h"
#include "ZelvoRelay/Message/Media/StopMediaTransferMessage.h"
#include "ZelvoRelay/Message/MessageTestSupport.h"

using namespace MessageTestSupport;
using namespace ZelvoRelay::Message::Media;
using ZelvoRelay::MVC::Model::MediaModel;

namespace {

using Values = std::vector<uint64_t>;

// A field read back from a message cut at every length: its value once the message holds
// end bytes, its default before.
struct Field {
    uint64_t value;
    uint32_t end;
    uint64_t fallback;
};

// A message of hand-written bytes and its fields.
struct Case {
    std::string hex;
    std::function<std::unique_ptr<BaseMessage>()> build;
    std::function<Values(const MessageBytes&)> read;
    std::vector<Field> fields;
};

template <class M, class Get>
std::function<Values(const MessageBytes&)> Read(Get get) {
    return [get](const MessageBytes& bytes) { return get(M(bytes)); };
}

MediaModel Photo(const char* name, int32_t size, bool withContent = true) {
    MediaModel item;
    item.mMediaType = 1;
    item.mTitle.mText = name;
    if (withContent) {
        System::Resource::Feeds::MediaContent content;
        content.mFileSize = size;
        item.mMediaGroup.mContents.Add(content);
    }
    return item;
}

std::vector<Case> Cases() {
    using GMR = GetMediaResponse;
    using AMR = AddMediaResponse;
    using RMR = RemoveMediaResponse;
    const auto file = [](const MediaFileMessage& m) {
        return Values{m.GetMediaId(), m.GetResourceId()};
    };
    const auto chunk = [](const MediaChunkMessage& m) {
        const char* data = m.GetChunkData();
        return Values{m.GetMediaId(), m.GetResourceId(), m.GetChunkOffset(), m.GetChunkSize(),
                      data != nullptr ? static_cast<uint64_t>(*data) : 0};
    };
    // clang-format off
    return {
        {"96 03 00 00 00 FF FF FF FF 0A",
         [] { return std::make_unique<GetMediaInfoRequest>(3, 0xFFFFFFFFu, 10); },
         Read<GetMediaInfoRequest>([](auto m) { return Values{m.GetStartId(), m.GetCount()}; }),
         {{0xFFFFFFFFu, 9, 0}, {10, 10, 0}}},
        {"98 02 00 00 00 07 00 00 00 01",
         [] { return std::make_unique<GetMediaRequest>(2, 7, 1); },
         Read<GetMediaRequest>(file), {{7, 9, 0}, {1, 10, 0}}},
        {"99 04 00 00 00 02 04 03 02 01 01",
         [] { return std::make_unique<GMR>(4, GMR::NotFound, 0x01020304u, 1); },
         Read<GMR>([](auto m) {
             return Values{m.GetErrorType(), m.GetMediaId(), m.GetResourceId()}; }),
         {{2, 6, 3}, {0x01020304u, 10, 0}, {1, 11, 0}}},
        {"9A 00 00 00 00 05 01 B8 0B 00 00 03 63 61 74",
         [] { return std::make_unique<AddMediaRequest>(0, 5, Photo("cat", 3000)); },
         Read<AddMediaRequest>([](auto m) {
             return Values{m.GetRequestId(), m.GetMediaType(), m.GetMediaSize(),
                           m.GetMediaName() == "cat"}; }),
         {{5, 6, 0}, {1, 7, 0}, {3000, 11, 0}, {1, 15, 0}}},
        // The name's length byte says more than there is: the other fields still read.
        {"9A 00 00 00 00 05 01 B8 0B 00 00 04 63 61 74", nullptr,
         Read<AddMediaRequest>([](auto m) {
             return Values{m.GetRequestId(), m.GetMediaType(), m.GetMediaSize(),
                           m.GetMediaName().Length()}; }),
         {{5, 6, 0}, {1, 7, 0}, {3000, 11, 0}, {0, 0, 0}}},
        {"9A 00 00 00 00 06 01 00 00 00 00 00",
         [] { return std::make_unique<AddMediaRequest>(0, 6, Photo("", 0, false)); },
         Read<AddMediaRequest>([](auto m) { return Values{m.GetMediaSize()}; }), {{0, 11, 0}}},
        {"9B 02 00 00 00 05 02 00 00 00 00",
         [] { return std::make_unique<AMR>(2, 5, AMR::TooLarge, 0); },
         Read<AMR>([](auto m) {
             return Values{m.GetRequestId(), m.GetErrorType(), m.GetMediaId()}; }),
         {{5, 6, 4}, {2, 7, 4}, {0, 11, 0}}},
        {"9B 03 00 00 00 FF 00 10 00 00 80",
         [] { return std::make_unique<AMR>(3, 255, AMR::Accepted, 0x80000010u); },
         Read<AMR>([](auto m) { return Values{m.GetMediaId()}; }), {{0x80000010u, 11, 0}}},
        {"9C 09 00 00 00 0C 00 00 00 01 00 10 00 00 03 00 61 62 63",
         [] { return std::make_unique<MediaChunkMessage>(9, 12, 1, 4096, 3, "abc"); },
         Read<MediaChunkMessage>(chunk),
         {{12, 9, 0}, {1, 10, 0}, {4096, 14, 0}, {3, 16, 0}, {'a', 17, 0}}},
        {"9C 01 00 00 00 05 00 00 00 00 00 00 00 00 00 00",
         [] { return std::make_unique<MediaChunkMessage>(1, 5, 0, 0, 0, nullptr); },
         Read<MediaChunkMessage>([](auto m) { return Values{m.GetChunkData() == nullptr}; }),
         {{1, 0, 1}}},
        {"9D 01 00 00 00 00 00 00 80 01",
         [] { return std::make_unique<StopMediaTransferMessage>(1, 0x80000000u, 1); },
         Read<StopMediaTransferMessage>(file), {{0x80000000u, 9, 0}, {1, 10, 0}}},
        {"9F 00 00 00 00 FF FF FF FF",
         [] { return std::make_unique<RemoveMediaRequest>(0, 0xFFFFFFFFu); },
         Read<RemoveMediaRequest>([](auto m) { return Values{m.GetMediaId()}; }),
         {{0xFFFFFFFFu, 9, 0}}},
        {"A0 07 00 00 00 01 0C 00 00 00",
         [] { return std::make_unique<RMR>(7, RMR::NotAllowed, 12); },
         Read<RMR>([](auto m) { return Values{m.GetErrorType(), m.GetMediaId()}; }),
         {{1, 6, 3}, {12, 10, 0}}},
    };
    // clang-format on
}

}  // namespace

TEST(MediaMessagesTest, EachMessageIsWrittenAndReadByItsLayout) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.hex);
        if (c.build) {
            EXPECT_EQ(ToHex(BytesOf(*c.build())), c.hex);
        }
        const Bytes whole = FromHex(c.hex);
        for (size_t size = 0; size <= whole.size(); ++size) {
            // An exact-size copy, so that reading past the end is caught.
            std::unique_ptr<char[]> cut(new char[size > 0 ? size : 1]);
            std::memcpy(cut.get(), whole.data(), size);
            Values expected;
            for (const Field& field : c.fields) {
                expected.push_back(size >= field.end ? field.value : field.fallback);
            }
            EXPECT_EQ(c.read(MessageBytes(cut.get(), static_cast<int32_t>(size))), expected)
                << "at size " << size;
        }
    }
}

TEST(MediaMessagesTest, ANameOverTheTextLimitIsWrittenAsItsFirst255Bytes) {
    const std::string name(300, 'x');
    AddMediaRequest request(0, 1, Photo(name.c_str(), 10));
    ASSERT_EQ(request.GetMsgSize(), 11 + 1 + 255);
    EXPECT_EQ(static_cast<uint8_t>(request.GetMsg()[11]), 255);
    EXPECT_EQ(request.GetMediaName(), System::String(name.c_str(), 255));
}

TEST(MediaMessagesTest, ChunkDataTakenIsTheDeclaredSizeCutToTheBytesPresent) {
    struct Chunk {
        const char* hex;
        uint32_t length;
    };
    const Chunk chunks[] = {
        {"9C 00 00 00 00 01 00 00 00 00 00 00 00 00 05 00 61 62", 2},  // says 5, has 2
        {"9C 00 00 00 00 01 00 00 00 00 00 00 00 00 01 00 61 62", 1},  // says 1, has 2
        {"9C 00 00 00 00 01 00 00 00 00 00 00 00 00 05", 0},           // size field cut
        {"9C 00 00 00 00 01", 0},
    };
    for (const Chunk& chunk : chunks) {
        const Bytes bytes = FromHex(chunk.hex);
        const MediaChunkMessage message(MessageBytes(reinterpret_cast<const char*>(bytes.data()),
                                                     static_cast<int32_t>(bytes.size())));
        EXPECT_EQ(message.GetChunkDataLength(), chunk.length) << chunk.hex;
    }
}

TEST(MediaMessagesTest, TheRegistryBuildsEveryMediaTypeAndLeaves158Unknown) {
    const ZelvoRelay::MVC::Model::MessageModel model;
    for (uint32_t type = 150; type <= 160; ++type) {
        const auto message = Decode(model, Bytes{static_cast<uint8_t>(type)});
        EXPECT_EQ(message == nullptr, type == 158) << type;
        EXPECT_TRUE(message == nullptr || message->GetMsgId() == type);
    }
    EXPECT_NE(As<MediaChunkMessage>(*Decode(model, FromHex("9C"))), nullptr);
}
