// What one listing request costs the message worker: a page of the catalogue built, written
// as the compact feed text, deflated and framed for the send queue, as the worker does it for
// a client asking for 255 items with 200-byte titles (about 130 kB of text). A new page joins
// the runs of entries deflated before and deflates only the partial runs at its ends.
#include "ZelvoRelay/Collections/MediaCollection.h"
#include "ZelvoRelay/MVC/Model/NetMessageModel.h"
#include "ZelvoRelay/Message/Media/GetMediaInfoResponse.h"
#include "ZelvoRelay/Processor/Media/GetMediaInfoRequestProcessor.h"

#include <benchmark/benchmark.h>

#include "CatalogueItem.h"

#include <cstdint>
#include <memory>

namespace {

using CatalogueItem::Item;

// A listing of range(0) items with range(1)-byte titles from the newest down (or from one of
// the 200 newest), by how much of it was made before (range(2)):
// - kNothing: nothing, as for the first listing after start-up: every entry is written and
//   every run deflated;
// - kNewPage: a page not asked for before, of items listed before;
// - kAgain: the same page, as every newcomer and every refresh lists the newest page;
// - kOneChanged: a page listed before, after one of its items was replaced (removed and added
//   again with the same id), as after an upload or a removal: that entry is written and the
//   runs it and the next item are in deflated again.
enum Before { kNothing, kNewPage, kAgain, kOneChanged };

void Listing(benchmark::State& state) {
    const auto count = static_cast<uint32_t>(state.range(0));
    const auto titleLength = static_cast<uint32_t>(state.range(1));
    const auto before = static_cast<Before>(state.range(2));
    ZelvoRelay::Collections::MediaCollection catalogue;
    for (uint32_t id = 1; id <= 1000; ++id) {
        catalogue.Add(Item(id, titleLength));
    }
    using ZelvoRelay::Processor::Media::GetMediaInfoRequestProcessor;
    auto processor = std::make_unique<GetMediaInfoRequestProcessor>();
    for (uint32_t start = 1000; start > 800; --start) {
        std::unique_ptr<ZelvoRelay::Message::BaseMessage> warm(
            processor->Answer(catalogue, 4, start, count));
    }
    uint32_t start = 1000;
    int64_t bytes = 0;
    for (auto _ : state) {
        if (before == kNothing) {
            state.PauseTiming();
            processor = std::make_unique<GetMediaInfoRequestProcessor>();
            state.ResumeTiming();
        }
        if (before == kOneChanged) {
            state.PauseTiming();
            const uint32_t changed = start - count / 2;
            catalogue.RemoveMedia(changed);
            catalogue.Add(Item(changed, titleLength));
            state.ResumeTiming();
        }
        if (before == kNothing || before == kNewPage) {
            start = start == 801 ? 1000 : start - 1;
        }
        std::unique_ptr<ZelvoRelay::Message::Media::GetMediaInfoResponse> answer(
            processor->Answer(catalogue, 4, start, count));
        const ZelvoRelay::MVC::Model::NetMessageModel frame(*answer);
        bytes += frame.Frame->Length();
        benchmark::DoNotOptimize(frame.Frame->GetBuffer());
    }
    state.counters["frame_bytes"] =
        benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kAvgIterations);
}
BENCHMARK(Listing)
    ->ArgNames({"items", "title", "before"})
    ->ArgsProduct({{255}, {200, 20}, {kNothing, kNewPage, kAgain, kOneChanged}})
    ->Args({10, 200, kNothing})
    ->Args({10, 200, kAgain})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
