#include "ZelvoRelay/Collections/UnjoinedClients.h"

#include <cassert>
#include <iterator>

namespace ZelvoRelay::Collections {

UnjoinedClients::Share UnjoinedClients::Add(Client::RelayClient* client,
                                            const System::Net::IPAddress& address) {
    // Everything the client takes here is made before anything changes, so that a failed
    // allocation leaves the index as it was: a client left in it half-added would stay
    // listed once deleted, and be handed out as the oldest to close.
    const System::Net::IPAddressKey key(address);
    auto held = mAddresses.find(key);
    Addresses newAddress;
    std::list<Address*> inBucket;
    if (held == mAddresses.end()) {
        newAddress.try_emplace(
            key, Address{key, {}, mBuckets.end(), {}, std::make_shared<Client::QueueShare>()});
        inBucket.push_back(nullptr);
    }
    std::list<Client::RelayClient*> entry{client};
    Places newPlace;
    newPlace.try_emplace(client);
    // One bucket for this change and one for a Remove that undoes it.
    while (mSpare.size() < kSpareBuckets) {
        mSpare.emplace_back();
    }
    mAddresses.reserve(mAddresses.size() + 1);
    mPlaces.reserve(mPlaces.size() + 1);

    // Nothing below allocates: nodes move between containers and the tables have room.
    if (held == mAddresses.end()) {
        held = mAddresses.insert(newAddress.extract(newAddress.begin())).position;
    }
    Address& to = held->second;
    to.mClients.splice(to.mClients.end(), entry);
    auto place = newPlace.extract(newPlace.begin());
    place.mapped() = Place{&to, std::prev(to.mClients.end())};
    mPlaces.insert(std::move(place));
    Rebucket(to, inBucket);
    return to.mQueued;
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
        std::list<Address*> inBucket;
        Rebucket(held, inBucket);
        return;
    }
    const Buckets::iterator bucket = held.mBucket;
    bucket->mAddresses.erase(held.mInBucket);
    if (bucket->mAddresses.empty()) {
        DropBucket(bucket);
    }
    const System::Net::IPAddressKey key = held.mKey;  // a copy: erasing destroys held
    mAddresses.erase(key);
}

void UnjoinedClients::Clear() {
    mAddresses.clear();
    mSpare.clear();
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

void UnjoinedClients::Rebucket(Address& address, std::list<Address*>& inBucket) {
    const auto count = static_cast<uint32_t>(address.mClients.size());
    const Buckets::iterator from = address.mBucket;
    // Counts move by one, so the bucket of the new count, if any, is a neighbour.
    Buckets::iterator to;
    if (from == mBuckets.end()) {
        to = !mBuckets.empty() && mBuckets.front().mCount == count
                 ? mBuckets.begin()
                 : NewBucket(mBuckets.begin(), count);
    } else if (count > from->mCount) {
        to = std::next(from);
        if (to == mBuckets.end() || to->mCount != count) {
            to = NewBucket(to, count);
        }
    } else {
        to = from == mBuckets.begin() ? mBuckets.end() : std::prev(from);
        if (to == mBuckets.end() || to->mCount != count) {
            to = NewBucket(from, count);
        }
    }
    if (from != mBuckets.end()) {
        to->mAddresses.splice(to->mAddresses.end(), from->mAddresses, address.mInBucket);
        if (from->mAddresses.empty()) {
            DropBucket(from);
        }
    } else {
        if (inBucket.empty()) {
            inBucket.push_back(nullptr);
        }
        inBucket.front() = &address;
        to->mAddresses.splice(to->mAddresses.end(), inBucket, inBucket.begin());
    }
    address.mBucket = to;
    address.mInBucket = std::prev(to->mAddresses.end());
}

UnjoinedClients::Buckets::iterator UnjoinedClients::NewBucket(Buckets::iterator before,
                                                              uint32_t count) {
    if (mSpare.empty()) {
        mSpare.emplace_back();
    }
    mBuckets.splice(before, mSpare, mSpare.begin());
    const Buckets::iterator made = std::prev(before);
    made->mCount = count;
    return made;
}

void UnjoinedClients::DropBucket(Buckets::iterator bucket) {
    if (mSpare.size() < kSpareBuckets) {
        mSpare.splice(mSpare.end(), mBuckets, bucket);
    } else {
        mBuckets.erase(bucket);
    }
}

}  // namespace ZelvoRelay::Collections
