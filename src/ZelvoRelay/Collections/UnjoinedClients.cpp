#include "ZelvoRelay/Collections/UnjoinedClients.h"

#include <cassert>
#include <iterator>

namespace ZelvoRelay::Collections {

UnjoinedClients::Share UnjoinedClients::Add(Client::RelayClient* client,
                                            const System::Net::IPAddress& address) {
    const System::Net::IPAddressKey key(address);
    Address& held =
        mAddresses
            .try_emplace(
                key, Address{key, {}, mBuckets.end(), {}, std::make_shared<Client::QueueShare>()})
            .first->second;
    held.mClients.push_back(client);
    mPlaces.emplace(client, Place{&held, std::prev(held.mClients.end())});
    Rebucket(held);
    return held.mQueued;
}

void UnjoinedClients::Remove(const Client::RelayClient* client) {
    const auto place = mPlaces.find(client);
    if (place == mPlaces.end()) {
        return;
    }
    Address& held = *place->second.mAddress;
    held.mClients.erase(place->second.mEntry);
    mPlaces.erase(place);
    if (!held.mClients.empty()) {
        Rebucket(held);
        return;
    }
    const Buckets::iterator bucket = held.mBucket;
    bucket->mAddresses.erase(held.mInBucket);
    if (bucket->mAddresses.empty()) {
        mBuckets.erase(bucket);
    }
    const System::Net::IPAddressKey key = held.mKey;  // a copy: erasing destroys held
    mAddresses.erase(key);
}

void UnjoinedClients::Clear() {
    mAddresses.clear();
    mPlaces.clear();
    mBuckets.clear();
}

uint32_t UnjoinedClients::Count(const System::Net::IPAddress& address) const {
    const auto found = mAddresses.find(System::Net::IPAddressKey(address));
    return found == mAddresses.end() ? 0 : static_cast<uint32_t>(found->second.mClients.size());
}

Client::RelayClient* UnjoinedClients::Oldest() const {
    if (mBuckets.empty()) {
        return nullptr;
    }
    const Address* most = mBuckets.back().mAddresses.front();
    assert(!most->mClients.empty());
    return most->mClients.front();
}

const std::list<Client::RelayClient*>* UnjoinedClients::Of(
    const System::Net::IPAddress& address) const {
    const auto found = mAddresses.find(System::Net::IPAddressKey(address));
    return found == mAddresses.end() ? nullptr : &found->second.mClients;
}

void UnjoinedClients::Rebucket(Address& address) {
    const auto count = static_cast<uint32_t>(address.mClients.size());
    const Buckets::iterator from = address.mBucket;
    // Counts move by one, so the bucket of the new count, if any, is a neighbour.
    Buckets::iterator to;
    if (from == mBuckets.end()) {
        to = !mBuckets.empty() && mBuckets.front().mCount == count
                 ? mBuckets.begin()
                 : mBuckets.insert(mBuckets.begin(), Bucket{count, {}});
    } else if (count > from->mCount) {
        to = std::next(from);
        if (to == mBuckets.end() || to->mCount != count) {
            to = mBuckets.insert(to, Bucket{count, {}});
        }
    } else {
        to = from == mBuckets.begin() ? mBuckets.end() : std::prev(from);
        if (to == mBuckets.end() || to->mCount != count) {
            to = mBuckets.insert(from, Bucket{count, {}});
        }
    }
    if (from != mBuckets.end()) {
        from->mAddresses.erase(address.mInBucket);
        if (from->mAddresses.empty()) {
            mBuckets.erase(from);
        }
    }
    address.mBucket = to;
    address.mInBucket = to->mAddresses.insert(to->mAddresses.end(), &address);
}

}  // namespace ZelvoRelay::Collections
