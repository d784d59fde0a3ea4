#pragma once

#include "System/Object.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace System {
class String;
namespace IO {
class Stream;
}
}  // namespace System

namespace System::Crypto {

// The AES block cipher (FIPS-197) with 128-, 192- or 256-bit keys, applied to whole
// streams. A block is handled as four 32-bit words, word j holding bytes 4j..4j+3
// with byte 4j most significant; key and IV words are formed the same way.
//
// The object never changes after construction apart from the two settings, so one
// object may serve several threads at once, each call with its own pair of streams.
class AES : public Object {
  public:
    // Chaining modes; any other value passes the blocks through unchanged.
    static constexpr uint32_t ModeECB = 0;
    static constexpr uint32_t ModeCBC = 1;
    // One-bit cipher feedback carried out on the word-swapped form of each block.
    static constexpr uint32_t ModeCFB = 2;

    // Padding of a short last block of n bytes, positions n..15:
    // every pad byte 16 - n (any value other than those below behaves like this one).
    static constexpr uint32_t PaddingCount = 0;
    // every pad byte 0.
    static constexpr uint32_t PaddingZeros = 1;
    // zeros, then 16 - n in position 15.
    static constexpr uint32_t PaddingZerosCount = 2;
    // each byte the bitwise NOT of the one before it, then 16 - n in position 15.
    static constexpr uint32_t PaddingInvertedCount = 3;

    // The key is the string's bytes; the IV is all zero.
    explicit AES(const String& key);
    // iv points to 16 bytes: IV byte k is the byte at offset k.
    AES(const String& key, const uint32_t* iv);
    AES(const uint8_t* key, uint32_t length);
    AES(const uint8_t* key, uint32_t length, const uint32_t* iv);

    AES(const AES&) = delete;
    AES& operator=(const AES&) = delete;

    // True when the key was 16, 24 or 32 bytes long; otherwise Encrypt and Decrypt
    // write nothing.
    [[nodiscard]] bool IsValid() const { return mKeySchedule != nullptr; }

    uint32_t Mode() const { return mMode; }
    void Mode(uint32_t mode) { mMode = mode; }
    uint32_t Padding() const { return mPadding; }
    void Padding(uint32_t padding) { mPadding = padding; }

    // Enciphers the bytes of in from its position to its end and writes the cipher
    // text to out at out's position. Every call starts again from the IV.
    void Encrypt(IO::Stream& in, IO::Stream& out) const;

    // The reverse of Encrypt: deciphers in from its position and removes the padding
    // of the last block. Bytes after the last whole block are ignored.
    void Decrypt(IO::Stream& in, IO::Stream& out) const;

  private:
    using Block = uint32_t[4];

    void ExpandKey(const uint8_t* key, uint32_t length);
    void SetIV(const uint32_t* iv);

    static uint32_t SubWord(uint32_t word);
    static uint32_t RotWord(uint32_t word);
    void AddRoundKey(Block block, uint32_t round) const;
    static void SubBytes(Block block);
    static void ShiftRows(Block block);
    static void MixColumns(Block block);
    static void InvSubBytes(Block block);
    static void InvShiftRows(Block block);
    static void InvMixColumns(Block block);

    void EncryptBlock(Block block) const;
    void DecryptBlock(Block block) const;
    void CBCEncrypt(Block block, Block chain) const;
    void CBCDecrypt(Block block, Block chain) const;
    void CFBEncrypt(Block block, Block chain) const;
    void CFBDecrypt(Block block, Block chain) const;
    void CFBTransform(Block block, Block chain, bool decrypt) const;

    // Enciphers or deciphers count bytes (a multiple of 16) of data in place by mMode.
    void TransformBlocks(uint8_t* data, size_t count, Block chain, bool decrypt) const;
    // Fills positions n..15 of a block holding n data bytes as mPadding says;
    // previous is the last data byte before position n (0 when there is none).
    void Pad(uint8_t* block, size_t n, uint8_t previous) const;
    // The number of bytes of a deciphered last block that are data.
    size_t UnpaddedLength(const uint8_t* block) const;

    // The expanded key, 4 * (mRounds + 1) words; null when the key length was invalid.
    std::unique_ptr<uint32_t[]> mKeySchedule;
    // The initialisation vector in word form.
    Block mIV{0, 0, 0, 0};
    // Key length in words: 4, 6 or 8.
    uint32_t mKeyWords{0};
    // Number of rounds: 10, 12 or 14.
    uint32_t mRounds{0};
    uint32_t mMode{ModeCBC};
    uint32_t mPadding{PaddingCount};
};

}  // namespace System::Crypto
