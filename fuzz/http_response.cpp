// HTTP responses as they arrive: any bytes, cut into pieces of any size, parse without
// reading outside the data, and to the same response as the same bytes in one piece,
// before and after the connection ends.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "System/Net/Http/HttpResponse.h"
#include "fuzz/Fuzz.h"

using System::Net::Http::HttpResponse;

namespace {

// What a caller can see of a response; its body only once it is complete, as callers read it.
std::string Summary(const HttpResponse& response) {
    std::string text = std::to_string(response.IsComplete()) + " " + response.GetVersion().CStr() +
                       " " + std::to_string(response.GetStatus()) + " " +
                       response.GetReason().CStr() + "\n";
    const HttpResponse::Headers& headers = response.GetHeaders();
    for (uint32_t i = 0; i < headers.Count(); ++i) {
        text += std::string(headers[i].mKey.CStr()) + ": " + headers[i].mValue.CStr() + "\n";
    }
    const System::String body = response.IsComplete() ? response.GetResponseString() : "";
    text += std::to_string(response.GetBodyLength()) + " " +
            std::to_string(response.IsPersistent()) + "\n" +
            std::string(body.CStr(), body.Length());
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider provider(data, size);
    HttpResponse pieces;
    std::string received;
    while (provider.remaining_bytes() > 0) {
        const std::string piece =
            provider.ConsumeBytesAsString(provider.ConsumeIntegralInRange<size_t>(1, 300));
        pieces.Receive(piece.data(), static_cast<int>(piece.size()));
        received += piece;
    }
    HttpResponse whole;
    whole.Receive(received.data(), static_cast<int>(received.size()));
    for (bool closed : {false, true}) {
        if (closed) {
            pieces.EndOfStream();
            whole.EndOfStream();
        }
        if (Summary(pieces) != Summary(whole)) {
            std::fprintf(stderr, "in pieces:\n%s\nwhole:\n%s\n", Summary(pieces).c_str(),
                         Summary(whole).c_str());
            FUZZ_CHECK(!"a response parses the same in pieces as whole");
        }
    }
    return 0;
}
