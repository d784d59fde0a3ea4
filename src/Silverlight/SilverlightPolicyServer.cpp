#include "Silverlight/SilverlightPolicyServer.h"

#include "System/Net/Net.h"

namespace Silverlight {

SilverlightPolicyServer::SilverlightPolicyServer()
    : System::Net::Server(System::Net::INetwork::TCP) {
    mEvents.Add(OnClientConnect, this, &SilverlightPolicyServer::OnClientConnected);
}

SilverlightPolicyServer::~SilverlightPolicyServer() {
    Disconnect();
}

void SilverlightPolicyServer::Host() {
    Host(System::Net::IPEndPoint("", kPort).SwapEndian());
}

void SilverlightPolicyServer::Host(const System::Net::IPEndPoint& endPoint) {
    Disconnect();
    const int error = mDrainer.Start();
    if (error != 0) {
        // Without it each answered connection would be closed at once, before its
        // peer's request is read, and the reset that follows may destroy the policy.
        OnHostFailed.Raise(this, System::Net::Net::GetError(error));
        return;
    }
    System::Net::Server::Host(endPoint);
    if (!IsHosting()) {
        mDrainer.Stop(true);
    }
}

void SilverlightPolicyServer::Disconnect() {
    // The base's Host disconnects before it binds, after the drainer has been started
    // for it: only a server that is hosting has a drainer of its own to stop.
    const bool hosting = IsHosting();
    System::Net::Server::Disconnect();
    if (hosting) {
        mDrainer.Stop(true);
    }
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
    mDrainer.Add(*connection.GetSocket());
}

}  // namespace Silverlight
