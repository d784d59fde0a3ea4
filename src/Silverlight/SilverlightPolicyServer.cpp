#include "Silverlight/SilverlightPolicyServer.h"

#include "System/IO/DescriptorRoom.h"
#include "System/Net/IPEndPoint.h"
#include "System/Net/Net.h"

namespace Silverlight {

SilverlightPolicyServer::SilverlightPolicyServer()
    : System::Net::Server(System::Net::INetwork::TCP) {
    mEvents.Add(OnClientConnect, this, &SilverlightPolicyServer::OnClientConnected);
    // The accept loop has ended, or hosting failed after the drainer started.
    mEvents.Add(OnHostStopped, this, &SilverlightPolicyServer::OnDisconnected);
    mEvents.Add(OnHostFailed, this, &SilverlightPolicyServer::OnHostingFailed);
}

SilverlightPolicyServer::~SilverlightPolicyServer() {
    Disconnect();
}

void SilverlightPolicyServer::Host() {
    System::Net::Server::Host(System::Net::IPEndPoint("", kPort).SwapEndian());
}

System::String SilverlightPolicyServer::OnHosting() {
    const int error = mDrainer.Start();
    // Without it each answered connection would be closed at once, before its peer's
    // request is read, and the reset that follows may destroy the policy.
    return error != 0 ? System::Net::Net::GetError(error) : System::String();
}

void SilverlightPolicyServer::OnDisconnected(System::Net::Server*) {
    mDrainer.Stop(true);
}

void SilverlightPolicyServer::OnHostingFailed(System::Net::Server* server, const System::String&) {
    OnDisconnected(server);
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
    // Refused, a plug-in would be kept out of the room by peers holding every descriptor
    // with relay connections that never join.
    if (!connection.GetSocket()->LeaveReserve(System::IO::DescriptorRoom::Use::Policy)) {
        connection.GetSocket()->Close();
        return;
    }
    const System::String& policy = Policy();
    connection.Send(policy.ToByteArray(), 0, policy.Length());
    mDrainer.Add(*connection.GetSocket());
}

}  // namespace Silverlight
