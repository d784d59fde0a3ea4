#include "System/Collections/RecyclingAllocator.h"

#include "System/Collections/BlockCache.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

namespace System::Collections {
namespace {

TEST(BlockCacheTest, HandsBackAKeptBlockOfTheSizeAskedOnly) {
    BlockCache cache;
    void* small = cache.Take(64);
    void* large = cache.Take(512);
    cache.Give(small, 64);
    cache.Give(large, 512);
    EXPECT_EQ(cache.Count(), 2u);
    EXPECT_EQ(cache.Take(512), large);
    void* other = cache.Take(128);
    EXPECT_NE(other, small);
    EXPECT_EQ(cache.Take(64), small);
    EXPECT_EQ(cache.Count(), 0u);
    cache.Give(small, 64);
    cache.Give(large, 512);
    cache.Give(other, 128);
}

TEST(BlockCacheTest, FreesWhatIsGivenBackPastTheBlocksKept) {
    BlockCache cache;
    std::vector<void*> blocks;
    for (size_t i = 0; i < BlockCache::kKeptBlocks + 3; ++i) {
        blocks.push_back(cache.Take(256));
    }
    for (void* block : blocks) {
        cache.Give(block, 256);
    }
    // The blocks past the bound are freed at once (AddressSanitizer would report a leak
    // otherwise), the kept ones with the cache.
    EXPECT_EQ(cache.Count(), BlockCache::kKeptBlocks);
}

TEST(BlockCacheTest, TrimFreesAllButTheNewestBlocks) {
    BlockCache cache;
    void* blocks[4];
    for (void*& block : blocks) {
        block = cache.Take(512);
    }
    for (void* block : blocks) {
        cache.Give(block, 512);
    }
    cache.Trim(1);
    EXPECT_EQ(cache.Count(), 1u);
    EXPECT_EQ(cache.Take(512), blocks[3]);
    cache.Trim(1);
    EXPECT_EQ(cache.Count(), 0u);
    cache.Give(blocks[3], 512);
}

TEST(RecyclingAllocatorTest, AQueueEmptiedAndFilledAgainReusesItsOwnBlocks) {
    std::deque<int, RecyclingAllocator<int>> queue;
    constexpr int kMany = 20000;
    for (int i = 0; i < kMany; ++i) {
        queue.push_back(i);
    }
    for (int i = 0; i < kMany; ++i) {
        ASSERT_EQ(queue.front(), i);
        queue.pop_front();
    }
    EXPECT_EQ(queue.get_allocator().Kept(), BlockCache::kKeptBlocks);
    // Filled again past the block it kept in use, it takes kept blocks, not new ones.
    for (int i = 0; i < kMany / 4; ++i) {
        queue.push_back(i);
    }
    EXPECT_LT(queue.get_allocator().Kept(), BlockCache::kKeptBlocks);
    for (int i = 0; i < kMany / 4; ++i) {
        ASSERT_EQ(queue.front(), i);
        queue.pop_front();
    }
}

TEST(RecyclingAllocatorTest, CopiesShareTheCacheAndCopiedContainersDoNot) {
    RecyclingAllocator<int> allocator;
    RecyclingAllocator<long> rebound(allocator);
    EXPECT_TRUE(allocator == rebound);
    EXPECT_FALSE(allocator != RecyclingAllocator<int>(rebound));
    EXPECT_FALSE(allocator == RecyclingAllocator<int>());

    std::deque<int, RecyclingAllocator<int>> queue{1, 2, 3};
    std::deque<int, RecyclingAllocator<int>> copy(queue);
    EXPECT_FALSE(queue.get_allocator() == copy.get_allocator());
    EXPECT_EQ(copy, queue);
}

TEST(RecyclingAllocatorTest, ASwappedContainerTakesTheOthersCacheWithItsBlocks) {
    std::deque<int, RecyclingAllocator<int>> full;
    for (int i = 0; i < 1000; ++i) {
        full.push_back(i);
    }
    const RecyclingAllocator<int> fullCache = full.get_allocator();
    std::deque<int, RecyclingAllocator<int>> empty;
    const RecyclingAllocator<int> emptyCache = empty.get_allocator();
    empty.swap(full);
    EXPECT_TRUE(empty.get_allocator() == fullCache);
    EXPECT_TRUE(full.get_allocator() == emptyCache);
    EXPECT_EQ(empty.size(), 1000u);
    EXPECT_EQ(empty.back(), 999);
}

// A container moved from keeps working, and gives back the blocks it holds, without the cache
// the other took. Before, it was left with no cache at all and freed its blocks through it.
TEST(RecyclingAllocatorTest, AContainerMovedFromStillWorksWithoutTheCacheTheOtherTook) {
    std::deque<int, RecyclingAllocator<int>> source;
    for (int i = 0; i < 1000; ++i) {
        source.push_back(i);
    }
    const RecyclingAllocator<int> sourceCache = source.get_allocator();
    std::deque<int, RecyclingAllocator<int>> constructed(std::move(source));
    EXPECT_TRUE(constructed.get_allocator() == sourceCache);
    EXPECT_EQ(constructed.size(), 1000u);
    source.push_back(1);
    EXPECT_EQ(source.front(), 1);

    std::deque<int, RecyclingAllocator<int>> assigned{7, 8};
    assigned = std::move(constructed);
    EXPECT_TRUE(assigned.get_allocator() == sourceCache);
    EXPECT_EQ(assigned.back(), 999);
    for (int i = 0; i < 1000; ++i) {
        constructed.push_back(i);
    }
    EXPECT_EQ(constructed.size(), 1000u);
    constructed.clear();
    source.clear();
}

}  // namespace
}  // namespace System::Collections
