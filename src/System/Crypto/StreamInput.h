#pragma once

#include <cstddef>
#include <cstdint>

namespace System::IO {
class Stream;
}

namespace System::Crypto {

// Reads from the stream until count bytes have arrived or a read gives nothing more;
// returns the number of bytes read. A short count therefore means the input ended,
// even for a stream whose reads fall short before its end.
size_t ReadFull(IO::Stream& stream, uint8_t* buffer, size_t count);

}  // namespace System::Crypto
