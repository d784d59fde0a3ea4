#pragma once

#include "System/Object.h"
#include "System/String.h"

namespace System::IO {

// What the file system holds at a path, asked without opening it: opening a named pipe, or a
// file on a slow disk, is more than a look needs.
class FileStatus : public Object {
  public:
    FileStatus() = delete;

    // Whether path leads, through any links, to a regular file of at least one byte: a file
    // a reader can be given. False for nothing there, a link that leads nowhere, a directory,
    // a pipe, a socket or a device, and an empty file.
    [[nodiscard]] static bool HoldsBytes(const String& path);
};

}  // namespace System::IO
