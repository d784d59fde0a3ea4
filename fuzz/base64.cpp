// Base64: any text decodes without reading outside the table, and any bytes come back
// unchanged from their encoding.
#include "System/Utility/Base64.h"
#include "fuzz/Fuzz.h"

using System::Utility::Base64;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    System::IO::MemoryStream decoded;
    Base64::Decode(Fuzz::Text(data, size), decoded);

    System::IO::MemoryStream input(const_cast<uint8_t*>(data), static_cast<int32_t>(size));
    System::IO::MemoryStream output;
    Base64::Decode(Base64::Encode(input), output);
    FUZZ_CHECK(Fuzz::Contents(output) == std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
