#include "System/IO/StreamReader.h"

#include "System/IO/FileStream.h"
#include "System/IO/MemoryStream.h"
#include "support/TempDir.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <string>

namespace System::IO {
namespace {

using TestSupport::Text;

std::string Bytes(const char* text, size_t size) {
    return std::string(text, size);
}

TEST(StreamReader, ReadLineDropsTheLineFeedAndKeepsTheCarriageReturn) {
    TestSupport::TempDir dir;
    const std::string path = dir.File("lines.txt");
    TestSupport::WriteFile(path, Bytes("ab\r\n\nkey=a\0b\nlast", 17));
    FileStream file(String(path.c_str()), 3);
    StreamReader reader(file);
    EXPECT_EQ(Text(reader.ReadLine()), "ab\r");
    EXPECT_EQ(Text(reader.ReadLine()), "");
    EXPECT_FALSE(reader.IsEndOfStream());
    EXPECT_EQ(Text(reader.ReadLine()), Bytes("key=a\0b", 7));
    EXPECT_EQ(Text(reader.ReadLine()), "last");
    EXPECT_TRUE(reader.IsEndOfStream());
    EXPECT_EQ(Text(reader.ReadLine()), "");
    reader.Close();
    EXPECT_EQ(file.Position(), 0);
}

TEST(StreamReader, PeekLooksAheadWithoutMoving) {
    unsigned char bytes[] = {200, 1};
    MemoryStream stream(bytes, sizeof bytes);
    StreamReader reader(stream);
    EXPECT_EQ(reader.Peek(), 200);
    EXPECT_EQ(stream.Position(), 0);
    EXPECT_EQ(reader.Read(), 200);
    EXPECT_EQ(reader.Read(), 1);
    EXPECT_EQ(reader.Peek(), -1);
    EXPECT_EQ(stream.Position(), 2);
}

TEST(StreamReader, ReadToEndReturnsTheRest) {
    unsigned char bytes[] = {'a', 0, 'b', 'c'};
    MemoryStream stream(bytes, sizeof bytes);
    StreamReader reader(stream);
    reader.Read();
    EXPECT_EQ(Text(reader.ReadToEnd()), Bytes("\0bc", 3));
    EXPECT_EQ(Text(reader.ReadToEnd()), "");
}

// Claims more bytes than it supplies, as a file truncated by another process does.
class ShortStream : public MemoryStream {
  public:
    using MemoryStream::MemoryStream;
    int64_t Length() const override { return 100; }
};

TEST(StreamReader, ReadToEndReturnsOnlyTheBytesSupplied) {
    unsigned char bytes[] = {'x', 'y', 'z'};
    ShortStream stream(bytes, sizeof bytes);
    StreamReader reader(stream);
    EXPECT_EQ(Text(reader.ReadToEnd()), "xyz");
}

}  // namespace
}  // namespace System::IO
