#include "System/Utility/HeapTrim.h"

#include <malloc.h>

namespace System::Utility {

void HeapTrim::GiveBackWhenDue() {
    if (sFreed.load(std::memory_order_relaxed) < kEvery) {
        return;
    }
    // One caller gives back for all that was counted; another that came at once finds
    // nothing left to count.
    const uint64_t freed = sFreed.exchange(0);
    if (freed < kEvery) {
        sFreed.fetch_add(freed);
        return;
    }
    if (const GiveBack giveBack = sGiveBack.load()) {
        giveBack();
        return;
    }
    malloc_trim(0);
}

}  // namespace System::Utility
