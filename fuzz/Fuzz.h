#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "System/IO/MemoryStream.h"
#include "System/String.h"
#include "System/Xml/XmlDoc.h"

// Stops the run with a finding when an invariant of the code under test fails.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (false)

// Helpers shared by the fuzz targets.
namespace Fuzz {

inline System::String Text(const uint8_t* data, size_t size) {
    return System::String(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size));
}

// The bytes from position 0 to the end of stream.
inline std::string Contents(System::IO::MemoryStream& stream) {
    const auto* bytes = reinterpret_cast<const char*>(stream.GetBuffer());
    return std::string(bytes == nullptr ? "" : bytes, static_cast<size_t>(stream.Length()));
}

// The path of name in a folder of this process's own under the temporary directory
// (TMPDIR, which scripts/fuzz points at a folder it removes after the run: libFuzzer
// ends without running exit handlers).
inline std::string ScratchPath(const std::string& name) {
    static const std::filesystem::path folder = [] {
        const auto path =
            std::filesystem::temp_directory_path() / ("zelvo-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return (folder / name).string();
}

// Replaces the file at path with size bytes of data.
inline void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// The scratch file name holding size bytes of data, as a reader of files finds it.
inline std::string ScratchFile(const std::string& name, const uint8_t* data, size_t size) {
    const std::string path = ScratchPath(name);
    WriteFile(path, data, size);
    return path;
}

// The root of the input imported as the file name, as start-up imports its files; null
// when it is no document.
inline const System::Xml::XmlNode* ImportFile(System::Xml::XmlDoc& document,
                                              const std::string& name, const uint8_t* data,
                                              size_t size) {
    return document.Import(ScratchFile(name, data, size).c_str());
}

}  // namespace Fuzz
