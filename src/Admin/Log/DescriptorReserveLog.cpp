#include "Admin/Log/DescriptorReserveLog.h"

#include "Admin/AdminModel.h"
#include "Admin/Log/PrintLogMessage.h"
#include "System/IO/DescriptorLimit.h"
#include "System/String.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

using System::IO::DescriptorLimit;
using System::IO::DescriptorRoom;
using ZelvoRelay::MVC::Model::ZelvoRelayModel;

void DescriptorReserveLog::WarnOfFewConnections() {
    const uint32_t maxClients = ZelvoRelayModel::Instance()->Room.MaxClients;
    uint64_t spare = DescriptorLimit::Spare();
    // A listening server's accept holds a number, shown nowhere, while it waits; the relay
    // server's becomes its next connection's, the policy server's is lost to the relay.
    if (AdminModel::Instance()->mPolicyServer.IsHosting() && spare > 0) {
        --spare;
    }
    const uint64_t room = spare / kDescriptorsPerConnection;
    if (room >= maxClients) {
        return;
    }
    PrintLogMessage(System::String::Parse(
        "Open file limit %llu leaves room for %llu connections, fewer than RoomMaxClients "
        "(%u): each takes %llu descriptors and %llu are kept for saving\n",
        static_cast<unsigned long long>(DescriptorLimit::Soft()),
        static_cast<unsigned long long>(room), maxClients,
        static_cast<unsigned long long>(kDescriptorsPerConnection),
        static_cast<unsigned long long>(DescriptorLimit::kReserve)));
}

bool DescriptorReserveLog::Counts::Empty() const {
    for (size_t use = 0; use < mClosed.size(); ++use) {
        if (mClosed[use] != 0 || mRefused[use] != 0) {
            return false;
        }
    }
    return true;
}

void DescriptorReserveLog::OnDescriptorRoom(Use use, bool closed) {
    mLock.Enter();
    ++(closed ? mSinceLine.mClosed : mSinceLine.mRefused)[static_cast<size_t>(use)];
    const Clock::time_point now = Clock::now();
    const Counts counts = TakeForLine(IsDue(now), now);
    mLock.Exit();
    Report(counts);
}

void DescriptorReserveLog::ReportDue() {
    mLock.Enter();
    // Without it, what came after a line would wait for the next closing or the stop.
    const Clock::time_point now = Clock::now();
    const Counts counts = TakeForLine(IsDue(now), now);
    mLock.Exit();
    Report(counts);
}

void DescriptorReserveLog::ReportRemaining() {
    mLock.Enter();
    // Only the next closing or refusal a minute after the last line would tell of these; at
    // the stop none comes.
    const Counts counts = TakeForLine(true, Clock::now());
    mLock.Exit();
    Report(counts);
}

bool DescriptorReserveLog::IsDue(Clock::time_point now) const {
    return !mLogged || now - mLastLine >= kInterval;
}

DescriptorReserveLog::Counts DescriptorReserveLog::TakeForLine(bool due, Clock::time_point now) {
    if (!due || mSinceLine.Empty()) {
        return Counts();
    }
    const Counts counts = mSinceLine;
    mLogged = true;
    mLastLine = now;
    mSinceLine = Counts();
    return counts;
}

void DescriptorReserveLog::Report(const Counts& counts) {
    if (counts.Empty()) {
        return;
    }
    const auto count = [](const std::array<uint64_t, DescriptorRoom::kUses>& of, Use use) {
        return static_cast<unsigned long long>(of[static_cast<size_t>(use)]);
    };
    uint64_t closed = 0;
    for (const uint64_t each : counts.mClosed) {
        closed += each;
    }
    PrintLogMessage(System::String::Parse(
        "Descriptor reserve (the last %llu of the open file limit %llu, kept for saving): "
        "closed %llu connection%s that had not joined, for new connections %llu, downloads "
        "%llu, uploads %llu, policy requests %llu; refused new connections %llu, downloads "
        "%llu, uploads %llu, policy requests %llu\n",
        static_cast<unsigned long long>(DescriptorLimit::kReserve),
        static_cast<unsigned long long>(DescriptorLimit::Soft()),
        static_cast<unsigned long long>(closed), closed == 1 ? "" : "s",
        count(counts.mClosed, Use::Connection), count(counts.mClosed, Use::Download),
        count(counts.mClosed, Use::Upload), count(counts.mClosed, Use::Policy),
        count(counts.mRefused, Use::Connection), count(counts.mRefused, Use::Download),
        count(counts.mRefused, Use::Upload), count(counts.mRefused, Use::Policy)));
}
