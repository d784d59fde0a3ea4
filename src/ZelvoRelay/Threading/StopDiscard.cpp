#include "ZelvoRelay/Threading/StopDiscard.h"

namespace ZelvoRelay::Threading {

bool StopDiscard::Discards() {
    bool (*const discard)() = mDiscardWhen.load();
    if (discard == nullptr || !discard()) {
        return false;
    }
    mDiscarded.fetch_add(1);
    return true;
}

}  // namespace ZelvoRelay::Threading
