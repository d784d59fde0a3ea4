#pragma once

#include <cstdint>

#include "System/Object.h"

namespace System::IO {

// The process's limit of open descriptors, and the reserve kept just below it for the
// server's own files. Every descriptor a peer's connection, upload or download takes is
// checked with IsReserved when it is taken, and given back at once when it lies in the
// reserve, as if the limit had been reached. Peers therefore hold no reserved number for
// longer than that check, and a save (a temporary file written, then renamed) finds one
// there, however many members connect, upload or download.
class DescriptorLimit : public Object {
  public:
    // The descriptors just below the soft limit that no peer keeps. A save needs one;
    // the rest covers those the server holds there for a moment or while it waits: the
    // number each listening server's accept takes when it begins to wait, a connection
    // or file about to be given back, a preview being written, a switchboard request.
    static constexpr uint64_t kReserve = 16;

    DescriptorLimit() = delete;

    // Raises the soft limit to the hard limit: the usual soft limit of 1024 would cap a
    // room far below what the system allows. Returns the soft limit in effect afterwards,
    // the old one when it cannot be raised, or 0 when it cannot be read.
    static uint64_t Raise();
    // The soft limit in effect now; 0 when it cannot be read, UINT64_MAX when there is none.
    static uint64_t Soft();
    // Whether descriptor lies among the kReserve highest the soft limit allows.
    [[nodiscard]] static bool IsReserved(int descriptor);
    // The numbers below the reserve that no descriptor holds now: what peers may still
    // take. 0 when the limit or the open descriptors cannot be read; UINT64_MAX when
    // there is no limit.
    static uint64_t Spare();
};

}  // namespace System::IO
