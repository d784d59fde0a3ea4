#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>

#include "System/Collections/BlockCache.h"

namespace System::Collections {

// An allocator for a standard container that takes its blocks from a BlockCache of its own,
// so that the blocks the container frees are reused by it (see BlockCache for why). Copies
// and rebound copies share the cache; a container made as a copy of another gets a cache of
// its own. A container moved into takes the other's cache; the one moved from is left with
// none, and takes and frees its blocks straight from the system allocator: a cache shared by
// the two would be used under two locks. Any allocator frees any other's blocks.
//
// Not synchronized: REQUIRES the container's own lock around every use of the container.
template <typename T>
class RecyclingAllocator {
  public:
    using value_type = T;
    // A container swapped or moved into takes the other's cache with its blocks.
    using propagate_on_container_swap = std::true_type;
    using propagate_on_container_move_assignment = std::true_type;

    RecyclingAllocator() : mCache(std::make_shared<BlockCache>()) {}
    // Rebinding, as a container does for its inner blocks, converts implicitly.
    template <typename U>
    RecyclingAllocator(const RecyclingAllocator<U>& other) noexcept : mCache(other.mCache) {}

    [[nodiscard]] T* allocate(size_t count) {
        const size_t bytes = count * sizeof(T);
        return static_cast<T*>(mCache != nullptr ? mCache->Take(bytes) : ::operator new(bytes));
    }
    void deallocate(T* block, size_t count) noexcept {
        if (mCache != nullptr) {
            mCache->Give(block, count * sizeof(T));
        } else {
            ::operator delete(block);
        }
    }

    // Frees the blocks kept past the newest keep, once the container holds little: kept for
    // good, the blocks of a burst would stay with a container that has gone quiet. Returns
    // the bytes freed.
    size_t Trim(size_t keep) const noexcept { return mCache != nullptr ? mCache->Trim(keep) : 0; }
    // The blocks kept in the cache now.
    [[nodiscard]] size_t Kept() const { return mCache != nullptr ? mCache->Count() : 0; }

    // Two containers must never share a cache: each is used under its own lock.
    RecyclingAllocator select_on_container_copy_construction() const {
        return RecyclingAllocator();
    }

    template <typename U>
    bool operator==(const RecyclingAllocator<U>& other) const noexcept {
        return mCache == other.mCache;
    }
    template <typename U>
    bool operator!=(const RecyclingAllocator<U>& other) const noexcept {
        return mCache != other.mCache;
    }

  private:
    template <typename U>
    friend class RecyclingAllocator;

    std::shared_ptr<BlockCache> mCache;  // shared with the copies; null once moved from
};

}  // namespace System::Collections
