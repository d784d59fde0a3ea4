#include "ZelvoRelay/Collections/ClientFindComparer.h"

#include "ZelvoRelay/Client/RelayClient.h"

namespace ZelvoRelay::Collections {

int ClientFindComparer::Compare(Client::RelayClient* client) const {
    const uint32_t id = client->GetClientId();
    return id < mClientId ? -1 : id > mClientId ? 1 : 0;
}

}  // namespace ZelvoRelay::Collections
