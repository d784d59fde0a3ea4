#include "ZelvoRelay/MVC/Model/RoomRelayBatch.h"

#include <algorithm>

#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/Collections/ClientCollection.h"

namespace ZelvoRelay::MVC::Model {

void RoomRelayBatch::Add(const NetMessageModel& entry, uint32_t senderId, uint64_t admittedAfter,
                         uint64_t admittedBy, Collections::ClientCollection& clients) {
    // Those admitted while it is held joined after it was sent: it is not theirs.
    mHeld.push_back(
        {entry, senderId, admittedAfter, std::min(admittedBy, clients.NumAdmissions())});
    mCount.store(mHeld.size(), std::memory_order_relaxed);
    if (mHeld.size() >= kMaxFrames) {
        Flush(clients);
    }
}

void RoomRelayBatch::Flush(Collections::ClientCollection& clients) {
    if (mHeld.empty()) {
        return;
    }
    const auto isRecipient = [](Client::RelayClient& client, const Held& held) {
        const uint64_t admission = client.GetAdmission();
        return client.GetClientId() != held.mSenderId && admission > held.mAdmittedAfter &&
               admission <= held.mAdmittedBy;
    };
    for (const Held& held : mHeld) {
        uint32_t recipients = 0;
        for (uint32_t i = 0; i < clients.NumJoined(); ++i) {
            recipients += isRecipient(clients.JoinedAt(i), held) ? 1 : 0;
        }
        held.mEntry.ReserveCopies(recipients);
    }
    for (uint32_t i = 0; i < clients.NumJoined(); ++i) {
        Client::RelayClient& client = clients.JoinedAt(i);
        for (const Held& held : mHeld) {
            if (isRecipient(client, held)) {
                mCopies.push_back(held.mEntry.ReservedCopy());
            }
        }
        if (!mCopies.empty()) {
            client.Enqueue(mCopies);
        }
    }
    mHeld.clear();
    mCount.store(0, std::memory_order_relaxed);
}

}  // namespace ZelvoRelay::MVC::Model
