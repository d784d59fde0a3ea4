// ZIP archives: the hand-written header walk and the minizip reader take any file, and
// every header listed lies inside the file and writes back as it was read.
#include <algorithm>
#include <vector>

#include "System/Utility/Zip.h"
#include "fuzz/Fuzz.h"

using System::Utility::Zip;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = Fuzz::ScratchFile("archive.zip", data, size);
    const auto headers = Zip::GetFileList(path.c_str());
    int64_t end = 0;
    for (uint32_t i = 0; i < headers.Count(); ++i) {
        const Zip::ZipFileHeader& header = headers[i];
        FUZZ_CHECK(header.mDataOffset >= end + Zip::kLocalHeaderSize);
        end = header.mDataOffset + header.mCompressedSize;
        FUZZ_CHECK(end <= static_cast<int64_t>(size));

        System::IO::MemoryStream written;
        Zip::WriteHeader(written, header);
        written.Position(0);
        const Zip::ZipFileHeader read = Zip::ReadHeader(written);
        FUZZ_CHECK(read.mCrc == header.mCrc && read.mName == header.mName &&
                   read.mExtra == header.mExtra &&
                   read.mUncompressedSize == header.mUncompressedSize);
    }

    Zip archive;
    if (archive.OpenUnZip(path.c_str())) {
        for (uint32_t i = 0; i < headers.Count(); ++i) {
            const char* name = headers[i].mName.CStr();
            std::vector<char> buffer(std::min(archive.GetUncmprSize(name), 1u << 16) + 1);
            (void)archive.GetFile(name, buffer.data(), static_cast<unsigned int>(buffer.size()));
        }
        FUZZ_CHECK(archive.CloseUnZip());
    }
    return 0;
}
