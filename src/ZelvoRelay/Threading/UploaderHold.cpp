#include "ZelvoRelay/Threading/UploaderHold.h"

#include "System/Threading/MonitorLock.h"
#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Threading/MessageTask.h"
#include "ZelvoRelay/Threading/MessageThreadWorker.h"
#include "ZelvoRelay/Threading/PhotoTask.h"
#include "ZelvoRelay/Threading/PhotoThreadWorker.h"

namespace ZelvoRelay::Threading {

UploaderHold::~UploaderHold() {
    for (uint32_t i = 0; i < mTasks.Count(); ++i) {
        mTasks[i]->Discard();
    }
}

void UploaderHold::Hold(PhotoTask* photo) {
    MVC::Model::ZelvoRelayModel* model = MVC::Model::ZelvoRelayModel::Instance();
    if (mHolding) {
        mUploaders.Add(photo->SenderId);
    }
    System::Threading::MonitorLock lock(model->Clients.mMonitor);
    // The photo takes over the count of the chunk that completed the upload, which is
    // being handled now. Counted nowhere, it would let an uploader that closed right
    // after its last chunk leave at once, its upload with it, and the photo made next
    // would find no upload to become an item.
    if (Client::RelayClient* uploader = model->Clients.mValue.FindClient(photo->SenderId)) {
        uploader->CountIn(*photo);
    }
    lock.Unlock();
    model->PhotoWorker().Add(photo);
}

void UploaderHold::EndHolds() {
    mHolding = false;
    while (mUploaders.Count() > 0) {
        Release(mUploaders[0]);
    }
}

bool UploaderHold::Take(MessageTask* task) {
    // An outcome comes only while its uploader is held, or once the holds have ended, so
    // with no one held every other task is the worker's own.
    if (mHolding && mUploaders.Count() == 0) {
        return false;
    }
    if (TakeOutcome(task)) {
        return true;
    }
    if (task->IsIncoming && mUploaders.Contains(task->SenderId)) {
        mTasks.Add(task);
        return true;
    }
    return false;
}

bool UploaderHold::TakeOutcome(MessageTask* task) {
    auto* photo = dynamic_cast<PhotoTask*>(task);
    if (photo == nullptr) {
        return false;
    }
    const uint32_t uploader = photo->SenderId;
    photo->Apply();
    delete photo;
    Release(uploader);
    return true;
}

void UploaderHold::Release(uint32_t clientId) {
    mUploaders.Remove(clientId);
    System::Collections::Vector<MessageTask*> released;
    System::Collections::Vector<MessageTask*> others;
    for (uint32_t i = 0; i < mTasks.Count(); ++i) {
        (mTasks[i]->SenderId == clientId ? released : others).Add(mTasks[i]);
    }
    mTasks = others;

    auto& clients = MVC::Model::ZelvoRelayModel::Instance()->Clients;
    System::Threading::MonitorLock lock(clients.mMonitor);
    const bool left = clients.mValue.FindClient(clientId) == nullptr;
    lock.Unlock();
    // Handled one by one, a released chunk that completes another upload holds the
    // client again, and the tasks after it are kept back anew, still in order.
    for (uint32_t i = 0; i < released.Count(); ++i) {
        if (left) {
            released[i]->Discard();
        } else {
            MVC::Model::ZelvoRelayModel::Instance()->MessageWorker().Handle(released[i]);
        }
    }
}

}  // namespace ZelvoRelay::Threading
