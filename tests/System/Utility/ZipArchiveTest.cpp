#include "System/Utility/Zip.h"

#include "System/IO/MemoryStream.h"
#include "support/Process.h"
#include "support/TempDir.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace System::Utility {
namespace {

using IO::MemoryStream;
using TestSupport::LowerHex;
using TestSupport::ReadFile;
using TestSupport::Text;

std::string Binary(size_t size) {
    std::string data;
    for (size_t i = 0; i < size; ++i) {
        data.push_back(static_cast<char>((i * 7 + i / 300) & 0xFF));
    }
    return data;
}

std::string Python(const std::string& script, const std::string& input = "") {
    auto result = TestSupport::RunPython(script, input);
    EXPECT_EQ(result.exitCode, 0) << script;
    return result.output;
}

// Writes a python-made archive of stored entries "a.txt" and "bb.txt" to path, then
// lets patch (python code on the bytearray b and the entries' infos i) damage it.
void WriteStoredArchive(const std::string& path, const std::string& patch = "") {
    Python(
        "import io, struct, zipfile\n"
        "f = io.BytesIO()\n"
        "with zipfile.ZipFile(f, 'w') as z:\n"
        "    z.writestr('a.txt', 'first entry')\n"
        "    z.writestr('bb.txt', 'second entry, a little longer')\n"
        "i = zipfile.ZipFile(f).infolist()\n"
        "b = bytearray(f.getvalue())\n" +
        patch + "open('" + path + "', 'wb').write(b)\n");
}

TEST(ZipArchive, ArchiveWeWriteIsListedAndExtractedByPython) {
    TestSupport::TempDir dir;
    const std::string path = dir.File("out.zip");
    const std::string text = "hello, room\n";
    const std::string binary = Binary(50000);
    Zip zip;
    ASSERT_TRUE(zip.OpenZip(path.c_str()));
    EXPECT_TRUE(zip.AddZip("a.txt", text.data(), static_cast<unsigned int>(text.size())));
    EXPECT_TRUE(zip.AddZip("dir/b.bin", binary.data(), static_cast<unsigned int>(binary.size())));
    EXPECT_TRUE(zip.AddZip("empty", "", 0));
    ASSERT_TRUE(zip.CloseZip());

    EXPECT_EQ(
        Python("import zipfile\n"
               "z = zipfile.ZipFile('" +
               path +
               "')\n"
               "print(z.testzip())\n"
               "for i in z.infolist():\n"
               "    print(i.filename, i.compress_type, z.read(i).hex())\n"),
        "None\na.txt 8 " + LowerHex(text) + "\ndir/b.bin 8 " + LowerHex(binary) + "\nempty 8 \n");

    // The local headers carry the sizes, so the listing walks our archives too.
    const auto headers = Zip::GetFileList(path.c_str());
    ASSERT_EQ(headers.Count(), 3u);
    EXPECT_EQ(Text(headers[1].mName), "dir/b.bin");
    EXPECT_EQ(headers[1].mUncompressedSize, binary.size());
}

TEST(ZipArchive, ArchivePythonWritesIsReadByUs) {
    TestSupport::TempDir dir;
    const std::string path = dir.File("in.zip");
    const std::string binary = Binary(40000);
    Python(
        "import sys, zipfile\n"
        "with zipfile.ZipFile('" +
            path +
            "', 'w') as z:\n"
            "    z.writestr('stored.txt', 'kept as it is', zipfile.ZIP_STORED)\n"
            "    z.writestr('deflated.bin', sys.stdin.buffer.read(), zipfile.ZIP_DEFLATED)\n"
            "    z.writestr('sub/empty', '')\n",
        binary);

    Zip zip;
    ASSERT_TRUE(zip.OpenUnZip(path.c_str()));
    EXPECT_EQ(zip.GetUncmprSize("stored.txt"), 13u);
    EXPECT_EQ(zip.GetUncmprSize("deflated.bin"), binary.size());
    EXPECT_EQ(zip.GetUncmprSize("sub/empty"), 0u);
    EXPECT_EQ(zip.GetUncmprSize("STORED.TXT"), 0u);

    std::string out(binary.size(), '\0');
    ASSERT_TRUE(zip.GetFile("deflated.bin", out.data(), static_cast<unsigned int>(out.size())));
    EXPECT_EQ(out, binary);
    std::string stored(13, '\0');
    ASSERT_TRUE(zip.GetFile("stored.txt", stored.data(), 13));
    EXPECT_EQ(stored, "kept as it is");
    std::string part(4, '\0');
    EXPECT_TRUE(zip.GetFile("deflated.bin", part.data(), 4));
    EXPECT_EQ(part, binary.substr(0, 4));
    EXPECT_FALSE(zip.GetFile("missing", part.data(), 4));
    EXPECT_TRUE(zip.CloseUnZip());
    EXPECT_FALSE(zip.CloseUnZip());
    EXPECT_FALSE(zip.GetFile("stored.txt", stored.data(), 13));
}

TEST(ZipArchive, CorruptedEntryFailsItsCheck) {
    TestSupport::TempDir dir;
    const std::string path = dir.File("bad.zip");
    WriteStoredArchive(path, "b[i[0].header_offset + 30 + 5] ^= 1\n");
    Zip zip;
    ASSERT_TRUE(zip.OpenUnZip(path.c_str()));
    std::string out(11, '\0');
    EXPECT_FALSE(zip.GetFile("a.txt", out.data(), 11));
    EXPECT_TRUE(zip.GetFile("bb.txt", out.data(), 11));
}

TEST(ZipArchive, OpeningAgainClosesTheArchiveBeingWritten) {
    TestSupport::TempDir dir;
    Zip zip;
    EXPECT_FALSE(zip.CloseZip());
    EXPECT_FALSE(zip.AddZip("x", "x", 1));
    ASSERT_TRUE(zip.OpenZip(dir.File("first.zip").c_str()));
    EXPECT_TRUE(zip.AddZip("one", "1", 1));
    ASSERT_TRUE(zip.OpenZip(dir.File("second.zip").c_str()));
    EXPECT_TRUE(zip.AddZip("two", "2", 1));
    EXPECT_FALSE(zip.OpenUnZip(dir.File("missing.zip").c_str()));
    // The destructor closes the second archive.
    {
        Zip closing;
        ASSERT_TRUE(closing.OpenZip(dir.File("third.zip").c_str()));
        EXPECT_TRUE(closing.AddZip("three", "3", 1));
    }
    EXPECT_EQ(Python("import zipfile\n"
                     "for name in ('first', 'third'):\n"
                     "    z = zipfile.ZipFile('" +
                     dir.Path() +
                     "/' + name + '.zip')\n"
                     "    print(z.testzip(), z.namelist())\n"),
              "None ['one']\nNone ['three']\n");
}

TEST(ZipArchive, ListingFindsEachHeaderAndItsData) {
    TestSupport::TempDir dir;
    const std::string path = dir.File("t.zip");
    WriteStoredArchive(path);
    const auto headers = Zip::GetFileList(path.c_str());
    ASSERT_EQ(headers.Count(), 2u);
    std::string listed;
    for (uint32_t i = 0; i < headers.Count(); ++i) {
        listed += Text(headers[i].mName) + " " + std::to_string(headers[i].mDataOffset) + " " +
                  std::to_string(headers[i].mCompressedSize) + "\n";
    }
    EXPECT_EQ(listed, Python("import zipfile\n"
                             "for i in zipfile.ZipFile('" +
                             path +
                             "').infolist():\n"
                             "    print(i.filename, i.header_offset + 30 + len(i.filename) + "
                             "len(i.extra), i.compress_size)\n"));
    const std::string bytes = ReadFile(path);
    EXPECT_EQ(bytes.substr(headers[1].mDataOffset, headers[1].mCompressedSize),
              "second entry, a little longer");
    EXPECT_EQ(headers[0].mSignature, Zip::kLocalHeaderSignature);

    EXPECT_EQ(Zip::GetFileList(dir.File("missing.zip").c_str()).Count(), 0u);
    EXPECT_EQ(Zip::GetFileList(nullptr).Count(), 0u);
}

TEST(ZipArchive, ListingReadsNamesOfAnyLength) {
    TestSupport::TempDir dir;
    const std::string path = dir.File("long.zip");
    Python(
        "import zipfile\n"
        "with zipfile.ZipFile('" +
        path +
        "', 'w') as z:\n"
        "    z.writestr('n' * 40000, 'payload')\n"
        "    z.writestr('after', 'next')\n");
    const auto headers = Zip::GetFileList(path.c_str());
    ASSERT_EQ(headers.Count(), 2u);
    EXPECT_EQ(headers[0].mNameLength, 40000);
    EXPECT_EQ(headers[0].mName.Length(), 40000u);
    EXPECT_EQ(headers[0].mDataOffset, 30 + 40000);
    EXPECT_EQ(Text(headers[1].mName), "after");
}

TEST(ZipArchive, ListingEndsAtALoopingOrOverrunningEntry) {
    struct Case {
        const char* what;
        std::string patch;
    };
    const Case cases[] = {
        // As a signed 32-bit seek this size steps back onto its own header.
        {"loops", "struct.pack_into('<I', b, i[1].header_offset + 18, 0xFFFFFFE2)\n"},
        {"loops to the start",
         "struct.pack_into('<I', b, i[1].header_offset + 18, "
         "(-(i[1].header_offset + 30 + 6)) & 0xFFFFFFFF)\n"},
        {"overruns", "struct.pack_into('<I', b, i[1].header_offset + 18, len(b))\n"},
        {"overruns far", "struct.pack_into('<I', b, i[1].header_offset + 18, 0x7FFFFFFF)\n"},
        {"header cut short", "del b[i[1].header_offset + 33:]\n"},
        {"fixed part cut short", "del b[i[1].header_offset + 20:]\n"},
    };
    TestSupport::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.File("crafted.zip");
        WriteStoredArchive(path, c.patch);
        const auto headers = Zip::GetFileList(path.c_str());
        ASSERT_EQ(headers.Count(), 1u);
        EXPECT_EQ(Text(headers[0].mName), "a.txt");
    }
}

std::string LocalHeader(uint16_t nameLength, uint16_t extraLength) {
    std::string bytes(
        "PK\x03\x04\x14\x00\x08\x00\x08\x00\x34\x12\x78\x56"
        "\x01\x02\x03\x04\x10\x00\x00\x00\x20\x00\x00\x00",
        26);
    bytes += static_cast<char>(nameLength & 0xFF);
    bytes += static_cast<char>(nameLength >> 8);
    bytes += static_cast<char>(extraLength & 0xFF);
    bytes += static_cast<char>(extraLength >> 8);
    return bytes;
}

MemoryStream Over(std::string& bytes) {
    return MemoryStream(reinterpret_cast<unsigned char*>(bytes.data()),
                        static_cast<int32_t>(bytes.size()));
}

std::string Written(const Zip::ZipFileHeader& header) {
    MemoryStream out;
    Zip::WriteHeader(out, header);
    return std::string(reinterpret_cast<const char*>(out.GetBuffer()), out.Length());
}

TEST(ZipArchive, HeaderReadsAndWritesBackByteForByte) {
    std::string bytes = LocalHeader(5, 4) + "hello" + std::string("\0\x01\0\0", 4) + "data";
    MemoryStream stream = Over(bytes);
    const Zip::ZipFileHeader header = Zip::ReadHeader(stream);
    EXPECT_EQ(stream.Position(), 39);
    EXPECT_EQ(header.mVersion, 0x14);
    EXPECT_EQ(header.mMethod, 8);
    EXPECT_EQ(header.mTime, 0x1234);
    EXPECT_EQ(header.mDate, 0x5678);
    EXPECT_EQ(header.mCrc, 0x04030201u);
    EXPECT_EQ(header.mCompressedSize, 16u);
    EXPECT_EQ(header.mUncompressedSize, 32u);
    EXPECT_EQ(Text(header.mName), "hello");
    EXPECT_EQ(header.mExtra.Length(), 4u);
    EXPECT_EQ(Written(header), bytes.substr(0, 39));

    std::string plain = LocalHeader(5, 0) + "hello" + "data";
    MemoryStream plainStream = Over(plain);
    Zip::ReadHeader(plainStream);
    EXPECT_EQ(plainStream.Position(), 35);
}

TEST(ZipArchive, HeaderHoldsOnlyWhatWasThere) {
    std::string foreign = "PK\x01\x02" + LocalHeader(0, 0).substr(4);
    MemoryStream foreignStream = Over(foreign);
    const Zip::ZipFileHeader directory = Zip::ReadHeader(foreignStream);
    EXPECT_EQ(directory.mSignature, 0x02014b50u);
    EXPECT_EQ(directory.mCompressedSize, 0u);
    EXPECT_EQ(foreignStream.Position(), 4);

    std::string bytes = LocalHeader(10, 3) + "abc";
    MemoryStream stream = Over(bytes);
    const Zip::ZipFileHeader header = Zip::ReadHeader(stream);
    EXPECT_EQ(header.mNameLength, 10);
    EXPECT_EQ(Text(header.mName), "abc");
    EXPECT_EQ(header.mExtra.Length(), 0u);
    // Written back, it keeps its lengths: the missing bytes become zeros.
    EXPECT_EQ(Written(header), LocalHeader(10, 3) + "abc" + std::string(10, '\0'));

    std::string fixed = LocalHeader(0, 0).substr(0, 20);
    MemoryStream fixedStream = Over(fixed);
    const Zip::ZipFileHeader partial = Zip::ReadHeader(fixedStream);
    EXPECT_EQ(partial.mCrc, 0x04030201u);
    EXPECT_EQ(partial.mCompressedSize, 0u);
}

}  // namespace
}  // namespace System::Utility
