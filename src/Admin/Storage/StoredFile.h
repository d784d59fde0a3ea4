#pragma once

#include "System/String.h"

#include <cstddef>

// How the files the server keeps in its working directory ("config.xml", "media.xml",
// "media.xml.delete" and the copies kept of them) are written, so that a kill, a full disk or a
// power cut at any moment leaves either the old file or the new one whole.
class StoredFile {
  public:
    StoredFile() = delete;

    // Replaces the file at path with text, or leaves it as it was: the text goes to a
    // temporary file beside it, which is flushed to the disk and then renamed over the
    // old one, and the directory is flushed after the rename. A path that is a symbolic
    // link is saved through it: the file the link leads to is replaced, and the link stays.
    // A failure is logged, with the number of removed photos whose files wait for the
    // save (waiting, none for 0), and with the file that could not be written, renamed or
    // flushed and the system's reason. Returns whether the new file is on the disk.
    static bool Replace(const System::String& path, const System::String& text, size_t waiting);
    // Start-up, before any save: removes the temporary file that a save of path (Replace)
    // cut short by a kill left, and logs it. Only that one name is removed, and only when it
    // is no directory.
    static void RemoveLeftover(const System::String& path);
    // Writes text to the file at path and flushes it to the disk; it gets the permission
    // bits of the file at modeOf, when there is one. The file is created or emptied, or with
    // exclusive created only when nothing is at path, so that nothing is written over.
    // Returns whether the text is on the disk whole; when not, what was written is removed,
    // and why, when given, gets the system's reason.
    static bool WriteNew(const System::String& path, const System::String& text,
                         const System::String& modeOf, bool exclusive,
                         System::String* why = nullptr);
    // The first of the names path + ".bad", ".bad.1", ".bad.2", ... at which nothing is, for a
    // kept copy of the file at path; newest, when given, gets the name before it (empty when
    // there is none).
    [[nodiscard]] static System::String FreeCopyName(const System::String& path,
                                                     System::String* newest = nullptr);

  private:
    // The temporary file a save writes beside target, the file a path leads to.
    [[nodiscard]] static System::String TemporaryName(const System::String& target);
};
