#include "Silverlight/SilverlightPolicyServer.h"

#include "System/Net/IPEndPoint.h"
#include "System/Net/Net.h"
#include "System/Net/Socket.h"
#include "System/Threading/Thread.h"
#include "System/Timer.h"

namespace Silverlight {

namespace {

// How long a connection is read after the policy has gone, at most, in seconds.
constexpr double kDrainSeconds = 0.1;
// The pause between two reads that found nothing, in microseconds.
constexpr unsigned int kDrainPause = 1000;
// The error type of a non-blocking read that found nothing (EAGAIN).
constexpr int kNoDataWaiting = 11;

// Reads and drops what the peer sends until it closes, for kDrainSeconds at most.
// Closing a socket with unread bytes makes the platform reset the connection instead of
// ending it, and a reset can destroy the policy before the peer has read it. The sending
// side is closed first, so the peer reads the end of the policy and closes in turn.
void DrainBeforeClose(System::Net::Socket& socket) {
    socket.ShutdownSend();
    socket.EnableBlocking(false);
    const double end = System::Timer::GetTime() + kDrainSeconds;
    char buffer[1024];
    while (System::Timer::GetTime() < end) {
        const int received = socket.Receive(buffer, 0, sizeof buffer);
        if (received == 0 || (received < 0 && System::Net::Net::GetErrorType() != kNoDataWaiting)) {
            return;
        }
        if (received < 0) {
            System::Threading::Thread::Sleep(kDrainPause);
        }
    }
}

}  // namespace

SilverlightPolicyServer::SilverlightPolicyServer()
    : System::Net::Server(System::Net::INetwork::TCP) {
    mEvents.Add(OnClientConnect, this, &SilverlightPolicyServer::OnClientConnected);
}

void SilverlightPolicyServer::Host() {
    System::Net::Server::Host(System::Net::IPEndPoint("", kPort).SwapEndian());
}

const System::String& SilverlightPolicyServer::Policy() {
    static const System::String policy(
        "<?xml version=\"1.0\"?><access-policy><cross-domain-access><policy><allow-from>"
        "<domain uri=\"*\" /></allow-from><grant-to><socket-resource port=\"4502-4534\" "
        "protocol=\"tcp\" /></grant-to></policy></cross-domain-access></access-policy>");
    return policy;
}

void SilverlightPolicyServer::OnClientConnected(System::Net::Server*,
                                                System::Net::Client& connection) {
    const System::String& policy = Policy();
    connection.Send(policy.ToByteArray(), 0, policy.Length());
    DrainBeforeClose(*connection.GetSocket());
    connection.Disconnect(false);
}

}  // namespace Silverlight
