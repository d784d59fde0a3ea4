#include "ZelvoRelay/MVC/Model/RoomRelayBatch.h"

#include <algorithm>
#include <utility>

#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/Collections/ClientCollection.h"

namespace ZelvoRelay::MVC::Model {

RoomRelayBatch::RoomRelayBatch() {
    // Never grown while a flush is under way.
    mHeld.reserve(kMaxFrames);
    mCopies.reserve(kMaxFrames);
}

void RoomRelayBatch::Add(const NetMessageModel& entry, uint32_t senderId, uint64_t admittedAfter,
                         uint64_t admittedBy, Collections::ClientCollection& clients) {
    // The message worker serves each connection once in a pass of its turns: held past a
    // second frame of one sender, a frame would wait behind more than one pass (with two
    // members flooding, behind 31 frames).
    if (std::any_of(mHeld.begin(), mHeld.end(),
                    [senderId](const Held& held) { return held.mSenderId == senderId; })) {
        Flush(clients);
    }
    // Those admitted while it is held joined after it was sent: it is not theirs.
    mHeld.push_back(
        {entry, senderId, admittedAfter, std::min(admittedBy, clients.NumAdmissions())});
    mCount.store(mHeld.size(), std::memory_order_relaxed);
    // Only ever changed under the monitor: no read-modify-write needed.
    mAdded.store(mAdded.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    if (mHeld.size() >= kMaxFrames) {
        Flush(clients);
    }
}

void RoomRelayBatch::Flush(Collections::ClientCollection& clients) {
    if (mHeld.empty()) {
        return;
    }
    struct Ending {
        RoomRelayBatch& mBatch;
        ~Ending() { mBatch.Clear(); }
    } ending{*this};
    const auto isRecipient = [](Client::RelayClient& client, const Held& held) {
        const uint64_t admission = client.GetAdmission();
        return client.GetClientId() != held.mSenderId && admission > held.mAdmittedAfter &&
               admission <= held.mAdmittedBy;
    };
    for (Held& held : mHeld) {
        for (uint32_t i = 0; i < clients.NumJoined(); ++i) {
            held.mUncopied += isRecipient(clients.JoinedAt(i), held) ? 1 : 0;
        }
        held.mEntry.ReserveCopies(held.mUncopied);
    }
    for (uint32_t i = 0; i < clients.NumJoined(); ++i) {
        Client::RelayClient& client = clients.JoinedAt(i);
        for (Held& held : mHeld) {
            if (isRecipient(client, held)) {
                NetMessageModel copy = held.mEntry.ReservedCopy();
                --held.mUncopied;
                mCopies.push_back(std::move(copy));
            }
        }
        if (!mCopies.empty()) {
            client.Enqueue(mCopies);
        }
    }
}

void RoomRelayBatch::Clear() noexcept {
    mCopies.clear();
    for (Held& held : mHeld) {
        for (; held.mUncopied > 0; --held.mUncopied) {
            static_cast<void>(held.mEntry.Frame.TakeReserved());
        }
    }
    mHeld.clear();
    mCount.store(0, std::memory_order_relaxed);
}

}  // namespace ZelvoRelay::MVC::Model
