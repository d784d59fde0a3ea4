#pragma once

#include "System/String.h"

#include <cstdint>
#include <vector>

// The photos and previews of removed items that a save of "media.xml" leaves to delete, named
// one a line in "media.xml.delete" in the working directory (beside the name "media.xml", even
// when that is a link: the names are taken from the working directory, as MediaPath is). The
// list is on the disk before the save and removed once the files are deleted, so that a kill in
// between leaves them named, and the next start deletes them. Main thread only: start-up and
// every save run there.
class DeletionList {
  public:
    static constexpr const char* kPath = "media.xml.delete";
    // A larger list is left unread. The two files of a removed photo take some thirty bytes
    // of it under a short MediaPath: this holds those of tens of thousands.
    static constexpr int64_t kMaxBytes = int64_t{1} << 20;

    // Replaces the list with the two files of each removed item in mediaIds (ascending) and
    // of each item carried from the list an earlier run left (TakeUp), written to a temporary
    // file, flushed to the disk and renamed, as the saves write theirs. A failure is logged.
    // Returns whether the list is on the disk. REQUIRES: the media path set.
    [[nodiscard]] bool Write(const std::vector<uint32_t>& mediaIds) const;
    // Once the files a save named are deleted: removes the list, or leaves it naming the
    // carried files alone. Returns whether that is on the disk.
    [[nodiscard]] bool Shorten() const;
    // Start-up, with the catalogue loaded and the media path set: takes up the list an earlier
    // run left. With the catalogue as written, deletes the files it names whose items the
    // catalogue does not list, logs how many, and removes the list. With the catalogue kept as
    // read, which may lack items the operator puts back, those files stay: the list is left as
    // it is, and every list this run writes names them too, so that a start that reads the
    // whole catalogue deletes them. The list is untrusted: a name that is not a photo or
    // preview file the server makes under the media path (another folder, "..", another form
    // of the id) is logged and left alone. A list that cannot be read is logged and left as it
    // is; one larger than kMaxBytes (before or while it is read), or naming a file twice, is
    // logged and moved aside for the operator, unread. Either way nothing is deleted.
    void TakeUp(bool catalogueAsWritten);

  private:
    // Replaces the list with the two files of each item in mediaIds; waiting counts the
    // removed photos whose files wait for it, for the log line of a failure.
    [[nodiscard]] static bool Replace(const std::vector<uint32_t>& mediaIds, size_t waiting);
    // Moves the list, left unread for why, to the first free name of a kept copy, where no
    // save writes over it, and logs it.
    static void SetAside(const System::String& why);
    // SetAside for a list larger than kMaxBytes, whether found so before or while reading it.
    static void SetAsidePastBound();

    // The removed items whose files a list kept at start-up names and that the catalogue
    // read then does not list; ascending. Named in every list written, deleted by none.
    std::vector<uint32_t> mCarried;
};
