#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

#include "System/IO/Directory.h"
#include "System/Threading/MonitorLock.h"
#include "System/Utility/FileSystem.h"
#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/MVC/Events/RelayMessageEvent.h"
#include "ZelvoRelay/MVC/Model/NetMessageModel.h"
#include "ZelvoRelay/Message/BaseMessage.h"
#include "ZelvoRelay/Threading/ClientThreadWorker.h"
#include "ZelvoRelay/Threading/MessageTask.h"
#include "ZelvoRelay/Threading/MessageThreadWorker.h"
#include "ZelvoRelay/Threading/PhotoThreadWorker.h"
#include "ZelvoRelay/Threading/ServerThreadWorker.h"

namespace ZelvoRelay::MVC::Model {

ZelvoRelayModel::ZelvoRelayModel() {
    ClientWorkers.CreateThreads<Threading::ClientThreadWorker>(kClientWorkers);
    ServerWorkers.CreateThreads<Threading::ServerThreadWorker>(1);
    MessageWorkers.CreateThreads<Threading::MessageThreadWorker>(1);
    PhotoWorkers.CreateThreads<Threading::PhotoThreadWorker>(1);
}

Threading::PhotoThreadWorker& ZelvoRelayModel::PhotoWorker() {
    // The group only ever holds one thread of this type (or of a type made from it).
    return *static_cast<Threading::PhotoThreadWorker*>(PhotoWorkers.GetThread(0));
}

Threading::ClientThreadWorker& ZelvoRelayModel::ClientWorker(unsigned int index) {
    // The group only ever holds threads of this type.
    return *static_cast<Threading::ClientThreadWorker*>(ClientWorkers.GetThread(index));
}

bool ZelvoRelayModel::IsOnClientWorker() {
    for (unsigned int i = 0; i < ClientWorkers.GetNumThread(); ++i) {
        if (ClientWorker(i).IsCurrentThread()) {
            return true;
        }
    }
    return false;
}

Threading::MessageThreadWorker& ZelvoRelayModel::MessageWorker() {
    // The group only ever holds one thread, of this type.
    return *static_cast<Threading::MessageThreadWorker*>(MessageWorkers.GetThread(0));
}

ZelvoRelayModel::~ZelvoRelayModel() {
    Server.Disconnect();
    // A stopped client worker closes its clients but leaves them in the collection.
    System::Threading::MonitorLock lock(Clients.mMonitor);
    Collections::ClientCollection& clients = Clients.mValue;
    while (clients.Count() > 0) {
        Client::RelayClient* client = &clients[clients.Count() - 1];
        clients.RemoveAt(clients.Count() - 1);
        delete client;
    }
    lock.Unlock();
    Messages.DiscardTasks();
}

void ZelvoRelayModel::QueueTask(Threading::MessageTask* task) {
    Messages.mTasks.Enqueue(task->GetTurnOf(), task);
}

void ZelvoRelayModel::QueueMessage(Message::BaseMessage* message, uint32_t targetId,
                                   uint32_t senderId, PostAction::IPostAction* action) {
    auto* task = new Threading::MessageTask(message, targetId, senderId);
    if (action != nullptr) {
        task->PostActions.Add(action);
    }
    QueueTask(task);
}

void ZelvoRelayModel::SendNow(Client::RelayClient& client, Message::BaseMessage* message) {
    mRoomFrames.Flush(Clients.mValue);
    client.Enqueue(NetMessageModel(*message));
    delete message;
}

void ZelvoRelayModel::SendNowToRoom(Message::BaseMessage* message, uint32_t senderId,
                                    uint64_t admittedAfter) {
    // With nobody admitted since, there is no one to frame it for.
    if (admittedAfter < Clients.mValue.NumAdmissions()) {
        Distribute(NetMessageModel(*message), 0, senderId, admittedAfter);
    }
    delete message;
}

void ZelvoRelayModel::Distribute(const NetMessageModel& entry, uint32_t targetId, uint32_t senderId,
                                 uint64_t admittedAfter, uint64_t admittedBy) {
    Collections::ClientCollection& clients = Clients.mValue;
    if (targetId == 0) {
        mRoomFrames.Add(entry, senderId, admittedAfter, admittedBy, clients);
        mRoomFrames.Flush(clients);
        return;
    }
    mRoomFrames.Flush(clients);
    if (Client::RelayClient* client = clients.FindClient(targetId)) {
        client->Enqueue(entry);
    }
}

void ZelvoRelayModel::HoldForRoom(const NetMessageModel& entry, uint32_t senderId,
                                  uint64_t admittedBy) {
    mRoomFrames.Add(entry, senderId, 0, admittedBy, Clients.mValue);
}

void ZelvoRelayModel::FlushRoom() {
    // Only the message worker holds frames, and it calls this: seen empty, nothing waits.
    if (mRoomFrames.IsEmpty()) {
        return;
    }
    System::Threading::MonitorLock lock(Clients.mMonitor);
    mRoomFrames.Flush(Clients.mValue);
}

bool ZelvoRelayModel::DeleteRemovedFiles(const std::vector<uint32_t>& mediaIds) {
    // Outside the catalogue monitor, so that uploads and listings do not wait on the disk.
    const System::Utility::FileSystem files;
    for (uint32_t mediaId : mediaIds) {
        for (uint32_t resource : {MediaModel::FullImage, MediaModel::Preview}) {
            static_cast<void>(files.RemoveFile(
                MediaModel::GetResourcePath(Configuration.MediaPath, mediaId, resource)));
        }
    }
    // Until the deletions are on the disk, the removal of the list that names the files may
    // reach it first, and a power cut would bring the files back with nothing to name them.
    return mediaIds.empty() ||
           System::IO::Directory::SyncHolding(MediaModel::GetResourcePath(
               Configuration.MediaPath, mediaIds.front(), MediaModel::FullImage));
}

void ZelvoRelayModel::RelayToRoom(Message::BaseMessage* message, uint32_t senderId) {
    Threading::MessageTask task(message, 0, senderId);
    Events::RelayMessageEvent event(&task);
    event.Dispatch();
}

}  // namespace ZelvoRelay::MVC::Model
