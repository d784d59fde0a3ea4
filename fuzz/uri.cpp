// URI splitting and percent-coding: every text splits into parts of the promised shape,
// and escaping then unescaping gives back any text.
#include <cctype>
#include <cstring>

#include "System/Uri.h"
#include "fuzz/Fuzz.h"

using System::String;
using System::Uri;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const String text = Fuzz::Text(data, size);
    const Uri uri(text);
    FUZZ_CHECK(uri.AbsolutePath().StartsWith("/"));
    FUZZ_CHECK(uri.Query().Length() == 0 || uri.Query().StartsWith("?"));
    FUZZ_CHECK(uri.Fragment().Length() == 0 || uri.Fragment().StartsWith("#"));
    FUZZ_CHECK(uri.IsAbsoluteUri() == (text.IndexOf("#") < 0));
    FUZZ_CHECK(text.StartsWith(uri.AbsoluteUri()));

    const String escaped = Uri::EscapeDataString(text);
    for (uint32_t i = 0; i < escaped.Length(); ++i) {
        const auto c = static_cast<unsigned char>(escaped[i]);
        FUZZ_CHECK(c != 0 && (std::isalnum(c) || std::strchr("-._~%", c) != nullptr));
    }
    FUZZ_CHECK(Uri::UnescapeDataString(escaped) == text);
    (void)Uri::UnescapeDataString(text);
    return 0;
}
