#pragma once

#include <cstdint>

#include "ZelvoRelay/PostAction/IPostAction.h"

namespace ZelvoRelay::PostAction {

// Closes a client's connection once the frame it is attached to has been sent: a
// refused join thus reaches its client before the connection ends. The client worker
// then finds the client closed and removes it.
class PostRemoveClient : public IPostAction {
  public:
    explicit PostRemoveClient(uint32_t clientId) : mClientId(clientId) {}

    // Disconnects the client if it is still in the collection; takes the
    // client-collection monitor.
    void Execute() override;

  private:
    uint32_t mClientId;  // the client to close
};

}  // namespace ZelvoRelay::PostAction
