#include "System/Crypto/SHA.h"

#include "System/Crypto/CryptoTestData.h"
#include "System/IO/FileStream.h"
#include "System/IO/MemoryStream.h"
#include "System/String.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace System::Crypto {
namespace {

using IO::MemoryStream;
using namespace CryptoTest;

// Reads standard input into data; show(bytes) prints their SHA-256 and SHA-512 digests.
const std::string HashlibScript = R"(
import hashlib, sys
data = sys.stdin.buffer.read()
def show(d): print(hashlib.sha256(d).hexdigest(), hashlib.sha512(d).hexdigest())
)";

// The SHA-256 and SHA-512 digests of bytes, read from a stream and from a String.
std::string Digests(std::string bytes, bool fromString) {
    MemoryStream stream(reinterpret_cast<unsigned char*>(bytes.data()),
                        static_cast<int>(bytes.size()));
    uint8_t digest256[SHA::SHA256Length];
    uint8_t digest512[SHA::SHA512Length];
    if (fromString) {
        SHA::SHA256(TestSupport::Bytes(bytes), digest256);
        SHA::SHA512(TestSupport::Bytes(bytes), digest512);
    } else {
        SHA::SHA256(stream, digest256);
        stream.Position(0);
        SHA::SHA512(stream, digest512);
    }
    return Hex(digest256, sizeof digest256) + " " + Hex(digest512, sizeof digest512);
}

// Both digests of what a stream holds from its start, read through the stream.
std::string Digests(IO::Stream& stream) {
    uint8_t digest256[SHA::SHA256Length];
    uint8_t digest512[SHA::SHA512Length];
    SHA::SHA256(stream, digest256);
    SHA::SHA512(stream, digest512);
    return Hex(digest256, sizeof digest256) + " " + Hex(digest512, sizeof digest512);
}

TEST(SHA, EveryLengthUpTo300EqualsHashlib) {
    const std::string data = Bytes(300);
    const auto expected = TestSupport::PythonLines(
        HashlibScript + "for n in range(len(data) + 1): show(data[:n])\n", data);
    ASSERT_EQ(expected.size(), 301u);
    for (size_t n = 0; n <= 300; ++n) {
        EXPECT_EQ(Digests(data.substr(0, n), false), expected[n]) << "length " << n;
        EXPECT_EQ(Digests(data.substr(0, n), true), expected[n]) << "string of length " << n;
    }
}

TEST(SHA, MegabytesEqualHashlibInMemoryAndInFiles) {
    std::string data = Bytes(3 * 1024 * 1024 + 77, 5);
    const auto expected = TestSupport::PythonLines(HashlibScript + "show(data)\n", data);
    ASSERT_EQ(expected.size(), 1u);
    MemoryStream memory(reinterpret_cast<unsigned char*>(data.data()),
                        static_cast<int>(data.size()));
    EXPECT_EQ(Digests(memory), expected[0]);

    TestSupport::TempDir dir;
    TestSupport::WriteFile(dir.File("data"), data);
    IO::FileStream file(String(dir.File("data").c_str()), 3);
    ASSERT_TRUE(file.CanRead());
    EXPECT_EQ(Digests(file), expected[0]);
}

// Counting the bits in 32 bits would give wrong digests from 2^28 bytes on.
TEST(SHA, CountsTheLengthInSixtyFourBits) {
    const int64_t size = (int64_t{1} << 28) + 3;
    PatternStream zeros(std::string(1 << 16, '\0'), size, 1 << 20, size);
    uint8_t digest[SHA::SHA512Length];
    SHA::SHA512(zeros, digest);
    const auto oracle = TestSupport::RunPython(
        "import hashlib\n"
        "h = hashlib.sha512()\n"
        "for _ in range(256): h.update(bytes(1 << 20))\n"
        "h.update(bytes(3))\n"
        "print(h.hexdigest())\n");
    EXPECT_EQ(Hex(digest, sizeof(digest)) + "\n", oracle.output);
}

TEST(SHA, HashesTheWholeStreamAndLeavesItAtItsEnd) {
    std::string data = Bytes(100);
    MemoryStream stream(reinterpret_cast<unsigned char*>(data.data()), 100);
    stream.Position(60);
    uint8_t digest[SHA::SHA256Length];
    SHA::SHA256(stream, digest);
    EXPECT_EQ(Hex(digest, sizeof(digest)), Digests(data, false).substr(0, 2 * SHA::SHA256Length));
    EXPECT_EQ(stream.Position(), 100);
}

}  // namespace
}  // namespace System::Crypto
