#pragma once

#include <atomic>
#include <cstdint>

#include "System/Object.h"
#include "System/String.h"

namespace ZelvoRelay::MVC::Model {

// The media settings of the relay. Start-up fills them once, before the relay server
// hosts; afterwards they are only read, without a lock (MaxDownloadsPerMember apart).
class ConfigurationModel : public System::Object {
  public:
    // The downloads a member may run at once when the open file limit leaves room for them.
    static constexpr uint32_t kMaxDownloadsPerMember = 16;

    // Put in front of every media file name as it is: a directory ends with its separator.
    System::String MediaPath;
    // The largest upload accepted, in bytes.
    uint32_t MaxMediaSize{0};
    // The size of a preview image, in pixels.
    uint32_t MediaPreviewWidth{0};
    uint32_t MediaPreviewHeight{0};
    // The downloads one member runs at once, and the uploads it may have in progress; further
    // downloads wait their turn, further uploads are refused. Fewer than
    // kMaxDownloadsPerMember (at least one) when the open file limit leaves less than that
    // for each place of the room beside its connections: set by start-up once the servers
    // listen, since what they hold is counted, so atomic.
    std::atomic<uint32_t> MaxDownloadsPerMember{kMaxDownloadsPerMember};
};

}  // namespace ZelvoRelay::MVC::Model
