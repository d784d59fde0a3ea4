#include "Admin/CryptoUtil.h"

#include "System/Crypto/CryptoTestData.h"
#include "support/Process.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using CryptoTest::FromHex;
using CryptoTest::Hex;

System::String ToString(const std::string& bytes) {
    return System::String(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

std::string FromString(const System::String& text) {
    return std::string(text.CStr(), text.Length());
}

// For each input line "<our Base64 text> <plain text in hex>": the salted plain text
// that openssl enc deciphers from our text, openssl enc's own encryption of the salted
// plain text (Base64), and the plain text's SHA-256 digest.
const char* const OracleScript = R"(
import base64, hashlib, subprocess, sys
args = ['-aes-128-cbc', '-K', '5e1f0a9c3b7d2e48a6c1f09b7d3e5a21',
        '-iv', 'c47a09e2b15d836f0a92e4c7b38d165f']
def enc(flag, data):
    return subprocess.run(['openssl', 'enc', flag] + args, input=data,
                          capture_output=True, check=True).stdout
for line in sys.stdin.read().split('\n'):
    if not line:
        continue
    ours, plain = line.split(' ') if ' ' in line else (line, '')
    plain = bytes.fromhex(plain)
    salted = b'k3#Pq_vowrn' + plain
    print(enc('-d', base64.b64decode(ours)).hex(), base64.b64encode(enc('-e', salted)).decode(),
          hashlib.sha256(plain).hexdigest())
)";

// Salt plus text of 11, 16, 17, 22 and 32 bytes; the last ends in a byte that a
// cipher without a whole padding block would take for padding.
TEST(CryptoUtilTest, AgreesWithOpensslBothWays) {
    const std::vector<std::string> texts = {
        "",
        "abcde",
        "secret",
        "room-pass-1",
        std::string("pa\0ss word\x01\x02\x03\x04\x05", 15) + "\x05",
        "\xc3\xa9t\xc3\xa9 & <\"quoted\"> with a rather long tail of 48 bytes"};
    std::string input;
    for (const std::string& text : texts) {
        input += FromString(CryptoUtil::Encrypt(ToString(text))) + " " + Hex(text) + "\n";
    }
    const TestSupport::ProcessResult oracle = TestSupport::RunPython(OracleScript, input);
    ASSERT_EQ(oracle.exitCode, 0);
    std::istringstream lines(oracle.output);
    for (const std::string& text : texts) {
        SCOPED_TRACE(Hex(text));
        std::string decrypted, theirs, digest;
        ASSERT_TRUE(lines >> decrypted >> theirs >> digest);
        EXPECT_EQ(decrypted, Hex("k3#Pq_vowrn" + text));
        EXPECT_EQ(FromString(CryptoUtil::Decrypt(ToString(theirs))), text);
        EXPECT_EQ(Hex(FromString(CryptoUtil::Hash(ToString(text)))), digest);
    }
}

// Stored values can be damaged or written by hand: whatever they hold, decryption
// reads only the bytes there are and gives at most what they decode to.
TEST(CryptoUtilTest, DamagedTextDecryptsToBoundedBytes) {
    const std::string oneBlock = FromString(CryptoUtil::Encrypt("")).substr(0, 22) + "==";
    const std::vector<std::string> damaged = {
        "", "abc", "!!!!", "AAAAAAA=", oneBlock, FromString(CryptoUtil::Encrypt("x")) + "Zg=="};
    for (const std::string& text : damaged) {
        SCOPED_TRACE(text);
        EXPECT_LE(CryptoUtil::Decrypt(ToString(text)).Length(), text.size());
    }
    EXPECT_EQ(CryptoUtil::Decrypt(ToString(oneBlock)), "");
    EXPECT_EQ(CryptoUtil::Decrypt(""), "");
}

}  // namespace
