#include "ZelvoRelay/Collections/AddressTable.h"

#include "System/Threading/MonitorLock.h"
#include "ZelvoRelay/Message/BaseMessage.h"

namespace ZelvoRelay::Collections {

namespace {

// A frame's length prefix, which a notice costs with its message.
constexpr uint32_t kFramePrefix = 4;

}  // namespace

double AddressTable::Seconds(Clock::time_point now) {
    return std::chrono::duration<double>(now.time_since_epoch()).count();
}

bool AddressTable::CountWrongPassword(const System::Net::IPAddress& address,
                                      Clock::time_point now) {
    const System::Net::IPAddressKey key(address);
    System::Threading::MonitorLock lock(mLock);
    Record& record = mRecords.Seen(key);
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
    return begins;
}

void AddressTable::ChargeNotice(const System::Net::IPAddress& address,
                                const Message::BaseMessage& notice, Clock::time_point now) {
    const System::Net::IPAddressKey key(address);
    const auto frameBytes = static_cast<uint32_t>(notice.GetMsgSize()) + kFramePrefix;
    System::Threading::MonitorLock lock(mLock);
    mRecords.Seen(key).mNotices.ChargeAt(frameBytes, Seconds(now));
}

bool AddressTable::IsRefused(const System::Net::IPAddress& address, Clock::time_point now) {
    const System::Net::IPAddressKey key(address);
    System::Threading::MonitorLock lock(mLock);
    Record* record = mRecords.Touch(key);
    const bool refused = record != nullptr &&
                         (now < record->mBlockedUntil || !record->mNotices.Allows(Seconds(now)));
    return refused;
}

}  // namespace ZelvoRelay::Collections
