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

TEST(MemoryStream, GrowsFromTwoByDoublingToCoverTheWrite) {
    MemoryStream stream;
    EXPECT_EQ(stream.GetBuffer(), nullptr);
    stream.WriteByte(1);
    EXPECT_EQ(stream.Capacity(), 2);
    WriteBytes(stream, {2, 3, 4, 5});
    EXPECT_EQ(stream.Capacity(), 8);
    WriteBytes(stream, {6, 7, 8});
    EXPECT_EQ(stream.Capacity(), 8);
    stream.WriteByte(9);
    EXPECT_EQ(Shape(stream), "9/9/16");
    EXPECT_EQ(Content(stream), (std::vector<unsigned char>{1, 2, 3, 4, 5, 6, 7, 8, 9}));

    // A sized stream counts its (zeroed) bytes as content and doubles from its size.
    MemoryStream sized(3);
    WriteBytes(sized, {1});
    EXPECT_EQ(Content(sized), (std::vector<unsigned char>{1, 0, 0}));
    sized.Position(0);
    WriteBytes(sized, std::vector<unsigned char>(13, 1));
    EXPECT_EQ(sized.Capacity(), 24);
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

TEST(MemoryStream, ReadOnlyStreamShortensButNeverGrows) {
    unsigned char lent[4] = {1, 2, 3, 4};
    MemoryStream stream(lent, 0, 4, false);
    stream.WriteByte(9);
    EXPECT_EQ(lent[0], 1);
    stream.Position(4);
    stream.SetLength(2);
    EXPECT_EQ(Shape(stream), "2/2/4");
    stream.SetLength(10);
    stream.Capacity(16);
    EXPECT_EQ(Shape(stream), "2/2/4");
    EXPECT_EQ(stream.GetBuffer(), lent);
}

TEST(MemoryStream, SetLengthGrowsWritableStreamsWithZeros) {
    MemoryStream stream;
    WriteBytes(stream, {1, 2, 3});
    stream.SetLength(4);
    EXPECT_EQ(Shape(stream), "4/3/4");
    stream.SetLength(6);
    EXPECT_EQ(Shape(stream), "6/3/6");
    EXPECT_EQ(Content(stream), (std::vector<unsigned char>{1, 2, 3, 0, 0, 0}));
    stream.SetLength(-1);
    EXPECT_EQ(Shape(stream), "0/0/6");
}

TEST(MemoryStream, CapacityAlwaysReallocatesAndKeepsWhatFits) {
    unsigned char lent[4] = {1, 2, 3, 4};
    MemoryStream stream(lent, 4);
    stream.Capacity(4);
    EXPECT_NE(stream.GetBuffer(), lent);
    EXPECT_EQ(Content(stream), (std::vector<unsigned char>{1, 2, 3, 4}));
    stream.Position(4);
    stream.Capacity(2);
    EXPECT_EQ(Shape(stream), "2/2/2");
    stream.Capacity(0);
    EXPECT_EQ(stream.GetBuffer(), nullptr);
    EXPECT_EQ(Shape(stream), "0/0/0");
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

TEST(MemoryStream, ReadStopsAtTheEnd) {
    unsigned char lent[5] = {1, 2, 3, 4, 5};
    MemoryStream stream(lent, 2, 5);
    unsigned char out[8] = {};
    EXPECT_EQ(stream.Read(out, 1, 8), 3);
    EXPECT_EQ(out[1], 3);
    EXPECT_EQ(out[3], 5);
    EXPECT_EQ(stream.Read(out, 0, 8), 0);
    EXPECT_EQ(stream.ReadByte(), 0);
    EXPECT_EQ(stream.Position(), 5);
    stream.Position(4);
    EXPECT_EQ(stream.ReadByte(), 5);
    EXPECT_EQ(stream.Read(out, 0, -1), 0);
}

TEST(MemoryStream, WriteToCopiesTheWholeContent) {
    MemoryStream source;
    WriteBytes(source, {1, 2, 3});
    MemoryStream target;
    WriteBytes(target, {9});
    source.WriteTo(target);
    EXPECT_EQ(source.Position(), 3);
    EXPECT_EQ(Content(target), (std::vector<unsigned char>{9, 1, 2, 3}));
}

TEST(MemoryStream, CloseDropsTheBufferButStaysWritable) {
    unsigned char lent[3] = {1, 2, 3};
    MemoryStream lentStream(lent, 0, 3, true, false);
    EXPECT_EQ(lentStream.GetBuffer(), nullptr);
    lentStream.Close();
    EXPECT_EQ(Shape(lentStream), "0/0/0");
    EXPECT_EQ(lent[2], 3);

    MemoryStream owned;
    WriteBytes(owned, {1, 2, 3});
    owned.Close();
    EXPECT_EQ(owned.GetBuffer(), nullptr);
    EXPECT_EQ(Shape(owned), "0/0/0");
    owned.WriteByte(4);
    EXPECT_EQ(Shape(owned), "1/1/2");
    EXPECT_EQ(Content(owned), (std::vector<unsigned char>{4}));
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

    // Seeks to the ends of the offset's range clamp to the stream instead of wrapping;
    // origin 2 counts backwards from the end.
    MemoryStream small(10);
    EXPECT_EQ(small.Seek(std::numeric_limits<int64_t>::max(), 1), 10);
    EXPECT_EQ(small.Seek(std::numeric_limits<int64_t>::min(), 2), 10);
    EXPECT_EQ(small.Seek(std::numeric_limits<int64_t>::min(), 1), 0);
}

}  // namespace
}  // namespace System::IO
