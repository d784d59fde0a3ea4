#pragma once

namespace System::Utility {

// Bounds the arenas of the C library's allocator. A thread that meets another in the
// allocator is given an arena of its own, and each arena reserves 64 MiB of address space:
// idle, the server reserved 754 MB for 7 MB resident, and under an operator's address-space
// limit allocations failed that the work needed. The threads share the arenas allowed, each
// keeping its own cache of small blocks, so the relay's hot paths seldom wait on one.
class AllocatorArenas {
  public:
    // The arenas allowed: the main one and one more.
    static constexpr int kMost = 2;

    AllocatorArenas() = delete;

    // Sets the bound; a sanitizer's allocator, which keeps no such arenas, ignores it.
    // REQUIRES: called before the process starts its first thread.
    static void Bound();
};

}  // namespace System::Utility
