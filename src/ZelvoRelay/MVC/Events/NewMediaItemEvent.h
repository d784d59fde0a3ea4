#pragma once

#include "System/MVC/EventDispatcher.h"
#include "ZelvoRelay/MVC/Model/MediaTransferModel.h"

namespace ZelvoRelay::MVC::Events {

// An upload whose announced bytes have all arrived; its command makes the item of it.
class NewMediaItemEvent : public System::MVC::EventDispatcher {
  public:
    explicit NewMediaItemEvent(const Model::MediaTransferModel& transfer)
        : EventDispatcher("NewMediaItemEvent"), mTransfer(transfer) {}

    // A copy of the upload; it shares the upload's open stream.
    Model::MediaTransferModel mTransfer;
};

}  // namespace ZelvoRelay::MVC::Events
