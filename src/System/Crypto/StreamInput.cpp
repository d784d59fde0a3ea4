#include "System/Crypto/StreamInput.h"

#include "System/IO/Stream.h"

namespace System::Crypto {

size_t ReadFull(IO::Stream& stream, uint8_t* buffer, size_t count) {
    size_t total = 0;
    while (total < count) {
        // A read of 0 bytes ends the input: looping on the position instead would spin
        // forever on a stream that stops short of its length.
        const int n = stream.Read(buffer, static_cast<int>(total), static_cast<int>(count - total));
        if (n <= 0) {
            break;
        }
        total += static_cast<size_t>(n);
    }
    return total;
}

}  // namespace System::Crypto
