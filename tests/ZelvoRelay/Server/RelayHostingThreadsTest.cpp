#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>

#include "System/EventManager.h"
#include "System/Net/IPAddress.h"
#include "System/Net/IPEndPoint.h"
#include "ZelvoRelay/Threading/PhotoThreadWorker.h"
#include "support/EventLog.h"
#include "support/RawSocket.h"
#include "support/RelayTestServer.h"
#include "support/ThreadsCannotStart.h"

namespace {

using Model = ZelvoRelay::MVC::Model::ZelvoRelayModel;

// A photo worker that cannot be started again: the test starts it before the relay
// hosts, and the relay's start of its group first stops the running body, which is when
// this worker makes the creation of threads fail. The groups the relay started before
// it are running by then.
class PhotoWorkerThatCannotRestart : public ZelvoRelay::Threading::PhotoThreadWorker {
  public:
    void Run() override {
        std::unique_lock<std::mutex> lock(mMutex);
        mStopped.wait(lock, [this] { return mStop; });
    }

    // Threads cannot start from the first stop of this worker until the test ends it.
    static std::optional<TestSupport::ThreadsCannotStart>& Failing() {
        static std::optional<TestSupport::ThreadsCannotStart> failing;
        return failing;
    }

  protected:
    void Wake() override {
        std::lock_guard<std::mutex> lock(mMutex);
        if (!mStop) {
            Failing().emplace();
        }
        mStop = true;
        mStopped.notify_all();
    }

  private:
    std::mutex mMutex;
    std::condition_variable mStopped;
    bool mStop{false};
};

// What the relay server reports about hosting.
class HostingLog : public TestSupport::EventLog {
  public:
    explicit HostingLog(System::Net::Server& server) {
        mEvents.Add(server.OnHost, this, &HostingLog::OnHost);
        mEvents.Add(server.OnHostFailed, this, &HostingLog::OnHostFailed);
    }
    void OnHost(System::Net::Server*) { Record("host"); }
    void OnHostFailed(System::Net::Server*, const System::String& error) {
        Set(mError, std::string(error.CStr()));
        Record("host failed");
    }

    std::string mError;

  private:
    System::EventManager mEvents;
};

// The error of a connect to port on the loopback interface; 0 when it connected.
int ConnectError(uint16_t port) {
    TestSupport::RawSocket client(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return connect(client.Descriptor(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
               ? 0
               : errno;
}

// Hosting with a worker that did not start, no member who uploads a photo would ever
// have it made, and its later messages would wait for ever. Hosting fails instead, as
// for a port in use: the reason is reported, no connection is accepted, and the
// workers that did start are stopped.
TEST(RelayHosting, AWorkerThatCannotStartFailsHostingAndStopsTheOthers) {
    TestSupport::RelayTestServer server;
    Model* model = Model::Instance();
    model->PhotoWorkers.CreateThreads<ZelvoRelay::Threading::PhotoThreadWorker>(0);
    model->PhotoWorkers.CreateThreads<PhotoWorkerThatCannotRestart>(1);
    ASSERT_TRUE(model->PhotoWorkers.Start());
    HostingLog log(model->Server);

    const uint16_t port = TestSupport::FreePort();
    model->Server.Host(
        System::Net::IPEndPoint(System::Net::IPAddress::Loopback(), port).SwapEndian());
    ASSERT_TRUE(PhotoWorkerThatCannotRestart::Failing().has_value());
    PhotoWorkerThatCannotRestart::Failing().reset();

    EXPECT_EQ(log.Names(), std::vector<std::string>{"host failed"});
    const std::string error = log.Get(log.mError);
    EXPECT_EQ(error.rfind("a relay worker cannot start: ", 0), 0u) << error;
    EXPECT_GT(error.size(), std::strlen("a relay worker cannot start: ")) << error;
    EXPECT_FALSE(model->Server.IsHosting());
    EXPECT_EQ(ConnectError(port), ECONNREFUSED);
    for (System::Threading::ThreadManager* group :
         {&model->ClientWorkers, &model->MessageWorkers, &model->ServerWorkers}) {
        for (unsigned int i = 0; i < group->GetNumThread(); ++i) {
            EXPECT_EQ(group->GetThread(i)->GetThreadState(), 0);
        }
        EXPECT_EQ(group->GetNumRunning(), 0u);
    }
}

}  // namespace
