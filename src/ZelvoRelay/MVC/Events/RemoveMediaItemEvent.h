#pragma once

#include <cstdint>

#include "System/MVC/EventDispatcher.h"

namespace ZelvoRelay::MVC::Events {

// An item to take out of the catalogue together with its files.
class RemoveMediaItemEvent : public System::MVC::EventDispatcher {
  public:
    // The media id that names every item.
    static constexpr uint32_t AllItems = 0xFFFFFFFF;

    explicit RemoveMediaItemEvent(uint32_t mediaId)
        : EventDispatcher("RemoveMediaItemEvent"), mMediaId(mediaId) {}

    uint32_t mMediaId;  // the item, or AllItems
};

}  // namespace ZelvoRelay::MVC::Events
