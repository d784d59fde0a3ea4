// Reading a response whose headers arrive in small pieces, as a slow or hostile server may
// send them: the work must grow with the bytes received, not with their square.
#include "System/Net/Http/HttpResponse.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

namespace {

using System::Net::Http::HttpResponse;

// A complete response with about size bytes of headers and a two-byte body.
std::string Response(int64_t size) {
    std::string text = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; static_cast<int64_t>(text.size()) < size - 64; ++i) {
        text += "X-Filler-" + std::to_string(i) + ": " + std::string(40, 'v') + "\r\n";
    }
    return text + "Content-Length: 2\r\n\r\nok";
}

// The response fed in pieces of state.range(1) bytes.
void BM_HeadersInPieces(benchmark::State& state) {
    const std::string text = Response(state.range(0));
    const auto step = static_cast<size_t>(state.range(1));
    for (auto _ : state) {
        HttpResponse response;
        for (size_t at = 0; at < text.size(); at += step) {
            const size_t n = std::min(step, text.size() - at);
            benchmark::DoNotOptimize(response.Receive(text.data() + at, static_cast<int>(n)));
        }
        if (!response.IsComplete()) {
            state.SkipWithError("the response did not complete");
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_HeadersInPieces)
    ->ArgsProduct({{8 << 10, 60 << 10}, {1, 1460}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
