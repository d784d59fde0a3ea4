#include "System/IO/FileStream.h"

#include "support/TempDir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

namespace System::IO {
namespace {

using TestSupport::ReadFile;
using TestSupport::WriteFile;

void Write(FileStream& stream, const std::string& text) {
    stream.Write(reinterpret_cast<const unsigned char*>(text.data()), 0,
                 static_cast<int>(text.size()));
}

std::string Read(FileStream& stream, int count) {
    std::string text(count, '\0');
    const int read = stream.Read(reinterpret_cast<unsigned char*>(text.data()), 0, count);
    text.resize(read);
    return text;
}

// "r", "s", "w" and "t" for each of CanRead, CanSeek, CanWrite and CanTimeout that holds.
std::string Flags(const FileStream& stream) {
    return std::string(stream.CanRead() ? "r" : "") + (stream.CanSeek() ? "s" : "") +
           (stream.CanWrite() ? "w" : "") + (stream.CanTimeout() ? "t" : "");
}

TEST(FileStream, ModesTreatExistingAndMissingFilesAsDocumented) {
    const struct {
        int mode;
        const char* flags;
        const char* afterWrite;  // the file "hello" after opening and writing "XY"
        bool creates;            // a missing file
    } cases[] = {
        {0, "rs", "hello", false},   {1, "rsw", "XY", true},    {2, "rsw", "XY", true},
        {3, "rs", "hello", false},   {4, "rs", "hello", false}, {5, "rsw", "XY", true},
        {6, "rsw", "helloXY", true}, {7, "rs", "hello", false}, {-1, "rs", "hello", false}};
    TestSupport::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        const std::string path = dir.File("existing");
        WriteFile(path, "hello");
        {
            FileStream stream(String(path.c_str()), c.mode);
            EXPECT_EQ(Flags(stream), c.flags);
            Write(stream, "XY");
        }
        EXPECT_EQ(ReadFile(path), c.afterWrite);

        const std::string missing = dir.File("missing" + std::to_string(c.mode));
        FileStream stream(String(missing.c_str()), c.mode);
        EXPECT_EQ(Flags(stream), c.creates ? "rsw" : "");
        EXPECT_EQ(std::filesystem::exists(missing), c.creates);
        if (!c.creates) {
            unsigned char byte = 1;
            EXPECT_EQ(stream.Length(), 0);
            EXPECT_EQ(stream.Position(), 0);
            EXPECT_EQ(stream.Read(&byte, 0, 1), 0);
            EXPECT_EQ(stream.ReadByte(), 0);
            EXPECT_EQ(stream.Seek(3, 0), 0);
        }
    }
    EXPECT_EQ(Flags(FileStream(String(""), 2)), "");
    FileStream directory(String(dir.Path().c_str()), 0);
    EXPECT_EQ(Flags(directory), "");
    EXPECT_EQ(directory.Length(), 0);
    // A named pipe has no length and may never end, and opening it would wait for its
    // other end; the test holds that end open itself, so it cannot hang.
    const std::string pipe = dir.File("pipe");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const int otherEnd = open(pipe.c_str(), O_RDWR);
    for (int mode : {2, 3, 6}) {
        EXPECT_EQ(Flags(FileStream(String(pipe.c_str()), mode)), "") << mode;
    }
    close(otherEnd);
}

// Whatever is at the path stays as it was: a file, a directory, a link to a file, and a
// link that leads nowhere, whose target is not created.
TEST(FileStream, CreateNewOpensOnlyWhatItCreates) {
    TestSupport::TempDir dir;
    WriteFile(dir.File("file"), "kept");
    std::filesystem::create_directory(dir.File("directory"));
    std::filesystem::create_symlink(dir.File("file"), dir.File("link"));
    std::filesystem::create_symlink(dir.File("nowhere"), dir.File("dangling"));
    for (const char* name : {"file", "directory", "link", "dangling"}) {
        FileStream stream(String(dir.File(name).c_str()), FileStream::kCreateNew);
        EXPECT_EQ(Flags(stream), "") << name;
        EXPECT_EQ(stream.Error(), String(std::strerror(EEXIST))) << name;
    }
    EXPECT_EQ(ReadFile(dir.File("file")), "kept");
    EXPECT_FALSE(std::filesystem::exists(dir.File("nowhere")));

    FileStream created(String(dir.File("new").c_str()), FileStream::kCreateNew);
    EXPECT_EQ(Flags(created), "rsw");
    Write(created, "fresh");
    created.Close();
    EXPECT_EQ(ReadFile(dir.File("new")), "fresh");
}

// Only the same bytes to the very end match: not a prefix of them, nor more.
TEST(FileStream, HoldsExactlyComparesTheRestOfTheFile) {
    TestSupport::TempDir dir;
    const std::string path = dir.File("data");
    std::string large(200 * 1024, 'x');
    large[150 * 1024] = 'y';
    WriteFile(path, large);
    const auto holds = [&path](const std::string& bytes, int64_t from = 0) {
        FileStream stream(String(path.c_str()), 3);
        stream.Position(from);
        return stream.HoldsExactly(String(bytes.data(), static_cast<uint32_t>(bytes.size())));
    };
    EXPECT_TRUE(holds(large));
    EXPECT_TRUE(holds(large.substr(10), 10));
    EXPECT_FALSE(holds(large.substr(0, large.size() - 1)));
    EXPECT_FALSE(holds(large + "x"));
    EXPECT_FALSE(holds(std::string(large.size(), 'x')));
    EXPECT_FALSE(holds(""));
    WriteFile(path, "");
    EXPECT_TRUE(holds(""));
    EXPECT_FALSE(FileStream(String(dir.File("missing").c_str()), 3).HoldsExactly(String()));
}

TEST(FileStream, LengthLeavesThePositionAlone) {
    TestSupport::TempDir dir;
    FileStream stream(String(dir.File("new").c_str()), 2);
    Write(stream, "0123456789");
    EXPECT_EQ(stream.Length(), 10);
    EXPECT_EQ(stream.Position(), 10);
    EXPECT_EQ(stream.Seek(3, 0), 3);
    EXPECT_EQ(stream.Length(), 10);
    EXPECT_EQ(stream.Position(), 3);
    EXPECT_EQ(stream.Seek(-2, 2), 8);
    EXPECT_EQ(stream.Position(int64_t{1}), 1);
    stream.Close();
    EXPECT_EQ(std::filesystem::file_size(dir.File("new")), 10u);
}

TEST(FileStream, ReadsAndWritesMayAlternate) {
    TestSupport::TempDir dir;
    const std::string path = dir.File("mixed");
    {
        FileStream stream(String(path.c_str()), 2);
        Write(stream, "abcde");
        stream.Position(int64_t{0});
        EXPECT_EQ(Read(stream, 2), "ab");
        Write(stream, "XY");
        EXPECT_EQ(stream.ReadByte(), 'e');
        stream.WriteByte('!');
        stream.Position(int64_t{0});
        EXPECT_EQ(Read(stream, 100), "abXYe!");
        EXPECT_EQ(stream.ReadByte(), 255);
    }
    EXPECT_EQ(ReadFile(path), "abXYe!");
}

TEST(FileStream, CloseKeepsTheFlagsAndStopsEverything) {
    TestSupport::TempDir dir;
    const std::string path = dir.File("closed");
    WriteFile(path, "hello");
    FileStream stream(String(path.c_str()), 3);
    stream.Close();
    stream.Close();
    EXPECT_EQ(Flags(stream), "rs");
    unsigned char byte = 0;
    EXPECT_EQ(stream.Read(&byte, 0, 1), 0);
    EXPECT_EQ(stream.Length(), 0);
    EXPECT_EQ(stream.Position(), 0);
    EXPECT_FALSE(stream.Failed());
}

TEST(FileStream, FailedWritesAreReported) {
    // /dev/full accepts the buffered write and fails when it reaches the device, as a
    // full disk does.
    FileStream stream(String("/dev/full"), 2);
    ASSERT_TRUE(stream.CanWrite());
    Write(stream, "data that never reaches the disk");
    EXPECT_FALSE(stream.Sync());
    EXPECT_TRUE(stream.Failed());
    // The flush of a seek, or of a read after writing, drops what it could not write.
    for (const bool seek : {true, false}) {
        FileStream full(String("/dev/full"), 2);
        Write(full, "held in the buffer");
        seek ? (void)full.Seek(0, 0) : (void)Read(full, 1);
        EXPECT_TRUE(full.Failed()) << seek;
    }

    TestSupport::TempDir dir;
    FileStream healthy(String(dir.File("ok").c_str()), 2);
    Write(healthy, "fine");
    healthy.Flush();
    EXPECT_TRUE(healthy.Sync());
    healthy.Close();
    EXPECT_FALSE(healthy.Failed());
}

}  // namespace
}  // namespace System::IO
