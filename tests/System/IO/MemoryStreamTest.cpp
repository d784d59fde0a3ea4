#include "System/IO/MemoryStream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace System::IO {
namespace {

void WriteBytes(MemoryStream& stream, std::vector<unsigned char> bytes) {
    stream.Write(bytes.data(), 0, static_cast<int>(bytes.size()));
}

std::vector<unsigned char> Content(const MemoryStream& stream) {
    const unsigned char* buffer = stream.GetBuffer();
    return std::vector<unsigned char>(buffer, buffer + stream.Length());
}

// "length/position/capacity".
std::string Shape(const MemoryStream& stream) {
    return std::to_string(stream.Length()) + "/" + std::to_string(stream.Position()) + "/" +
           std::to_string(stream.Capacity());
}

TEST(MemoryStream, LentBufferTakesWritesUntilItMustGrow) {
    unsigned char lent[4] = {9, 9, 9, 9};
    {
        MemoryStream stream(lent, 4);
        WriteBytes(stream, {1, 2, 3, 4});
        EXPECT_EQ(stream.GetBuffer(), lent);
        EXPECT_EQ(lent[3], 4);
        stream.WriteByte(5);
        EXPECT_NE(stream.GetBuffer(), lent);
        EXPECT_EQ(stream.Capacity(), 8);
        EXPECT_EQ(Content(stream), (std::vector<unsigned char>{1, 2, 3, 4, 5}));
        stream.Position(0);
        stream.WriteByte(7);
    }
    // The stream neither freed the lent array (ASan would report it) nor wrote to it
    // after moving out.
    EXPECT_EQ(std::vector<unsigned char>(lent, lent + 4), (std::vector<unsigned char>{1, 2, 3, 4}));
}

TEST(MemoryStream, SeekClampsAndCountsOriginTwoBackwards) {
    MemoryStream stream(10);
    EXPECT_EQ(stream.Seek(-3, 0), 0);
    EXPECT_EQ(stream.Seek(100, 0), 10);
    EXPECT_EQ(stream.Seek(2, 2), 8);
    EXPECT_EQ(stream.Seek(-3, 1), 5);
    EXPECT_EQ(stream.Seek(1, 7), 5);
    EXPECT_EQ(stream.Seek(std::numeric_limits<int64_t>::max(), 1), 10);
    EXPECT_EQ(stream.Seek(std::numeric_limits<int64_t>::min(), 2), 10);
    EXPECT_EQ(stream.Seek(std::numeric_limits<int64_t>::min(), 1), 0);
    EXPECT_EQ(stream.Position(-5), 0);
    EXPECT_EQ(stream.Position(70), 10);

    unsigned char lent[4] = {1, 2, 3, 4};
    EXPECT_EQ(MemoryStream(lent, 9, 4).Position(), 4);
    EXPECT_EQ(MemoryStream(lent, -2, 4).Position(), 0);
    MemoryStream empty;
    EXPECT_EQ(empty.Seek(5, 0), 0);
}

TEST(MemoryStream, WritePastTheLargestCapacityIsRefused) {
    // The lent stream only claims the size: the refused write must not touch it,
    // nor compute a wrapped capacity and copy into a buffer too small for it.
    unsigned char lent[16] = {};
    MemoryStream stream(lent, MemoryStream::kMaxCapacity - 1, MemoryStream::kMaxCapacity);
    const std::string max = std::to_string(MemoryStream::kMaxCapacity);
    const std::string shape =
        max + "/" + std::to_string(MemoryStream::kMaxCapacity - 1) + "/" + max;
    WriteBytes(stream, std::vector<unsigned char>(10, 1));
    EXPECT_EQ(Shape(stream), shape);
    stream.SetLength(int64_t{1} << 40);
    EXPECT_EQ(Shape(stream), shape);
    EXPECT_EQ(stream.GetBuffer(), lent);
}

}  // namespace
}  // namespace System::IO
