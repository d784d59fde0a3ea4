#pragma once

#include "Admin/Log/AddressLogLimiter.h"
#include "Admin/Log/DescriptorReserveLog.h"
#include "Admin/Log/PrintLogMessage.h"
#include "Admin/NetworkModel.h"
#include "System/Collections/CollectionChangedAction.h"
#include "System/Collections/Hash.h"
#include "System/EventManager.h"
#include "System/Net/IPAddress.h"
#include "System/Property.h"
#include "System/String.h"
#include "System/Threading/Monitor.h"
#include "System/Timer.h"
#include "ZelvoRelay/Server/RelayServer.h"
#include "ZelvoRelay/Threading/PhotoFailure.h"

#include <cstdint>
#include <deque>
#include <new>
#include <unordered_map>
#include <utility>

namespace System::Net {
class Client;
class Server;
}  // namespace System::Net
namespace ZelvoRelay::Client {
class RelayClient;
}
namespace ZelvoRelay::Message {
class BaseMessage;
}

// The console log and the server's periodic jobs. It watches the relay server, the
// policy server, the relay clients, the switchboard session and the configuration, logs
// what happens through PrintLogMessage (text that clients control escaped; the lines
// about the connections of one address bounded by AddressLogLimiter), keeps the
// traffic figures of NetworkModel and the uptime of AdminModel current, and runs three
// timers on the main loop: the 1-second traffic tick (while the relay server listens),
// the 60-second switchboard update (while logged in and the room is public) and the
// 300-second save.
//
// Created by start-up before the servers host, after the relay model and AdminModel
// exist; owned by AdminModel and destroyed on the main thread. Its handlers run on the
// threads that raise the events: the main thread, the servers' accept threads, the
// client worker and the switchboard's connection threads.
class RelayObserver {
  public:
    // Sets up the three timers (starting only the save timer), the message names, then
    // subscribes to everything it watches.
    RelayObserver();
    // Stops telling the descriptor reserve's closings and refusals to the log.
    ~RelayObserver();
    RelayObserver(const RelayObserver&) = delete;
    RelayObserver& operator=(const RelayObserver&) = delete;

    // Timer ticks (main thread; OnBandwidthTimer also on the relay's stop).
    void OnBandwidthTimer();
    void OnSwitchboardTimer();
    void OnSaveTimer();

    // Relay server events.
    void OnRelayHost(System::Net::Server* server);
    void OnRelayHostFailed(System::Net::Server* server, const System::String& error);
    // After the relay's own handler has stopped its workers and closed its connections:
    // tells the leaving of each connection still open and what the log left out.
    void OnRelayHostStopped(System::Net::Server* server);
    void OnRelayHostClientConnect(System::Net::Server* server, System::Net::Client& client);
    // The relay is stopping and makes count photos of complete uploads first.
    void OnRelayMakingPhotos(uint32_t count);
    // The relay's stop was asked again and discarded count pieces of work.
    void OnRelayDiscarded(ZelvoRelay::Server::RelayServer::StopWork work, uint32_t count);
    // New connections from address (network order) are closed at once for a while, as
    // it tried too many wrong passwords.
    void OnRelayAddressBlocked(const System::Net::IPAddress& address);
    // An upload of the client ended without an item (message worker).
    void OnRelayPhotoFailed(uint32_t clientId, uint32_t mediaId,
                            ZelvoRelay::Threading::PhotoFailure failure);
    // An upload ended incomplete as its uploader, named uploader, left: the bytes that came
    // of the size announced (client worker).
    void OnRelayUploadLeft(const System::String& uploader, uint32_t clientId, uint32_t mediaId,
                           uint64_t received, uint64_t announced);
    // An upload request of the client was answered, accepted as the upload mediaId or not
    // (message worker).
    void OnRelayUploadAnswered(uint32_t clientId, uint32_t mediaId, bool accepted);
    // The client's accepted upload mediaId ended, an item or not (message worker).
    void OnRelayUploadEnded(uint32_t clientId, uint32_t mediaId, bool item);

    // Policy server events.
    void OnPolicyHost(System::Net::Server* server);
    void OnPolicyHostFailed(System::Net::Server* server, const System::String& error);
    void OnPolicyHostStopped(System::Net::Server* server);
    void OnPolicyHostClientConnect(System::Net::Server* server, System::Net::Client& client);

    // A client joined or left the client collection (raised under its Monitor).
    void OnRelayClientListUpdated(void* sender,
                                  System::Collections::CollectionChangedAction::Action,
                                  ZelvoRelay::Client::RelayClient* added,
                                  ZelvoRelay::Client::RelayClient* removed, int index);

    // Switchboard session and configuration.
    void OnSwitchboardStateChanged(const System::Property<NetworkModel::ConnectionState>& state);
    void OnSwitchboardLoginError(const System::Property<System::String>& error);
    void OnSwitchboardUpdateError(const System::Property<System::String>& error);
    void OnConfigPropertyChanged(void* sender, const System::String& key);

    // One client's traffic and messages (client worker).
    void OnRelayClientReceivedMessage(System::Net::Client* client, char* data, int count);
    void OnRelayClientSentMessage(System::Net::Client* client, char* data, int length, int sent);
    void OnRelayClientNewMessage(ZelvoRelay::Client::RelayClient* client,
                                 ZelvoRelay::Message::BaseMessage* message);
    // A user's property changed (under the client-collection Monitor): keeps the copy
    // of its name and of its joining that the message log reads.
    void OnRelayUserChanged(void* user, const System::String& property);

    // The number of clients in the client collection, read under its Monitor.
    static uint32_t ClientCount();

  private:
    // Handler run so that a failed allocation in it costs the line it was making, dropped
    // and counted as the console counts those it drops, never the thread that raised the
    // event: uncaught, a connection's line ended the process from the accept thread.
    template <auto Handler, class... B>
    void DropLineOnFailure(B... arguments) {
        try {
            (this->*Handler)(arguments...);
        } catch (const std::bad_alloc&) {
            CountDroppedLine();
        }
    }
    // DropLineOnFailure for Handler, as a handler to subscribe: kHandler.
    template <auto Handler>
    struct LineHandler;
    template <class... B, void (RelayObserver::*Handler)(B...)>
    struct LineHandler<Handler> {
        static constexpr void (RelayObserver::*kHandler)(B...) =
            &RelayObserver::DropLineOnFailure<Handler, B...>;
    };

    // What the message log knows of a client.
    struct KnownClient {
        System::String mName;  // the user's name as last set
        bool mJoined{false};   // whether it has joined the room
        // Whether its first join request came: only that one can admit it, as the relay
        // refuses every later one.
        bool mJoinAsked{false};
        // That request's line, held while the bucket of those not joined had no room for
        // it: written if the request admits the client, counted as left out otherwise.
        System::String mHeldJoinLine;
        // The lines of its upload requests not yet answered, in the order they came (the
        // order they are answered in): empty when written already, else held while its
        // address had no line left, to be held on while the upload runs if it is accepted
        // and counted as left out otherwise. As long as the requests the relay holds for it.
        std::deque<System::String> mUploadLines;
        // The media id and the held line of each of its accepted uploads still running whose
        // line is held: written if the upload becomes an item, counted as left out if it
        // ends otherwise. No longer than the uploads it may have at once.
        std::deque<std::pair<uint32_t, System::String>> mHeldUploads;
        System::Net::IPAddress mAddress;  // its address, network order
    };

    // Whether a line of kind about the connection client is to be written, or left out
    // as its address has had its share of the log.
    bool Logs(const System::Net::Client& client, AddressLogLimiter::Bucket bucket,
              AddressLogLimiter::Kind kind);
    // The line about message, of type named typeName, from client clientId named name.
    static System::String MessageLine(const System::String& name, uint32_t clientId,
                                      ZelvoRelay::Message::BaseMessage& message,
                                      const System::String& typeName);
    // Tells that client left and forgets it, unless told already. REQUIRES: mLock held.
    void TellLeaving(ZelvoRelay::Client::RelayClient& client);
    // The client's name as the message log knows it, escaped for the log.
    System::String LoggedName(uint32_t clientId);

    // Owns every delegate the observer subscribes. Changed after construction only by
    // the client-list handler, under mLock.
    System::EventManager mEventManager;
    // Held while the client-list handler runs and around mClients; taken after the
    // client-collection Monitor, and nothing is entered while it is held but the lock of
    // mAddressLog and the console's output.
    System::Threading::Monitor mLock;
    // Client id to what the message log knows of it, from its coming until its leaving is
    // told; guarded by mLock. A table that grows with the room: one of fixed size would
    // make each connection's coming and going search a share of every other.
    std::unordered_map<uint32_t, KnownClient> mClients;
    System::Timer mBandwidthTimer;
    System::Timer mSwitchboardTimer;
    System::Timer mSaveTimer;
    // Guards the traffic tick, which runs on the main thread and on the relay's accept
    // thread when it stops; nothing else is taken while it is held but the properties'.
    System::Threading::Monitor mTrafficLock;
    uint64_t mLastBytesSent{0};      // the sent total at the last traffic tick
    uint64_t mLastBytesReceived{0};  // the received total at the last traffic tick
    // Message type id to name, for the message log; written only by the constructor.
    System::Collections::Hash<uint32_t, System::String> mMessageNames;
    // Logs what is closed and refused to keep the descriptor reserve; told by
    // System::IO::DescriptorRoom from the constructor to the destructor.
    DescriptorReserveLog mReserveLog;
    // Bounds the lines about the connections of each address.
    AddressLogLimiter mAddressLog;
};
