#include "System/IO/Directory.h"

#include <fcntl.h>
#include <unistd.h>

#include <string>

namespace System::IO {

bool Directory::SyncHolding(const String& path) {
    const std::string file(path.CStr(), path.Length());
    const size_t slash = file.rfind('/');
    const std::string directory = slash == std::string::npos ? "."
                                  : slash == 0               ? "/"
                                                             : file.substr(0, slash);
    const int descriptor = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) {
        return false;
    }
    const bool synced = fsync(descriptor) == 0;
    return close(descriptor) == 0 && synced;
}

}  // namespace System::IO
