#include "ZelvoRelay/Collections/ClientCollection.h"

#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/Collections/ClientFindComparer.h"

namespace ZelvoRelay::Collections {

Client::RelayClient* ClientCollection::FindClient(uint32_t clientId) const {
    return Find(ClientFindComparer(clientId));
}

void ClientCollection::Add(const Client::RelayClient& client) {
    // The collection holds the client itself, not a copy.
    const_cast<Client::RelayClient&>(client).SetOpenedAt(mAdmissions);
    BCollection::Add(client);
}

void ClientCollection::Join(Client::RelayClient& client) {
    client.GetUserModel().IsRegistered = true;
    client.SetAdmission(++mAdmissions);
    mJoined.Add(client);
}

void ClientCollection::RemoveAt(uint32_t index) {
    if (index < Count() && (*this)[index].GetUserModel().IsRegistered.mValue) {
        mJoined.Remove((*this)[index]);
    }
    BCollection::RemoveAt(index);
}

void ClientCollection::Clear() {
    mJoined.Clear();
    BCollection::Clear();
}

}  // namespace ZelvoRelay::Collections
