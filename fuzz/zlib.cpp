// zlib and gzip streams: any bytes inflate within the destination or fail cleanly, and
// any bytes deflated at any level inflate back to themselves with the right checksum.
#include <zlib.h>

#include <vector>

#include "System/Utility/Zip.h"
#include "fuzz/Fuzz.h"

using System::Utility::Zip;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const bool gzip = (data[0] & 0x10) != 0;
    const int level = data[0] % 10;
    const auto* source = reinterpret_cast<const char*>(data + 1);
    const auto sourceSize = static_cast<unsigned int>(size - 1);

    std::vector<char> inflated(1 << 16);
    const unsigned int n = Zip::Inflate(source, sourceSize, inflated.data(),
                                        static_cast<unsigned int>(inflated.size()), gzip);
    FUZZ_CHECK(n <= inflated.size());

    std::vector<char> deflated(compressBound(sourceSize) + 32);
    uint32_t check = 0;
    const unsigned int length =
        Zip::Deflate(deflated.data(), static_cast<unsigned int>(deflated.size()), source,
                     sourceSize, level, check, gzip);
    FUZZ_CHECK(length > 0);
    const auto* bytes = reinterpret_cast<const Bytef*>(source);
    FUZZ_CHECK(check == (gzip ? crc32(0, bytes, sourceSize) : adler32(1, bytes, sourceSize)));
    std::vector<char> back(sourceSize + 1);
    FUZZ_CHECK(Zip::Inflate(deflated.data(), length, back.data(),
                            static_cast<unsigned int>(back.size()), gzip) == sourceSize);
    FUZZ_CHECK(std::equal(source, source + sourceSize, back.begin()));
    return 0;
}
