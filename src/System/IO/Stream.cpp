#include "System/IO/Stream.h"

#include <algorithm>

namespace System::IO {

int64_t Stream::Position(int64_t value) {
    // A negative position would make the next copy start before the buffer.
    mPosition = std::clamp<int64_t>(value, 0, mLength);
    return mPosition;
}

}  // namespace System::IO
