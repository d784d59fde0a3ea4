#pragma once

#include "ZelvoRelay/Message/IMessageConstructor.h"

namespace ZelvoRelay::Message {

// The constructor entry of message class M in the type registry.
template <class M>
class MessageConstructor : public IMessageConstructor {
  public:
    [[nodiscard]] BaseMessage* Create(const MessageBytes& bytes) const override {
        return new M(bytes);
    }
};

}  // namespace ZelvoRelay::Message
