#include "Admin/DescriptorReserveLog.h"

#include "Admin/AdminModel.h"
#include "Admin/PrintLogMessage.h"
#include "System/IO/DescriptorLimit.h"
#include "System/String.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

using System::IO::DescriptorLimit;
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

void DescriptorReserveLog::OnClientRefused(System::Net::Server*) {
    mLock.Enter();
    ++mRefusedSinceLine;
    const Clock::time_point now = Clock::now();
    const uint64_t refused = !mLogged || now - mLastLine >= kInterval ? TakeForLine(now) : 0;
    mLock.Exit();
    if (refused != 0) {
        Report(refused);
    }
}

void DescriptorReserveLog::ReportRemaining() {
    mLock.Enter();
    // Only the next refusal a minute after the last line would tell of these; at the stop
    // none comes, and most refusals of a flood would never reach the log.
    const uint64_t refused = mRefusedSinceLine != 0 ? TakeForLine(Clock::now()) : 0;
    mLock.Exit();
    if (refused != 0) {
        Report(refused);
    }
}

uint64_t DescriptorReserveLog::TakeForLine(Clock::time_point now) {
    const uint64_t refused = mRefusedSinceLine;
    mLogged = true;
    mLastLine = now;
    mRefusedSinceLine = 0;
    return refused;
}

void DescriptorReserveLog::Report(uint64_t count) {
    PrintLogMessage(System::String::Parse(
        "Closed %llu connection%s at once to keep the last %llu descriptors of the open "
        "file limit (%llu) for saving\n",
        static_cast<unsigned long long>(count), count == 1 ? "" : "s",
        static_cast<unsigned long long>(DescriptorLimit::kReserve),
        static_cast<unsigned long long>(DescriptorLimit::Soft())));
}
