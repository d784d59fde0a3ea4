#include "ZelvoRelay/Server/WrongPasswordLimiter.h"

#include <functional>

namespace ZelvoRelay::Server {

size_t WrongPasswordLimiter::KeyHash::operator()(const Key& key) const {
    const std::hash<uint64_t> hash;
    return hash(key.mHigh) ^ (hash(key.mLow) * 31) ^ static_cast<size_t>(key.mFamily);
}

WrongPasswordLimiter::Key WrongPasswordLimiter::KeyOf(const System::Net::IPAddress& address) {
    const unsigned char* bytes = address.GetAddressBytes();
    Key key;
    for (int i = 0; i < 8; ++i) {
        key.mHigh = key.mHigh << 8 | bytes[i];
        key.mLow = key.mLow << 8 | bytes[8 + i];
    }
    key.mFamily = address.GetAddressFamily();
    return key;
}

WrongPasswordLimiter::Record* WrongPasswordLimiter::Touch(const Key& key) {
    const auto found = mIndex.find(key);
    if (found == mIndex.end()) {
        return nullptr;
    }
    mRecords.splice(mRecords.end(), mRecords, found->second);
    return &*found->second;
}

bool WrongPasswordLimiter::CountWrongPassword(const System::Net::IPAddress& address,
                                              Clock::time_point now) {
    const Key key = KeyOf(address);
    mLock.Enter();
    Record* record = Touch(key);
    if (record == nullptr) {
        if (mRecords.size() == kMaxAddresses) {
            mIndex.erase(mRecords.front().mKey);
            mRecords.pop_front();
        }
        mRecords.emplace_back();
        record = &mRecords.back();
        record->mKey = key;
        mIndex.emplace(key, std::prev(mRecords.end()));
    }
    if (record->mCount < kMaxWrongPasswords) {
        record->mRefusals[(record->mOldest + record->mCount) % kMaxWrongPasswords] = now;
        ++record->mCount;
    } else {
        record->mRefusals[record->mOldest] = now;
        record->mOldest = (record->mOldest + 1) % kMaxWrongPasswords;
    }
    bool begins = false;
    if (record->mCount == kMaxWrongPasswords &&
        now - record->mRefusals[record->mOldest] <= kWindow) {
        begins = now >= record->mBlockedUntil;
        record->mBlockedUntil = now + kBlockTime;
    }
    mLock.Exit();
    return begins;
}

bool WrongPasswordLimiter::IsBlocked(const System::Net::IPAddress& address, Clock::time_point now) {
    const Key key = KeyOf(address);
    mLock.Enter();
    const Record* record = Touch(key);
    const bool blocked = record != nullptr && now < record->mBlockedUntil;
    mLock.Exit();
    return blocked;
}

}  // namespace ZelvoRelay::Server
