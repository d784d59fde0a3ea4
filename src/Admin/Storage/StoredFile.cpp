#include "Admin/Storage/StoredFile.h"

#include "Admin/Log/PrintLogMessage.h"
#include "System/IO/Directory.h"
#include "System/IO/FileStream.h"
#include "System/Utility/FileSystem.h"

using System::String;

bool StoredFile::Replace(const String& path, const String& text, size_t waiting) {
    System::Utility::FileSystem files;
    // Renamed over the link itself, the new file would replace it, and the file it
    // points to would keep the old state.
    const String target = files.FollowLinks(path);
    const String temporary = TemporaryName(target);
    // On a full disk removals free no space until a save succeeds: the operator learns why.
    const String held = waiting == 0
                            ? String()
                            : String::Parse(
                                  "; the files of %zu removed photo%s wait for a save that "
                                  "succeeds",
                                  waiting, waiting == 1 ? "" : "s");
    // Without the file and the system's reason an operator could not tell what to mend: a
    // directory named like the temporary file made every save fail without a word why.
    String reason;
    // Writing the file in place would leave it cut short when the process is killed or
    // the disk fills in the middle, and the next start would lose the settings.
    const bool written = WriteNew(temporary, text, target, false, &reason);
    if (!written || !files.MoveFile(temporary, target, &reason)) {
        // What is left of the temporary file is only in the way; nothing more can be done
        // when it cannot be removed either.
        static_cast<void>(files.RemoveFile(temporary));
        const String failed =
            written ? String("renamed to ") + EscapeLogText(target) : String("written");
        PrintLogMessage(String::Parse(
            "Saving %s failed; the file is left as it was%s. %s could not be %s: %s\n", path.CStr(),
            held.CStr(), EscapeLogText(temporary).CStr(), failed.CStr(), reason.CStr()));
        return false;
    }
    // Until the directory is on the disk, the rename may reach it after changes made later:
    // after a power cut the old catalogue would list items whose files were deleted.
    if (!System::IO::Directory::SyncHolding(target, &reason)) {
        PrintLogMessage(String::Parse(
            "Saving %s failed; the file is replaced but its directory could not be flushed to "
            "the disk%s: %s\n",
            path.CStr(), held.CStr(), reason.CStr()));
        return false;
    }
    return true;
}

void StoredFile::RemoveLeftover(const String& path) {
    // Left, it would stay until the next save of the file replaced it.
    const System::Utility::FileSystem files;
    const String temporary = TemporaryName(files.FollowLinks(path));
    if (files.RemoveFile(temporary)) {
        PrintLogMessage(String::Parse("Removed %s, left by a save that was cut short\n",
                                      EscapeLogText(temporary).CStr()));
    }
}

bool StoredFile::WriteNew(const String& path, const String& text, const String& modeOf,
                          bool exclusive, String* why) {
    System::Utility::FileSystem files;
    System::IO::FileStream file(path, exclusive ? System::IO::FileStream::kCreateNew : 2);
    if (!file.CanWrite()) {
        // Nothing was created; what is at the path is not this writer's to remove.
        if (why != nullptr) {
            *why = file.Error();
        }
        return false;
    }
    // The new file keeps the old one's permissions, as a file written in place would, from
    // before it holds anything: one made private to hide its passwords stays private. A
    // first save has none to keep.
    static_cast<void>(files.CopyMode(modeOf, path));
    file.Write(reinterpret_cast<const unsigned char*>(text.CStr()), 0,
               static_cast<int>(text.Length()));
    bool written = file.Sync();
    file.Close();
    written = written && !file.Failed();
    if (!written) {
        if (why != nullptr) {
            *why = file.Error();
        }
        static_cast<void>(files.RemoveFile(path));
    }
    return written;
}

String StoredFile::FreeCopyName(const String& path, String* newest) {
    const System::Utility::FileSystem files;
    String before;
    String name = path + ".bad";
    for (uint32_t n = 1; files.Exists(name); ++n) {
        before = name;
        name = String::Parse("%s.bad.%u", path.CStr(), n);
    }
    if (newest != nullptr) {
        *newest = before;
    }
    return name;
}

String StoredFile::TemporaryName(const String& target) {
    return target + ".new";
}
