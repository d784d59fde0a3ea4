#include "Admin/CryptoUtil.h"

#include "System/Crypto/AES.h"
#include "System/Crypto/SHA.h"
#include "System/IO/MemoryStream.h"
#include "System/Utility/Base64.h"

#include <cstdint>

namespace {

using System::IO::MemoryStream;

constexpr char kSalt[] = "k3#Pq_vowrn";
constexpr uint32_t kSaltLength = sizeof(kSalt) - 1;
constexpr uint8_t kKey[16] = {0x5e, 0x1f, 0x0a, 0x9c, 0x3b, 0x7d, 0x2e, 0x48,
                              0xa6, 0xc1, 0xf0, 0x9b, 0x7d, 0x3e, 0x5a, 0x21};
// The IV c47a09e2b15d836f0a92e4c7b38d165f, read by the cipher in memory order.
alignas(uint32_t) constexpr uint8_t kIV[16] = {0xc4, 0x7a, 0x09, 0xe2, 0xb1, 0x5d, 0x83, 0x6f,
                                               0x0a, 0x92, 0xe4, 0xc7, 0xb3, 0x8d, 0x16, 0x5f};

// Built on first use, so that a static object of another file may protect a password
// before main whatever order the linker gives the static constructors.
const System::Crypto::AES& Cipher() {
    static const System::Crypto::AES cipher(kKey, sizeof(kKey),
                                            reinterpret_cast<const uint32_t*>(kIV));
    return cipher;
}

// The bytes of stream from 0 to its length, as a string.
System::String Contents(const MemoryStream& stream) {
    return System::String(reinterpret_cast<const char*>(stream.GetBuffer()),
                          static_cast<uint32_t>(stream.Length()));
}

}  // namespace

System::String CryptoUtil::Encrypt(const System::String& text) {
    const System::String salted = System::String(kSalt) + text;
    MemoryStream plain(reinterpret_cast<unsigned char*>(salted.ToByteArray()),
                       static_cast<int32_t>(salted.Length()));
    MemoryStream cipher;
    Cipher().Encrypt(plain, cipher);
    cipher.Seek(0, 0);
    return System::Utility::Base64::Encode(cipher);
}

bool CryptoUtil::Decrypt(const System::String& encoded, System::String& text) {
    MemoryStream cipher;
    System::Utility::Base64::Decode(encoded, cipher);
    cipher.Seek(0, 0);
    MemoryStream plain;
    Cipher().Decrypt(cipher, plain);
    // Without the check any text would decipher to some password that nobody knows.
    const System::String salted = Contents(plain);
    if (!salted.StartsWith(kSalt)) {
        text = System::String();
        return false;
    }
    text = salted.Substring(kSaltLength);
    return true;
}

System::String CryptoUtil::Hash(const System::String& text) {
    char digest[System::Crypto::SHA::SHA256Length];
    System::Crypto::SHA::SHA256(text, reinterpret_cast<uint8_t*>(digest));
    return System::String(digest, sizeof(digest));
}
