#include "System/Utility/Zip.h"

#include "support/Process.h"
#include "support/TempDir.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace System::Utility {
namespace {

using TestSupport::LowerHex;

// Text with repetitions, then bytes of every value: compressible but not trivial.
std::string SampleData(size_t size) {
    std::string data;
    uint32_t state = 12345;
    while (data.size() < size) {
        data += "the room keeps its photos; ";
        for (int i = 0; i < 40; ++i) {
            state = state * 1103515245 + 12345;
            data.push_back(static_cast<char>(state >> 16));
        }
    }
    data.resize(size);
    return data;
}

std::string Deflate(const std::string& data, int level, bool gzip, uint32_t& check) {
    std::string out(data.size() + 1024, '\0');
    const unsigned int size =
        Zip::Deflate(out.data(), static_cast<unsigned int>(out.size()), data.data(),
                     static_cast<unsigned int>(data.size()), level, check, gzip);
    out.resize(size);
    return out;
}

// Inflates into room for exactly size bytes; "" on failure.
std::string Inflate(const std::string& compressed, size_t size, bool gzip) {
    std::string out(size, '\0');
    const unsigned int n =
        Zip::Inflate(compressed.data(), static_cast<unsigned int>(compressed.size()), out.data(),
                     static_cast<unsigned int>(out.size()), gzip);
    out.resize(n);
    return out;
}

// The same data compressed by python: zlib at level 9, gzip as the compressor does at
// level 9, zlib and gzip at their default levels; then its Adler-32 and CRC-32.
const char* const PythonCompress = R"(
import gzip, sys, zlib
d = sys.stdin.buffer.read()
c = zlib.compressobj(9, zlib.DEFLATED, 31, 9)
for b in (zlib.compress(d, 9), c.compress(d) + c.flush(), zlib.compress(d), gzip.compress(d)):
    print(b.hex())
print(zlib.adler32(d))
print(zlib.crc32(d))
)";

// Our output equals python's at level 9 and carries its checksum; what python (at level 9
// and its default) and gzip's own tool (which stores the file name and time in the
// header) compress inflates back.
TEST(ZipCompression, AgreesWithPythonAndGzipBothWays) {
    const std::string data = SampleData(100000);
    const auto expected = TestSupport::PythonLines(PythonCompress, data);
    ASSERT_EQ(expected.size(), 6u);
    uint32_t adler = 0;
    uint32_t crc = 0;
    EXPECT_EQ(LowerHex(Deflate(data, 9, false, adler)), expected[0]);
    EXPECT_EQ(LowerHex(Deflate(data, 9, true, crc)), expected[1]);
    EXPECT_EQ(std::to_string(adler), expected[4]);
    EXPECT_EQ(std::to_string(crc), expected[5]);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(Inflate(TestSupport::FromHex(expected[i]), data.size(), i % 2 == 1), data) << i;
    }
    TestSupport::TempDir dir;
    const std::string path = dir.File("photo.bin");
    TestSupport::WriteFile(path, data);
    auto gzip = TestSupport::RunProcess({"gzip", "-9c", path});
    ASSERT_EQ(gzip.exitCode, 0);
    ASSERT_EQ(gzip.output[3] & 0x08, 0x08);
    EXPECT_EQ(Inflate(gzip.output, data.size(), true), data);
}

TEST(ZipCompression, RefusesWhatDoesNotFitOrIsTheOtherFormat) {
    const std::string data = SampleData(2000);
    uint32_t check = 0;
    char tiny = 0;
    EXPECT_EQ(Zip::Deflate(&tiny, 1, data.data(), static_cast<unsigned int>(data.size()), 9, check,
                           false),
              0u);
    EXPECT_EQ(Zip::Deflate(&tiny, 1, data.data(), static_cast<unsigned int>(data.size()), 10, check,
                           false),
              0u);

    const std::string zlib = Deflate(data, 9, false, check);
    const std::string gzip = Deflate(data, 9, true, check);
    EXPECT_EQ(Inflate(zlib, data.size(), true), "");
    EXPECT_EQ(Inflate(gzip, data.size(), false), "");
    EXPECT_EQ(Inflate(zlib, data.size() - 1, false), "");
    EXPECT_EQ(Inflate(gzip, data.size() - 1, true), "");
    EXPECT_EQ(Inflate(zlib, data.size(), false), data);
}

// Every prefix fails; damage anywhere fails too, except in the gzip header fields that
// carry no check (time, flags of the compressor, system). Copies are exact, so ASan sees
// any read past them.
TEST(ZipCompression, TruncatedOrCorruptedInputFails) {
    const std::string data = SampleData(3000);
    for (bool gzip : {false, true}) {
        uint32_t check = 0;
        const std::string compressed = Deflate(data, 9, gzip, check);
        for (size_t at = 0; at < compressed.size(); ++at) {
            SCOPED_TRACE(at);
            EXPECT_EQ(Inflate(compressed.substr(0, at), data.size(), gzip), "");
            std::string damaged = compressed;
            damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
            const std::string result = Inflate(damaged, data.size(), gzip);
            EXPECT_TRUE(result.empty() || (result == data && gzip && at >= 4 && at < 10));
        }
    }
}

}  // namespace
}  // namespace System::Utility
