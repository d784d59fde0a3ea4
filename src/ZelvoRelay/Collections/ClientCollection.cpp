#include "ZelvoRelay/Collections/ClientCollection.h"

#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/Collections/ClientFindComparer.h"

namespace ZelvoRelay::Collections {

Client::RelayClient* ClientCollection::FindClient(uint32_t clientId) const {
    return Find(ClientFindComparer(clientId));
}

}  // namespace ZelvoRelay::Collections
