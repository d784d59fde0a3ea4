#pragma once

#include <cstdint>

// Tells the operator at start-up which catalogue items cannot be sent: an item whose photo or
// preview is missing, empty or not a regular file (a copy cut short, a file deleted by hand)
// is listed all the same and every download of that file is refused, so without a word the
// operator learns of it only from members. The items stay listed: the files may be restored.
class MediaFileCheck {
  public:
    // The ids a line names at most; the others are only counted.
    static constexpr uint32_t kIdsNamed = 10;

    MediaFileCheck() = delete;

    // Logs one line counting the items of the catalogue whose photo or preview cannot be
    // sent, naming the first kIdsNamed of them in id order; nothing when there are none.
    // REQUIRES: the media path set (the files are looked for where downloads read them).
    static void LogItemsThatCannotBeSent();
};
