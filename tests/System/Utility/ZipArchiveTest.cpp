#include "System/Utility/Zip.h"

#include "support/Process.h"
#include "support/TempDir.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace System::Utility {
namespace {

using TestSupport::LowerHex;
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

}  // namespace
}  // namespace System::Utility
