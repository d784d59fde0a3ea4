#include "System/Utility/HeapTrim.h"

#include <malloc.h>

#if defined(__SANITIZE_ADDRESS__)
extern "C" void __sanitizer_purge_allocator();
#endif

namespace System::Utility {

void HeapTrim::GiveBackWhenDue() {
    const uint64_t due = sSettled.load(std::memory_order_relaxed) ? kLeast : kEvery;
    if (sFreed.load(std::memory_order_relaxed) < due) {
        return;
    }
    // One caller gives back for all that was counted; another that came at once finds
    // nothing left to count.
    const uint64_t freed = sFreed.exchange(0);
    if (freed < due) {
        sFreed.fetch_add(freed);
        return;
    }
    sSettled.store(false, std::memory_order_relaxed);
    if (const GiveBack giveBack = sGiveBack.load()) {
        giveBack();
        return;
    }
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer's allocator serves every block, and keeps freed ones in its quarantine,
    // where malloc_trim does not reach them.
    __sanitizer_purge_allocator();
#else
    malloc_trim(0);
#endif
}

}  // namespace System::Utility
