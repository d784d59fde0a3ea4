#pragma once

#include <atomic>
#include <cstdint>

namespace ZelvoRelay::Collections {

// The one count of the files that downloads and uploads together may keep open beyond the
// moment a chunk moves: what the open file limit leaves after the reserve kept for the saves
// and the descriptors of every place of the room. Taken before such a file is opened and
// given back when it is closed (HeldFile), so peers' files never take the descriptors members' and
// newcomers' connections need, whatever they ask or leave unread.
//
// Thread-safe: taken and given back by the relay's workers without a lock.
class TransferFiles {
  public:
    // No bound: the limit could not be read, or start-up has not shared it out yet.
    static constexpr uint64_t kNoBound = UINT64_MAX;
    // The files that move one chunk at a time may have open at once: the message worker's,
    // and the download chunk read under the downloads monitor. They are opened and closed
    // within one call, take no count, and are set aside from the table instead.
    static constexpr uint64_t kMoving = 2;

    TransferFiles() = delete;

    // Sets how many files the table leaves; kNoBound for no bound.
    static void SetCapacity(uint64_t capacity);

  private:
    // Taken and given back by a HeldFile alone, which holds the count for as long as it lives.
    friend class HeldFile;

    // Takes one count; false when the table has none left.
    [[nodiscard]] static bool Take();
    // Gives back a count that Take returned.
    static void Give();
};

}  // namespace ZelvoRelay::Collections
