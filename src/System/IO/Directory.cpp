#include "System/IO/Directory.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace System::IO {

bool Directory::SyncHolding(const String& path, String* error) {
    const std::string file(path.CStr(), path.Length());
    const size_t slash = file.rfind('/');
    const std::string directory = slash == std::string::npos ? "."
                                  : slash == 0               ? "/"
                                                             : file.substr(0, slash);
    const int descriptor = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    bool synced = descriptor >= 0 && fsync(descriptor) == 0;
    if (!synced && error != nullptr) {
        *error = std::strerror(errno);
    }
    if (descriptor >= 0 && close(descriptor) != 0) {
        if (synced && error != nullptr) {
            *error = std::strerror(errno);
        }
        synced = false;
    }
    return synced;
}

}  // namespace System::IO
