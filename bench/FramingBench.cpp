// What cutting a member's stream into frames costs when the frames come in the pieces a client
// worker reads (at most 320 bytes while none of the member's messages waits): range(0) is the
// frame's payload, up to the largest a member may send (a voice frame or an upload chunk). A
// frame split across reads is gathered in a buffer that grows as its bytes come.
#include "System/EventManager.h"
#include "System/Net/Client.h"
#include "System/Net/NetStream.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <string>

namespace {

constexpr uint32_t kMaxMessageSize = 32768;
constexpr size_t kReadSize = 320;

struct Receiver {
    void OnMessage(System::Net::NetStream*, char* payload, int length) {
        benchmark::DoNotOptimize(payload);
        mBytes += static_cast<size_t>(length);
    }
    size_t mBytes{0};
};

void BM_FrameInReads(benchmark::State& state) {
    const auto size = static_cast<uint32_t>(state.range(0));
    std::string frame(4, '\0');
    for (int i = 0; i < 4; ++i) {
        frame[i] = static_cast<char>(size >> (8 * i));
    }
    frame += std::string(size, 'v');
    System::Net::Client client(System::Net::Client::TCP);
    System::Net::NetStream stream(client, kMaxMessageSize);
    Receiver receiver;
    System::EventManager events;
    events.Add(stream.OnMessage, &receiver, &Receiver::OnMessage);
    for (auto _ : state) {
        for (size_t at = 0; at < frame.size(); at += kReadSize) {
            const size_t piece = std::min(kReadSize, frame.size() - at);
            client.OnReceiveMessage.Raise(&client, frame.data() + at, static_cast<int>(piece));
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(receiver.mBytes));
}
BENCHMARK(BM_FrameInReads)->Arg(1000)->Arg(4000)->Arg(16000)->Arg(32767);

}  // namespace

BENCHMARK_MAIN();
