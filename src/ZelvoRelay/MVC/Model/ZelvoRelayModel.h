#pragma once

#include <cstdint>
#include <vector>

#include "System/Object.h"
#include "System/Singleton.h"
#include "System/Threading/ThreadManager.h"
#include "System/Threading/ThreadProperty.h"
#include "ZelvoRelay/Collections/AddressTable.h"
#include "ZelvoRelay/Collections/ClientCollection.h"
#include "ZelvoRelay/Collections/DownloadQueue.h"
#include "ZelvoRelay/Collections/MediaCollection.h"
#include "ZelvoRelay/Collections/MediaTransferCollection.h"
#include "ZelvoRelay/Collections/UnjoinedDownloads.h"
#include "ZelvoRelay/MVC/Model/AudioModel.h"
#include "ZelvoRelay/MVC/Model/ConfigurationModel.h"
#include "ZelvoRelay/MVC/Model/MessageModel.h"
#include "ZelvoRelay/MVC/Model/RoomModel.h"
#include "ZelvoRelay/MVC/Model/RoomRelayBatch.h"
#include "ZelvoRelay/Server/RelayServer.h"
#include "ZelvoRelay/Threading/UploaderHold.h"

namespace ZelvoRelay::Client {
class RelayClient;
}
namespace ZelvoRelay::Message {
class BaseMessage;
}
namespace ZelvoRelay::PostAction {
class IPostAction;
}
namespace ZelvoRelay::Threading {
class MessageTask;
class ClientThreadWorker;
class MessageThreadWorker;
class PhotoThreadWorker;
}  // namespace ZelvoRelay::Threading

namespace ZelvoRelay::MVC::Model {

class NetMessageModel;

// All lasting state of the relay server. The members are public and reached directly;
// each one that changes while the server runs has its own monitor, which a thread holds
// while it touches the member.
//
// Lock order: a client worker's list, then the client-collection monitor (Clients),
// then the task-queue monitor (Messages), one client's send-queue monitor, the uploads
// monitor or the downloads monitor; the uploads monitor before the catalogue's (Media);
// the downloads monitor before the task-queue monitor; a client's send-queue monitor
// before its worker's notices monitor. No thread takes a pair the other way round or
// enters a monitor it holds.
class ZelvoRelayModel : public System::Object {
  public:
    // The client workers that serve the connections between them. Writing to the
    // sockets is most of the work of a busy room, and two threads do it on two cores:
    // a room of 100 flooded with chat delivers about a third more with two than with
    // one.
    static constexpr unsigned int kClientWorkers = 2;

    // The model, created on the first call. REQUIRES: the first call happens on the
    // main thread before any relay thread exists.
    static ZelvoRelayModel* Instance() { return System::Singleton<ZelvoRelayModel>::Instance(); }

    // Builds the members (the relay server registers the relay commands), the client
    // workers and one message and one server worker, none started.
    ZelvoRelayModel();
    // Disconnects the relay server if it still hosts (which stops the workers), then
    // deletes the clients that are left and the tasks still queued.
    ~ZelvoRelayModel() override;

    ZelvoRelayModel(const ZelvoRelayModel&) = delete;
    ZelvoRelayModel& operator=(const ZelvoRelayModel&) = delete;

    // Queues task for the message worker, in the turn of the connection it belongs to.
    void QueueTask(Threading::MessageTask* task);
    // Queues message (owned by the task from now on) for the client targetId, or for
    // every joined client except senderId when targetId is 0. A non-null action runs
    // once the message has been sent to a recipient.
    void QueueMessage(Message::BaseMessage* message, uint32_t targetId, uint32_t senderId,
                      PostAction::IPostAction* action = nullptr);
    // Frames message at once into client's send queue, behind the room's held frames and
    // ahead of everything sent to the client later, and deletes it. REQUIRES: the
    // client-collection monitor held.
    void SendNow(Client::RelayClient& client, Message::BaseMessage* message);
    // Frames message at once into the send queue of every joined client except
    // senderId admitted after the first admittedAfter admissions, and deletes it.
    // REQUIRES: the client-collection monitor held.
    void SendNowToRoom(Message::BaseMessage* message, uint32_t senderId,
                       uint64_t admittedAfter = 0);
    // Frames message for every joined client except senderId and holds the frame with
    // the room's (HoldForRoom); the caller keeps the message. REQUIRES: on the message
    // worker, the client-collection monitor not held.
    void RelayToRoom(Message::BaseMessage* message, uint32_t senderId);
    // Appends a copy of entry to the send queue of the client targetId, or, when targetId
    // is 0, of every joined client except senderId admitted after the first admittedAfter
    // admissions and among the first admittedBy; the room's held frames go first.
    // REQUIRES: the client-collection monitor held.
    void Distribute(const NetMessageModel& entry, uint32_t targetId, uint32_t senderId,
                    uint64_t admittedAfter = 0, uint64_t admittedBy = UINT64_MAX);
    // Holds entry for every joined client except senderId among the first admittedBy
    // admissions, to be appended to their send queues with the frames for the room that
    // follow it: when the batch is full, when senderId's next frame comes, when anything
    // else is sent, or at FlushRoom.
    // REQUIRES: on the message worker (which flushes before it sleeps), the
    // client-collection monitor held.
    void HoldForRoom(const NetMessageModel& entry, uint32_t senderId, uint64_t admittedBy);
    // Appends the room's held frames to their recipients' send queues; the message worker
    // calls it before it waits for tasks, after a task that held none and before a stop
    // mark. REQUIRES: the client-collection monitor not held.
    void FlushRoom();
    // How many frames have been held for the room so far: a task that leaves it as it was
    // held none. Read without the client-collection monitor.
    [[nodiscard]] uint64_t NumHeldForRoom() const { return mRoomFrames.NumAdded(); }
    // Deletes the photo and the preview of each removed item in mediaIds, which a save of
    // the catalogue that no longer lists them has written, and flushes their folder to the
    // disk; returns whether that flush succeeded. A file that cannot be deleted is passed
    // over. Their ids stay in use until Media.ForgetRemoved: the files stay named for
    // deletion until the caller has removed the list that names them.
    [[nodiscard]] bool DeleteRemovedFiles(const std::vector<uint32_t>& mediaIds);

    AudioModel Audio;                  // the voice format announced to joining clients
    ConfigurationModel Configuration;  // media settings
    ZelvoRelay::Server::RelayServer Server;
    RoomModel Room;         // the room's settings and its three accounts
    MessageModel Messages;  // the type registries and the task queue
    System::Threading::ThreadManager ClientWorkers;
    // The thread of ClientWorkers at index. REQUIRES: index < ClientWorkers.GetNumThread().
    Threading::ClientThreadWorker& ClientWorker(unsigned int index);
    // Whether the calling thread is one of ClientWorkers.
    [[nodiscard]] bool IsOnClientWorker();
    System::Threading::ThreadManager ServerWorkers;
    // The connected clients. Its monitor is the client-collection monitor.
    System::Threading::ThreadProperty<Collections::ClientCollection> Clients;
    System::Threading::ThreadManager MessageWorkers;
    // The thread of MessageWorkers.
    Threading::MessageThreadWorker& MessageWorker();
    // The photo catalogue, loaded from and saved to "media.xml"; guarded by its monitor.
    Collections::MediaCollection Media;
    // Uploads in progress; its monitor, also held while a leaving uploader's ended uploads
    // are told (Server.OnUploadLeft), comes after the client collection's and before the
    // catalogue's.
    Collections::MediaTransferCollection Uploads;
    // Downloads in progress, and those whose place is claimed while their file is opened
    // (no stream yet); its monitor comes after the client collection's and before the
    // catalogue's and the task queue's. No file is opened while it is held: every client's
    // requests and chunks wait on it.
    Collections::MediaTransferCollection Downloads;
    // Downloads waiting for one of their client's running ones to end; guarded by the
    // downloads monitor.
    Collections::DownloadQueue WaitingDownloads;
    // The places of running downloads that connections which have not joined hold, by
    // address; guarded by the downloads monitor.
    Collections::UnjoinedDownloads UnjoinedDownloads;
    // Holds the one PhotoThreadWorker, which makes the previews of complete uploads.
    System::Threading::ThreadManager PhotoWorkers;
    // The thread of PhotoWorkers.
    Threading::PhotoThreadWorker& PhotoWorker();
    // What uploaders sent after their last chunk, kept back until their photo's outcome
    // has been applied; the message worker's alone.
    Threading::UploaderHold HeldUploaders;
    // What is kept per address: the wrong room passwords it tried and what the notices
    // about its connections took, and whether its new connections are closed for them.
    // Its lock is taken last of all.
    Collections::AddressTable Addresses;

  private:
    // Frames for the room not yet in their recipients' send queues; guarded by the
    // client-collection monitor.
    RoomRelayBatch mRoomFrames;
};

}  // namespace ZelvoRelay::MVC::Model
