#pragma once

#include <cstdint>

#include "System/Collections/Vector.h"
#include "System/Object.h"

namespace ZelvoRelay::Threading {

class MessageTask;
class PhotoTask;

// Keeps an uploader's order while its photo is made off the message worker: what the
// uploader sends after the last chunk is kept back until the photo's outcome has been
// applied, so that a listing it asks for next already shows the item, while every other
// client goes on being served. Kept-back tasks still count against their client's
// allowance of waiting messages, so what one client can make the hold keep is bounded.
//
// REQUIRES: used on the message worker only (or once it has stopped), so it takes no
// lock.
class UploaderHold : public System::Object {
  public:
    UploaderHold() = default;
    // Deletes the tasks still kept back, unhandled.
    ~UploaderHold() override;

    UploaderHold(const UploaderHold&) = delete;
    UploaderHold& operator=(const UploaderHold&) = delete;

    // Keeps back from now on the messages of photo's uploader, counts photo among
    // them, and hands photo to the photo worker. Takes the client-collection monitor.
    void Hold(PhotoTask* photo);
    // Takes task off the message worker's hands when it is a photo's outcome (applied
    // and deleted; the uploader's kept-back tasks are then handled in order, or dropped
    // when it has left) or a message of an uploader whose photo is being made (kept
    // back). False for any other task, which the worker handles itself.
    [[nodiscard]] bool Take(MessageTask* task);
    // Takes task when it is a photo's outcome, as Take does; false for any other task.
    [[nodiscard]] bool TakeOutcome(MessageTask* task);
    // At a stop: keeps nothing back from now on, and handles what it keeps back, each
    // uploader's tasks in the order they came.
    void EndHolds();
    // Keeps uploaders' messages back again, for a new start. REQUIRES: the message
    // worker is not running.
    void ResumeHolds() { mHolding = true; }

  private:
    // Ends the hold on clientId and handles its kept-back tasks in the order they came.
    void Release(uint32_t clientId);

    System::Collections::Vector<uint32_t> mUploaders;  // clients whose photo is being made
    System::Collections::Vector<MessageTask*> mTasks;  // kept back, in the order they came
    bool mHolding{true};                               // false from EndHolds until ResumeHolds
};

}  // namespace ZelvoRelay::Threading
