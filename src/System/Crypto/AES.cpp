#include "System/Crypto/AES.h"

#include "System/Crypto/StreamInput.h"
#include "System/IO/Stream.h"
#include "System/String.h"

#include <array>
#include <cstring>

namespace System::Crypto {

namespace {

using ByteTable = std::array<uint8_t, 256>;

// Multiplication by x in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1.
constexpr uint8_t Times2(uint8_t value) {
    return static_cast<uint8_t>((value << 1) ^ ((value & 0x80) ? 0x1b : 0));
}

constexpr uint8_t Multiply(uint8_t a, uint8_t b) {
    uint8_t product = 0;
    for (; b != 0; b >>= 1) {
        if (b & 1) {
            product ^= a;
        }
        a = Times2(a);
    }
    return product;
}

constexpr ByteTable MakeProductTable(uint8_t factor) {
    ByteTable table{};
    for (int i = 0; i < 256; ++i) {
        table[i] = Multiply(static_cast<uint8_t>(i), factor);
    }
    return table;
}

constexpr uint8_t RotateLeft8(uint8_t value, int count) {
    return static_cast<uint8_t>((value << count) | (value >> (8 - count)));
}

// The S-box: the multiplicative inverse in GF(2^8) followed by the affine map.
// Powers of the generator 3 give the inverses without a search.
constexpr ByteTable MakeSBox() {
    ByteTable power{};
    ByteTable logarithm{};
    uint8_t value = 1;
    for (int i = 0; i < 255; ++i) {
        power[i] = value;
        logarithm[value] = static_cast<uint8_t>(i);
        value = Multiply(value, 3);
    }
    ByteTable box{};
    for (int i = 0; i < 256; ++i) {
        uint8_t inverse = i == 0 ? 0 : power[(255 - logarithm[i]) % 255];
        box[i] = static_cast<uint8_t>(inverse ^ RotateLeft8(inverse, 1) ^ RotateLeft8(inverse, 2) ^
                                      RotateLeft8(inverse, 3) ^ RotateLeft8(inverse, 4) ^ 0x63);
    }
    return box;
}

constexpr ByteTable MakeInverse(const ByteTable& box) {
    ByteTable inverse{};
    for (int i = 0; i < 256; ++i) {
        inverse[box[i]] = static_cast<uint8_t>(i);
    }
    return inverse;
}

// Entry j (1..10) holds x^(j-1) in the most significant byte.
constexpr std::array<uint32_t, 11> MakeRCon() {
    std::array<uint32_t, 11> rcon{};
    uint8_t value = 1;
    for (int j = 1; j < 11; ++j) {
        rcon[j] = static_cast<uint32_t>(value) << 24;
        value = Times2(value);
    }
    return rcon;
}

constexpr ByteTable SBox = MakeSBox();
constexpr ByteTable SInvBox = MakeInverse(SBox);
constexpr std::array<uint32_t, 11> RCon = MakeRCon();
constexpr ByteTable GF02 = MakeProductTable(0x02);
constexpr ByteTable GF03 = MakeProductTable(0x03);
constexpr ByteTable GF09 = MakeProductTable(0x09);
constexpr ByteTable GF0b = MakeProductTable(0x0b);
constexpr ByteTable GF0d = MakeProductTable(0x0d);
constexpr ByteTable GF0e = MakeProductTable(0x0e);

static_assert(SBox[0x00] == 0x63 && SBox[0x53] == 0xed && SInvBox[0x63] == 0x00);

constexpr size_t BlockSize = 16;
// Bytes handed to the streams per call: a multiple of the block size.
constexpr size_t ChunkSize = 4096;

uint32_t LoadWord(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
           static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
}

void StoreWord(uint32_t word, uint8_t* bytes) {
    bytes[0] = static_cast<uint8_t>(word >> 24);
    bytes[1] = static_cast<uint8_t>(word >> 16);
    bytes[2] = static_cast<uint8_t>(word >> 8);
    bytes[3] = static_cast<uint8_t>(word);
}

uint8_t Byte(uint32_t word, int index) {
    return static_cast<uint8_t>(word >> (24 - 8 * index));
}

uint32_t Word(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
    return static_cast<uint32_t>(b0) << 24 | static_cast<uint32_t>(b1) << 16 |
           static_cast<uint32_t>(b2) << 8 | b3;
}

uint32_t SwapEndian(uint32_t word) {
    return __builtin_bswap32(word);
}

void Write(IO::Stream& out, uint8_t* buffer, size_t count) {
    if (count > 0) {
        out.Write(buffer, 0, static_cast<int>(count));
    }
}

}  // namespace

AES::AES(const String& key)
    : AES(reinterpret_cast<const uint8_t*>(key.ToByteArray()), key.Length(), nullptr) {}

AES::AES(const String& key, const uint32_t* iv)
    : AES(reinterpret_cast<const uint8_t*>(key.ToByteArray()), key.Length(), iv) {}

AES::AES(const uint8_t* key, uint32_t length) : AES(key, length, nullptr) {}

AES::AES(const uint8_t* key, uint32_t length, const uint32_t* iv) {
    ExpandKey(key, length);
    SetIV(iv);
}

void AES::SetIV(const uint32_t* iv) {
    if (iv == nullptr) {
        return;
    }
    // The IV is taken byte by byte in memory order, so it means the same on any host.
    uint8_t bytes[BlockSize];
    std::memcpy(bytes, iv, BlockSize);
    for (int j = 0; j < 4; ++j) {
        mIV[j] = LoadWord(bytes + 4 * j);
    }
}

void AES::ExpandKey(const uint8_t* key, uint32_t length) {
    if (length != 16 && length != 24 && length != 32) {
        return;
    }
    mKeyWords = length / 4;
    mRounds = mKeyWords + 6;
    const uint32_t total = 4 * (mRounds + 1);
    mKeySchedule = std::make_unique<uint32_t[]>(total);
    uint32_t* w = mKeySchedule.get();
    for (uint32_t i = 0; i < mKeyWords; ++i) {
        w[i] = LoadWord(key + 4 * i);
    }
    for (uint32_t i = mKeyWords; i < total; ++i) {
        uint32_t temp = w[i - 1];
        if (i % mKeyWords == 0) {
            temp = SubWord(RotWord(temp)) ^ RCon[i / mKeyWords];
        } else if (mKeyWords > 6 && i % mKeyWords == 4) {
            temp = SubWord(temp);
        }
        w[i] = w[i - mKeyWords] ^ temp;
    }
}

uint32_t AES::SubWord(uint32_t word) {
    return Word(SBox[Byte(word, 0)], SBox[Byte(word, 1)], SBox[Byte(word, 2)], SBox[Byte(word, 3)]);
}

uint32_t AES::RotWord(uint32_t word) {
    return word << 8 | word >> 24;
}

void AES::AddRoundKey(Block block, uint32_t round) const {
    const uint32_t* key = mKeySchedule.get() + 4 * round;
    for (int c = 0; c < 4; ++c) {
        block[c] ^= key[c];
    }
}

void AES::SubBytes(Block block) {
    for (int c = 0; c < 4; ++c) {
        block[c] = SubWord(block[c]);
    }
}

void AES::InvSubBytes(Block block) {
    for (int c = 0; c < 4; ++c) {
        uint32_t w = block[c];
        block[c] = Word(SInvBox[Byte(w, 0)], SInvBox[Byte(w, 1)], SInvBox[Byte(w, 2)],
                        SInvBox[Byte(w, 3)]);
    }
}

// Row r is byte r of every column word; it moves left by r columns.
void AES::ShiftRows(Block block) {
    const uint32_t s0 = block[0], s1 = block[1], s2 = block[2], s3 = block[3];
    block[0] = (s0 & 0xff000000) | (s1 & 0x00ff0000) | (s2 & 0x0000ff00) | (s3 & 0x000000ff);
    block[1] = (s1 & 0xff000000) | (s2 & 0x00ff0000) | (s3 & 0x0000ff00) | (s0 & 0x000000ff);
    block[2] = (s2 & 0xff000000) | (s3 & 0x00ff0000) | (s0 & 0x0000ff00) | (s1 & 0x000000ff);
    block[3] = (s3 & 0xff000000) | (s0 & 0x00ff0000) | (s1 & 0x0000ff00) | (s2 & 0x000000ff);
}

void AES::InvShiftRows(Block block) {
    const uint32_t s0 = block[0], s1 = block[1], s2 = block[2], s3 = block[3];
    block[0] = (s0 & 0xff000000) | (s3 & 0x00ff0000) | (s2 & 0x0000ff00) | (s1 & 0x000000ff);
    block[1] = (s1 & 0xff000000) | (s0 & 0x00ff0000) | (s3 & 0x0000ff00) | (s2 & 0x000000ff);
    block[2] = (s2 & 0xff000000) | (s1 & 0x00ff0000) | (s0 & 0x0000ff00) | (s3 & 0x000000ff);
    block[3] = (s3 & 0xff000000) | (s2 & 0x00ff0000) | (s1 & 0x0000ff00) | (s0 & 0x000000ff);
}

void AES::MixColumns(Block block) {
    for (int c = 0; c < 4; ++c) {
        const uint8_t a0 = Byte(block[c], 0), a1 = Byte(block[c], 1), a2 = Byte(block[c], 2),
                      a3 = Byte(block[c], 3);
        block[c] = Word(GF02[a0] ^ GF03[a1] ^ a2 ^ a3, a0 ^ GF02[a1] ^ GF03[a2] ^ a3,
                        a0 ^ a1 ^ GF02[a2] ^ GF03[a3], GF03[a0] ^ a1 ^ a2 ^ GF02[a3]);
    }
}

void AES::InvMixColumns(Block block) {
    for (int c = 0; c < 4; ++c) {
        const uint8_t a0 = Byte(block[c], 0), a1 = Byte(block[c], 1), a2 = Byte(block[c], 2),
                      a3 = Byte(block[c], 3);
        block[c] = Word(
            GF0e[a0] ^ GF0b[a1] ^ GF0d[a2] ^ GF09[a3], GF09[a0] ^ GF0e[a1] ^ GF0b[a2] ^ GF0d[a3],
            GF0d[a0] ^ GF09[a1] ^ GF0e[a2] ^ GF0b[a3], GF0b[a0] ^ GF0d[a1] ^ GF09[a2] ^ GF0e[a3]);
    }
}

void AES::EncryptBlock(Block block) const {
    AddRoundKey(block, 0);
    for (uint32_t round = 1; round < mRounds; ++round) {
        SubBytes(block);
        ShiftRows(block);
        MixColumns(block);
        AddRoundKey(block, round);
    }
    SubBytes(block);
    ShiftRows(block);
    AddRoundKey(block, mRounds);
}

void AES::DecryptBlock(Block block) const {
    AddRoundKey(block, mRounds);
    for (uint32_t round = mRounds - 1; round >= 1; --round) {
        InvShiftRows(block);
        InvSubBytes(block);
        AddRoundKey(block, round);
        InvMixColumns(block);
    }
    InvShiftRows(block);
    InvSubBytes(block);
    AddRoundKey(block, 0);
}

void AES::CBCEncrypt(Block block, Block chain) const {
    for (int c = 0; c < 4; ++c) {
        block[c] ^= chain[c];
    }
    EncryptBlock(block);
    std::memcpy(chain, block, sizeof(Block));
}

void AES::CBCDecrypt(Block block, Block chain) const {
    Block cipher;
    std::memcpy(cipher, block, sizeof(Block));
    DecryptBlock(block);
    for (int c = 0; c < 4; ++c) {
        block[c] ^= chain[c];
    }
    std::memcpy(chain, cipher, sizeof(Block));
}

void AES::CFBEncrypt(Block block, Block chain) const {
    CFBTransform(block, chain, false);
}

void AES::CFBDecrypt(Block block, Block chain) const {
    CFBTransform(block, chain, true);
}

// One-bit cipher feedback on word-swapped forms (each group of four bytes reversed).
// With the words held byte-reversed, a 128-bit value reads as the four words in
// order, most significant bit first, which is the order the bits are fed back in.
void AES::CFBTransform(Block block, Block chain, bool decrypt) const {
    uint32_t reg[4];
    for (int j = 0; j < 4; ++j) {
        reg[j] = SwapEndian(chain[j]);
    }
    for (int j = 0; j < 4; ++j) {
        const uint32_t data = SwapEndian(block[j]);
        uint32_t result = 0;
        for (int bit = 31; bit >= 0; --bit) {
            Block cipher{SwapEndian(reg[0]), SwapEndian(reg[1]), SwapEndian(reg[2]),
                         SwapEndian(reg[3])};
            EncryptBlock(cipher);
            // The first byte of the word-swapped output is the lowest byte of word 0.
            const uint32_t keyBit = (cipher[0] >> 7) & 1;
            const uint32_t in = (data >> bit) & 1;
            const uint32_t out = in ^ keyBit;
            result |= out << bit;
            const uint32_t feedback = decrypt ? in : out;
            reg[0] = reg[0] << 1 | reg[1] >> 31;
            reg[1] = reg[1] << 1 | reg[2] >> 31;
            reg[2] = reg[2] << 1 | reg[3] >> 31;
            reg[3] = reg[3] << 1 | feedback;
        }
        block[j] = SwapEndian(result);
    }
    for (int j = 0; j < 4; ++j) {
        chain[j] = SwapEndian(reg[j]);
    }
}

void AES::TransformBlocks(uint8_t* data, size_t count, Block chain, bool decrypt) const {
    for (uint8_t* bytes = data; bytes < data + count; bytes += BlockSize) {
        Block block{LoadWord(bytes), LoadWord(bytes + 4), LoadWord(bytes + 8),
                    LoadWord(bytes + 12)};
        switch (mMode) {
            case ModeECB:
                decrypt ? DecryptBlock(block) : EncryptBlock(block);
                break;
            case ModeCBC:
                decrypt ? CBCDecrypt(block, chain) : CBCEncrypt(block, chain);
                break;
            case ModeCFB:
                decrypt ? CFBDecrypt(block, chain) : CFBEncrypt(block, chain);
                break;
            default:
                break;
        }
        for (int c = 0; c < 4; ++c) {
            StoreWord(block[c], bytes + 4 * c);
        }
    }
}

void AES::Pad(uint8_t* block, size_t n, uint8_t previous) const {
    const auto count = static_cast<uint8_t>(BlockSize - n);
    switch (mPadding) {
        case PaddingZeros:
            std::memset(block + n, 0, count);
            break;
        case PaddingZerosCount:
            std::memset(block + n, 0, count - 1);
            block[BlockSize - 1] = count;
            break;
        case PaddingInvertedCount:
            for (size_t i = n; i < BlockSize - 1; ++i) {
                previous = static_cast<uint8_t>(~previous);
                block[i] = previous;
            }
            block[BlockSize - 1] = count;
            break;
        default:
            std::memset(block + n, count, count);
            break;
    }
}

size_t AES::UnpaddedLength(const uint8_t* block) const {
    if (mPadding == PaddingZeros) {
        size_t length = BlockSize;
        while (length > 0 && block[length - 1] == 0) {
            --length;
        }
        return length;
    }
    const uint8_t b = block[BlockSize - 1];
    return b <= BlockSize ? BlockSize - b : BlockSize;
}

void AES::Encrypt(IO::Stream& in, IO::Stream& out) const {
    if (!IsValid()) {
        return;
    }
    Block chain;
    std::memcpy(chain, mIV, sizeof(Block));
    uint8_t buffer[ChunkSize];
    uint8_t last = 0;
    for (;;) {
        const size_t n = ReadFull(in, buffer, ChunkSize);
        if (n > 0) {
            last = buffer[n - 1];
        }
        if (n == ChunkSize) {
            TransformBlocks(buffer, n, chain, false);
            Write(out, buffer, n);
            continue;
        }
        // The end of the input: n < ChunkSize, so a block of room follows the whole blocks.
        size_t whole = n - n % BlockSize;
        // Without a block of padding after whole blocks, Decrypt would take a last data
        // byte of 1..16 for a pad count and drop that many bytes. Zero padding cannot be
        // told from data anyway, so it keeps ending at the data.
        if (n > whole || mPadding != PaddingZeros) {
            Pad(buffer + whole, n - whole, last);
            whole += BlockSize;
        }
        TransformBlocks(buffer, whole, chain, false);
        Write(out, buffer, whole);
        return;
    }
}

void AES::Decrypt(IO::Stream& in, IO::Stream& out) const {
    if (!IsValid()) {
        return;
    }
    Block chain;
    std::memcpy(chain, mIV, sizeof(Block));
    uint8_t buffer[ChunkSize];
    // The last deciphered block is held back at the front of the buffer until the next
    // read shows whether it ends the input and so carries the padding.
    size_t held = 0;
    for (;;) {
        const size_t n = ReadFull(in, buffer + held, ChunkSize - held);
        const size_t total = held + n;
        // A read of 0 bytes ends the input, and a partial last block is dropped rather
        // than deciphered from whatever the buffer held before.
        const size_t whole = total - total % BlockSize;
        TransformBlocks(buffer + held, whole - held, chain, true);
        if (total < ChunkSize) {
            if (whole > 0) {
                Write(out, buffer, whole - BlockSize + UnpaddedLength(buffer + whole - BlockSize));
            }
            return;
        }
        Write(out, buffer, ChunkSize - BlockSize);
        std::memcpy(buffer, buffer + ChunkSize - BlockSize, BlockSize);
        held = BlockSize;
    }
}

}  // namespace System::Crypto
