#include "ZelvoRelay/Threading/StopDiscard.h"

namespace ZelvoRelay::Threading {

bool StopDiscard::IsDiscarding() const {
    bool (*const discard)() = mDiscardWhen.load();
    return discard != nullptr && discard();
}

bool StopDiscard::Discards() {
    if (!IsDiscarding()) {
        return false;
    }
    CountDiscarded();
    return true;
}

}  // namespace ZelvoRelay::Threading
