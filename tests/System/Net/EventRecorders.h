#pragma once

#include "System/EventManager.h"
#include "System/Net/Client.h"
#include "System/Net/IPAddress.h"
#include "System/Net/IPEndPoint.h"
#include "System/Net/Socket.h"
#include "System/String.h"
#include "support/EventLog.h"

#include <arpa/inet.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace NetTest {

inline System::Net::IPEndPoint LoopbackPort(uint16_t port) {
    return System::Net::IPEndPoint(System::Net::IPAddress::Loopback(), port).SwapEndian();
}

// The port a socket is bound to, in host order.
inline uint16_t LocalPort(const System::Net::Socket& socket) {
    return ntohs(socket.GetLocalEndPoint().GetPort());
}

using TestSupport::EventLog;

// Everything a Client reports. Received bytes are kept, not logged as events.
class ClientLog : public EventLog {
  public:
    explicit ClientLog(System::Net::Client& client) {
        mEvents.Add(client.OnConnecting, this, &ClientLog::OnConnecting);
        mEvents.Add(client.OnConnect, this, &ClientLog::OnConnect);
        mEvents.Add(client.OnConnectFailed, this, &ClientLog::OnConnectFailed);
        mEvents.Add(client.OnDisconnect, this, &ClientLog::OnDisconnect);
        mEvents.Add(client.OnReceiveMessage, this, &ClientLog::OnReceiveMessage);
        mEvents.Add(client.OnSendMessage, this, &ClientLog::OnSendMessage);
    }

    void OnConnecting(System::Net::Client*) { Record("connecting"); }
    void OnConnect(System::Net::Client*) { Record("connect"); }
    void OnConnectFailed(System::Net::Client*, const System::String& error) {
        Set(mError, std::string(error.CStr()));
        Record("failed");
    }
    void OnDisconnect(System::Net::Client*) { Record("disconnect"); }
    void OnReceiveMessage(System::Net::Client*, char* buffer, int n) {
        std::lock_guard<std::mutex> lock(mMutex);
        mReceived.append(buffer, static_cast<size_t>(n));
        mReceiveThread = std::this_thread::get_id();
    }
    void OnSendMessage(System::Net::Client*, char*, int, int result) {
        Set(mSendResult, result);
        Record("send");
    }

    std::string mError;
    std::string mReceived;
    std::thread::id mReceiveThread;
    int mSendResult{0};

  private:
    System::EventManager mEvents;
};

}  // namespace NetTest
