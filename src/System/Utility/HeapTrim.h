#pragma once

#include <atomic>
#include <cstdint>

namespace System::Utility {

// Gives the memory the process has freed back to the system once enough of it has been
// freed. The C library keeps freed blocks for reuse, and a flood that made the process hold
// hundreds of MiB left it holding them long after: blocks freed below a live one are never
// returned by themselves.
//
// Any thread.
class HeapTrim {
  public:
    // The bytes freed between two returns to the system.
    static constexpr uint64_t kEvery = 32u << 20;
    // The fewest bytes given back once the work that freed them has settled.
    static constexpr uint64_t kLeast = 1u << 20;

    HeapTrim() = delete;

    // Counts bytes the caller has freed, or is about to free.
    static void Freed(uint64_t bytes) { sFreed.fetch_add(bytes, std::memory_order_relaxed); }
    // The work that freed what is counted has settled (a flood has ended): the next
    // GiveBackWhenDue gives back once kLeast bytes are counted, not kEvery.
    static void Settled() { sSettled.store(true, std::memory_order_relaxed); }

    // Gives free memory back to the system when kEvery bytes have been counted since the
    // last time, or kLeast once settled; costs two loads otherwise. Giving back takes a
    // while (160 ms after 300 MB were freed) and the C library's allocator locks: REQUIRES
    // no lock held that another thread may wait for.
    static void GiveBackWhenDue();

    // What gives free memory back to the system in GiveBackWhenDue: the C library's trim by
    // default (null), or giveBack, for a test to see where and when it runs. Returns the one
    // it replaces.
    using GiveBack = void (*)();
    static GiveBack SetGiveBack(GiveBack giveBack) { return sGiveBack.exchange(giveBack); }

  private:
    static inline std::atomic<uint64_t> sFreed{0};           // counted since the last return
    static inline std::atomic<bool> sSettled{false};         // see Settled; until the next return
    static inline std::atomic<GiveBack> sGiveBack{nullptr};  // see SetGiveBack
};

}  // namespace System::Utility
