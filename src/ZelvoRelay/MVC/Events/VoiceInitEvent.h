#pragma once

#include <cstdint>

#include "System/MVC/EventDispatcher.h"

namespace ZelvoRelay::MVC::Events {

// A client that must learn the room's voice format.
class VoiceInitEvent : public System::MVC::EventDispatcher {
  public:
    explicit VoiceInitEvent(uint32_t clientId)
        : EventDispatcher("VoiceInitEvent"), mClientId(clientId) {}

    uint32_t mClientId;
};

}  // namespace ZelvoRelay::MVC::Events
