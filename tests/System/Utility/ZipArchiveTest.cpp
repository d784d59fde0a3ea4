#include "System/Utility/Zip.h"

#include "support/Process.h"
#include "support/TempDir.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <string>

namespace System::Utility {
namespace {

using TestSupport::Text;

// Writes a python-made archive of stored entries "a.txt" and "bb.txt" to path, then
// lets patch (python code on the bytearray b and the entries' infos i) damage it.
void WriteStoredArchive(const std::string& path, const std::string& patch) {
    const auto result = TestSupport::RunPython(
        "import io, struct, zipfile\n"
        "f = io.BytesIO()\n"
        "with zipfile.ZipFile(f, 'w') as z:\n"
        "    z.writestr('a.txt', 'first entry')\n"
        "    z.writestr('bb.txt', 'second entry, a little longer')\n"
        "i = zipfile.ZipFile(f).infolist()\n"
        "b = bytearray(f.getvalue())\n" +
        patch + "open('" + path + "', 'wb').write(b)\n");
    EXPECT_EQ(result.exitCode, 0) << patch;
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
