#pragma once

#include "System/Object.h"

namespace ZelvoRelay::PostAction {

// Work attached to an outgoing message, run on the client worker once the message's
// frame has been completely sent to a client.
class IPostAction : public System::Object {
  public:
    virtual void Execute() = 0;
};

}  // namespace ZelvoRelay::PostAction
