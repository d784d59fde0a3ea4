#include "System/Crypto/SHA.h"

#include "System/Crypto/CryptoTestData.h"
#include "System/IO/FileStream.h"
#include "System/IO/MemoryStream.h"
#include "System/String.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using System::Crypto::SHA;
using System::IO::MemoryStream;
using namespace CryptoTest;

// Prints the SHA-256 and SHA-512 digests of every prefix of standard input whose
// length is given as an argument.
const char* const HashlibScript = R"(
import hashlib, sys
data = sys.stdin.buffer.read()
for n in map(int, sys.argv[1:]):
    print(hashlib.sha256(data[:n]).hexdigest(), hashlib.sha512(data[:n]).hexdigest())
)";

using DigestFunction = void (*)(System::IO::Stream&, uint8_t*);

std::string Digest(DigestFunction digestOf, size_t length, std::string bytes) {
    MemoryStream stream(reinterpret_cast<unsigned char*>(bytes.data()),
                        static_cast<int>(bytes.size()));
    uint8_t digest[SHA::SHA512Length];
    digestOf(stream, digest);
    return Hex(digest, length);
}

std::string Sha256(const std::string& bytes) {
    return Digest(&SHA::SHA256, SHA::SHA256Length, bytes);
}

std::string Sha512(const std::string& bytes) {
    return Digest(&SHA::SHA512, SHA::SHA512Length, bytes);
}

std::string HashlibDigests(const std::string& data, const std::vector<size_t>& lengths) {
    std::string script = HashlibScript;
    std::vector<std::string> argv{"/usr/bin/python3", "-c", script};
    for (size_t n : lengths) {
        argv.push_back(std::to_string(n));
    }
    const auto oracle = TestSupport::RunProcess(argv, data);
    EXPECT_EQ(oracle.exitCode, 0);
    return oracle.output;
}

TEST(SHA, StandardsExamples) {
    EXPECT_EQ(Sha256(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Sha256("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(Sha512("abc"),
              "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
              "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f");
    EXPECT_EQ(Sha512("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmno"
                     "ijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu"),
              "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018"
              "501d289e4900f7e4331b99dec4b5433ac7d329eeb6dd26545e96e55b874be909");
}

TEST(SHA, EveryLengthUpTo300EqualsHashlib) {
    const std::string data = Bytes(300);
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= 300; ++n) {
        lengths.push_back(n);
    }
    const auto expected = Lines(HashlibDigests(data, lengths));
    ASSERT_EQ(expected.size(), lengths.size());
    for (size_t n = 0; n <= 300; ++n) {
        const std::string prefix = data.substr(0, n);
        EXPECT_EQ(Sha256(prefix) + " " + Sha512(prefix), expected[n]) << "length " << n;
        const System::String text(prefix.data(), static_cast<unsigned int>(n));
        uint8_t digest256[SHA::SHA256Length];
        uint8_t digest512[SHA::SHA512Length];
        SHA::SHA256(text, digest256);
        SHA::SHA512(text, digest512);
        EXPECT_EQ(Hex(digest256, sizeof(digest256)) + " " + Hex(digest512, sizeof(digest512)),
                  expected[n])
            << "string of length " << n;
    }
}

TEST(SHA, MegabytesEqualHashlibInMemoryAndInFiles) {
    const std::string data = Bytes(3 * 1024 * 1024 + 77, 5);
    const auto expected = Lines(HashlibDigests(data, {data.size()}));
    ASSERT_EQ(expected.size(), 1u);
    EXPECT_EQ(Sha256(data) + " " + Sha512(data), expected[0]);

    TestSupport::TempDir dir;
    std::ofstream(dir.File("data"), std::ios::binary) << data;
    System::IO::FileStream file(System::String(dir.File("data").c_str()), 3);
    ASSERT_TRUE(file.CanRead());
    uint8_t digest256[SHA::SHA256Length];
    uint8_t digest512[SHA::SHA512Length];
    SHA::SHA256(file, digest256);
    SHA::SHA512(file, digest512);
    EXPECT_EQ(Hex(digest256, sizeof(digest256)) + " " + Hex(digest512, sizeof(digest512)),
              expected[0]);
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
    EXPECT_EQ(Hex(digest, sizeof(digest)), Sha256(data));
    EXPECT_EQ(stream.Position(), 100);
}

TEST(SHA, StringDigestCoversZeroBytes) {
    const std::string bytes("a\0b", 3);
    uint8_t digest[SHA::SHA256Length];
    SHA::SHA256(System::String(bytes.data(), 3), digest);
    EXPECT_EQ(Hex(digest, sizeof(digest)), Sha256(bytes));
    EXPECT_NE(Hex(digest, sizeof(digest)), Sha256("a"));
}

}  // namespace
