#include "Admin/Log/DescriptorReserveLog.h"

#include "Admin/AdminModel.h"
#include "Admin/Log/PrintLogMessage.h"
#include "System/IO/DescriptorLimit.h"
#include "System/String.h"
#include "System/Threading/MonitorLock.h"
#include "ZelvoRelay/Collections/TransferFiles.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

#include <algorithm>

using System::IO::DescriptorLimit;
using System::IO::DescriptorRoom;
using ZelvoRelay::MVC::Model::ZelvoRelayModel;

void DescriptorReserveLog::ShareOutDescriptors() {
    const uint32_t maxClients = ZelvoRelayModel::Instance()->Room.MaxClients;
    uint64_t spare = DescriptorLimit::Spare();
    // A listening server's accept holds a number, shown nowhere, while it waits; the relay
    // server's becomes its next connection's, the policy server's is lost to the relay.
    if (AdminModel::Instance()->mPolicyServer.IsHosting() && spare > 0) {
        --spare;
    }
    const uint64_t room = spare / kDescriptorsPerConnection;
    if (room < maxClients) {
        PrintLogMessage(System::String::Parse(
            "Open file limit %llu leaves room for %llu connections, fewer than RoomMaxClients "
            "(%u): each takes %llu descriptors and %llu are kept for saving\n",
            static_cast<unsigned long long>(DescriptorLimit::Soft()),
            static_cast<unsigned long long>(room), maxClients,
            static_cast<unsigned long long>(kDescriptorsPerConnection),
            static_cast<unsigned long long>(DescriptorLimit::kReserve)));
    }
    ShareOutDownloads(spare, maxClients);
}

void DescriptorReserveLog::ShareOutDownloads(uint64_t spare, uint32_t maxClients) {
    using ZelvoRelay::Collections::TransferFiles;
    using ZelvoRelay::MVC::Model::ConfigurationModel;
    constexpr uint32_t kMost = ConfigurationModel::kMaxDownloadsPerMember;
    // With no room, or no limit that can be read, the table and the share stay whole.
    if (maxClients == 0 || DescriptorLimit::Soft() == 0) {
        return;
    }
    // What every place's connection needs comes first: counted as two descriptors a member,
    // or with each member running a download whatever was left, members' files took the
    // table, newcomers were closed before their join, and a member's download of a listed
    // photo was answered as not found.
    const uint64_t connections = uint64_t{maxClients} * kDescriptorsPerConnection;
    const uint64_t beside = spare > connections ? spare - connections : 0;
    const uint64_t table = beside > TransferFiles::kMoving ? beside - TransferFiles::kMoving : 0;
    TransferFiles::SetCapacity(table);
    const uint64_t each = table / maxClients;
    if (each >= kMost) {
        return;
    }
    // A member's share may be none: its transfers hold no file between chunks, so it still
    // runs one of each.
    const auto share = static_cast<uint32_t>(each);
    const uint32_t runs = std::max<uint32_t>(1, share);
    ZelvoRelayModel::Instance()->Configuration.MaxDownloadsPerMember = runs;
    const char* const plural = runs == 1 ? "" : "s";
    const System::String shareText =
        share == 0 ? System::String("none") : System::String::Parse("%u", share);
    PrintLogMessage(System::String::Parse(
        "Open file limit %llu leaves room for %llu downloads at once for each of RoomMaxClients "
        "(%u), fewer than %u: each member runs %u download%s and %u upload%s at once (its share "
        "is %s), its other downloads wait their turn and further uploads are refused; a "
        "transfer's file is open only while a chunk of it moves; each connection takes %llu "
        "descriptors and %llu are kept for saving\n",
        static_cast<unsigned long long>(DescriptorLimit::Soft()),
        static_cast<unsigned long long>(each), maxClients, kMost, runs, plural, runs, plural,
        shareText.CStr(), static_cast<unsigned long long>(kDescriptorsPerConnection),
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
    System::Threading::MonitorLock lock(mLock);
    ++(closed ? mSinceLine.mClosed : mSinceLine.mRefused)[static_cast<size_t>(use)];
    const Clock::time_point now = Clock::now();
    const Counts counts = TakeForLine(IsDue(now), now);
    lock.Unlock();
    Report(counts);
}

void DescriptorReserveLog::ReportDue() {
    System::Threading::MonitorLock lock(mLock);
    // Without it, what came after a line would wait for the next closing or the stop.
    const Clock::time_point now = Clock::now();
    const Counts counts = TakeForLine(IsDue(now), now);
    lock.Unlock();
    Report(counts);
}

void DescriptorReserveLog::ReportRemaining() {
    System::Threading::MonitorLock lock(mLock);
    // Only the next closing or refusal a minute after the last line would tell of these; at
    // the stop none comes.
    const Counts counts = TakeForLine(true, Clock::now());
    lock.Unlock();
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
