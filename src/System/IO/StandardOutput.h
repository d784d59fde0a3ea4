#pragma once

#include <cstddef>

namespace System::IO {

// Standard output, written straight to its descriptor, without the C library's buffer.
class StandardOutput {
  public:
    // Writes length bytes of data in as many writes as it takes, the writes of one call never
    // mixed with those of another; false when a write fails, the rest left unwritten. Any
    // thread.
    static bool Write(const char* data, size_t length);
};

}  // namespace System::IO
