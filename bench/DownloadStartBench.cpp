// What starting one download costs the server: a connection's request for a listed photo
// handled as the message worker handles it (the item looked up, the download claimed, its
// file opened below the descriptor reserve, the answer and the first chunk queued), then the
// answer and the chunk framed for the client's send queue as the worker frames them. The
// catalogue holds 1,000 items with 200-byte titles; the photos are 4 MiB files of their own,
// and the client has range(0) other downloads running, as a gallery or a flood leaves it.
// The download's end (its file closed) is left out of the figure.
#include "CatalogueItem.h"
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
        auto* client = new ZelvoRelay::Client::RelayClient();  // the model deletes it
        client->GetUserModel().ClientId = kClient;
        mModel->Clients.mValue.Add(*client);
    }
    ~Room() {
        System::Singleton<ZelvoRelayModel>::Destroy();
        std::filesystem::remove_all(mDir);
    }
    Room(const Room&) = delete;
    Room& operator=(const Room&) = delete;

    ZelvoRelayModel& Model() { return *mModel; }

  private:
    std::filesystem::path mDir;
    ZelvoRelayModel* mModel{ZelvoRelayModel::Instance()};
};

// Frames every queued message as the message worker does for the client's send queue; how
// many bytes the frames hold.
int64_t FrameQueued(ZelvoRelayModel& model) {
    int64_t bytes = 0;
    while (ZelvoRelay::Threading::MessageTask* task = model.Messages.mTasks.Dequeue()) {
        const ZelvoRelay::MVC::Model::NetMessageModel frame(*task->Message);
        bytes += frame.Frame->Length();
        benchmark::DoNotOptimize(frame.Frame->GetBuffer());
        task->Discard();
    }
    return bytes;
}

void StartDownload(benchmark::State& state) {
    const auto running = static_cast<uint32_t>(state.range(0));
    Room room;
    ZelvoRelayModel& model = room.Model();
    ZelvoRelay::Processor::Media::GetMediaRequestProcessor processor;
    const auto request = [&processor](uint32_t mediaId) {
        ZelvoRelay::Message::Media::GetMediaRequest message(kClient, mediaId, 0);
        processor.Process(&message, kClient);
    };
    for (uint32_t id = 1; id <= running; ++id) {
        request(kPhotos - id + 1);
    }
    FrameQueued(model);
    uint32_t next = 0;
    int64_t bytes = 0;
    for (auto _ : state) {
        const uint32_t mediaId = 1 + next++ % (kPhotos - running);
        request(mediaId);
        bytes += FrameQueued(model);
        state.PauseTiming();
        model.Downloads.RemoveMedia(kClient, mediaId, 0);
        state.ResumeTiming();
    }
    state.counters["frame_bytes"] =
        benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kAvgIterations);
}
BENCHMARK(StartDownload)->ArgName("running")->Arg(0)->Arg(15)->Unit(benchmark::kMicrosecond);

}  // namespace
