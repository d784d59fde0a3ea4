#pragma once

#include <cstdint>
#include <vector>

// The photos and previews of removed items that a save of "media.xml" leaves to delete, named
// one a line in "media.xml.delete" in the working directory (beside the name "media.xml", even
// when that is a link: the names are taken from the working directory, as MediaPath is). The
// list is on the disk before the save and removed once the files are deleted, so that a kill in
// between leaves them named, and the next start deletes them.
class DeletionList {
  public:
    static constexpr const char* kPath = "media.xml.delete";

    DeletionList() = delete;

    // Replaces the list with the two files of each removed item in mediaIds, written to a
    // temporary file, flushed to the disk and renamed, as the saves write theirs. A failure
    // is logged. Returns whether the list is on the disk. REQUIRES: the media path set.
    [[nodiscard]] static bool Write(const std::vector<uint32_t>& mediaIds);
    // Removes the list, once the files it names are deleted; whether it is gone.
    [[nodiscard]] static bool Remove();
    // Start-up, with the catalogue loaded and the media path set: deletes the files the list
    // names whose items the catalogue does not list, logs how many, and removes the list. The
    // list is untrusted: a name that is not a photo or preview file the server makes under the
    // media path (another folder, "..", another form of the id) is logged and left alone. A
    // list that cannot be read is logged and left as it is, and nothing is deleted.
    static void DeleteNamedFiles();
};
