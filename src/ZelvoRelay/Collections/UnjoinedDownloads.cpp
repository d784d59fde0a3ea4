#include "ZelvoRelay/Collections/UnjoinedDownloads.h"

namespace ZelvoRelay::Collections {

bool UnjoinedDownloads::Claim(uint32_t clientId, const System::Net::IPAddress& address) {
    const System::Net::IPAddressKey key(address);
    Address& held = mAddresses.try_emplace(key).first->second;
    Connection& client =
        mConnections.try_emplace(clientId, Connection{key, 0, false, {}}).first->second;
    // Never ahead of a connection of its address that waits already.
    if (client.mRunning < kMaxPerConnection && held.mRunning < kMaxPerAddress &&
        held.mWaiting.empty()) {
        ++client.mRunning;
        ++held.mRunning;
        return true;
    }
    if (client.mRunning == 0 && !client.mWaits) {
        client.mEntry = held.mWaiting.insert(held.mWaiting.end(), clientId);
        client.mWaits = true;
    }
    return false;
}

bool UnjoinedDownloads::Knows(uint32_t clientId) const {
    return mConnections.count(clientId) > 0;
}

uint32_t UnjoinedDownloads::End(uint32_t clientId, bool more) {
    const auto client = mConnections.find(clientId);
    if (client == mConnections.end() || client->second.mRunning == 0) {
        return 0;
    }
    const System::Net::IPAddressKey key = client->second.mAddress;
    Address& held = mAddresses.find(key)->second;
    --client->second.mRunning;
    --held.mRunning;
    if (more && !client->second.mWaits) {
        client->second.mEntry = held.mWaiting.insert(held.mWaiting.end(), clientId);
        client->second.mWaits = true;
    }
    Drop(client);
    return PassOn(key);
}

uint32_t UnjoinedDownloads::Forget(uint32_t clientId) {
    const auto client = mConnections.find(clientId);
    if (client == mConnections.end()) {
        return 0;
    }
    const System::Net::IPAddressKey key = client->second.mAddress;
    Address& held = mAddresses.find(key)->second;
    held.mRunning -= client->second.mRunning;
    if (client->second.mWaits) {
        held.mWaiting.erase(client->second.mEntry);
    }
    mConnections.erase(client);
    return PassOn(key);
}

void UnjoinedDownloads::Clear() {
    mAddresses.clear();
    mConnections.clear();
}

uint32_t UnjoinedDownloads::PassOn(const System::Net::IPAddressKey& key) {
    const auto address = mAddresses.find(key);
    Address& held = address->second;
    uint32_t next = 0;
    if (held.mRunning < kMaxPerAddress && !held.mWaiting.empty()) {
        next = held.mWaiting.front();
        held.mWaiting.pop_front();
        Connection& client = mConnections.find(next)->second;
        client.mWaits = false;
        ++client.mRunning;
        ++held.mRunning;
    }
    if (held.mRunning == 0 && held.mWaiting.empty()) {
        mAddresses.erase(address);
    }
    return next;
}

void UnjoinedDownloads::Drop(std::unordered_map<uint32_t, Connection>::iterator client) {
    if (client->second.mRunning == 0 && !client->second.mWaits) {
        mConnections.erase(client);
    }
}

}  // namespace ZelvoRelay::Collections
