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
    // The first failure is the one that says why; a close that fails after it adds nothing.
    const int reason = synced ? 0 : errno;
    if (descriptor >= 0 && close(descriptor) != 0 && synced) {
        synced = false;
    }
    if (!synced && error != nullptr) {
        *error = std::strerror(reason != 0 ? reason : errno);
    }
    return synced;
}

}  // namespace System::IO
