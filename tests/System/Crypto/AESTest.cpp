#include "System/Crypto/AES.h"

#include "System/Crypto/CryptoTestData.h"
#include "System/IO/MemoryStream.h"
#include "System/String.h"
#include "support/Process.h"

#include <gtest/gtest.h>

#include <cstring>

namespace System::Crypto {
namespace {

using IO::MemoryStream;
using namespace CryptoTest;

const std::string Key128 = FromHex("2b7e151628aed2a6abf7158809cf4f3c");
const std::string Key192 = FromHex("8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b");
const std::string Key256 =
    FromHex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
const std::string IV = FromHex("000102030405060708090a0b0c0d0e0f");

// Encrypts the key, IV and data lines given on standard input with OpenSSL's own
// library: "cbc" lines with PKCS#7 padding, "cfb" lines with one-bit cipher feedback
// on word-swapped blocks, built from single AES blocks.
const char* const OracleScript = R"(
import ctypes, ctypes.util, sys
lib = ctypes.CDLL(ctypes.util.find_library('crypto'))
P = ctypes.c_void_p
lib.EVP_CIPHER_CTX_new.restype = P
lib.EVP_CIPHER_CTX_free.argtypes = [P]
lib.EVP_CIPHER_CTX_set_padding.argtypes = [P, ctypes.c_int]
lib.EVP_EncryptInit_ex.argtypes = [P, P, P, ctypes.c_char_p, ctypes.c_char_p]
lib.EVP_EncryptUpdate.argtypes = [P, P, ctypes.POINTER(ctypes.c_int), ctypes.c_char_p, ctypes.c_int]
lib.EVP_EncryptFinal_ex.argtypes = [P, P, ctypes.POINTER(ctypes.c_int)]
def cipher(mode, key):
    f = getattr(lib, 'EVP_aes_%d_%s' % (len(key) * 8, mode))
    f.restype = P
    return f()
def run(mode, key, iv, data, pad):
    ctx = lib.EVP_CIPHER_CTX_new()
    lib.EVP_EncryptInit_ex(ctx, cipher(mode, key), None, key, iv)
    lib.EVP_CIPHER_CTX_set_padding(ctx, pad)
    out = ctypes.create_string_buffer(len(data) + 32)
    n, m = ctypes.c_int(0), ctypes.c_int(0)
    lib.EVP_EncryptUpdate(ctx, out, ctypes.byref(n), data, len(data))
    lib.EVP_EncryptFinal_ex(ctx, ctypes.addressof(out) + n.value, ctypes.byref(m))
    lib.EVP_CIPHER_CTX_free(ctx)
    return out.raw[:n.value + m.value]
def swap4(b):
    return b''.join(b[i:i + 4][::-1] for i in range(0, len(b), 4))
def cfb1(key, iv, data):
    p = 16 - len(data) % 16
    data += bytes([p]) * p
    reg, out = int.from_bytes(swap4(iv), 'big'), b''
    for i in range(0, len(data), 16):
        word, res = int.from_bytes(swap4(data[i:i + 16]), 'big'), 0
        for bit in range(127, -1, -1):
            k = swap4(run('ecb', key, None, swap4(reg.to_bytes(16, 'big')), 0))[0] >> 7
            c = ((word >> bit) & 1) ^ k
            res |= c << bit
            reg = ((reg << 1) | c) & ((1 << 128) - 1)
        out += swap4(res.to_bytes(16, 'big'))
    return out
for line in sys.stdin:
    op, key, iv, data = (line.split() + [''])[:4]
    key, iv, data = bytes.fromhex(key), bytes.fromhex(iv), bytes.fromhex(data)
    print((run('cbc', key, iv, data, 1) if op == 'cbc' else cfb1(key, iv, data)).hex())
)";

AES MakeAES(const std::string& key, const std::string& iv = IV) {
    uint32_t words[4];
    std::memcpy(words, iv.data(), sizeof(words));
    return AES(reinterpret_cast<const uint8_t*>(key.data()), static_cast<uint32_t>(key.size()),
               words);
}

std::string Transform(const AES& aes, IO::Stream& in, bool decrypt) {
    MemoryStream out;
    decrypt ? aes.Decrypt(in, out) : aes.Encrypt(in, out);
    return Content(out);
}

std::string Encrypt(const AES& aes, std::string plain) {
    MemoryStream in(reinterpret_cast<unsigned char*>(plain.data()), static_cast<int>(plain.size()));
    return Transform(aes, in, false);
}

std::string Decrypt(const AES& aes, std::string cipher) {
    MemoryStream in(reinterpret_cast<unsigned char*>(cipher.data()),
                    static_cast<int>(cipher.size()));
    return Transform(aes, in, true);
}

TEST(AES, EcbGivesTheStandardsExampleForEveryKeySize) {
    const std::string plain = FromHex("00112233445566778899aabbccddeeff");
    const struct {
        const char* key;
        const char* cipher;
    } cases[] = {
        {"000102030405060708090a0b0c0d0e0f", "69c4e0d86a7b0430d8cdb78070b4c55a"},
        {"000102030405060708090a0b0c0d0e0f1011121314151617", "dda97ca4864cdfe06eaf70a0ec0d7191"},
        {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
         "8ea2b7ca516745bfeafc49904b496089"},
    };
    for (const auto& c : cases) {
        AES aes = MakeAES(FromHex(c.key));
        aes.Mode(AES::ModeECB);
        const std::string cipher = Encrypt(aes, plain);
        ASSERT_EQ(cipher.size(), 32u) << c.key;
        EXPECT_EQ(Hex(cipher.substr(0, 16)), c.cipher);
        EXPECT_EQ(Decrypt(aes, cipher), plain);
    }
}

// Every length up to 100 with each key size, and lengths about the cipher's 4096-byte
// reads with the smallest key.
TEST(AES, CbcEqualsOpenSslForEveryLengthAndKeySize) {
    const std::string data = Bytes(20000);
    std::vector<std::pair<const std::string*, size_t>> cases;
    for (const std::string* key : {&Key128, &Key192, &Key256}) {
        for (size_t n = 0; n <= 100; ++n) {
            cases.emplace_back(key, n);
        }
    }
    for (size_t n : {4095, 4096, 4097, 8192 - 16, 8192, 20000}) {
        cases.emplace_back(&Key128, n);
    }
    std::string requests;
    for (const auto& [key, n] : cases) {
        requests += "cbc " + Hex(*key) + " " + Hex(IV) + " " + Hex(data.substr(0, n)) + "\n";
    }
    const auto expected = TestSupport::PythonLines(OracleScript, requests);
    ASSERT_EQ(expected.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto& [key, n] = cases[i];
        const AES aes = MakeAES(*key);
        const std::string cipher = Encrypt(aes, data.substr(0, n));
        EXPECT_EQ(Hex(cipher), expected[i]) << "key " << key->size() << " length " << n;
        EXPECT_EQ(Decrypt(aes, cipher), data.substr(0, n));
    }
}

// A whole-block plaintext ending in a byte 1..16 would lose that many bytes if no
// block of padding followed it.
TEST(AES, RoundTripsEveryLengthWhateverTheLastByte) {
    const AES aes = MakeAES(Key256);
    for (size_t n = 1; n <= 100; ++n) {
        std::string plain = Bytes(n, static_cast<uint32_t>(n));
        for (int last : {0x00, 0x01, 0x02, 0x05, 0x0f, 0x10, 0x11, 0x41, 0xff}) {
            plain[n - 1] = static_cast<char>(last);
            ASSERT_EQ(Decrypt(aes, Encrypt(aes, plain)), plain) << n << " " << last;
        }
    }
    EXPECT_EQ(Decrypt(aes, Encrypt(aes, "")), "");
}

TEST(AES, WholeBlocksGetAFullBlockOfPadding) {
    const AES aes = MakeAES(Key128);
    std::string plain = Bytes(16);
    plain[15] = 5;
    const std::string cipher = Encrypt(aes, plain);
    ASSERT_EQ(cipher.size(), 32u);
    EXPECT_EQ(Decrypt(aes, cipher), plain);

    // An unknown mode copies the padded blocks as they are.
    AES passThrough = MakeAES(Key128);
    passThrough.Mode(99);
    EXPECT_EQ(Encrypt(passThrough, plain), plain + std::string(16, '\x10'));
    EXPECT_EQ(Encrypt(passThrough, ""), std::string(16, '\x10'));
    EXPECT_EQ(Encrypt(passThrough, "hello"), "hello" + std::string(11, '\x0b'));
}

TEST(AES, OtherPaddingModes) {
    AES aes = MakeAES(Key128);
    aes.Mode(99);
    const std::string thirteen = "0123456789ab\x5a";

    aes.Padding(AES::PaddingZerosCount);
    EXPECT_EQ(Encrypt(aes, thirteen), thirteen + std::string("\x00\x00\x03", 3));
    aes.Padding(AES::PaddingInvertedCount);
    EXPECT_EQ(Encrypt(aes, thirteen), thirteen + "\xa5\x5a\x03");
    aes.Padding(AES::PaddingZeros);
    EXPECT_EQ(Encrypt(aes, thirteen), thirteen + std::string(3, '\0'));

    aes.Mode(AES::ModeCBC);
    EXPECT_EQ(Decrypt(aes, Encrypt(aes, "ab")), "ab");
    EXPECT_EQ(Decrypt(aes, Encrypt(aes, std::string(16, '\0'))), "");
    for (uint32_t padding : {AES::PaddingZerosCount, AES::PaddingInvertedCount}) {
        aes.Padding(padding);
        for (size_t n : {0, 1, 13, 15, 16, 17, 32}) {
            const std::string plain = std::string(n, '\x01');
            EXPECT_EQ(Decrypt(aes, Encrypt(aes, plain)), plain) << padding << " " << n;
        }
    }
}

TEST(AES, CfbEqualsItsDefinitionOverSingleBlocks) {
    const std::string data = Bytes(40, 3);
    const size_t lengths[] = {0, 7, 16, 40};
    std::string requests;
    for (size_t n : lengths) {
        requests += "cfb " + Hex(Key128) + " " + Hex(IV) + " " + Hex(data.substr(0, n)) + "\n";
    }
    const auto expected = TestSupport::PythonLines(OracleScript, requests);
    ASSERT_EQ(expected.size(), 4u);
    AES aes = MakeAES(Key128);
    aes.Mode(AES::ModeCFB);
    for (size_t i = 0; i < 4; ++i) {
        const std::string cipher = Encrypt(aes, data.substr(0, lengths[i]));
        EXPECT_EQ(Hex(cipher), expected[i]) << lengths[i];
        EXPECT_EQ(Decrypt(aes, cipher), data.substr(0, lengths[i])) << lengths[i];
    }
}

TEST(AES, InvalidKeyWritesNothing) {
    const AES aes = MakeAES(Bytes(20));
    EXPECT_FALSE(aes.IsValid());
    std::string plain = "some text";
    MemoryStream in(reinterpret_cast<unsigned char*>(plain.data()), static_cast<int>(plain.size()));
    MemoryStream out;
    unsigned char before[] = {1, 2, 3};
    out.Write(before, 0, 3);
    aes.Encrypt(in, out);
    in.Position(0);
    aes.Decrypt(in, out);
    EXPECT_EQ(Content(out), "\x01\x02\x03");
    EXPECT_EQ(out.Position(), 3);
}

TEST(AES, StringKeyAndIVEqualRawBytes) {
    const String key = TestSupport::Bytes(Key128);
    uint32_t words[4];
    std::memcpy(words, IV.data(), sizeof(words));
    EXPECT_EQ(Encrypt(AES(key, words), "text"), Encrypt(MakeAES(Key128), "text"));
    EXPECT_EQ(Encrypt(AES(key), "text"), Encrypt(MakeAES(Key128, std::string(16, '\0')), "text"));
}

TEST(AES, ReadsFromTheInputPositionAndWritesAtTheOutputPosition) {
    const AES aes = MakeAES(Key128);
    std::string plain = Bytes(40);
    MemoryStream in(reinterpret_cast<unsigned char*>(plain.data()), static_cast<int>(plain.size()));
    in.Position(10);
    MemoryStream out;
    unsigned char before[] = {'a', 'b'};
    out.Write(before, 0, 2);
    aes.Encrypt(in, out);
    EXPECT_EQ(Content(out), "ab" + Encrypt(aes, plain.substr(10)));
}

// Earlier cipher texts of whole blocks carry no padding block: a last byte above 16 keeps
// the block whole, a last byte b of 1..16 strips b bytes. A partial last block is ignored.
TEST(AES, OldCipherTextsAndPartialBlocksDecrypt) {
    const AES aes = MakeAES(Key128);
    std::string plain = "sixteen bytes.z!";
    EXPECT_EQ(Decrypt(aes, Encrypt(aes, plain).substr(0, 16)), plain);
    plain[15] = 3;
    EXPECT_EQ(Decrypt(aes, Encrypt(aes, plain).substr(0, 16)), plain.substr(0, 13));
    const std::string cipher = Encrypt(aes, Bytes(40));
    EXPECT_EQ(Decrypt(aes, cipher + "12345"), Bytes(40));
    EXPECT_EQ(Decrypt(aes, "12345"), "");
}

// Short reads must add no padding in the middle; a read of nothing before the claimed
// length would otherwise keep both loops spinning for ever.
TEST(AES, ShortReadsAndAReadOfNothingEndTheInputCorrectly) {
    const AES aes = MakeAES(Key128);
    const std::string plain = Bytes(100);
    const std::string cipher = Encrypt(aes, plain);
    const auto size = static_cast<int64_t>(cipher.size());
    for (const auto& [maxRead, claimed] : {std::pair<int, int64_t>{5, 100}, {4096, 1000}}) {
        PatternStream in(plain, 100, maxRead, claimed);
        EXPECT_EQ(Transform(aes, in, false), cipher) << maxRead;
        PatternStream cipherIn(cipher, size, maxRead + 2, claimed == 100 ? size : claimed);
        EXPECT_EQ(Transform(aes, cipherIn, true), plain) << maxRead;
    }
}

}  // namespace
}  // namespace System::Crypto
