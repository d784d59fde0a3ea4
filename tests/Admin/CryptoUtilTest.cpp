#include "Admin/CryptoUtil.h"

#include "System/Crypto/CryptoTestData.h"
#include "support/Process.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

using CryptoTest::Hex;

// For each line "<our Base64 text> <plain text in hex>": what openssl enc deciphers
// from our text, openssl enc's own encryption of the salted text, its SHA-256 digest.
const char* const OracleScript = R"(
import base64, hashlib, subprocess, sys
def enc(flag, data):
    return subprocess.run(['openssl', 'enc', flag, '-aes-128-cbc', '-K', '5e1f0a9c3b7d2e48a6c1f09b7d3e5a21',
        '-iv', 'c47a09e2b15d836f0a92e4c7b38d165f'], input=data, capture_output=True, check=True).stdout
for ours, plain in (line.split(' ') for line in sys.stdin.read().splitlines()):
    plain = bytes.fromhex(plain)
    print(enc('-d', base64.b64decode(ours)).hex(), base64.b64encode(enc('-e', b'k3#Pq_vowrn' + plain)).decode(),
          hashlib.sha256(plain).hexdigest())
)";

// Salted texts of 11, 16, 17 and 32 bytes; the last ends in a byte that a cipher
// without a whole block of padding after whole blocks would take for padding.
TEST(CryptoUtilTest, AgreesWithOpensslBothWays) {
    const std::string texts[] = {"", "abcde", "secret",
                                 std::string("pa\0ss w\xc3\xa9rd\x01\x02\x05", 13)};
    std::string input;
    for (const std::string& text : texts) {
        const System::String encrypted =
            CryptoUtil::Encrypt(System::String(text.data(), text.size()));
        input += std::string(encrypted.CStr()) + " " + Hex(text) + "\n";
    }
    const TestSupport::ProcessResult oracle = TestSupport::RunPython(OracleScript, input);
    ASSERT_EQ(oracle.exitCode, 0);
    std::istringstream lines(oracle.output);
    for (const std::string& text : texts) {
        std::string decrypted, theirs, digest;
        ASSERT_TRUE(lines >> decrypted >> theirs >> digest);
        EXPECT_EQ(decrypted, Hex("k3#Pq_vowrn" + text));
        System::String ours = "stale";
        EXPECT_TRUE(CryptoUtil::Decrypt(theirs.c_str(), ours));
        EXPECT_EQ(std::string(ours.CStr(), ours.Length()), text);
        const System::String hash = CryptoUtil::Hash(System::String(text.data(), text.size()));
        EXPECT_EQ(Hex(std::string(hash.CStr(), hash.Length())), digest);
    }
    // Damaged stored values: no whole block, less than the salt, or a text enciphered
    // without the salt. Unlike them, the encryption of "" above deciphers successfully.
    for (const char* damaged :
         {"", "abc", "!!!!", "LXoMxRRcmnngv53+CWIx/g==",
          "nv7Re7quGdbGvTuNsOr0ktmx6NhkA2CRWa6S6K+y4UoIIgogMUyvhss5mjPqc8Ee"}) {
        System::String plain = "stale";
        EXPECT_FALSE(CryptoUtil::Decrypt(damaged, plain)) << damaged;
        EXPECT_EQ(plain, "");
    }
}

}  // namespace
