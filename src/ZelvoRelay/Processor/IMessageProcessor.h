#pragma once

#include <cstdint>

#include "System/Object.h"

namespace ZelvoRelay::Message {
class BaseMessage;
}

namespace ZelvoRelay::Processor {

// Handles the received messages of one type id; registered once in the message
// registry and called by the message worker.
class IMessageProcessor : public System::Object {
  public:
    // Acts on message, received from the client clientId. The caller keeps the
    // message and deletes it afterwards: a processor that relays it hands its bytes
    // on before returning and keeps no pointer to it.
    virtual void Process(Message::BaseMessage* message, uint32_t clientId) = 0;
    // Whether handling a message changes what the server stores (the catalogue and the
    // media files), beside answering its sender or relaying to the room. At a stop only
    // such messages are handled: nobody is left to receive an answer or a relay.
    [[nodiscard]] virtual bool ChangesStore() const { return false; }
    // Whether the only effect of handling a message is an answer to its sender (a listing,
    // a download), so that a message from a client that can no longer be sent anything
    // needs no handling.
    [[nodiscard]] virtual bool AnswersOnlySender() const { return false; }
    // For a processor that answers only the sender: what answering message may make the
    // server hold, as far as can be told before the answer is made, frame costs included.
    [[nodiscard]] virtual uint64_t AnswerBytes(const Message::BaseMessage& /*message*/) const {
        return kSmallAnswer;
    }

  protected:
    // About what a short answer of a few fields holds queued, its frame's cost included.
    static constexpr uint64_t kSmallAnswer = 1024;
};

}  // namespace ZelvoRelay::Processor
