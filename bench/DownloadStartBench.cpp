// What starting one download costs the server: a connection's request for a listed photo
// handled as the message worker handles it (the item looked up, the download claimed, its
// file opened below the descriptor reserve, the answer and the first chunk queued), then the
// answer and the chunk framed for the client's send queue as the worker frames them; and what
// ending it costs (its file closed). The catalogue holds 1,000 items with 200-byte titles; the
// photos are 4 MiB files of their own; the client has range(0) other downloads running, as a
// gallery leaves it, and range(1) other clients run 16 each, as a flood leaves them.
#include "CatalogueItem.h"
#include "System/IO/DescriptorLimit.h"
#include "System/Singleton.h"
#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/MVC/Model/NetMessageModel.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/Media/GetMediaRequest.h"
#include "ZelvoRelay/Processor/Media/GetMediaRequestProcessor.h"
#include "ZelvoRelay/Threading/MessageTask.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using ZelvoRelay::MVC::Model::ZelvoRelayModel;

constexpr uint32_t kClient = 1;
constexpr uint32_t kItems = 1000;
constexpr uint32_t kPhotos = 64;  // items whose photo file is there, ids 1 to 64
constexpr uintmax_t kPhotoBytes = 4 << 20;
constexpr uint32_t kPerClient = 16;  // the downloads each other client runs

// A room's media folder in the temporary directory, with sparse photo files, and the relay
// model set up with the catalogue and one connected client; all gone afterwards.
class Room {
  public:
    Room() : mDir(std::filesystem::temp_directory_path() / "downloadstartbench") {
        std::filesystem::remove_all(mDir);
        std::filesystem::create_directories(mDir);
        for (uint32_t id = 1; id <= kPhotos; ++id) {
            const std::filesystem::path photo = mDir / (std::to_string(id) + "_0");
            std::ofstream(photo).close();
            std::filesystem::resize_file(photo, kPhotoBytes);
        }
        mModel->Configuration.MediaPath = System::String((mDir.string() + "/").c_str());
        for (uint32_t id = 1; id <= kItems; ++id) {
            mModel->Media.Add(CatalogueItem::Item(id, 200));
        }
    }
    ~Room() {
        System::Singleton<ZelvoRelayModel>::Destroy();
        std::filesystem::remove_all(mDir);
    }
    Room(const Room&) = delete;
    Room& operator=(const Room&) = delete;

    ZelvoRelayModel& Model() { return *mModel; }

    // A connected client with the id given.
    void AddClient(uint32_t clientId) {
        auto* client = new ZelvoRelay::Client::RelayClient();  // the model deletes it
        client->GetUserModel().ClientId = clientId;
        mModel->Clients.mValue.Add(*client);
    }

    // The client's request for the photo of item mediaId, handled.
    void Request(uint32_t clientId, uint32_t mediaId) {
        ZelvoRelay::Message::Media::GetMediaRequest message(clientId, mediaId, 0);
        mProcessor.Process(&message, clientId);
    }

  private:
    std::filesystem::path mDir;
    ZelvoRelayModel* mModel{ZelvoRelayModel::Instance()};
    ZelvoRelay::Processor::Media::GetMediaRequestProcessor mProcessor;
};

// Frames every queued message as the message worker does for the client's send queue.
void FrameQueued(ZelvoRelayModel& model) {
    while (ZelvoRelay::Threading::MessageTask* task = model.Messages.mTasks.Dequeue()) {
        const ZelvoRelay::MVC::Model::NetMessageModel frame(*task->Message);
        benchmark::DoNotOptimize(frame.Frame->GetBuffer());
        task->Discard();
    }
}

// The room with the client's range(0) downloads and the other clients' running, every
// message they queued framed.
void Prepare(benchmark::State& state, Room& room) {
    const auto running = static_cast<uint32_t>(state.range(0));
    const auto others = static_cast<uint32_t>(state.range(1));
    // Each download holds its file open.
    System::IO::DescriptorLimit::Raise();
    room.AddClient(kClient);
    for (uint32_t id = 1; id <= running; ++id) {
        room.Request(kClient, kPhotos - id + 1);
    }
    for (uint32_t other = 0; other < others; ++other) {
        room.AddClient(kClient + 1 + other);
        for (uint32_t id = 1; id <= kPerClient; ++id) {
            room.Request(kClient + 1 + other, id);
        }
    }
    FrameQueued(room.Model());
}

void StartDownload(benchmark::State& state) {
    Room room;
    Prepare(state, room);
    const auto running = static_cast<uint32_t>(state.range(0));
    uint32_t next = 0;
    for (auto _ : state) {
        const uint32_t mediaId = 1 + next++ % (kPhotos - running);
        room.Request(kClient, mediaId);
        FrameQueued(room.Model());
        state.PauseTiming();
        room.Model().Downloads.RemoveMedia(kClient, mediaId, 0);
        state.ResumeTiming();
    }
}
BENCHMARK(StartDownload)
    ->ArgNames({"running", "others"})
    ->ArgsProduct({{0, 15}, {0, 1000}})
    ->Unit(benchmark::kMicrosecond);

// Ends the other clients' downloads oldest first, as a flood's end in the order they began,
// each started again (untimed) to stay the newest.
void EndDownload(benchmark::State& state) {
    Room room;
    Prepare(state, room);
    const auto others = static_cast<uint32_t>(state.range(1));
    uint32_t next = 0;
    for (auto _ : state) {
        const uint32_t clientId = kClient + 1 + next / kPerClient % others;
        const uint32_t mediaId = 1 + next++ % kPerClient;
        room.Model().Downloads.RemoveMedia(clientId, mediaId, 0);
        state.PauseTiming();
        room.Request(clientId, mediaId);
        FrameQueued(room.Model());
        state.ResumeTiming();
    }
}
BENCHMARK(EndDownload)
    ->ArgNames({"running", "others"})
    ->Args({0, 1})
    ->Args({0, 1000})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
