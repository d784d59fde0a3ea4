#include "ZelvoRelay/Collections/ClientCollection.h"

#include <new>
#include <utility>

#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/Collections/ClientFindComparer.h"

namespace ZelvoRelay::Collections {

Client::RelayClient* ClientCollection::FindClient(uint32_t clientId) const {
    return Find(ClientFindComparer(clientId));
}

void ClientCollection::Add(const Client::RelayClient& client) {
    // The collection holds the client itself, not a copy.
    auto* held = const_cast<Client::RelayClient*>(&client);
    UnjoinedClients::Share share = mUnjoined.Add(held, client.GetTcpEndPoint().GetAddress());
    // Added to neither when memory runs out: a client left among the unjoined alone would
    // stay there once its maker deleted it. Taking it off again needs no memory.
    try {
        BCollection::Add(client);
    } catch (const std::bad_alloc&) {
        mUnjoined.Remove(held);
        throw;
    }
    held->SetOpenedAt(mAdmissions);
    held->ShareQueue(std::move(share));
}

void ClientCollection::Join(Client::RelayClient& client) {
    client.GetUserModel().IsRegistered = true;
    client.SetAdmission(++mAdmissions);
    mJoined.Add(client);
    mUnjoined.Remove(&client);
    client.ShareQueue(nullptr);
}

Client::RelayClient* ClientCollection::TakeOldestUnjoined() {
    while (Client::RelayClient* oldest = mUnjoined.Oldest()) {
        mUnjoined.Remove(oldest);
        // One already closed would free no descriptor when closed again.
        if (oldest->IsConnected()) {
            return oldest;
        }
    }
    return nullptr;
}

void ClientCollection::CloseMostQueuedUnjoined(const System::Net::IPAddress& address) {
    const std::list<Client::RelayClient*>* held = mUnjoined.Of(address);
    if (held == nullptr) {
        return;
    }
    Client::RelayClient* most = nullptr;
    uint64_t mostBytes = 0;
    for (Client::RelayClient* client : *held) {
        const uint64_t bytes = client->GetSharedBytes();
        if (bytes > mostBytes) {
            most = client;
            mostBytes = bytes;
        }
    }
    if (most != nullptr) {
        most->CloseAsSlowReader();
    }
}

void ClientCollection::RemoveAt(uint32_t index) {
    if (index < Count()) {
        Client::RelayClient& client = (*this)[index];
        if (client.GetUserModel().IsRegistered.mValue) {
            mJoined.Remove(client);
        }
        mUnjoined.Remove(&client);
    }
    BCollection::RemoveAt(index);
}

void ClientCollection::Clear() {
    mJoined.Clear();
    mUnjoined.Clear();
    BCollection::Clear();
}

}  // namespace ZelvoRelay::Collections
