#include "System/Collections/BlockCache.h"

#include <new>

namespace System::Collections {

BlockCache::~BlockCache() {
    for (size_t i = 0; i < mCount; ++i) {
        ::operator delete(mKept[i].mBlock);
    }
}

void* BlockCache::Take(size_t bytes) {
    // The newest first: it was in use last, and is the likeliest to be in the cache.
    for (size_t i = mCount; i > 0; --i) {
        if (mKept[i - 1].mBytes == bytes) {
            void* const block = mKept[i - 1].mBlock;
            mKept[i - 1] = mKept[--mCount];
            return block;
        }
    }
    return ::operator new(bytes);
}

void BlockCache::Give(void* block, size_t bytes) noexcept {
    if (mCount == kKeptBlocks) {
        ::operator delete(block);
        return;
    }
    mKept[mCount++] = {block, bytes};
}

size_t BlockCache::Trim(size_t keep) noexcept {
    if (mCount <= keep) {
        return 0;
    }
    const size_t freed = mCount - keep;
    size_t bytes = 0;
    for (size_t i = 0; i < freed; ++i) {
        ::operator delete(mKept[i].mBlock);
        bytes += mKept[i].mBytes;
    }
    for (size_t i = 0; i < keep; ++i) {
        mKept[i] = mKept[freed + i];
    }
    mCount = keep;
    return bytes;
}

}  // namespace System::Collections
