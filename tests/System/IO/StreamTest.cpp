#include "System/IO/Stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace System::IO {
namespace {

// A stream that gives only the operations without a base version, each of which
// records its call, so that what the base's own versions do can be seen.
class RecordingStream : public Stream {
  public:
    explicit RecordingStream(int64_t length) {
        mCanRead = true;
        mCanWrite = true;
        mLength = length;
    }
    void Flush() override { mCalls.push_back("Flush"); }
    int Read(unsigned char* buffer, int offset, int count) override {
        mCalls.push_back("Read");
        for (int i = 0; i < count; ++i) {
            buffer[offset + i] = 0xAB;
        }
        mPosition += count;
        return count;
    }
    int64_t Seek(int64_t offset, int) override {
        mCalls.push_back("Seek");
        return mPosition = offset;
    }
    void SetLength(int64_t value) override {
        mCalls.push_back("SetLength");
        mLength = value;
    }
    void Write(const unsigned char*, int, int count) override {
        mCalls.push_back("Write");
        mPosition += count;
    }

    std::vector<std::string> mCalls;
};

TEST(Stream, TheBaseByteOperationsAndCloseNeitherMoveNorReachTheDerivedOnes) {
    RecordingStream stream(10);
    stream.Position(4);
    // ReadByte has no end-of-stream value: the base reads 0 from a stream full of 0xAB.
    EXPECT_EQ(stream.ReadByte(), 0);
    stream.WriteByte(0x5A);
    stream.Close();
    EXPECT_EQ(stream.Position(), 4);
    EXPECT_EQ(stream.Length(), 10);
    EXPECT_TRUE(stream.CanRead());
    EXPECT_TRUE(stream.CanWrite());
    EXPECT_TRUE(stream.mCalls.empty());

    // Still usable after the base's Close.
    unsigned char byte = 0;
    EXPECT_EQ(stream.Read(&byte, 0, 1), 1);
    EXPECT_EQ(byte, 0xAB);
    EXPECT_EQ(stream.Position(), 5);
}

TEST(Stream, TimeOutsStartAtZeroAndAreKeptApartWhileTheStreamCannotTimeOut) {
    RecordingStream stream(0);
    EXPECT_FALSE(stream.CanTimeout());
    EXPECT_EQ(stream.ReadTimeout(), 0);
    EXPECT_EQ(stream.WriteTimeout(), 0);
    stream.ReadTimeout(-1);
    EXPECT_EQ(stream.ReadTimeout(), -1);
    EXPECT_EQ(stream.WriteTimeout(), 0);
    stream.WriteTimeout(0x7FFFFFFF);
    EXPECT_EQ(stream.ReadTimeout(), -1);
    EXPECT_EQ(stream.WriteTimeout(), 0x7FFFFFFF);
    EXPECT_FALSE(stream.CanTimeout());
}

}  // namespace
}  // namespace System::IO
