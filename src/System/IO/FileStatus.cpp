#include "System/IO/FileStatus.h"

#include <sys/stat.h>

namespace System::IO {

bool FileStatus::HoldsBytes(const String& path) {
    const char* name = path.ToByteArray();
    struct stat info {};
    return name != nullptr && stat(name, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
}

}  // namespace System::IO
