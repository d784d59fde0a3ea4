#include "ZelvoRelay/Threading/ClientThreadWorker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "System/Utility/HeapTrim.h"
#include "support/RawClient.h"
#include "support/RelayTestServer.h"

namespace {

using System::Utility::HeapTrim;
using ZelvoRelay::Threading::ClientThreadWorker;

// Where the give-back the test waits for ran: whether every client worker's list could be
// taken meanwhile. Set once, by the first give-back after the test counted enough.
std::promise<bool> sListsFree;
std::atomic<bool> sSeen{false};
// Takes the lists; joined by the test once the give-back has returned, which may be what
// it waits for.
std::thread sTaker;

// Stands in for the C library's trim: takes each client worker's list from another thread,
// in the manager's order, as the accept thread does to add a connection. A worker that gave
// back under its own list would keep that thread waiting until this returns; the wait is
// bounded only so that such a worker fails the test instead of hanging it.
void TakeEveryList() {
    if (sSeen.exchange(true)) {
        return;
    }
    auto taken = std::make_shared<std::promise<void>>();
    std::future<void> done = taken->get_future();
    sTaker = std::thread([taken] {
        auto* model = ZelvoRelay::MVC::Model::ZelvoRelayModel::Instance();
        for (unsigned int i = 0; i < model->ClientWorkers.GetNumThread(); ++i) {
            auto* worker = static_cast<ClientThreadWorker*>(model->ClientWorkers.GetThread(i));
            const System::Threading::MonitorLock paused = worker->PauseTurns();
        }
        taken->set_value();
    });
    sListsFree.set_value(done.wait_for(std::chrono::seconds(10)) == std::future_status::ready);
}

// The heap is given back between a client worker's turns, its list let go: a connection
// accepted meanwhile is added to it at once, and its other clients are served. Before, the
// give-back ran at the end of the turn, under the list, and held both for as long as it took
// (0.4 s after 1 GB was freed).
TEST(ClientThreadWorker, GivesTheHeapBackWithItsListLetGo) {
    TestSupport::RelayTestServer server;
    ASSERT_TRUE(server.Start());
    const HeapTrim::GiveBack before = HeapTrim::SetGiveBack(&TakeEveryList);
    HeapTrim::Freed(HeapTrim::kEvery);
    // Its worker's next turn ends with the give-back.
    TestSupport::RawClient client(server.Port());
    std::future<bool> listsFree = sListsFree.get_future();
    ASSERT_EQ(listsFree.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_TRUE(listsFree.get());
    sTaker.join();
    HeapTrim::SetGiveBack(before);
}

}  // namespace
