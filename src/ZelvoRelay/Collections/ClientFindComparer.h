#pragma once

#include <cstdint>

#include "System/Collections/ICompare.h"

namespace ZelvoRelay::Client {
class RelayClient;
}

namespace ZelvoRelay::Collections {

// Places a client against the client id sought, for a bisection of the client
// collection, which is sorted by ascending id.
class ClientFindComparer : public System::Collections::ICompare<Client::RelayClient*> {
  public:
    explicit ClientFindComparer(uint32_t clientId) : mClientId(clientId) {}

    // Negative when the client's id is below the one sought, 0 when equal, positive
    // when above, comparing the ids as unsigned numbers. A signed difference would
    // send the bisection the wrong way once ids 2^31 apart are present together.
    int Compare(Client::RelayClient* client) const override;

  private:
    uint32_t mClientId;  // the id sought
};

}  // namespace ZelvoRelay::Collections
