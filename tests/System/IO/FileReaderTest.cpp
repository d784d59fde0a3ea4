#include "System/IO/FileReader.h"

#include "support/TempDir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace System::IO {
namespace {

std::string Read(FileReader& reader, int count) {
    std::string text(count, '\0');
    const int read = reader.Read(reinterpret_cast<unsigned char*>(text.data()), 0, count);
    text.resize(read);
    return text;
}

TEST(FileReader, ReadsFromItsPositionAndTellsTheSizeTheFileHasNow) {
    TestSupport::TempDir dir;
    const std::string path = dir.File("photo");
    TestSupport::WriteFile(path, "0123456789");
    FileReader reader(String(path.c_str()));
    ASSERT_TRUE(reader.CanRead());
    EXPECT_TRUE(reader.CanSeek());
    EXPECT_FALSE(reader.CanWrite());
    EXPECT_GE(reader.Descriptor(), 0);
    EXPECT_EQ(Read(reader, 4), "0123");
    EXPECT_EQ(reader.Position(), 4);
    // Fewer than asked only at the end of the file.
    EXPECT_EQ(Read(reader, 8), "456789");
    EXPECT_EQ(reader.Position(), 10);
    EXPECT_EQ(Read(reader, 8), "");
    EXPECT_EQ(reader.Seek(-3, 2), 7);
    EXPECT_EQ(Read(reader, 2), "78");
    EXPECT_EQ(reader.Position(1), 1);
    EXPECT_EQ(Read(reader, 1), "1");
    EXPECT_EQ(reader.Length(), 10);
    std::ofstream(path, std::ios::app) << "ab";
    EXPECT_EQ(reader.Length(), 12);
    reader.Close();
    EXPECT_EQ(reader.Descriptor(), -1);
    EXPECT_EQ(Read(reader, 4), "");
    EXPECT_EQ(reader.Length(), 0);
}

TEST(FileReader, OpensNothingButARegularFile) {
    TestSupport::TempDir dir;
    FileReader missing(String(dir.File("missing").c_str()));
    EXPECT_TRUE(missing.IsMissing());
    FileReader directory(String(dir.Path().c_str()));
    EXPECT_FALSE(directory.IsMissing());
    // Opening a named pipe would wait for its other end; the test holds that end open
    // itself, so it cannot hang.
    const std::string pipe = dir.File("pipe");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const int otherEnd = open(pipe.c_str(), O_RDWR);
    FileReader named(String(pipe.c_str()));
    close(otherEnd);
    for (FileReader* reader : {&missing, &directory, &named}) {
        EXPECT_FALSE(reader->CanRead());
        EXPECT_FALSE(reader->CanSeek());
        EXPECT_EQ(reader->Descriptor(), -1);
        EXPECT_EQ(reader->Length(), 0);
        unsigned char byte = 0;
        EXPECT_EQ(reader->Read(&byte, 0, 1), 0);
    }
}

}  // namespace
}  // namespace System::IO
