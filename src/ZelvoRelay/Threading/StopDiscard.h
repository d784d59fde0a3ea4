#pragma once

#include <atomic>
#include <cstdint>

#include "System/Object.h"

namespace ZelvoRelay::Threading {

// Whether the work a stop still has to do is wanted, for a worker that does it piece by
// piece: once the test a stop set is true (an operator asked again to stop), each piece
// is discarded instead, and counted. Any thread; the test must be callable from any too.
class StopDiscard : public System::Object {
  public:
    // From now on, asks discard() before each piece; null asks nothing.
    void DiscardWhen(bool (*discard)()) { mDiscardWhen.store(discard); }
    // Asks nothing and counts from 0 again, for a new start.
    void Reset() {
        mDiscardWhen.store(nullptr);
        mDiscarded.store(0);
    }
    // Whether a piece asked about now is to be discarded; counts nothing.
    [[nodiscard]] bool IsDiscarding() const;
    // Counts a piece as discarded.
    void CountDiscarded() { mDiscarded.fetch_add(1); }
    // Whether the next piece is to be discarded; counts it when so.
    [[nodiscard]] bool Discards();
    // The pieces discarded since the last Reset.
    [[nodiscard]] uint32_t GetNumDiscarded() const { return mDiscarded.load(); }

  private:
    std::atomic<bool (*)()> mDiscardWhen{nullptr};  // see DiscardWhen
    std::atomic<uint32_t> mDiscarded{0};            // see GetNumDiscarded
};

}  // namespace ZelvoRelay::Threading
