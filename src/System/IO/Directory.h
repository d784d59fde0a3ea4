#pragma once

#include "System/Object.h"
#include "System/String.h"

namespace System::IO {

// What the disk keeps of a directory's entries: the names created, renamed or removed in
// it reach the disk in no fixed order with the files' own data unless the directory is
// flushed.
class Directory : public Object {
  public:
    Directory() = delete;

    // Flushes to the disk the directory that holds the file at path (the working directory
    // when path names no directory), so that a rename done in it survives a power cut
    // before any later change of the disk does. False when it could not, and error, when
    // given, gets the system's reason.
    [[nodiscard]] static bool SyncHolding(const String& path, String* error = nullptr);
};

}  // namespace System::IO
