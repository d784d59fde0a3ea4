#include "System/Crypto/CRC.h"

#include "System/Crypto/CryptoTestData.h"
#include "System/IO/FileStream.h"
#include "System/IO/MemoryStream.h"
#include "System/String.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace System::Crypto {
namespace {

using namespace CryptoTest;

// Prints zlib's CRC-32 of every prefix of standard input, for lengths 0 to its size.
const char* const ZlibScript = R"(
import sys, zlib
data = sys.stdin.buffer.read()
for n in range(len(data) + 1):
    print(zlib.crc32(data[:n]))
)";

uint32_t Crc(const CRC& crc, const std::string& bytes, uint32_t previous = 0) {
    return crc.GetCRC(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), previous);
}

TEST(CRC, EqualsZlibForEveryLengthAndChains) {
    const std::string data = Bytes(300, 11);
    const auto expected = TestSupport::PythonLines(ZlibScript, data);
    ASSERT_EQ(expected.size(), 301u);
    const CRC crc(0xEDB88320);
    for (size_t n = 0; n <= 300; ++n) {
        EXPECT_EQ(std::to_string(Crc(crc, data.substr(0, n))), expected[n]) << n;
        const size_t cut = n / 3;
        EXPECT_EQ(
            std::to_string(Crc(crc, data.substr(cut, n - cut), Crc(crc, data.substr(0, cut)))),
            expected[n])
            << n;
    }
    EXPECT_EQ(Crc(crc, "123456789"), 0xcbf43926u);
}

TEST(CRC, NoBytesReturnsThePreviousValue) {
    const CRC crc(0xEDB88320);
    EXPECT_EQ(crc.GetCRC(nullptr, 0, 0), 0u);
    EXPECT_EQ(crc.GetCRC(nullptr, 0, 0x12345678), 0x12345678u);
}

TEST(CRC, StreamContinuesFromItsPositionToItsEnd) {
    const CRC crc(0xEDB88320);
    std::string data = Bytes(10000, 2);
    data[9999] = '\xff';
    IO::MemoryStream stream(reinterpret_cast<unsigned char*>(data.data()),
                            static_cast<int>(data.size()));
    stream.Position(1000);
    const uint32_t head = Crc(crc, data.substr(0, 1000));
    EXPECT_EQ(crc.GetCRC(stream, head), Crc(crc, data));
    EXPECT_EQ(stream.Position(), 10000);
}

// A file's last byte 0xFF must count, although ReadByte gives 0xFF at its end too.
TEST(CRC, FileStreamCoversEveryByte) {
    const CRC crc(0xEDB88320);
    const std::string data = "png\xff\xff";
    TestSupport::TempDir dir;
    TestSupport::WriteFile(dir.File("data"), data);
    IO::FileStream file(String(dir.File("data").c_str()), 3);
    ASSERT_TRUE(file.CanRead());
    EXPECT_EQ(crc.GetCRC(file, 0), Crc(crc, data));
}

}  // namespace
}  // namespace System::Crypto
