#pragma once

#include "System/String.h"

#include <cstdint>
#include <vector>

// The photos and previews of removed items that a save of "media.xml" leaves to delete, named
// one a line in "media.xml.delete" in the working directory (beside the name "media.xml", even
// when that is a link: the names are taken from the working directory, as MediaPath is). The
// list is on the disk before the save and removed once the files are deleted, so that a kill in
// between leaves them named, and the next start deletes them. A file that cannot be deleted
// stays named until it is. Main thread only: start-up and every save run there.
class DeletionList {
  public:
    static constexpr const char* kPath = "media.xml.delete";
    // A list not in the form a save writes is left unread past this size. One in that form
    // (names as the server makes them, in ascending order of their ids, each once) is read
    // whole: it is no longer than the ids of the catalogue could need.
    static constexpr int64_t kMaxBytes = int64_t{1} << 20;

    // Replaces the list with the two files of each removed item in mediaIds (ascending) and
    // each file carried from the list an earlier run left (TakeUp), written to a temporary
    // file, flushed to the disk and renamed, as the saves write theirs. A failure is logged.
    // Returns whether the list is on the disk. REQUIRES: the media path set.
    [[nodiscard]] bool Write(const std::vector<uint32_t>& mediaIds) const;
    // Once a save has deleted the files of the removed items it named: those of mediaIds
    // (ascending) whose photo or preview is still there, logged with how many files could not
    // be deleted. A file that is missing counts as deleted.
    [[nodiscard]] std::vector<uint32_t> Undeleted(const std::vector<uint32_t>& mediaIds) const;
    // Once the files a save named are deleted but those of the items in undeleted (ascending):
    // removes the list, or leaves it naming those and the carried files alone. Returns whether
    // that is on the disk.
    [[nodiscard]] bool Shorten(const std::vector<uint32_t>& undeleted = {}) const;
    // Start-up, with the catalogue loaded and the media path set: takes up the list an earlier
    // run left. With the catalogue as written, deletes the files it names whose items the
    // catalogue does not list, logs how many (a file already gone counting as deleted), and
    // removes the list, or leaves it naming the files that could not be deleted, which every
    // list this run writes names too. With the catalogue kept as read, which may lack items the
    // operator puts back, those files stay: the list is left as it is, and every list this run
    // writes names them too, so that a start that reads the whole catalogue deletes them. The list
    // is untrusted: a name that is not a photo or preview file the server makes under the media
    // path (another folder, "..", another form of the id) is logged and left alone. A list that
    // cannot be read is logged and left as it is; one not in the form a save writes and larger than
    // kMaxBytes (found so while it is read), or naming a file twice, is logged and moved aside for
    // the operator, unread. Either way nothing is deleted.
    void TakeUp(bool catalogueAsWritten);

  private:
    // Replaces the list with the files in keys (each a media id and a resource, ascending);
    // waiting counts the removed photos whose files wait for it, for the log line of a failure.
    [[nodiscard]] static bool Replace(const std::vector<uint64_t>& keys, size_t waiting);
    // Moves the list, left unread for why, to the first free name of a kept copy, where no
    // save writes over it, and logs it.
    static void SetAside(const System::String& why);

    // The files that a list kept at start-up names and whose items the catalogue read then
    // does not list, or that start-up could not delete; ascending keys. Named in every list
    // written, deleted by none.
    std::vector<uint64_t> mCarried;
};
