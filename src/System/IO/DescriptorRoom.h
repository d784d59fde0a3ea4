#pragma once

#include <cstddef>
#include <cstdint>

#include "System/Object.h"

namespace System::IO {

// Room below the descriptor reserve (DescriptorLimit) for what a peer needs, made by closing
// something of the process that may give way: the relay closes a connection that has not
// joined. A descriptor that lands in the reserve is given back, and Make is asked for room
// before the taker tries again; it is refused only when nothing could be closed. Every
// closing and every refusal is told to the listener, by what the descriptor was for.
//
// Thread-safe: descriptors are taken on the servers' accept threads and the relay's workers.
class DescriptorRoom : public Object {
  public:
    // What a descriptor is taken for.
    enum class Use : uint8_t {
        Connection,  // a relay connection (its TCP or its UDP descriptor)
        Download,    // a file read for a download
        Upload,      // a file written by an upload
        Policy,      // a socket-policy connection
    };
    static constexpr size_t kUses = 4;

    // Closes one thing that gives way, freeing at least one descriptor below the reserve at
    // once; false when nothing may be closed.
    using Closer = bool (*)();

    // Told of each closing and refusal, on the thread that asked for room.
    class Listener {
      public:
        virtual ~Listener() = default;
        // Room was made for use by closing something (closed), or use was refused.
        virtual void OnDescriptorRoom(Use use, bool closed) = 0;
    };

    DescriptorRoom() = delete;

    // What is closed to make room; null for nothing. The closer must stay callable until it
    // is replaced, and a while after, by a call that had already fetched it.
    static void SetCloser(Closer closer);
    // Who is told; null for no one. REQUIRES: no descriptor is asked for while it changes.
    static void SetListener(Listener* listener);

    // For a descriptor of use that lay in the reserve and was given back: closes one thing
    // to free a descriptor below the reserve. Returns whether it did; the caller then takes
    // the lowest free number again, and refuses use when this returns false.
    [[nodiscard]] static bool Make(Use use);
};

}  // namespace System::IO
