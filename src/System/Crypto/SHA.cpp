#include "System/Crypto/SHA.h"

#include "System/Crypto/StreamInput.h"
#include "System/IO/Stream.h"
#include "System/String.h"

#include <algorithm>
#include <cstring>

namespace System::Crypto {

namespace {

template <typename Word>
constexpr Word SHR(Word x, int n) {
    return x >> n;
}

template <typename Word>
constexpr Word ROTR(Word x, int n) {
    return x >> n | x << (8 * sizeof(Word) - n);
}

template <typename Word>
constexpr Word Ch(Word x, Word y, Word z) {
    return (x & y) ^ (~x & z);
}

template <typename Word>
constexpr Word Maj(Word x, Word y, Word z) {
    return (x & y) ^ (x & z) ^ (y & z);
}

// What differs between the two digests: word size, block size, constants and the
// rotation counts of the functions Σ0, Σ1, σ0 and σ1.
struct SHA256Traits {
    using Word = uint32_t;
    static constexpr size_t BlockSize = 64;
    static constexpr size_t Rounds = 64;
    static constexpr Word Initial[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                        0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    static constexpr Word K[Rounds] = {
        0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4,
        0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe,
        0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f,
        0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7,
        0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc,
        0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
        0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116,
        0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
        0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7,
        0xc67178f2};
    static Word Sum0(Word x) { return ROTR(x, 2) ^ ROTR(x, 13) ^ ROTR(x, 22); }
    static Word Sum1(Word x) { return ROTR(x, 6) ^ ROTR(x, 11) ^ ROTR(x, 25); }
    static Word Selection0(Word x) { return ROTR(x, 7) ^ ROTR(x, 18) ^ SHR(x, 3); }
    static Word Selection1(Word x) { return ROTR(x, 17) ^ ROTR(x, 19) ^ SHR(x, 10); }
};

struct SHA512Traits {
    using Word = uint64_t;
    static constexpr size_t BlockSize = 128;
    static constexpr size_t Rounds = 80;
    static constexpr Word Initial[8] = {0x6a09e667f3bcc908, 0xbb67ae8584caa73b, 0x3c6ef372fe94f82b,
                                        0xa54ff53a5f1d36f1, 0x510e527fade682d1, 0x9b05688c2b3e6c1f,
                                        0x1f83d9abfb41bd6b, 0x5be0cd19137e2179};
    static constexpr Word K[Rounds] = {
        0x428a2f98d728ae22, 0x7137449123ef65cd, 0xb5c0fbcfec4d3b2f, 0xe9b5dba58189dbbc,
        0x3956c25bf348b538, 0x59f111f1b605d019, 0x923f82a4af194f9b, 0xab1c5ed5da6d8118,
        0xd807aa98a3030242, 0x12835b0145706fbe, 0x243185be4ee4b28c, 0x550c7dc3d5ffb4e2,
        0x72be5d74f27b896f, 0x80deb1fe3b1696b1, 0x9bdc06a725c71235, 0xc19bf174cf692694,
        0xe49b69c19ef14ad2, 0xefbe4786384f25e3, 0x0fc19dc68b8cd5b5, 0x240ca1cc77ac9c65,
        0x2de92c6f592b0275, 0x4a7484aa6ea6e483, 0x5cb0a9dcbd41fbd4, 0x76f988da831153b5,
        0x983e5152ee66dfab, 0xa831c66d2db43210, 0xb00327c898fb213f, 0xbf597fc7beef0ee4,
        0xc6e00bf33da88fc2, 0xd5a79147930aa725, 0x06ca6351e003826f, 0x142929670a0e6e70,
        0x27b70a8546d22ffc, 0x2e1b21385c26c926, 0x4d2c6dfc5ac42aed, 0x53380d139d95b3df,
        0x650a73548baf63de, 0x766a0abb3c77b2a8, 0x81c2c92e47edaee6, 0x92722c851482353b,
        0xa2bfe8a14cf10364, 0xa81a664bbc423001, 0xc24b8b70d0f89791, 0xc76c51a30654be30,
        0xd192e819d6ef5218, 0xd69906245565a910, 0xf40e35855771202a, 0x106aa07032bbd1b8,
        0x19a4c116b8d2d0c8, 0x1e376c085141ab53, 0x2748774cdf8eeb99, 0x34b0bcb5e19b48a8,
        0x391c0cb3c5c95a63, 0x4ed8aa4ae3418acb, 0x5b9cca4f7763e373, 0x682e6ff3d6b2b8a3,
        0x748f82ee5defb2fc, 0x78a5636f43172f60, 0x84c87814a1f0ab72, 0x8cc702081a6439ec,
        0x90befffa23631e28, 0xa4506cebde82bde9, 0xbef9a3f7b2c67915, 0xc67178f2e372532b,
        0xca273eceea26619c, 0xd186b8c721c0c207, 0xeada7dd6cde0eb1e, 0xf57d4f7fee6ed178,
        0x06f067aa72176fba, 0x0a637dc5a2c898a6, 0x113f9804bef90dae, 0x1b710b35131c471b,
        0x28db77f523047d84, 0x32caab7b40c72493, 0x3c9ebe0a15c9bebc, 0x431d67c49c100d4c,
        0x4cc5d4becb3e42b6, 0x597f299cfc657e2a, 0x5fcb6fab3ad6faec, 0x6c44198c4a475817};
    static Word Sum0(Word x) { return ROTR(x, 28) ^ ROTR(x, 34) ^ ROTR(x, 39); }
    static Word Sum1(Word x) { return ROTR(x, 14) ^ ROTR(x, 18) ^ ROTR(x, 41); }
    static Word Selection0(Word x) { return ROTR(x, 1) ^ ROTR(x, 8) ^ SHR(x, 7); }
    static Word Selection1(Word x) { return ROTR(x, 19) ^ ROTR(x, 61) ^ SHR(x, 6); }
};

template <typename Word>
Word LoadBigEndian(const uint8_t* bytes) {
    Word word = 0;
    for (size_t i = 0; i < sizeof(Word); ++i) {
        word = word << 8 | bytes[i];
    }
    return word;
}

template <typename Word>
void StoreBigEndian(Word word, uint8_t* bytes) {
    for (size_t i = sizeof(Word); i-- > 0;) {
        bytes[i] = static_cast<uint8_t>(word);
        word >>= 8;
    }
}

// Adds one block of the padded message into the hash value.
template <typename Traits>
void Compress(typename Traits::Word* hash, const uint8_t* block) {
    using Word = typename Traits::Word;
    Word schedule[Traits::Rounds];
    for (size_t t = 0; t < 16; ++t) {
        schedule[t] = LoadBigEndian<Word>(block + t * sizeof(Word));
    }
    for (size_t t = 16; t < Traits::Rounds; ++t) {
        schedule[t] = Traits::Selection1(schedule[t - 2]) + schedule[t - 7] +
                      Traits::Selection0(schedule[t - 15]) + schedule[t - 16];
    }
    Word a = hash[0], b = hash[1], c = hash[2], d = hash[3];
    Word e = hash[4], f = hash[5], g = hash[6], h = hash[7];
    for (size_t t = 0; t < Traits::Rounds; ++t) {
        const Word t1 = h + Traits::Sum1(e) + Ch(e, f, g) + Traits::K[t] + schedule[t];
        const Word t2 = Traits::Sum0(a) + Maj(a, b, c);
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    hash[0] += a;
    hash[1] += b;
    hash[2] += c;
    hash[3] += d;
    hash[4] += e;
    hash[5] += f;
    hash[6] += g;
    hash[7] += h;
}

// Hashes the bytes that read(buffer, count) delivers until it returns fewer than
// count. The message is padded block by block as it is read: only one block is held.
template <typename Traits, typename Reader>
void Digest(Reader read, uint8_t* digest) {
    using Word = typename Traits::Word;
    constexpr size_t BlockSize = Traits::BlockSize;
    // The bit count takes the last two words: 64 bits for SHA-256, 128 for SHA-512.
    constexpr size_t CountSize = 2 * sizeof(Word);
    Word hash[8];
    std::copy(Traits::Initial, Traits::Initial + 8, hash);
    uint8_t block[BlockSize];
    uint64_t length = 0;
    size_t n;
    while ((n = read(block, BlockSize)) == BlockSize) {
        Compress<Traits>(hash, block);
        length += BlockSize;
    }
    length += n;
    block[n] = 0x80;
    std::memset(block + n + 1, 0, BlockSize - n - 1);
    if (n + 1 > BlockSize - CountSize) {
        Compress<Traits>(hash, block);
        std::memset(block, 0, BlockSize);
    }
    // The length is counted in 64 bits: a 32-bit count would give wrong digests from
    // 512 MiB on. For SHA-512 the three bits shifted out go into the upper half.
    StoreBigEndian<uint64_t>(length << 3, block + BlockSize - 8);
    if (CountSize > 8) {
        StoreBigEndian<uint64_t>(length >> 61, block + BlockSize - 16);
    }
    Compress<Traits>(hash, block);
    for (size_t i = 0; i < 8; ++i) {
        StoreBigEndian<Word>(hash[i], digest + i * sizeof(Word));
    }
}

template <typename Traits>
void DigestStream(IO::Stream& stream, uint8_t* digest) {
    stream.Position(0);
    Digest<Traits>(
        [&stream](uint8_t* buffer, size_t count) { return ReadFull(stream, buffer, count); },
        digest);
}

template <typename Traits>
void DigestString(const String& text, uint8_t* digest) {
    const char* bytes = text.ToByteArray();
    size_t remaining = text.Length();
    Digest<Traits>(
        [&bytes, &remaining](uint8_t* buffer, size_t count) {
            const size_t n = std::min(count, remaining);
            if (n > 0) {
                std::memcpy(buffer, bytes, n);
                bytes += n;
                remaining -= n;
            }
            return n;
        },
        digest);
}

}  // namespace

void SHA::SHA256(IO::Stream& stream, uint8_t* digest) {
    DigestStream<SHA256Traits>(stream, digest);
}

void SHA::SHA256(const String& text, uint8_t* digest) {
    DigestString<SHA256Traits>(text, digest);
}

void SHA::SHA512(IO::Stream& stream, uint8_t* digest) {
    DigestStream<SHA512Traits>(stream, digest);
}

void SHA::SHA512(const String& text, uint8_t* digest) {
    DigestString<SHA512Traits>(text, digest);
}

}  // namespace System::Crypto
