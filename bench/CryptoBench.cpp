// AES-CBC and SHA-256 throughput of the system's own code beside OpenSSL's EVP
// on the same buffers, so that the ratio can be read from one run.
#include "System/Crypto/AES.h"
#include "System/Crypto/SHA.h"
#include "System/IO/MemoryStream.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using System::Crypto::AES;
using System::Crypto::SHA;
using System::IO::MemoryStream;

const uint8_t Key[16] = {0x2b, 0x7e, 0x15, 0x16, 0x28, 0xae, 0xd2, 0xa6,
                         0xab, 0xf7, 0x15, 0x88, 0x09, 0xcf, 0x4f, 0x3c};
const uint8_t IV[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

std::vector<uint8_t> Input(size_t n) {
    std::vector<uint8_t> data(n);
    for (size_t i = 0; i < n; ++i) {
        data[i] = static_cast<uint8_t>(i * 131 + 7);
    }
    return data;
}

AES MakeAES() {
    uint32_t iv[4];
    std::memcpy(iv, IV, sizeof(iv));
    return AES(Key, sizeof(Key), iv);
}

void Throughput(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

// Runs OpenSSL's AES-128-CBC with PKCS#7 padding over input into output, which has
// room for one block more; returns the bytes written.
size_t OpenSslCbc(const std::vector<uint8_t>& input, std::vector<uint8_t>& output, bool encrypt,
                  EVP_CIPHER_CTX* context) {
    int n = 0;
    int last = 0;
    EVP_CipherInit_ex(context, EVP_aes_128_cbc(), nullptr, Key, IV, encrypt ? 1 : 0);
    EVP_CipherUpdate(context, output.data(), &n, input.data(), static_cast<int>(input.size()));
    EVP_CipherFinal_ex(context, output.data() + n, &last);
    return static_cast<size_t>(n + last);
}

// The plain text of a benchmark run, or its cipher text when decrypting.
std::vector<uint8_t> CbcInput(benchmark::State& state, bool encrypt) {
    std::vector<uint8_t> plain = Input(static_cast<size_t>(state.range(0)));
    if (encrypt) {
        return plain;
    }
    std::vector<uint8_t> cipher(plain.size() + 16);
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    cipher.resize(OpenSslCbc(plain, cipher, true, context));
    EVP_CIPHER_CTX_free(context);
    return cipher;
}

void AesCbc_System(benchmark::State& state, bool encrypt) {
    std::vector<uint8_t> input = CbcInput(state, encrypt);
    const AES aes = MakeAES();
    MemoryStream in(input.data(), static_cast<int>(input.size()));
    MemoryStream out;
    for (auto _ : state) {
        in.Position(0);
        out.Position(0);
        encrypt ? aes.Encrypt(in, out) : aes.Decrypt(in, out);
        benchmark::DoNotOptimize(out.GetBuffer());
    }
    Throughput(state);
}

void AesCbc_OpenSSL(benchmark::State& state, bool encrypt) {
    std::vector<uint8_t> input = CbcInput(state, encrypt);
    std::vector<uint8_t> output(input.size() + 16);
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    for (auto _ : state) {
        benchmark::DoNotOptimize(OpenSslCbc(input, output, encrypt, context));
    }
    EVP_CIPHER_CTX_free(context);
    Throughput(state);
}

void Sha256_System(benchmark::State& state) {
    std::vector<uint8_t> data = Input(static_cast<size_t>(state.range(0)));
    MemoryStream stream(data.data(), static_cast<int>(data.size()));
    uint8_t digest[SHA::SHA256Length];
    for (auto _ : state) {
        SHA::SHA256(stream, digest);
        benchmark::DoNotOptimize(digest);
    }
    Throughput(state);
}

void Sha256_OpenSSL(benchmark::State& state) {
    std::vector<uint8_t> data = Input(static_cast<size_t>(state.range(0)));
    uint8_t digest[EVP_MAX_MD_SIZE];
    for (auto _ : state) {
        unsigned int length = 0;
        EVP_Digest(data.data(), data.size(), digest, &length, EVP_sha256(), nullptr);
        benchmark::DoNotOptimize(digest);
    }
    Throughput(state);
}

// A short password-sized message, 4 KiB and 1 MiB.
#define CRYPTO_SIZES Arg(32)->Arg(4096)->Arg(1 << 20)

BENCHMARK_CAPTURE(AesCbc_System, Encrypt, true)->CRYPTO_SIZES;
BENCHMARK_CAPTURE(AesCbc_OpenSSL, Encrypt, true)->CRYPTO_SIZES;
BENCHMARK_CAPTURE(AesCbc_System, Decrypt, false)->CRYPTO_SIZES;
BENCHMARK_CAPTURE(AesCbc_OpenSSL, Decrypt, false)->CRYPTO_SIZES;
BENCHMARK(Sha256_System)->CRYPTO_SIZES;
BENCHMARK(Sha256_OpenSSL)->CRYPTO_SIZES;

}  // namespace
