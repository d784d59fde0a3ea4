#pragma once

#include "System/Object.h"
#include "System/String.h"
#include "System/Xml/XmlNode.h"

namespace System::Utility {

// The few file-system calls the system needs: directories, file removal and renaming, and a
// directory listing as an XML element tree. Paths are passed on as their bytes; nothing is made
// absolute or normalised, and parent directories are not created. Holds no state.
class FileSystem : public Object {
  public:
    // Creates the directory with mode 0755; false when it could not (it exists, for one).
    [[nodiscard]] bool CreateDir(const String& path) const;
    // Removes the directory, which must be empty; false when it could not.
    [[nodiscard]] bool RemoveDir(const String& path) const;
    // Removes the file; false when it could not.
    [[nodiscard]] bool RemoveFile(const String& path) const;
    // Renames from to to; false when it could not, and error, when given, gets the
    // system's reason.
    [[nodiscard]] bool MoveFile(const String& from, const String& to,
                                String* error = nullptr) const;
    // Whether anything is at path: a file, a directory, or a link, even one that leads
    // nowhere.
    [[nodiscard]] bool Exists(const String& path) const;
    // Where path leads when its symbolic links are followed: the path of the last link's
    // target (which need not exist), or path itself when it is no link. A relative target
    // is taken from the directory of the link that names it.
    [[nodiscard]] String FollowLinks(const String& path) const;
    // Gives to the permission bits of from; false when it could not (from is missing, for
    // one).
    [[nodiscard]] bool CopyMode(const String& from, const String& to) const;

    // Lists the directory path into node: node is named "dir" and given a "path" attribute
    // (unless it has one), then gets one child per entry, in the order the directory gives
    // them: "dir" (attributes "path", "name") for a subdirectory, "file" (attributes "name",
    // "size") for a regular file or character device whose name contains filter (any name
    // when filter is empty). Other entries, "." and ".." are skipped. With depth above 0 every
    // "dir" child that has a "path" is then listed the same way with depth - 1, also children
    // that were there before the call. A directory that cannot be opened adds nothing.
    void Import(Xml::XmlNode& node, const String& path, const String& filter,
                unsigned int depth) const;
};

}  // namespace System::Utility
