#include "ZelvoRelay/Collections/MediaCollection.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "System/IO/MemoryStream.h"
#include "System/Singleton.h"
#include "ZelvoRelay/Collections/HeldFile.h"
#include "ZelvoRelay/Collections/MediaTransferCollection.h"
#include "ZelvoRelay/Collections/TransferFiles.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

using ZelvoRelay::Collections::HeldFile;
using ZelvoRelay::Collections::MediaCollection;
using ZelvoRelay::Collections::MediaTransferCollection;
using ZelvoRelay::Collections::TransferFiles;
using ZelvoRelay::MVC::Model::MediaModel;
using ZelvoRelay::MVC::Model::MediaTransferModel;
using ZelvoRelay::MVC::Model::ZelvoRelayModel;

namespace {

MediaModel Item(uint32_t id, const char* title = "") {
    MediaModel item;
    item.mMediaId = id;
    item.mTitle.mText = title;
    return item;
}

void Fill(MediaCollection& catalogue, const std::vector<uint32_t>& ids) {
    for (uint32_t id : ids) {
        catalogue.Add(Item(id));
    }
}

std::vector<uint32_t> Ascending(const MediaCollection& catalogue) {
    std::vector<uint32_t> ids;
    for (auto* node = catalogue.First(); node != nullptr; node = MediaCollection::Next(node)) {
        ids.push_back(node->mValue.mMediaId);
    }
    return ids;
}

}  // namespace

TEST(MediaCollectionTest, ItemsAreOrderedAndToldApartByUnsignedIdAlone) {
    EXPECT_TRUE(Item(7, "a") == Item(7, "b"));
    EXPECT_TRUE(Item(0x80000000u) > Item(1));

    MediaCollection catalogue;
    Fill(catalogue, {7, 0xFFFFFFFFu, 12, 0, 0x80000000u, 7});
    EXPECT_EQ(Ascending(catalogue), (std::vector<uint32_t>{0, 7, 12, 0x80000000u, 0xFFFFFFFFu}));
    EXPECT_EQ(catalogue.Last()->mValue.mMediaId, 0xFFFFFFFFu);
    EXPECT_EQ(MediaCollection::Previous(catalogue.First()), nullptr);

    EXPECT_FALSE(catalogue.RemoveMedia(4));
    EXPECT_EQ(catalogue.Count(), 5u);
    EXPECT_TRUE(catalogue.RemoveMedia(12));
    EXPECT_FALSE(catalogue.RemoveMedia(12));
    EXPECT_EQ(Ascending(catalogue), (std::vector<uint32_t>{0, 7, 0x80000000u, 0xFFFFFFFFu}));
    EXPECT_EQ(catalogue.FindMedia(12), nullptr);
}

TEST(MediaCollectionTest, ListingStartsAtTheTargetOrTheNeighbourFirstOnItsPath) {
    struct Case {
        std::vector<uint32_t> inserted;  // the order fixes the tree's shape
        uint32_t target;
        uint32_t start;
    };
    const Case cases[] = {
        {{2, 1, 5, 3, 6}, 5, 5},
        {{2, 1, 5, 3, 6}, 4, 5},  // 2 at the root, 3 and 6 under 5
        {{3, 2, 5, 1, 6}, 4, 3},  // 3 at the root
        {{2, 1, 5, 3, 6}, 9, 6},
        {{2, 1, 5, 3, 6}, 0, 1},
        {{2, 1, 5, 3, 6}, 0xFFFFFFFFu, 6},
        // A signed difference takes every id as above 0xFFFFFFFE and starts at 1.
        {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, 0xFFFFFFFEu, 16},
    };
    for (const Case& c : cases) {
        MediaCollection catalogue;
        Fill(catalogue, c.inserted);
        ASSERT_NE(catalogue.FindStart(c.target), nullptr);
        EXPECT_EQ(catalogue.FindStart(c.target)->mValue.mMediaId, c.start) << c.target;
    }
    EXPECT_EQ(MediaCollection().FindStart(4), nullptr);
}

TEST(MediaCollectionTest, NewIdsPassOverIdsStillHeldByItemsOrUploads) {
    MediaCollection catalogue;
    MediaTransferCollection uploads;
    Fill(catalogue, {3, 4, 0xFFFFFFFFu, 0});
    uploads.Add(MediaTransferModel(9, 5, 0));

    MediaModel::SetMediaIdCounter(2);
    EXPECT_EQ(MediaModel::GenerateId(catalogue, uploads), 2u);
    EXPECT_EQ(MediaModel::GenerateId(catalogue, uploads), 6u);
    // After the last id the counter wraps to 0, which is taken.
    MediaModel::SetMediaIdCounter(0xFFFFFFFEu);
    EXPECT_EQ(MediaModel::GenerateId(catalogue, uploads), 0xFFFFFFFEu);
    EXPECT_EQ(MediaModel::GenerateId(catalogue, uploads), 1u);
    MediaModel::SetMediaIdCounter(0);
}

TEST(MediaCollectionTest, ResourceFilesAreNamedFromThePathTheSignedIdAndTheResource) {
    EXPECT_EQ(MediaModel::GetResourcePath("media/", 12, 0), "media/12_0");
    EXPECT_EQ(MediaModel::GetResourcePath("m/", 0, MediaModel::Preview), "m/0_1");
    EXPECT_EQ(MediaModel::GetResourcePath("", 0x80000000u, 1), "-2147483648_1");

    ZelvoRelayModel::Instance()->Configuration.MediaPath = "photos/";
    EXPECT_EQ(Item(7).GetResourcePath(MediaModel::FullImage), "photos/7_0");
    System::Singleton<ZelvoRelayModel>::Destroy();
}

// The streams are plain allocations: a transfer ended without its stream deleted, or
// deleted twice, fails under the address sanitizer.
TEST(MediaCollectionTest, TransfersOrderByMediaResourceClientAndEndWithTheirStreams) {
    EXPECT_TRUE(MediaTransferModel(2, 5, 0) < MediaTransferModel(1, 5, 1));
    EXPECT_TRUE(MediaTransferModel(1, 0x80000000u, 0) > MediaTransferModel(1, 5, 9));
    EXPECT_FALSE(MediaTransferModel(1, 5, 0) == MediaTransferModel(2, 5, 0));

    MediaTransferCollection transfers;
    const uint32_t keys[][3] = {{1, 5, 0}, {2, 5, 0}, {1, 6, 1}, {1, 7, 0}, {3, 8, 0}};
    for (const auto& key : keys) {
        MediaTransferModel transfer(Item(key[1], "sunset"));
        transfer.mClientId = key[0];
        transfer.mResourceId = key[2];
        transfer.mFile = HeldFile::Take().release();
        transfer.mFile->Keep(std::make_unique<System::IO::MemoryStream>());
        transfers.Add(transfer);
    }
    EXPECT_FALSE(transfers.RemoveMedia(2, 5, 1));
    EXPECT_TRUE(transfers.RemoveMedia(2, 5, 0));
    EXPECT_EQ(transfers.Find(2, 5, 0), nullptr);
    ASSERT_NE(transfers.Find(1, 5, 0), nullptr);
    EXPECT_EQ(transfers.Find(1, 5, 0)->mTitle.mText, "sunset");
    EXPECT_TRUE(transfers.HoldsMedia(8));
    EXPECT_FALSE(transfers.HoldsMedia(2));

    auto ended = transfers.RemoveClient(1);
    ASSERT_EQ(ended.size(), 3u);
    EXPECT_EQ(ended[0].mTransfer.mMediaId, 5u);
    EXPECT_EQ(ended[2].mTransfer.mMediaId, 7u);
    EXPECT_EQ(ended[2].mTransfer.mFile, nullptr);
    EXPECT_EQ(transfers.Count(), 1u);  // the last one ends with the collection
}

// The table's count is one for the process: a transfer that ended giving back a count it never
// took wrapped it, and no file could be held again.
TEST(MediaCollectionTest, AnEndedTransferGivesBackOnlyTheCountItsFileTook) {
    TransferFiles::SetCapacity(1);
    MediaTransferCollection transfers;
    MediaTransferModel holding(1, 5, 0);
    holding.mFile = HeldFile::Take().release();
    ASSERT_NE(holding.mFile, nullptr);
    holding.mFile->Keep(std::make_unique<System::IO::MemoryStream>());
    transfers.Add(holding);
    transfers.Add(MediaTransferModel(1, 6, 0));
    EXPECT_EQ(HeldFile::Take(), nullptr);

    EXPECT_TRUE(transfers.RemoveMedia(1, 6, 0));
    EXPECT_EQ(HeldFile::Take(), nullptr) << "one ended with no file gave a count back";
    EXPECT_TRUE(transfers.RemoveMedia(1, 5, 0));
    auto again = HeldFile::Take();
    EXPECT_NE(again, nullptr);
    EXPECT_EQ(HeldFile::Take(), nullptr) << "the count came back more than once";
    again.reset();
    TransferFiles::SetCapacity(TransferFiles::kNoBound);
}
