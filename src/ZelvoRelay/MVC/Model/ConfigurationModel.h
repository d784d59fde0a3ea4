#pragma once

#include <cstdint>

#include "System/Object.h"
#include "System/String.h"

namespace ZelvoRelay::MVC::Model {

// The media settings of the relay. Start-up fills them once, before the relay server
// hosts; afterwards they are only read, without a lock.
class ConfigurationModel : public System::Object {
  public:
    // Put in front of every media file name as it is: a directory ends with its separator.
    System::String MediaPath;
    // The largest upload accepted, in bytes.
    uint32_t MaxMediaSize{0};
    // The size of a preview image, in pixels.
    uint32_t MediaPreviewWidth{0};
    uint32_t MediaPreviewHeight{0};
};

}  // namespace ZelvoRelay::MVC::Model
