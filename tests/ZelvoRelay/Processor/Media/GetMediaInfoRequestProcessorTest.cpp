#include "ZelvoRelay/Processor/Media/GetMediaInfoRequestProcessor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "ZelvoRelay/Collections/MediaCollection.h"
#include "ZelvoRelay/Message/MessageTestSupport.h"

namespace {

using MessageTestSupport::Bytes;
using MessageTestSupport::BytesOf;
using ZelvoRelay::Collections::MediaCollection;
using ZelvoRelay::Processor::Media::GetMediaInfoRequestProcessor;

ZelvoRelay::MVC::Model::MediaModel Item(uint32_t id, const std::string& title) {
    ZelvoRelay::MVC::Model::MediaModel item;
    item.mMediaId = id;
    item.mId = std::to_string(id).c_str();
    item.mTitle.mText = title.c_str();
    return item;
}

// The bytes of the answer to a listing of count items from startId.
Bytes Answer(GetMediaInfoRequestProcessor& processor, MediaCollection& catalogue,
             uint32_t startId = 0xFFFFFFFF, uint32_t count = 255) {
    std::unique_ptr<ZelvoRelay::Message::Media::GetMediaInfoResponse> answer(
        processor.Answer(catalogue, 4, startId, count));
    return BytesOf(*answer);
}

}  // namespace

// A page answered again from the pages kept is the page made anew, byte for byte, for as
// long as the catalogue stays the same; after any change, even one that leaves the same ids
// (an item removed and another given its id), the page shows the catalogue as it is.
TEST(GetMediaInfoRequestProcessorTest, APageListedAgainIsTheCatalogueAsItIsNow) {
    MediaCollection catalogue;
    for (uint32_t id = 1; id <= 30; ++id) {
        catalogue.Add(Item(id, "photo " + std::to_string(id)));
    }
    GetMediaInfoRequestProcessor kept;
    const auto fresh = [&catalogue](uint32_t startId, uint32_t count) {
        GetMediaInfoRequestProcessor processor;
        return Answer(processor, catalogue, startId, count);
    };
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(Answer(kept, catalogue), fresh(0xFFFFFFFF, 255));
        EXPECT_EQ(Answer(kept, catalogue, 20, 10), fresh(20, 10));
        EXPECT_EQ(Answer(kept, catalogue, 20, 5), fresh(20, 5));
    }
    EXPECT_NE(Answer(kept, catalogue, 20, 10), Answer(kept, catalogue, 20, 5));

    const Bytes before = Answer(kept, catalogue);
    ASSERT_TRUE(catalogue.RemoveMedia(30));
    catalogue.Add(Item(30, "another photo"));
    EXPECT_NE(Answer(kept, catalogue), before);
    EXPECT_EQ(Answer(kept, catalogue), fresh(0xFFFFFFFF, 255));
    catalogue.RemoveAll();
    EXPECT_EQ(Answer(kept, catalogue), fresh(0xFFFFFFFF, 255));
}
