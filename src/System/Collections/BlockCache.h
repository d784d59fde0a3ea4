#pragma once

#include <cstddef>

namespace System::Collections {

// The last few memory blocks a container gave back, kept to be handed out again for a
// request of the same size. A queue that one thread fills and another empties then reuses
// its own blocks: left to the system allocator, each block freed on the emptying thread
// goes back to the arena of the filling thread, under that arena's lock, which the two
// threads then take in turn for every block.
//
// Not synchronized: REQUIRES one thread at a time, as for the container it serves.
class BlockCache {
  public:
    // The most blocks kept; a block given back past them is freed.
    static constexpr size_t kKeptBlocks = 32;

    BlockCache() = default;
    // Frees the blocks kept.
    ~BlockCache();

    BlockCache(const BlockCache&) = delete;
    BlockCache& operator=(const BlockCache&) = delete;

    // A block of bytes bytes, aligned for any fundamental type: a kept one of that size,
    // or a new one. Throws std::bad_alloc as operator new does.
    [[nodiscard]] void* Take(size_t bytes);
    // Takes back block, of bytes bytes, from Take: kept while there is room, else freed.
    void Give(void* block, size_t bytes) noexcept;

    // Frees the blocks kept past the newest keep; returns the bytes freed.
    size_t Trim(size_t keep) noexcept;

    // The number of blocks kept now.
    [[nodiscard]] size_t Count() const { return mCount; }

  private:
    struct Kept {
        void* mBlock;
        size_t mBytes;
    };

    Kept mKept[kKeptBlocks]{};  // the first mCount are kept blocks, oldest first
    size_t mCount{0};
};

}  // namespace System::Collections
