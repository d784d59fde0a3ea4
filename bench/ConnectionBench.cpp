// What one connection's coming and going costs the bookkeeping that every open connection
// shares, with range(0) others open: the client collection, and a subscriber holding four
// subscriptions to each connection's events, as the console log does. Each round one
// connection leaves and a new one comes: with range(1) 0 the one open longest, as when
// connections that never join are closed in the order they came; with 1 the newest, as the
// stop's last step removes them. Also a client's leaving while range(0) others each hold 16
// downloads. Each figure should stay about flat as range(0) grows (the collection, a sorted
// array, still moves the pointers after the one removed).
#include "System/Event.h"
#include "System/EventManager.h"
#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/Collections/ClientCollection.h"
#include "ZelvoRelay/Collections/MediaTransferCollection.h"
#include "ZelvoRelay/MVC/Model/MediaTransferModel.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <deque>
#include <memory>

namespace {

using ZelvoRelay::Client::RelayClient;

// Stands for the console log: a handler for each event of a connection it listens to.
struct Listener {
    void OnReceived(System::Net::Client*, char*, int) {}
    void OnSent(System::Net::Client*, char*, int, int) {}
    void OnMessage(RelayClient*, ZelvoRelay::Message::BaseMessage*) {}
    void OnChanged(void*, const System::String&) {}

    void Subscribe(RelayClient& client) {
        events.Add(client.GetUserModel().PropertyChanged, this, &Listener::OnChanged);
        events.Add(client.GetTcpClient().OnReceiveMessage, this, &Listener::OnReceived);
        events.Add(client.GetTcpClient().OnSendMessage, this, &Listener::OnSent);
        events.Add(client.MessageReceived, this, &Listener::OnMessage);
    }
    void Unsubscribe(RelayClient& client) {
        events.Remove(client.MessageReceived);
        events.Remove(client.GetTcpClient().OnReceiveMessage);
        events.Remove(client.GetTcpClient().OnSendMessage);
        events.Remove(client.GetUserModel().PropertyChanged);
    }

    System::EventManager events;
};

void BM_ConnectionComesAndGoes(benchmark::State& state) {
    ZelvoRelay::Collections::ClientCollection clients;
    Listener listener;
    std::deque<std::unique_ptr<RelayClient>> open;
    uint32_t nextId = 1;
    const auto connect = [&] {
        open.push_back(std::make_unique<RelayClient>());
        open.back()->GetUserModel().ClientId = nextId++;
        clients.Add(*open.back());
        listener.Subscribe(*open.back());
    };
    for (int64_t i = 0; i < state.range(0); ++i) {
        connect();
    }
    const bool newest = state.range(1) == 1;
    for (auto _ : state) {
        RelayClient& leaving = newest ? *open.back() : *open.front();
        listener.Unsubscribe(leaving);
        clients.Remove(leaving);
        if (newest) {
            open.pop_back();
        } else {
            open.pop_front();
        }
        connect();
    }
}
BENCHMARK(BM_ConnectionComesAndGoes)->ArgsProduct({{100, 1000, 10000}, {0, 1}});

void BM_LeavingWhileOthersDownload(benchmark::State& state) {
    constexpr uint32_t kDownloads = 16;
    ZelvoRelay::Collections::MediaTransferCollection downloads;
    const auto download = [&downloads](uint32_t clientId) {
        for (uint32_t file = 0; file < kDownloads; ++file) {
            downloads.Add(ZelvoRelay::MVC::Model::MediaTransferModel(clientId, file, 1));
        }
    };
    const auto others = static_cast<uint32_t>(state.range(0));
    for (uint32_t clientId = 1; clientId <= others; ++clientId) {
        download(clientId);
    }
    for (auto _ : state) {
        download(others + 1);
        benchmark::DoNotOptimize(downloads.RemoveClient(others + 1));
    }
}
BENCHMARK(BM_LeavingWhileOthersDownload)->Arg(100)->Arg(1000)->Arg(10000);

}  // namespace
