#include "ZelvoRelay/Collections/TransferFiles.h"

namespace ZelvoRelay::Collections {

namespace {

// Constant-initialised, so usable whatever order static constructors run in.
std::atomic<uint64_t> gCapacity{TransferFiles::kNoBound};
std::atomic<uint64_t> gHeld{0};

}  // namespace

void TransferFiles::SetCapacity(uint64_t capacity) {
    gCapacity.store(capacity);
}

bool TransferFiles::Take() {
    uint64_t held = gHeld.load();
    do {
        if (held >= gCapacity.load()) {
            return false;
        }
    } while (!gHeld.compare_exchange_weak(held, held + 1));
    return true;
}

void TransferFiles::Give() {
    gHeld.fetch_sub(1);
}

}  // namespace ZelvoRelay::Collections
