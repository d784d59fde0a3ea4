#pragma once

#include "System/EventManager.h"
#include "System/Net/Client.h"
#include "System/Net/IPAddress.h"
#include "System/Net/IPEndPoint.h"
#include "System/Net/Server.h"
#include "System/Net/Socket.h"
#include "System/String.h"

#include <arpa/inet.h>

#include <algorithm>
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

// The names of the events seen, in order, with the thread each came on.
class EventLog {
  public:
    void Record(const std::string& name) {
        std::lock_guard<std::mutex> lock(mMutex);
        mNames.push_back(name);
        mThreads.push_back(std::this_thread::get_id());
    }
    std::vector<std::string> Names() const {
        std::lock_guard<std::mutex> lock(mMutex);
        return mNames;
    }
    int Count(const std::string& name) const {
        std::lock_guard<std::mutex> lock(mMutex);
        return static_cast<int>(std::count(mNames.begin(), mNames.end(), name));
    }
    // The thread of the first event of that name.
    std::thread::id ThreadOf(const std::string& name) const {
        std::lock_guard<std::mutex> lock(mMutex);
        const auto at = std::find(mNames.begin(), mNames.end(), name);
        return at == mNames.end() ? std::thread::id() : mThreads[at - mNames.begin()];
    }

  protected:
    mutable std::mutex mMutex;

  private:
    std::vector<std::string> mNames;
    std::vector<std::thread::id> mThreads;
};

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
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mError = error.CStr();
        }
        Record("failed");
    }
    void OnDisconnect(System::Net::Client*) { Record("disconnect"); }
    void OnReceiveMessage(System::Net::Client*, char* buffer, int n) {
        std::lock_guard<std::mutex> lock(mMutex);
        mReceived.append(buffer, static_cast<size_t>(n));
        mReceiveThread = std::this_thread::get_id();
    }
    void OnSendMessage(System::Net::Client*, char* buffer, int length, int result) {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mSent.append(buffer, static_cast<size_t>(length));
            mSendResult = result;
        }
        Record("send");
    }

    std::string Error() const {
        std::lock_guard<std::mutex> lock(mMutex);
        return mError;
    }
    std::string Received() const {
        std::lock_guard<std::mutex> lock(mMutex);
        return mReceived;
    }
    std::thread::id ReceiveThread() const {
        std::lock_guard<std::mutex> lock(mMutex);
        return mReceiveThread;
    }
    std::string Sent() const {
        std::lock_guard<std::mutex> lock(mMutex);
        return mSent;
    }
    int SendResult() const {
        std::lock_guard<std::mutex> lock(mMutex);
        return mSendResult;
    }

  private:
    System::EventManager mEvents;
    std::string mError;
    std::string mReceived;
    std::thread::id mReceiveThread;
    std::string mSent;
    int mSendResult{0};
};

}  // namespace NetTest
