#pragma once

#include <cstdint>

#include "System/Object.h"

namespace System::IO {

// The process's limit of open descriptors, and the reserve kept just below it for the
// server's own files. The system hands out the lowest free number, so a descriptor that
// falls in the reserve means every lower one is taken: a peer's connection, upload or
// download that is given one closes it at once and is refused as if the limit had been
// reached. What peers hold then never reaches the reserve, and a save (a temporary file
// written, then renamed) always finds a descriptor there, however many members connect,
// upload or download.
class DescriptorLimit : public Object {
  public:
    // The descriptors just below the soft limit that no peer keeps. A save needs one;
    // the rest covers those other threads hold in the reserve for a moment (an accepted
    // connection or a file about to be given back, a preview being written, a
    // switchboard request).
    static constexpr uint64_t kReserve = 16;

    DescriptorLimit() = delete;

    // Raises the soft limit to the hard limit: the usual soft limit of 1024 would cap a
    // room far below what the system allows. Returns the soft limit in effect afterwards,
    // the old one when it cannot be raised, or 0 when it cannot be read.
    static uint64_t Raise();
    // Whether descriptor lies among the kReserve highest the soft limit allows.
    [[nodiscard]] static bool IsReserved(int descriptor);
};

}  // namespace System::IO
