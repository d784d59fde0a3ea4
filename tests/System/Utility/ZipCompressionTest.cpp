#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "System/Utility/Zip.h"
#include "support/Process.h"
#include "support/TempDir.h"

namespace {

using System::Utility::Zip;

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

std::string Python(const std::string& script, const std::string& input) {
    auto result = TestSupport::RunPython(script, input);
    EXPECT_EQ(result.exitCode, 0) << script;
    return result.output;
}

TEST(ZipCompression, ZlibOutputMatchesPythonAndCarriesTheAdler32) {
    const std::string data = SampleData(100000);
    uint32_t check = 0;
    const std::string ours = Deflate(data, 9, false, check);
    ASSERT_FALSE(ours.empty());
    EXPECT_EQ(ours, Python("import sys, zlib\n"
                           "sys.stdout.buffer.write(zlib.compress(sys.stdin.buffer.read(), 9))",
                           data));
    EXPECT_EQ(Python("import sys, zlib\n"
                     "sys.stdout.buffer.write(zlib.decompress(sys.stdin.buffer.read()))",
                     ours),
              data);
    EXPECT_EQ(
        std::to_string(check),
        Python("import sys, zlib\nprint(zlib.adler32(sys.stdin.buffer.read()), end='')", data));
}

TEST(ZipCompression, GzipOutputMatchesPythonAndCarriesTheCrc32) {
    const std::string data = SampleData(70000);
    uint32_t check = 0;
    const std::string ours = Deflate(data, 9, true, check);
    ASSERT_FALSE(ours.empty());
    EXPECT_EQ(ours.substr(0, 10), std::string("\x1f\x8b\x08\0\0\0\0\0\x02\x03", 10));
    EXPECT_EQ(ours, Python("import sys, zlib\n"
                           "c = zlib.compressobj(9, zlib.DEFLATED, 31, 9)\n"
                           "sys.stdout.buffer.write(c.compress(sys.stdin.buffer.read()) + "
                           "c.flush())",
                           data));
    EXPECT_EQ(Python("import sys, gzip\n"
                     "sys.stdout.buffer.write(gzip.decompress(sys.stdin.buffer.read()))",
                     ours),
              data);
    EXPECT_EQ(std::to_string(check),
              Python("import sys, zlib\nprint(zlib.crc32(sys.stdin.buffer.read()), end='')", data));
}

TEST(ZipCompression, InflatesWhatPythonAndGzipCompress) {
    const std::string data = SampleData(50000);
    EXPECT_EQ(Inflate(Python("import sys, zlib\n"
                             "sys.stdout.buffer.write(zlib.compress(sys.stdin.buffer.read()))",
                             data),
                      data.size(), false),
              data);
    EXPECT_EQ(Inflate(Python("import sys, gzip\n"
                             "sys.stdout.buffer.write(gzip.compress(sys.stdin.buffer.read()))",
                             data),
                      data.size(), true),
              data);

    // gzip's own tool stores the file name and time in the header.
    TestSupport::TempDir dir;
    const std::string path = dir.File("photo.bin");
    std::ofstream(path, std::ios::binary) << data;
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

TEST(ZipCompression, TruncatedInputFails) {
    const std::string data = SampleData(3000);
    for (bool gzip : {false, true}) {
        uint32_t check = 0;
        const std::string compressed = Deflate(data, 9, gzip, check);
        for (size_t cut = 0; cut < compressed.size(); ++cut) {
            SCOPED_TRACE(cut);
            // A copy of exactly the prefix, so ASan sees any read past it.
            const std::string prefix = compressed.substr(0, cut);
            EXPECT_EQ(Inflate(prefix, data.size(), gzip), "");
        }
    }
}

TEST(ZipCompression, CorruptedInputFailsOrYieldsTheOriginal) {
    const std::string data = SampleData(3000);
    for (bool gzip : {false, true}) {
        uint32_t check = 0;
        const std::string compressed = Deflate(data, 9, gzip, check);
        int failures = 0;
        for (size_t at = 0; at < compressed.size(); ++at) {
            SCOPED_TRACE(at);
            std::string damaged = compressed;
            damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
            const std::string result = Inflate(damaged, data.size(), gzip);
            // Only gzip header fields that carry no check (time, flags of the
            // compressor, system) may change without the damage being found.
            if (!result.empty()) {
                EXPECT_EQ(result, data);
                EXPECT_TRUE(gzip && at >= 4 && at < 10);
            } else {
                ++failures;
            }
        }
        EXPECT_GT(failures, static_cast<int>(compressed.size()) - 7);
    }
}

}  // namespace
