#include "ZelvoRelay/Collections/AddressTable.h"

#include "ZelvoRelay/Message/BaseMessage.h"

#include <functional>

namespace ZelvoRelay::Collections {

namespace {

// A frame's length prefix, which a notice costs with its message.
constexpr uint32_t kFramePrefix = 4;

}  // namespace

size_t AddressTable::KeyHash::operator()(const Key& key) const {
    const std::hash<uint64_t> hash;
    return hash(key.mHigh) ^ (hash(key.mLow) * 31) ^ static_cast<size_t>(key.mFamily);
}

AddressTable::Key AddressTable::KeyOf(const System::Net::IPAddress& address) {
    const unsigned char* bytes = address.GetAddressBytes();
    Key key;
    for (int i = 0; i < 8; ++i) {
        key.mHigh = key.mHigh << 8 | bytes[i];
        key.mLow = key.mLow << 8 | bytes[8 + i];
    }
    key.mFamily = address.GetAddressFamily();
    return key;
}

double AddressTable::Seconds(Clock::time_point now) {
    return std::chrono::duration<double>(now.time_since_epoch()).count();
}

AddressTable::Record* AddressTable::Touch(const Key& key) {
    const auto found = mIndex.find(key);
    if (found == mIndex.end()) {
        return nullptr;
    }
    mRecords.splice(mRecords.end(), mRecords, found->second);
    return &*found->second;
}

AddressTable::Record& AddressTable::Seen(const Key& key) {
    if (Record* record = Touch(key)) {
        return *record;
    }
    if (mRecords.size() == kMaxAddresses) {
        mIndex.erase(mRecords.front().mKey);
        mRecords.pop_front();
    }
    mRecords.emplace_back();
    mRecords.back().mKey = key;
    mIndex.emplace(key, std::prev(mRecords.end()));
    return mRecords.back();
}

bool AddressTable::CountWrongPassword(const System::Net::IPAddress& address,
                                      Clock::time_point now) {
    const Key key = KeyOf(address);
    mLock.Enter();
    Record& record = Seen(key);
    if (record.mCount < kMaxWrongPasswords) {
        record.mRefusals[(record.mOldest + record.mCount) % kMaxWrongPasswords] = now;
        ++record.mCount;
    } else {
        record.mRefusals[record.mOldest] = now;
        record.mOldest = (record.mOldest + 1) % kMaxWrongPasswords;
    }
    bool begins = false;
    if (record.mCount == kMaxWrongPasswords && now - record.mRefusals[record.mOldest] <= kWindow) {
        begins = now >= record.mBlockedUntil;
        record.mBlockedUntil = now + kBlockTime;
    }
    mLock.Exit();
    return begins;
}

void AddressTable::ChargeNotice(const System::Net::IPAddress& address,
                                const Message::BaseMessage& notice, Clock::time_point now) {
    const Key key = KeyOf(address);
    const auto frameBytes = static_cast<uint32_t>(notice.GetMsgSize()) + kFramePrefix;
    mLock.Enter();
    Seen(key).mNotices.ChargeAt(frameBytes, Seconds(now));
    mLock.Exit();
}

bool AddressTable::IsRefused(const System::Net::IPAddress& address, Clock::time_point now) {
    const Key key = KeyOf(address);
    mLock.Enter();
    Record* record = Touch(key);
    const bool refused = record != nullptr &&
                         (now < record->mBlockedUntil || !record->mNotices.Allows(Seconds(now)));
    mLock.Exit();
    return refused;
}

}  // namespace ZelvoRelay::Collections
